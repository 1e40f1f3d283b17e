// Tests of GetStructText and GetStructForward on structures laid out in the structure buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "service_window.h"

using namespace std::string_literals;

namespace {

class StructTextTest : public ::testing::Test {
 protected:
  void SetUp() override { m_buffer = static_cast<unsigned char*>(CServiceWindow::PrepareStructBuffer()); }
  // Puts `bytes` at `offset` of the buffer.
  void Put(plat::DWORD offset, const std::string& bytes) {
    std::memcpy(m_buffer + offset, bytes.data(), bytes.size());
  }
  void PutDword(plat::DWORD offset, plat::DWORD value) { std::memcpy(m_buffer + offset, &value, 4); }
  std::string Text(plat::DWORD offset, plat::DWORD size) {
    return CServiceWindow::GetStructText(m_buffer, offset, size);
  }
  unsigned char* m_buffer = nullptr;
};

TEST_F(StructTextTest, PrepareClearsTheBufferAndSetsItsTotalSize) {
  m_buffer[100] = 7;
  m_buffer = static_cast<unsigned char*>(CServiceWindow::PrepareStructBuffer());
  plat::DWORD total = 0;
  std::memcpy(&total, m_buffer, 4);
  EXPECT_EQ(16384u, total);
  EXPECT_EQ(0, m_buffer[100]);
}

TEST_F(StructTextTest, ReadsAnsiAndUtf16Parts) {
  using namespace std::string_literals;
  Put(300, "ab\0"s);
  Put(400,
      "2\0"
      "1\0"
      "\0\0"s);
  Put(501, "x\0"s);  // one character and its NUL: read as one UTF-16 unit
  Put(600,
      "\x01\x04"
      "b\0"s);  // a first character above 0xFF: read as ANSI up to the first zero
  Put(700, "line\r\nbreak\0"s);
  Put(801,
      "7\0"
      "5\0"
      "\0\0"s);  // UTF-16 at an odd offset
  struct Case {
    plat::DWORD offset;
    plat::DWORD size;
    std::string text;
  } cases[] = {
      {0, 3, ""},
      {300, 0, ""},
      {300, 3, "ab"},
      {300, 2, "a"},
      {400, 6, "21"},
      {501, 2, "x"},
      {600, 6,
       "\x01\x04"
       "b"},
      {700, 12, "line  break"},
      {801, 6, "75"},
      {16383, 8, ""},  // the part is cut at the end of the buffer
      {20000, 8, ""},  // starts past it
  };
  for (const Case& c : cases) EXPECT_EQ(c.text, Text(c.offset, c.size)) << c.offset << "/" << c.size;
}

TEST_F(StructTextTest, LongTextsAreCutAt4095Characters) {
  std::string ansi(6000, 'a');
  Put(1000, ansi);
  EXPECT_EQ(std::string(4095, 'a'), Text(1000, 6000));
  std::string wide;
  for (int i = 0; i < 5000; ++i) wide += "w\0"s;
  Put(1000, wide);
  EXPECT_EQ(std::string(4095, 'w'), Text(1000, 10000));
}

TEST_F(StructTextTest, ForwardEntriesGiveTheirDestination) {
  using namespace std::string_literals;
  // Two 32-byte entries at 200; the destination fields are the fifth and sixth words.
  PutDword(200 + 32 + 16, 8);
  PutDword(200 + 32 + 20, 900);
  Put(900,
      "2\0"
      "0\0"
      "4\0"
      "\0\0"s);
  EXPECT_STREQ("204", CServiceWindow::GetStructForward(m_buffer, 1, 200));
  EXPECT_STREQ("", CServiceWindow::GetStructForward(m_buffer, 0, 200));
  EXPECT_STREQ("", CServiceWindow::GetStructForward(m_buffer, 1, 0));
  EXPECT_STREQ("", CServiceWindow::GetStructForward(m_buffer, 1, 0xFFFF));
  EXPECT_STREQ("", CServiceWindow::GetStructForward(m_buffer, 600, 200)) << "an entry past the buffer";
}

}  // namespace
