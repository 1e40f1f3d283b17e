// Tests of loading libraries by Windows name and of the program's own file name.
#include "plat/testing/module.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "plat/error.h"
#include "plat/machine.h"
#include "plat/path.h"
#include "support/temp_dir.h"

namespace {

using AnswerFunction = int (*)();

TEST(LoadLibrary, RefusesNamesItCannotLoad) {
  testsupport::ScopedMachine machine;
  testsupport::TempDir dir;
  testsupport::WriteFile(dir / "TEXT.TSP", "not a library");
  struct Case {
    const char* name;
    plat::DWORD error;
  } cases[] = {
      {nullptr, 87},
      {"", 87},
      {"NOSUCH.TSP", 126},
      {"C:\\no\\such\\dir\\NOSUCH.TSP", 126},
  };
  for (const Case& c : cases) {
    plat::SetLastError(0);
    EXPECT_EQ(nullptr, plat::LoadLibraryA(c.name)) << (c.name ? c.name : "null");
    EXPECT_EQ(c.error, plat::GetLastError()) << (c.name ? c.name : "null");
  }
  std::string text = plat::ToWindowsPath(dir / "TEXT.TSP");
  EXPECT_EQ(nullptr, plat::LoadLibraryA(text.c_str()));
  EXPECT_EQ(11u, plat::GetLastError());
}

TEST(LoadLibrary, LoadsByWindowsPathInAnyCaseAndResolvesExports) {
  std::string windowsPath = plat::ToWindowsPath(TEST_MODULE);
  std::string otherCase = windowsPath.substr(0, windowsPath.rfind('\\') + 1) + "testmod.tsp";
  plat::HMODULE module = plat::LoadLibraryA(otherCase.c_str());
  ASSERT_NE(nullptr, module);

  auto answer = reinterpret_cast<AnswerFunction>(plat::GetProcAddress(module, "TestModuleAnswer"));
  ASSERT_NE(nullptr, answer);
  EXPECT_EQ(42, answer());
  plat::SetLastError(0);
  EXPECT_EQ(nullptr, plat::GetProcAddress(module, "TSPI_lineMissing"));
  EXPECT_EQ(127u, plat::GetLastError());

  char name[260] = {};
  EXPECT_EQ(windowsPath.size(), plat::GetModuleFileNameA(module, name, sizeof(name)));
  EXPECT_EQ(windowsPath, name);
  EXPECT_TRUE(plat::FreeLibrary(module));
}

TEST(LoadLibrary, FindsABareNameInTheSystemDirectory) {
  testsupport::ScopedMachine machine;
  std::filesystem::copy_file(TEST_MODULE, plat::SystemDirectoryHost() + "/TESTMOD.TSP");
  plat::HMODULE module = plat::LoadLibraryA("TestMod.tsp");
  ASSERT_NE(nullptr, module);
  EXPECT_NE(nullptr, plat::GetProcAddress(module, "TestModuleAnswer"));
  EXPECT_TRUE(plat::FreeLibrary(module));
}

TEST(GetModuleFileName, GivesTheProgramInWindowsFormAndCutsLikeWindows) {
  std::string expected = plat::ToWindowsPath(std::filesystem::canonical("/proc/self/exe").string());
  ASSERT_EQ(0u, expected.rfind("C:\\", 0));
  char name[260] = {};
  EXPECT_EQ(expected.size(), plat::GetModuleFileNameA(nullptr, name, sizeof(name)));
  EXPECT_EQ(expected, name);

  char small[6];
  std::fill(std::begin(small), std::end(small), 'Z');
  plat::SetLastError(0);
  EXPECT_EQ(5u, plat::GetModuleFileNameA(nullptr, small, 5));
  EXPECT_EQ(122u, plat::GetLastError());
  EXPECT_STREQ(expected.substr(0, 4).c_str(), small);
  EXPECT_EQ('Z', small[5]);

  plat::SetProgramFileNameForTesting("D:\\SVC\\PROG.EXE");
  EXPECT_EQ(15u, plat::GetModuleFileNameA(nullptr, name, sizeof(name)));
  EXPECT_STREQ("D:\\SVC\\PROG.EXE", name);
  plat::SetProgramFileNameForTesting(nullptr);
  plat::GetModuleFileNameA(nullptr, name, sizeof(name));
  EXPECT_EQ(expected, name);
}

}  // namespace
