// Tests of shared sections: one value per program file, shared by its processes, 0 again after the last.
#include "plat/shared_section.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "plat/handle.h"
#include "plat/module.h"
#include "plat/path.h"
#include "plat/process.h"
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

class SharedSectionTest : public ::testing::Test {
 protected:
  ~SharedSectionTest() override { plat::SetProgramFileNameForTesting(nullptr); }

  // Makes the sections this process attaches to the probe program's.
  static void ActAsTheProbeProgram() {
    const std::string probe = std::filesystem::canonical(SHARED_PROBE).string();
    plat::SetProgramFileNameForTesting(plat::ToWindowsPath(probe).c_str());
  }

  ScopedMachine m_machine;
};

TEST_F(SharedSectionTest, AttachmentsOfOneProgramShareOneCopyKeptInTheMachineDirectory) {
  SharedSection first("SMTest");
  EXPECT_EQ(first.Value().load(), 0);
  first.Value().store(7);
  SharedSection second("SMTest");
  EXPECT_EQ(second.Value().load(), 7);
  second.Value().fetch_add(1);
  EXPECT_EQ(first.Value().load(), 8);

  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(m_machine.path()))
    if (entry.is_regular_file() && entry.path().filename().string().find("SMTest") != std::string::npos)
      ++files;
  EXPECT_EQ(files, 1);
}

// Two attachments in one process hold the section as two processes would.
TEST_F(SharedSectionTest, ValueLivesUntilTheLastAttachmentEnds) {
  auto first = std::make_unique<SharedSection>("SMTest");
  first->Value().store(5);
  auto second = std::make_unique<SharedSection>("SMTest");
  first.reset();
  EXPECT_EQ(second->Value().load(), 5);
  {
    SharedSection third("SMTest");
    EXPECT_EQ(third.Value().load(), 5);
    second.reset();
    EXPECT_EQ(third.Value().load(), 5);
  }
  SharedSection afterTheLast("SMTest");
  EXPECT_EQ(afterTheLast.Value().load(), 0);
}

enum class Other { Name, SimilarName, Program, MachineDirectory };

void PrintTo(Other other, std::ostream* out) {
  const char* names[] = {"Name", "SimilarName", "Program", "MachineDirectory"};
  *out << names[static_cast<int>(other)];
}

class SeparateSectionTest : public SharedSectionTest, public ::testing::WithParamInterface<Other> {};

TEST_P(SeparateSectionTest, DoesNotShareTheValue) {
  SharedSection mine("SM.Test");
  mine.Value().store(5);
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
  EXPECT_EQ(other.Value().load(), 0);
  other.Value().store(9);
  EXPECT_EQ(mine.Value().load(), 5);
}

INSTANTIATE_TEST_SUITE_P(Others, SeparateSectionTest,
                         ::testing::Values(Other::Name, Other::SimilarName, Other::Program,
                                           Other::MachineDirectory),
                         [](const ::testing::TestParamInfo<Other>& info) {
                           return ::testing::PrintToString(info.param);
                         });

TEST_F(SharedSectionTest, UnusableMachineDirectoryGivesEachAttachmentItsOwnValue) {
  const std::string notADirectory = m_machine.path() + "/plain-file";
  WriteFile(notADirectory, "x");
  setenv("VELCORA_MACHINE", notADirectory.c_str(), 1);  // the fixture's machine puts the old one back
  SharedSection first("SMTest");
  SharedSection second("SMTest");
  first.Value().store(3);
  EXPECT_EQ(second.Value().load(), 0);
  second.Value().fetch_add(2);
  EXPECT_EQ(first.Value().load(), 3);
  EXPECT_EQ(second.Value().load(), 2);
}

TEST_F(SharedSectionTest, ProgramValueIsAttachedOnceAndSharedWithTheSectionObjects) {
  std::atomic<int32_t>& value = plat::SharedSectionValue("SMAccessor");
  EXPECT_EQ(&plat::SharedSectionValue("SMAccessor"), &value);
  value.store(4);
  SharedSection attached("SMAccessor");
  EXPECT_EQ(attached.Value().load(), 4);
}

TEST_F(SharedSectionTest, ProcessesOfOneProgramShareOneCopy) {
  ActAsTheProbeProgram();
  ProbeRun holder("set 9", Ending::OnRelease);
  ASSERT_EQ(holder.Output(), "set");
  {
    SharedSection mine("SMProbe");
    EXPECT_EQ(mine.Value().load(), 9);
    mine.Value().store(10);
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
  EXPECT_EQ(mine.Value().load(), kProbes * 200000);
}

}  // namespace
