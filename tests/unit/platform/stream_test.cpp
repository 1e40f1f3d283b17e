// Tests of OpenFileStream: text and binary modes, Windows-form paths and the runtime's errors.
#include "plat/stream.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace {

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WindowsForm;
using testsupport::WriteFile;

class StreamTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(m_dir / "Dir"); }

  std::string Windows(const std::string& relative) const { return WindowsForm(m_dir.path()) + relative; }

  // Everything the stream gives, character by character.
  static std::string ReadAll(FILE* stream) {
    std::string content;
    for (int c = std::fgetc(stream); c != EOF; c = std::fgetc(stream)) content += static_cast<char>(c);
    return content;
  }

  TempDir m_dir;
};

TEST_F(StreamTest, TextModeWritesEveryLineFeedAsCrLfAndBinaryModeWritesBytes) {
  struct Case {
    const char* mode;
    const char* file;
  } cases[] = {
      {"w", "a\r\nb\r\r\n\r\nc"},
      {"wt", "a\r\nb\r\r\n\r\nc"},
      {"a", "earlier, longer content\na\r\nb\r\r\n\r\nc"},
      {"at", "earlier, longer content\na\r\nb\r\r\n\r\nc"},
      {"a+", "earlier, longer content\na\r\nb\r\r\n\r\nc"},
      {"wb", "a\nb\r\n\nc"},
      {"ab", "earlier, longer content\na\nb\r\n\nc"},
      {"a+b", "earlier, longer content\na\nb\r\n\nc"},
  };
  for (const Case& c : cases) {
    WriteFile(m_dir / "Dir/out.txt", "earlier, longer content\n");
    FILE* stream = plat::OpenFileStream(Windows("\\Dir\\out.txt").c_str(), c.mode);
    ASSERT_NE(stream, nullptr) << c.mode;
    std::fputs("a\nb\r\n", stream);
    std::fprintf(stream, "%s%c", "\n", 'c');
    EXPECT_EQ(std::fclose(stream), 0) << c.mode;
    EXPECT_EQ(ReadFile(m_dir / "Dir/out.txt"), c.file) << c.mode;
  }
}

TEST_F(StreamTest, TextModeTranslatesOutputLargerThanAnyBuffer) {
  std::string lines;
  std::string expected;
  for (int i = 0; i < 6000; ++i) lines += "x\n", expected += "x\r\n";
  FILE* stream = plat::OpenFileStream(Windows("\\Dir\\big.txt").c_str(), "w");
  ASSERT_NE(stream, nullptr);
  std::fputs(lines.c_str(), stream);
  std::fclose(stream);
  EXPECT_EQ(ReadFile(m_dir / "Dir/big.txt"), expected);
}

TEST_F(StreamTest, TextModeReadsCrLfAsLineFeedWhereverTheBufferEnds) {
  // Lone CRs stay; so does a CR at the end of the file.
  WriteFile(m_dir / "Dir/in.txt", "a\r\nb\rc\r\r\n\r\nd\r");
  for (size_t bufferSize : {1, 2, 3, 4, 4096}) {
    std::vector<char> buffer(bufferSize);
    FILE* stream = plat::OpenFileStream(Windows("\\Dir\\in.txt").c_str(), "r");
    ASSERT_NE(stream, nullptr);
    ASSERT_EQ(std::setvbuf(stream, buffer.data(), _IOFBF, bufferSize), 0);
    EXPECT_EQ(ReadAll(stream), "a\nb\rc\r\n\nd\r") << "buffer " << bufferSize;
    std::fclose(stream);
  }
  FILE* binary = plat::OpenFileStream(Windows("\\Dir\\in.txt").c_str(), "rb");
  ASSERT_NE(binary, nullptr);
  EXPECT_EQ(ReadAll(binary), "a\r\nb\rc\r\r\n\r\nd\r");
  std::fclose(binary);
}

TEST_F(StreamTest, TextModeTellsAndSeeksPastAByteReadAhead) {
  // A CR at the end of a two-byte buffer makes the stream look at the byte after it.
  WriteFile(m_dir / "Dir/in.txt", "a\rb");
  char buffer[2];
  FILE* stream = plat::OpenFileStream(Windows("\\Dir\\in.txt").c_str(), "r");
  ASSERT_NE(stream, nullptr);
  ASSERT_EQ(std::setvbuf(stream, buffer, _IOFBF, sizeof buffer), 0);
  EXPECT_EQ(std::fgetc(stream), 'a');
  EXPECT_EQ(std::ftell(stream), 1);
  std::rewind(stream);
  EXPECT_EQ(ReadAll(stream), "a\rb");
  std::fclose(stream);
}

TEST_F(StreamTest, BinaryStreamsSeek) {
  WriteFile(m_dir / "Dir/in.bin", "0123456789");
  FILE* stream = plat::OpenFileStream(Windows("\\Dir\\in.bin").c_str(), "rb");
  ASSERT_NE(stream, nullptr);
  ASSERT_EQ(std::fseek(stream, 4, SEEK_SET), 0);
  EXPECT_EQ(std::fgetc(stream), '4');
  EXPECT_EQ(std::ftell(stream), 5);
  ASSERT_EQ(std::fseek(stream, -2, SEEK_END), 0);
  EXPECT_EQ(ReadAll(stream), "89");
  std::fclose(stream);
}

TEST_F(StreamTest, FindsNamesWithoutRegardToCaseAndCreatesNewOnesAsGiven) {
  WriteFile(m_dir / "Dir/File.txt", "content");
  FILE* existing = plat::OpenFileStream(Windows("\\DIR\\file.TXT").c_str(), "r");
  ASSERT_NE(existing, nullptr);
  EXPECT_EQ(ReadAll(existing), "content");
  std::fclose(existing);

  FILE* created = plat::OpenFileStream((WindowsForm(m_dir / "dir") + "/New.Log").c_str(), "a");
  ASSERT_NE(created, nullptr);
  std::fputs("line\n", created);
  std::fclose(created);
  EXPECT_EQ(ReadFile(m_dir / "Dir/New.Log"), "line\r\n");
}

TEST_F(StreamTest, SeveralStreamsShareAFile) {
  FILE* writer = plat::OpenFileStream(Windows("\\Dir\\shared.txt").c_str(), "a");
  ASSERT_NE(writer, nullptr);
  FILE* second = plat::OpenFileStream(Windows("\\Dir\\shared.txt").c_str(), "a");
  ASSERT_NE(second, nullptr);
  std::fputs("one\n", writer);
  std::fflush(writer);
  std::fputs("two\n", second);
  std::fflush(second);
  FILE* reader = plat::OpenFileStream(Windows("\\Dir\\shared.txt").c_str(), "r");
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(ReadAll(reader), "one\ntwo\n");
  std::fclose(reader);
  std::fclose(second);
  std::fclose(writer);
}

TEST_F(StreamTest, FailsWithTheRuntimesErrorNumbers) {
  struct Case {
    std::string path;
    const char* mode;
    int error;
  } cases[] = {
      {Windows("\\Dir\\missing.txt"), "r", ENOENT},
      {Windows("\\NoDir\\new.txt"), "w", ENOENT},
      {Windows("\\Dir"), "r", EACCES},
      {Windows("\\Dir"), "a", EACCES},
      {"", "r", ENOENT},
      {Windows("\\Dir\\new.txt"), "x", EINVAL},
      {Windows("\\Dir\\new.txt"), "rw", EINVAL},
      {Windows("\\Dir\\new.txt"), "", EINVAL},
  };
  for (const Case& c : cases) {
    errno = 0;
    EXPECT_EQ(plat::OpenFileStream(c.path.c_str(), c.mode), nullptr) << c.path << " " << c.mode;
    EXPECT_EQ(errno, c.error) << c.path << " " << c.mode;
  }
  EXPECT_FALSE(std::filesystem::exists(m_dir / "Dir/new.txt"));
  errno = 0;
  EXPECT_EQ(plat::OpenFileStream(nullptr, "r"), nullptr);
  EXPECT_EQ(errno, EINVAL);
}

}  // namespace
