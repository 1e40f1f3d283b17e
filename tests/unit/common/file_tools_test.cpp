// Tests of AddBackslash and GetModuleDirectory.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "ToolFunktion.h"
#include "plat/path.h"
#include "plat/testing/module.h"

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

TEST_F(ModuleDirectoryTest, ALongProgramPathIsCutBeforeItIsSplit) {
  std::string longPath = "C:\\" + std::string(250, 'a') + "\\" + std::string(20, 'b') + "\\P.EXE";
  plat::SetProgramFileNameForTesting(longPath.c_str());
  // 259 characters survive: the 250 a's, their backslash and 5 b's; the b's become the file name.
  EXPECT_EQ("C:\\" + std::string(250, 'a') + "\\", std::string(TOOLFUNC_file::GetModuleDirectory()));
  EXPECT_EQ(longPath.substr(0, 259), std::string(TOOLFUNC_file::GetModulePath()));
}

}  // namespace
