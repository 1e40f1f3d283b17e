// Tests of the machine area of the platform layer.
#include "plat/machine.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "plat/eventlog.h"
#include "plat/registry.h"
#include "plat/service.h"
#include "support/temp_dir.h"

namespace {

using testsupport::WindowsForm;

namespace fs = std::filesystem;
using testsupport::ScopedMachine;
using testsupport::TempDir;

// Sets an environment variable for the life of the object and restores it after.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : m_name(name) {
    const char* previous = std::getenv(name);
    m_hadPrevious = previous != nullptr;
    if (m_hadPrevious) m_previous = previous;
    if (value != nullptr)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (m_hadPrevious)
      setenv(m_name.c_str(), m_previous.c_str(), 1);
    else
      unsetenv(m_name.c_str());
  }

 private:
  std::string m_name;
  std::string m_previous;
  bool m_hadPrevious = false;
};

TEST(MachineDirectoryTest, FollowsTheVariableAtEveryCallAndCreatesTheDirectory) {
  TempDir root;
  std::string first = root / "one/nested/machine";
  std::string second = root / "two";
  ScopedEnv machine("VELCORA_MACHINE", first.c_str());
  EXPECT_EQ(plat::MachineDirectory(), first);
  EXPECT_TRUE(fs::is_directory(first));

  setenv("VELCORA_MACHINE", second.c_str(), 1);
  EXPECT_EQ(plat::MachineDirectory(), second);
  EXPECT_TRUE(fs::is_directory(second));
}

TEST(MachineDirectoryTest, DefaultsToADirectoryInHome) {
  TempDir home;
  ScopedEnv machine("VELCORA_MACHINE", nullptr);
  ScopedEnv homeVariable("HOME", home.path().c_str());
  EXPECT_EQ(plat::MachineDirectory(), home / ".velcora-machine");
  EXPECT_TRUE(fs::is_directory(home / ".velcora-machine"));
}

TEST(MachineDirectoryTest, TakesARelativeValueFromTheCurrentDirectory) {
  TempDir root;
  fs::path previous = fs::current_path();
  fs::current_path(root.path());
  ScopedEnv machine("VELCORA_MACHINE", "rel/machine/");
  std::string directory = plat::MachineDirectory();
  fs::current_path(previous);
  EXPECT_EQ(directory, root / "rel/machine");
  EXPECT_TRUE(fs::is_directory(root / "rel/machine"));
}

// The machine directory holds the store and the control sockets of running services: nobody but its
// owner may look into it, whatever the umask.
TEST(MachineDirectoryTest, IsTheOwnersAloneWithEveryDirectoryTheLayerMakesInIt) {
  TempDir root;
  const std::string machine = root / "machine";
  ScopedEnv variable("VELCORA_MACHINE", machine.c_str());
  const mode_t previous = umask(022);
  plat::SystemDirectoryHost();
  plat::HKEY key = nullptr;
  const plat::LONG created = plat::RegCreateKeyExA(plat::HKEY_CURRENT_USER, "Software\\Mode", 0, nullptr, 0,
                                                   plat::KEY_ALL_ACCESS, nullptr, &key, nullptr);
  plat::RegCloseKey(key);
  plat::ReadServiceHistory("Mode");
  plat::HANDLE source = plat::RegisterEventSourceA(nullptr, "Mode");
  const plat::BOOL reported =
      plat::ReportEventA(source, plat::EVENTLOG_INFORMATION_TYPE, 0, 1, nullptr, 0, 0, nullptr, nullptr);
  plat::DeregisterEventSource(source);
  umask(previous);
  ASSERT_EQ(0, created);
  ASSERT_TRUE(reported);

  for (const char* relative : {"", "/windows", "/windows/system32", "/registry", "/services", "/eventlog"}) {
    struct stat info;
    ASSERT_EQ(0, stat((machine + relative).c_str(), &info)) << relative;
    EXPECT_EQ(0700u, info.st_mode & 07777) << machine << relative;
  }
}

TEST(MachineDirectoryTest, WindowsAndSystemDirectoriesLiveInTheMachineDirectory) {
  ScopedMachine machine;
  EXPECT_EQ(plat::WindowsDirectoryHost(), machine.path() + "/windows");
  EXPECT_EQ(plat::SystemDirectoryHost(), machine.path() + "/windows/system32");
  EXPECT_TRUE(fs::is_directory(machine.path() + "/windows/system32"));
}

struct DirectoryCall {
  const char* name;
  plat::UINT (*call)(plat::LPSTR, plat::UINT);
  const char* relative;  // below the machine directory
};

class WindowsDirectoryCallTest : public ::testing::TestWithParam<DirectoryCall> {};

TEST_P(WindowsDirectoryCallTest, CreatesTheDirectoryOnFirstUse) {
  ScopedMachine machine;
  std::string host = machine.path() + "/" + GetParam().relative;
  ASSERT_FALSE(fs::exists(host));
  char buffer[512];
  GetParam().call(buffer, sizeof buffer);
  EXPECT_TRUE(fs::is_directory(host));
}

TEST_P(WindowsDirectoryCallTest, FollowsTheWindowsReturnRules) {
  ScopedMachine machine;
  std::string expected = WindowsForm(machine.path() + "/" + GetParam().relative);
  plat::UINT length = static_cast<plat::UINT>(expected.size());

  char exact[512];
  std::memset(exact, '#', sizeof exact);
  EXPECT_EQ(GetParam().call(exact, length + 1), length);
  EXPECT_EQ(std::string(exact), expected);

  char tooSmall[512];
  std::memset(tooSmall, '#', sizeof tooSmall);
  EXPECT_EQ(GetParam().call(tooSmall, length), length + 1);
  EXPECT_EQ(std::string(tooSmall, length + 1), std::string(length + 1, '#'));

  EXPECT_EQ(GetParam().call(nullptr, 0), length + 1);
}

INSTANTIATE_TEST_SUITE_P(Directories, WindowsDirectoryCallTest,
                         ::testing::Values(DirectoryCall{"Windows", plat::GetWindowsDirectoryA, "windows"},
                                           DirectoryCall{"System", plat::GetSystemDirectoryA,
                                                         "windows/system32"}),
                         [](const ::testing::TestParamInfo<DirectoryCall>& info) { return info.param.name; });

}  // namespace
