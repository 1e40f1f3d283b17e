// Tests of shared sections: one value per program file, shared by its processes, 0 again after the last.
#include "plat/shared_section.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "plat/error.h"
#include "plat/handle.h"
#include "plat/machine.h"
#include "plat/path.h"
#include "plat/process.h"
#include "plat/testing/module.h"
#include "support/temp_dir.h"

namespace {

using plat::DWORD;
using plat::SharedSection;
using testsupport::ReadFile;
using testsupport::ScopedMachine;
using testsupport::TempDir;
using testsupport::WriteFile;

// How a probe ends once it has written its output.
enum class Ending { AtOnce, OnRelease, CrashOnRelease };

// A run of the probe program, started at once, with its go, release and output files in a directory
// of its own. The probe's command waits for `goFile` when one is given.
class ProbeRun {
 public:
  explicit ProbeRun(const std::string& command, Ending ending = Ending::AtOnce,
                    const std::string& goFile = "-")
      : m_output(m_dir / "output.txt") {
    const std::string release = ending == Ending::AtOnce ? "-" : m_dir / "release";
    const char* how = ending == Ending::CrashOnRelease ? "crash" : "exit";
    std::string commandLine =
        std::string(SHARED_PROBE) + " " + m_output + " " + goFile + " " + release + " " + how + " " + command;
    plat::STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    m_started = plat::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, plat::FALSE, 0, nullptr,
                                     nullptr, &startup, &m_process) != 0;
    EXPECT_TRUE(m_started) << commandLine;
  }
  ~ProbeRun() {
    if (!m_started) return;
    Release();
    ExitCode();
    plat::CloseHandle(m_process.hProcess);
    plat::CloseHandle(m_process.hThread);
  }
  ProbeRun(const ProbeRun&) = delete;
  ProbeRun& operator=(const ProbeRun&) = delete;

  // What the probe wrote, without the line end, once it wrote it; empty when it ended without output.
  std::string Output() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (m_started && !std::filesystem::exists(m_output)) {
      const bool ended = plat::WaitForSingleObject(m_process.hProcess, 0) == plat::WAIT_OBJECT_0;
      if ((ended && !std::filesystem::exists(m_output)) || std::chrono::steady_clock::now() > deadline) {
        ADD_FAILURE() << "the probe wrote nothing";
        return std::string();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::string text = ReadFile(m_output);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
  }

  void Release() { WriteFile(m_dir / "release", ""); }

  // The probe's exit code, once it has ended.
  DWORD ExitCode() {
    EXPECT_EQ(plat::WaitForSingleObject(m_process.hProcess, 120000), plat::WAIT_OBJECT_0);
    DWORD code = 1;
    plat::GetExitCodeProcess(m_process.hProcess, &code);
    return code;
  }

 private:
  TempDir m_dir;
  std::string m_output;
  bool m_started = false;
  plat::PROCESS_INFORMATION m_process = {};
};

// What a probe that ends at once wrote.
std::string RunProbe(const std::string& command) {
  ProbeRun probe(command);
  std::string output = probe.Output();
  EXPECT_EQ(probe.ExitCode(), 0u);
  return output;
}

// The value of an attachment that must have one.
std::atomic<int32_t>& ValueOf(SharedSection& section) {
  static std::atomic<int32_t> none{0};
  if (section.Value() != nullptr) return *section.Value();
  ADD_FAILURE() << "the section is not attached: error " << section.Error();
  return none;
}

class SharedSectionTest : public ::testing::Test {
 protected:
  ~SharedSectionTest() override { plat::SetProgramFileNameForTesting(nullptr); }

  // The host path of the file of section `name` in the machine directory in force, made by attaching.
  static std::string SectionFileOf(const std::string& name) {
    { SharedSection made(name); }
    const std::string sections = plat::MachineDirectory() + "/sections";
    for (const auto& entry : std::filesystem::directory_iterator(sections))
      if (entry.path().filename().string().rfind(name + "-", 0) == 0) return entry.path().string();
    ADD_FAILURE() << "no file of section " << name << " in " << sections;
    return sections + "/missing";
  }

  // Makes the sections this process attaches to the probe program's.
  static void ActAsTheProbeProgram() {
    const std::string probe = std::filesystem::canonical(SHARED_PROBE).string();
    plat::SetProgramFileNameForTesting(plat::ToWindowsPath(probe).c_str());
  }

  ScopedMachine m_machine;
};

TEST_F(SharedSectionTest, AttachmentsOfOneProgramShareOneCopyKeptInTheMachineDirectory) {
  SharedSection first("SMTest");
  EXPECT_EQ(ValueOf(first).load(), 0);
  ValueOf(first).store(7);
  SharedSection second("SMTest");
  EXPECT_EQ(ValueOf(second).load(), 7);
  ValueOf(second).fetch_add(1);
  EXPECT_EQ(ValueOf(first).load(), 8);

  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(m_machine.path()))
    if (entry.is_regular_file() && entry.path().filename().string().find("SMTest") != std::string::npos)
      ++files;
  EXPECT_EQ(files, 1);
}

// Two attachments in one process hold the section as two processes would.
TEST_F(SharedSectionTest, ValueLivesUntilTheLastAttachmentEnds) {
  auto first = std::make_unique<SharedSection>("SMTest");
  ValueOf(*first).store(5);
  auto second = std::make_unique<SharedSection>("SMTest");
  first.reset();
  EXPECT_EQ(ValueOf(*second).load(), 5);
  {
    SharedSection third("SMTest");
    EXPECT_EQ(ValueOf(third).load(), 5);
    second.reset();
    EXPECT_EQ(ValueOf(third).load(), 5);
  }
  SharedSection afterTheLast("SMTest");
  EXPECT_EQ(ValueOf(afterTheLast).load(), 0);
}

enum class Other { Name, SimilarName, Program, MachineDirectory };

void PrintTo(Other other, std::ostream* out) {
  const char* names[] = {"Name", "SimilarName", "Program", "MachineDirectory"};
  *out << names[static_cast<int>(other)];
}

class SeparateSectionTest : public SharedSectionTest, public ::testing::WithParamInterface<Other> {};

TEST_P(SeparateSectionTest, DoesNotShareTheValue) {
  SharedSection mine("SM.Test");
  ValueOf(mine).store(5);
  std::string name = "SM.Test";
  std::optional<ScopedMachine> otherMachine;
  switch (GetParam()) {
    case Other::Name:
      name = "SMOther";
      break;
    case Other::SimilarName:
      name = "SM_Test";
      break;
    case Other::Program:
      plat::SetProgramFileNameForTesting("C:\\elsewhere\\OTHER.EXE");
      break;
    case Other::MachineDirectory:
      otherMachine.emplace();
      break;
  }
  SharedSection other(name);
  EXPECT_EQ(ValueOf(other).load(), 0);
  ValueOf(other).store(9);
  EXPECT_EQ(ValueOf(mine).load(), 5);
}

INSTANTIATE_TEST_SUITE_P(Others, SeparateSectionTest,
                         ::testing::Values(Other::Name, Other::SimilarName, Other::Program,
                                           Other::MachineDirectory),
                         [](const ::testing::TestParamInfo<Other>& info) {
                           return ::testing::PrintToString(info.param);
                         });

// What stands where the section file or one of its directories belongs.
enum class Blocker { MachineDirectoryIsAFile, SectionsDirectoryIsAFile, SectionFileIsADirectory };

struct BlockedCase {
  const char* name;
  Blocker blocker;
  DWORD error;
};

void PrintTo(const BlockedCase& blocked, std::ostream* out) { *out << blocked.name; }

class BlockedSectionTest : public SharedSectionTest, public ::testing::WithParamInterface<BlockedCase> {};

TEST_P(BlockedSectionTest, GivesNoValueAndTellsWhy) {
  const std::string sections = m_machine.path() + "/sections";
  switch (GetParam().blocker) {
    case Blocker::MachineDirectoryIsAFile:
      WriteFile(m_machine.path() + "/plain-file", "x");
      setenv("VELCORA_MACHINE", (m_machine.path() + "/plain-file").c_str(), 1);  // the fixture restores it
      break;
    case Blocker::SectionsDirectoryIsAFile:
      WriteFile(sections, "x");
      break;
    case Blocker::SectionFileIsADirectory: {
      const std::string path = SectionFileOf("SMTest");
      std::filesystem::remove(path);
      std::filesystem::create_directory(path);
      break;
    }
  }
  SharedSection blocked("SMTest");
  EXPECT_EQ(blocked.Value(), nullptr);
  EXPECT_EQ(blocked.Error(), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Blockers, BlockedSectionTest,
    ::testing::Values(
        BlockedCase{"MachineDirectoryIsAFile", Blocker::MachineDirectoryIsAFile, plat::ERROR_PATH_NOT_FOUND},
        BlockedCase{"SectionsDirectoryIsAFile", Blocker::SectionsDirectoryIsAFile,
                    plat::ERROR_PATH_NOT_FOUND},
        BlockedCase{"SectionFileIsADirectory", Blocker::SectionFileIsADirectory, plat::ERROR_ACCESS_DENIED}),
    [](const ::testing::TestParamInfo<BlockedCase>& info) { return info.param.name; });

// Without write access to the machine directory no section file can be made. Root writes anyway; for
// root, ReadOnlySectionsTest covers the same on a read-only filesystem.
TEST_F(SharedSectionTest, MachineDirectoryWithoutWriteAccessGivesNoValue) {
  if (geteuid() == 0)
    GTEST_SKIP() << "root writes into a directory of mode 0500 (see the read-only mount cases)";
  std::filesystem::permissions(m_machine.path(),
                               std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  SharedSection denied("SMTest");
  std::filesystem::permissions(m_machine.path(), std::filesystem::perms::owner_all);
  EXPECT_EQ(denied.Value(), nullptr);
  EXPECT_EQ(denied.Error(), plat::ERROR_ACCESS_DENIED);
}

TEST_F(SharedSectionTest, ProgramValueIsAttachedOnceAndSharedWithTheSectionObjects) {
  std::atomic<int32_t>* value = plat::SharedSectionValue("SMAccessor");
  ASSERT_NE(value, nullptr);
  plat::SetLastError(1234);
  EXPECT_EQ(plat::SharedSectionValue("SMAccessor"), value);
  EXPECT_EQ(plat::GetLastError(), 1234u) << "success sets no last error";
  value->store(4);
  SharedSection attached("SMAccessor");
  EXPECT_EQ(ValueOf(attached).load(), 4);
}

// A process holds the section from its first call or never, so a later call cannot attach late.
TEST_F(SharedSectionTest, ProgramValueThatCannotBeHadIsNullWithItsErrorAtEveryCall) {
  WriteFile(m_machine.path() + "/sections", "x");
  EXPECT_EQ(plat::SharedSectionValue("SMUnusable"), nullptr);
  EXPECT_EQ(plat::GetLastError(), plat::ERROR_PATH_NOT_FOUND);
  std::filesystem::remove(m_machine.path() + "/sections");
  plat::SetLastError(0);
  EXPECT_EQ(plat::SharedSectionValue("SMUnusable"), nullptr);
  EXPECT_EQ(plat::GetLastError(), plat::ERROR_PATH_NOT_FOUND);
}

TEST_F(SharedSectionTest, ProcessesOfOneProgramShareOneCopy) {
  ActAsTheProbeProgram();
  ProbeRun holder("set 9", Ending::OnRelease);
  ASSERT_EQ(holder.Output(), "set");
  {
    SharedSection mine("SMProbe");
    EXPECT_EQ(ValueOf(mine).load(), 9);
    ValueOf(mine).store(10);
    EXPECT_EQ(RunProbe("read"), "10");
    holder.Release();
    EXPECT_EQ(holder.ExitCode(), 0u);
    EXPECT_EQ(RunProbe("read"), "10");  // this process still holds the section
  }
  EXPECT_EQ(RunProbe("read"), "0");
}

struct EndingCase {
  const char* name;
  Ending ending;
  DWORD exitCode;
};

void PrintTo(const EndingCase& ending, std::ostream* out) { *out << ending.name; }

class LastProcessEndingTest : public SharedSectionTest, public ::testing::WithParamInterface<EndingCase> {};

TEST_P(LastProcessEndingTest, NextStartFindsZero) {
  ProbeRun first("set 5", GetParam().ending);
  ASSERT_EQ(first.Output(), "set");
  EXPECT_EQ(RunProbe("read"), "5");
  first.Release();
  EXPECT_EQ(first.ExitCode(), GetParam().exitCode);
  EXPECT_EQ(RunProbe("read"), "0");
}

INSTANTIATE_TEST_SUITE_P(Endings, LastProcessEndingTest,
                         ::testing::Values(EndingCase{"Exit", Ending::OnRelease, 0},
                                           EndingCase{"Crash", Ending::CrashOnRelease, 134}),
                         [](const ::testing::TestParamInfo<EndingCase>& info) { return info.param.name; });

// The probes wait for one go file, so their claims race.
TEST_F(SharedSectionTest, ConcurrentStartsAdmitExactlyOne) {
  TempDir signals;
  const std::string go = signals / "go";
  constexpr int kProbes = 8;
  std::vector<std::unique_ptr<ProbeRun>> probes;
  for (int i = 0; i < kProbes; ++i)
    probes.push_back(std::make_unique<ProbeRun>("claim", Ending::OnRelease, go));
  WriteFile(go, "");
  int claimed = 0;
  int refused = 0;
  for (auto& probe : probes) {
    const std::string output = probe->Output();
    claimed += output == "claimed";
    refused += output == "refused";
  }
  EXPECT_EQ(claimed, 1);
  EXPECT_EQ(refused, kProbes - 1);
  probes.clear();
  EXPECT_EQ(RunProbe("claim"), "claimed");
}

TEST_F(SharedSectionTest, ConcurrentIncrementsFromManyProcessesAllCount) {
  ActAsTheProbeProgram();
  SharedSection mine("SMProbe");
  TempDir signals;
  const std::string go = signals / "go";
  constexpr int kProbes = 4;
  std::vector<std::unique_ptr<ProbeRun>> probes;
  for (int i = 0; i < kProbes; ++i)
    probes.push_back(std::make_unique<ProbeRun>("add 200000", Ending::AtOnce, go));
  WriteFile(go, "");
  for (auto& probe : probes) EXPECT_EQ(probe->Output(), "added");
  EXPECT_EQ(ValueOf(mine).load(), kProbes * 200000);
}

// ---- filesystems that only root can make: a small tmpfs, in a mount namespace of the test's own

constexpr char kInPrivateMounts[] = "SHARED_SECTION_TEST_PRIVATE_MOUNTS";

// A tmpfs of `size` over a fresh directory, taken away again at the end.
class SmallFilesystem {
 public:
  explicit SmallFilesystem(const std::string& size)
      : m_mounted(mount("tmpfs", m_dir.path().c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0) {
    EXPECT_TRUE(m_mounted) << std::strerror(errno);
  }
  ~SmallFilesystem() {
    if (m_mounted) umount2(m_dir.path().c_str(), MNT_DETACH);
  }
  SmallFilesystem(const SmallFilesystem&) = delete;
  SmallFilesystem& operator=(const SmallFilesystem&) = delete;

  const std::string& path() const { return m_dir.path(); }

  // Writes a file until no block is left.
  void Fill() {
    std::FILE* filler = std::fopen((m_dir / "filler").c_str(), "wb");
    ASSERT_NE(filler, nullptr) << std::strerror(errno);
    std::setvbuf(filler, nullptr, _IONBF, 0);
    const std::vector<char> block(4096, 'x');
    while (std::fwrite(block.data(), 1, block.size(), filler) == block.size()) {
    }
    EXPECT_EQ(errno, ENOSPC);
    std::fclose(filler);
  }

  void MakeReadOnly() {
    EXPECT_EQ(mount(nullptr, m_dir.path().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0)
        << std::strerror(errno);
  }

 private:
  TempDir m_dir;
  bool m_mounted;
};

// Runs the current test again in a copy of this program with a mount namespace of its own, so what the
// copy mounts is seen by nobody else and goes with it; the copy's verdict is the test's. Skips when
// this is not root or no mount namespace can be had.
void RunAgainInPrivateMounts() {
  if (geteuid() != 0) GTEST_SKIP() << "mounting a small filesystem needs root";
  if (std::system("unshare -m --propagation private true >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "no mount namespace of its own can be had here (unshare -m)";
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  TempDir output;
  const std::string command = std::string("env ") + kInPrivateMounts +
                              "=1 unshare -m --propagation private '" +
                              std::filesystem::read_symlink("/proc/self/exe").string() +
                              "' '--gtest_filter=" + test->test_suite_name() + "." + test->name() + "' > '" +
                              output / "log" + "' 2>&1";
  const int status = std::system(command.c_str());
  const std::string log = ReadFile(output / "log");
  EXPECT_EQ(status, 0) << log;
  EXPECT_NE(log.find("[  PASSED  ] 1 test."), std::string::npos) << log;
}

enum class Filesystem { Full, ReadOnly };
// What was in the machine directory before the filesystem filled up or became read-only.
enum class Before { Nothing, Section, SparseSection };

struct FilesystemCase {
  const char* name;
  Filesystem filesystem;
  Before before;
  DWORD error;
};

void PrintTo(const FilesystemCase& filesystem, std::ostream* out) { *out << filesystem.name; }

class SectionFilesystemTest : public SharedSectionTest,
                              public ::testing::WithParamInterface<FilesystemCase> {};

// Before its space was reserved, a section on a full filesystem ended the process with SIGBUS at its
// first store; in the copy that runs the test, a fault is a failed run.
TEST_P(SectionFilesystemTest, AttachesOrTellsWhyWithoutFaulting) {
  if (std::getenv(kInPrivateMounts) == nullptr) return RunAgainInPrivateMounts();
  SmallFilesystem filesystem("64k");
  setenv("VELCORA_MACHINE", filesystem.path().c_str(), 1);  // the fixture's machine restores it
  if (GetParam().before != Before::Nothing) {
    const std::string file = SectionFileOf("SMTest");
    // As a file grown by a process that ended before it stored into it.
    if (GetParam().before == Before::SparseSection) {
      ASSERT_TRUE(truncate(file.c_str(), 0) == 0 && truncate(file.c_str(), 4) == 0) << std::strerror(errno);
    }
  }
  if (GetParam().filesystem == Filesystem::Full)
    filesystem.Fill();
  else
    filesystem.MakeReadOnly();

  SharedSection section("SMTest");
  EXPECT_EQ(section.Error(), GetParam().error);
  if (GetParam().error != plat::ERROR_SUCCESS) {
    EXPECT_EQ(section.Value(), nullptr);
    return;
  }
  ValueOf(section).store(6);
  SharedSection second("SMTest");
  EXPECT_EQ(ValueOf(second).load(), 6);
}

INSTANTIATE_TEST_SUITE_P(Filesystems, SectionFilesystemTest,
                         ::testing::Values(FilesystemCase{"FullWithoutSection", Filesystem::Full,
                                                          Before::Nothing, plat::ERROR_DISK_FULL},
                                           FilesystemCase{"FullWithSparseSection", Filesystem::Full,
                                                          Before::SparseSection, plat::ERROR_DISK_FULL},
                                           FilesystemCase{"FullWithSection", Filesystem::Full,
                                                          Before::Section, plat::ERROR_SUCCESS},
                                           FilesystemCase{"ReadOnlyWithoutSection", Filesystem::ReadOnly,
                                                          Before::Nothing, plat::ERROR_WRITE_PROTECT},
                                           FilesystemCase{"ReadOnlyWithSection", Filesystem::ReadOnly,
                                                          Before::Section, plat::ERROR_WRITE_PROTECT}),
                         [](const ::testing::TestParamInfo<FilesystemCase>& info) {
                           return info.param.name;
                         });

}  // namespace
