// Tests of AddBackslash, the joined file paths and GetModuleDirectory.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "ToolFunktion.h"
#include "plat/machine.h"
#include "plat/path.h"
#include "plat/testing/module.h"
#include "support/temp_dir.h"

namespace {

TEST(AddBackslash, AppendsOneBackslashOnlyWhereMissing) {
  struct Case {
    const char* path;
    const char* result;
  } cases[] = {
      {"C:\\tel", "C:\\tel\\"}, {"C:\\tel\\", "C:\\tel\\"}, {"D:", "D:\\"}, {"\\", "\\"}, {"", ""},
  };
  for (const Case& c : cases) {
    char buffer[32];
    std::memset(buffer, 0xCC, sizeof(buffer));
    std::strcpy(buffer, c.path);
    TOOLFUNC_file::AddBackslash(buffer);
    EXPECT_STREQ(c.result, buffer) << c.path;
    size_t end = std::strlen(c.result) + 1;
    for (size_t i = end; i < sizeof(buffer); ++i) ASSERT_EQ(char(0xCC), buffer[i]) << c.path << " byte " << i;
  }
  TOOLFUNC_file::AddBackslash(nullptr);
}

class ModuleDirectoryTest : public ::testing::Test {
 protected:
  void TearDown() override { plat::SetProgramFileNameForTesting(nullptr); }
};

TEST_F(ModuleDirectoryTest, IsDriveAndDirectoryOfTheProgram) {
  plat::SetProgramFileNameForTesting("D:\\SVC\\PROG.EXE");
  char* first = TOOLFUNC_file::GetModuleDirectory();
  EXPECT_STREQ("D:\\SVC\\", first);
  plat::SetProgramFileNameForTesting("C:\\other\\dir\\X.EXE");
  EXPECT_EQ(first, TOOLFUNC_file::GetModuleDirectory());
  EXPECT_STREQ("C:\\other\\dir\\", first);
}

TEST_F(ModuleDirectoryTest, OfTheRealProgramIsAnExistingDirectory) {
  std::string directory = TOOLFUNC_file::GetModuleDirectory();
  ASSERT_FALSE(directory.empty());
  EXPECT_EQ('\\', directory.back());
  EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::canonical("/proc/self/exe").parent_path(),
                                          plat::ToHostPath(directory.c_str())))
      << directory;
}

TEST_F(ModuleDirectoryTest, AProgramPathTooLongForItsBufferGivesNoDirectoryAtAll) {
  struct Case {
    size_t pathLength;
    bool directoryGiven;  // GetModuleDirectory reads at most 258 characters
    bool pathGiven;       // GetModulePath at most 259
  } const cases[] = {
      {257, true, true}, {258, true, true}, {259, false, true}, {260, false, false}, {300, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pathLength);
    // A cut path would end inside the second name, whose parent the first one is.
    const std::string directory = "C:\\" + std::string(240, 'a') + "\\";
    const std::string path = directory + std::string(c.pathLength - directory.size() - 6, 'b') + "\\P.EXE";
    ASSERT_EQ(c.pathLength, path.size());
    plat::SetProgramFileNameForTesting(path.c_str());
    EXPECT_EQ(c.directoryGiven ? path.substr(0, path.size() - 5) : "",
              std::string(TOOLFUNC_file::GetModuleDirectory()));
    EXPECT_EQ(c.pathGiven ? path : "", std::string(TOOLFUNC_file::GetModulePath()));
  }
}

TEST(JoinFilePath, JoinsWithOneBackslashOrRefusesWhatDoesNotFit) {
  const std::string dir246 = "C:\\" + std::string(243, 'd');
  struct Case {
    const char* name;
    std::string directory;
    std::string file;
    std::string joined;  // empty: refused
  } const cases[] = {
      {"a backslash is added", "C:\\tel", "VELCORA.INI", "C:\\tel\\VELCORA.INI"},
      {"one that is there is kept", "C:\\tel\\", "VELCORA.INI", "C:\\tel\\VELCORA.INI"},
      {"exactly 258 characters", dir246, "VELCORA.EXE", dir246 + "\\VELCORA.EXE"},
      {"259 characters", dir246 + "x", "VELCORA.EXE", ""},
      {"a directory alone that fills the buffer", "C:\\" + std::string(300, 'd'), "X", ""},
      {"no directory: never the bare name", "", "VELCORA.EXE", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    char path[plat::MAX_PATH + 8];
    std::memset(path, 0xCC, sizeof(path));
    EXPECT_EQ(!c.joined.empty(), TOOLFUNC_file::JoinFilePath(path, c.directory.c_str(), c.file.c_str()));
    EXPECT_EQ(c.joined, path);
    for (size_t i = plat::MAX_PATH; i < sizeof(path); ++i) ASSERT_EQ(char(0xCC), path[i]) << "byte " << i;
  }
}

TEST(SystemFilePath, IsGivenOnlyWhenTheWholePathFits) {
  // "\VELCORA.EXE" takes 12 of the 258 characters.
  for (size_t length : {246, 247, 257, 258, 259, 300}) {
    SCOPED_TRACE(length);
    testsupport::ScopedMachine machine(length);
    const std::string systemDirectory = testsupport::WindowsForm(plat::SystemDirectoryHost());
    ASSERT_EQ(length, systemDirectory.size());
    char path[plat::MAX_PATH];
    std::memset(path, 0xCC, sizeof(path));
    const bool fits = length <= 246;
    EXPECT_EQ(fits, TOOLFUNC_file::GetSystemFilePath("VELCORA.EXE", path));
    EXPECT_EQ(fits ? systemDirectory + "\\VELCORA.EXE" : "", std::string(path)) << "never cut, never bare";
  }
}

}  // namespace
