// Tests of CLoggingFile and ShowNewestLogFile: line formats, levels, the numbered series and the viewers.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ToolFunktion.h"
#include "plat/error.h"
#include "plat/file.h"
#include "plat/machine.h"
#include "plat/process.h"
#include "plat/testing/module.h"
#include "plat/testing/shell.h"
#include "plat/thread.h"
#include "support/recording_program.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WindowsForm;
using testsupport::WriteFile;
using TOOLFUNC_debug::CLoggingFile;

// The stamp of Write and WriteLevel ("31.12.2024 23:59:58:123 ") and the header of WriteRotating
// ("31-12-2024 23:59:58.123 (<process>:<thread>) - ").
enum class Prefix { kStamp, kHeader };

struct PrefixFields {
  int day, month, year, hour, minute, second, millisecond;
  unsigned long process, thread;
};

bool ReadNumber(const std::string& text, size_t* position, unsigned long* value) {
  size_t start = *position;
  while (*position < text.size() && std::isdigit(static_cast<unsigned char>(text[*position]))) ++*position;
  if (*position == start) return false;
  *value = std::stoul(text.substr(start, *position - start));
  return true;
}

bool ReadLiteral(const std::string& text, size_t* position, const std::string& literal) {
  if (text.compare(*position, literal.size(), literal) != 0) return false;
  *position += literal.size();
  return true;
}

// The length of the prefix that starts `text` at `start` (0 when there is none), its fields in `fields`.
size_t PrefixAt(const std::string& text, size_t start, Prefix prefix, PrefixFields* fields = nullptr) {
  // '9' stands for a digit.
  const std::string shape =
      prefix == Prefix::kStamp ? "99.99.9999 99:99:99:999 " : "99-99-9999 99:99:99.999 (";
  if (text.size() < start + shape.size()) return 0;
  for (size_t i = 0; i < shape.size(); ++i) {
    const char c = text[start + i];
    if (shape[i] == '9' ? !std::isdigit(static_cast<unsigned char>(c)) : c != shape[i]) return 0;
  }
  auto number = [&](size_t offset, size_t length) { return std::stoi(text.substr(start + offset, length)); };
  PrefixFields parsed = {number(0, 2),
                         number(3, 2),
                         number(6, 4),
                         number(11, 2),
                         number(14, 2),
                         number(17, 2),
                         number(20, 3),
                         0,
                         0};
  size_t end = start + shape.size();
  if (prefix == Prefix::kHeader &&
      !(ReadNumber(text, &end, &parsed.process) && ReadLiteral(text, &end, ":") &&
        ReadNumber(text, &end, &parsed.thread) && ReadLiteral(text, &end, ") - ")))
    return 0;
  if (fields != nullptr) *fields = parsed;
  return end - start;
}

// The content with the stamp or header removed wherever one starts a line.
std::string WithoutPrefixes(const std::string& content, Prefix prefix) {
  std::string result;
  for (size_t start = 0; start < content.size();) {
    size_t end = content.find('\n', start);
    end = end == std::string::npos ? content.size() : end + 1;
    const size_t prefixLength = PrefixAt(content, start, prefix);
    result += content.substr(start + prefixLength, end - start - prefixLength);
    start = end;
  }
  return result;
}

// The lines of a file whose lines all end with CR LF.
std::vector<std::string> LinesOf(const std::string& content) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end = content.find("\r\n"); end != std::string::npos; end = content.find("\r\n", start)) {
    lines.push_back(content.substr(start, end - start));
    start = end + 2;
  }
  EXPECT_EQ(start, content.size()) << "the last line has no CR LF";
  return lines;
}

// Expects the time of a stamp or header to be the local time between `before` and `after`.
void ExpectLocalTimeBetween(const PrefixFields& fields, std::time_t before, std::time_t after) {
  std::tm local = {};
  local.tm_mday = fields.day;
  local.tm_mon = fields.month - 1;
  local.tm_year = fields.year - 1900;
  local.tm_hour = fields.hour;
  local.tm_min = fields.minute;
  local.tm_sec = fields.second;
  local.tm_isdst = -1;
  std::time_t stamped = std::mktime(&local);
  EXPECT_GE(stamped, before - 1);
  EXPECT_LE(stamped, after + 1);
}

class LoggingFileTest : public ::testing::Test {
 protected:
  void TearDown() override { plat::SetProgramFileNameForTesting(nullptr); }

  std::string Windows(const std::string& relative) const { return WindowsForm(m_dir.path()) + relative; }
  // The lines of series file `number` ("L<number>.LOG") without their headers.
  std::string SeriesBody(int number) const {
    return WithoutPrefixes(ReadFile(m_dir / ("L" + std::to_string(number) + ".LOG")), Prefix::kHeader);
  }
  void UseSeries(CLoggingFile& log, plat::DWORD linesPerFile, plat::DWORD files) const {
    log.SetDebugLevel(5);
    log.SetMaxDebugLines(linesPerFile);
    log.SetMaxDebugFiles(files);
    log.SetFileNamePattern(Windows("\\L%d.LOG").c_str());
  }

  TempDir m_dir;
};

TEST_F(LoggingFileTest, TheLineCounterPicksTheSeriesFileWithDefaultsForZeroSettings) {
  struct Case {
    const char* settings;
    bool setLines;
    plat::DWORD lines;
    bool setFiles;
    plat::DWORD files;
    plat::DWORD counter;
    int fileNumber;
  } cases[] = {
      {"constructor: 25000 lines", false, 0, false, 0, 24999, 0},
      {"constructor: 25000 lines", false, 0, false, 0, 25000, 1},
      {"constructor: 10 files", false, 0, false, 0, 249999, 9},
      {"constructor: 10 files", false, 0, false, 0, 250000, 0},
      {"0 lines gives 10000", true, 0, false, 0, 9999, 0},
      {"0 lines gives 10000", true, 0, false, 0, 10000, 1},
      {"0 files gives 10", true, 2, true, 0, 19, 9},
      {"0 files gives 10", true, 2, true, 0, 20, 0},
  };
  for (const Case& c : cases) {
    TempDir dir;
    CLoggingFile log;
    log.SetDebugLevel(1);
    if (c.setLines) log.SetMaxDebugLines(c.lines);
    if (c.setFiles) log.SetMaxDebugFiles(c.files);
    log.SetFileNamePattern((WindowsForm(dir.path()) + "\\L%d.LOG").c_str());
    log.SetDebugLine(c.counter);
    EXPECT_EQ(log.GetDebugLine(), c.counter);
    log.WriteRotating(1, "line");
    EXPECT_EQ(log.GetDebugLine(), c.counter + 1) << c.settings;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path())) names.push_back(entry.path().filename());
    EXPECT_EQ(names, std::vector<std::string>{"L" + std::to_string(c.fileNumber) + ".LOG"})
        << c.settings << ", counter " << c.counter;
  }
}

TEST_F(LoggingFileTest, ABareFileNameGoesIntoTheProgramsDirectoryAndNamesAreCutAt258) {
  fs::create_directories(m_dir / "Prog");
  fs::create_directories(m_dir / "Other");
  plat::SetProgramFileNameForTesting(Windows("\\Prog\\PROG.EXE").c_str());
  const std::string longName(300, 'a');
  const size_t roomInDirectory = 258 - Windows("\\Other\\").size();
  const size_t roomInProgramDirectory = 258 - Windows("\\Prog\\").size();
  struct Case {
    std::string name;
    std::string file;
  } cases[] = {
      {"BARE.LOG", m_dir / "Prog/BARE.LOG"},
      {Windows("\\Other\\X.LOG"), m_dir / "Other/X.LOG"},
      {Windows("/Other/Y.LOG"), m_dir / "Other/Y.LOG"},
      {Windows("\\Other\\") + longName, m_dir / ("Other/" + longName.substr(0, roomInDirectory))},
      {longName, m_dir / ("Prog/" + longName.substr(0, roomInProgramDirectory))},
  };
  for (const Case& c : cases) {
    CLoggingFile log;
    log.SetFileName(c.name.c_str());
    log.Write("line");
    EXPECT_EQ(WithoutPrefixes(ReadFile(c.file), Prefix::kStamp), "line\r\n") << c.name;
  }
}

TEST_F(LoggingFileTest, WithoutFileNameOrDirectoryNothingIsWritten) {
  fs::create_directories(m_dir / "Prog");
  plat::SetProgramFileNameForTesting(Windows("\\Prog\\PROG.EXE").c_str());
  CLoggingFile unnamed;
  unnamed.Write("line");
  unnamed.WriteLevel(0, "line");
  unnamed.DeleteLogFile();
  CLoggingFile missingDirectory;
  missingDirectory.SetFileName(Windows("\\NoDir\\X.LOG").c_str());
  missingDirectory.Write("line");
  missingDirectory.WriteLevel(0, "line");
  EXPECT_TRUE(fs::is_empty(m_dir / "Prog"));
  EXPECT_FALSE(fs::exists(m_dir / "NoDir"));
}

TEST_F(LoggingFileTest, EachWriterEndsItsLineWithOneCrLfAndCutsOneTrailingCrLf) {
  using Writer = std::function<void(CLoggingFile&, const char*)>;
  struct WriterCase {
    const char* name;
    Writer write;
    Prefix prefix;
  } writers[] = {
      {"Write", [](CLoggingFile& log, const char* text) { log.Write("%s", text); }, Prefix::kStamp},
      {"WriteLevel", [](CLoggingFile& log, const char* text) { log.WriteLevel(0, "%s", text); },
       Prefix::kStamp},
      {"WriteRotating", [](CLoggingFile& log, const char* text) { log.WriteRotating(0, "%s", text); },
       Prefix::kHeader},
  };
  struct TextCase {
    const char* text;
    const char* file;
  } texts[] = {
      {"plain", "plain\r\n"}, {"x\r\n", "x\r\n"},   {"x\r\n\r\n", "x\r\r\n\r\n"},
      {"a\nb", "a\r\nb\r\n"}, {"x\n", "x\r\n\r\n"}, {"x\r", "x\r\r\n"},
      {"\r\n", "\r\n"},
  };
  for (const WriterCase& writer : writers) {
    for (const TextCase& text : texts) {
      TempDir dir;
      const std::string file = WindowsForm(dir.path()) + "\\OUT.LOG";
      CLoggingFile log;
      log.SetFileName(file.c_str());
      log.SetFileNamePattern(file.c_str());
      writer.write(log, text.text);
      EXPECT_EQ(WithoutPrefixes(ReadFile(dir / "OUT.LOG"), writer.prefix), text.file)
          << writer.name << " " << ::testing::PrintToString(text.text);
    }
  }
}

TEST_F(LoggingFileTest, WritersFormatTheirArgumentsAndCutLongTexts) {
  const std::string longText(2000, 'x');
  CLoggingFile plain;
  plain.SetFileName(Windows("\\PLAIN.LOG").c_str());
  plain.Write("value %d and %s", 42, "text");
  plain.WriteLevel(0, "%05u|%-3s|", 7u, "ab");
  plain.Write("%s", longText.c_str());
  plain.WriteLevel(0, "%s", longText.c_str());
  EXPECT_EQ(LinesOf(WithoutPrefixes(ReadFile(m_dir / "PLAIN.LOG"), Prefix::kStamp)),
            (std::vector<std::string>{"value 42 and text", "00007|ab |", std::string(999, 'x'),
                                      std::string(999, 'x')}));

  CLoggingFile series;
  UseSeries(series, 100, 1);
  series.WriteRotating(0, "value %d and %s", 42, "text");
  series.WriteRotating(0, "%s", longText.c_str());
  EXPECT_EQ(LinesOf(SeriesBody(0)), (std::vector<std::string>{"value 42 and text", std::string(1022, 'x')}));
}

TEST_F(LoggingFileTest, StampsAndHeadersCarryTheLocalTimeProcessAndThread) {
  CLoggingFile plain;
  plain.SetFileName(Windows("\\PLAIN.LOG").c_str());
  CLoggingFile series;
  UseSeries(series, 100, 1);
  const std::time_t before = std::time(nullptr);
  plain.Write("first");
  plain.WriteLevel(0, "second");
  series.WriteRotating(0, "third");
  const std::time_t after = std::time(nullptr);

  std::vector<std::string> plainLines = LinesOf(ReadFile(m_dir / "PLAIN.LOG"));
  ASSERT_EQ(plainLines.size(), 2u);
  for (const std::string& line : plainLines) {
    PrefixFields fields;
    ASSERT_EQ(PrefixAt(line, 0, Prefix::kStamp, &fields), 24u) << line;
    ExpectLocalTimeBetween(fields, before, after);
  }
  EXPECT_EQ(plainLines[0].substr(24), "first");
  EXPECT_EQ(plainLines[1].substr(24), "second");

  std::vector<std::string> seriesLines = LinesOf(ReadFile(m_dir / "L0.LOG"));
  ASSERT_EQ(seriesLines.size(), 1u);
  PrefixFields fields;
  const size_t headerLength = PrefixAt(seriesLines[0], 0, Prefix::kHeader, &fields);
  ASSERT_NE(headerLength, 0u) << seriesLines[0];
  EXPECT_EQ(seriesLines[0].substr(headerLength), "third");
  ExpectLocalTimeBetween(fields, before, after);
  EXPECT_EQ(fields.process, plat::GetCurrentProcessId());
  EXPECT_EQ(fields.thread, plat::GetCurrentThreadId());
}

TEST_F(LoggingFileTest, LevelsAreComparedWithoutSign) {
  struct Case {
    plat::DWORD objectLevel;
    plat::DWORD lineLevel;
    bool written;
  } cases[] = {
      {0, 0, true},
      {5, 0, true},
      {3, 3, true},
      {3, 4, false},
      {0, 0xFFFFFFFF, false},
      {0xFFFFFFFF, 0xFFFFFFFF, true},
      {0xFFFFFFFF, 0x80000000, true},
  };
  for (const Case& c : cases) {
    TempDir dir;
    CLoggingFile plain;
    plain.SetDebugLevel(c.objectLevel);
    plain.SetFileName((WindowsForm(dir.path()) + "\\PLAIN.LOG").c_str());
    plain.WriteLevel(c.lineLevel, "line");
    CLoggingFile series;
    series.SetDebugLevel(c.objectLevel);
    series.SetFileNamePattern((WindowsForm(dir.path()) + "\\S%d.LOG").c_str());
    series.WriteRotating(c.lineLevel, "line");
    EXPECT_EQ(fs::exists(dir / "PLAIN.LOG"), c.written) << c.objectLevel << " " << c.lineLevel;
    EXPECT_EQ(fs::exists(dir / "S0.LOG"), c.written) << c.objectLevel << " " << c.lineLevel;
    EXPECT_EQ(series.GetDebugLine(), c.written ? 1u : 0u) << c.objectLevel << " " << c.lineLevel;
  }
  // Write has no level.
  TempDir dir;
  CLoggingFile log;
  log.SetFileName((WindowsForm(dir.path()) + "\\PLAIN.LOG").c_str());
  log.Write("line");
  EXPECT_TRUE(fs::exists(dir / "PLAIN.LOG"));
}

TEST_F(LoggingFileTest, TheSeriesRotatesThroughItsFilesAndStartsEachFileAfresh) {
  WriteFile(m_dir / "L0.LOG", "stale\r\n");
  CLoggingFile log;
  UseSeries(log, 2, 3);
  for (int line = 1; line <= 6; ++line) log.WriteRotating(1, "line %d", line);
  EXPECT_EQ(SeriesBody(0), "line 1\r\nline 2\r\n");
  EXPECT_EQ(SeriesBody(1), "line 3\r\nline 4\r\n");
  EXPECT_EQ(SeriesBody(2), "line 5\r\nline 6\r\n");
  EXPECT_EQ(log.GetDebugLine(), 6u);

  log.WriteRotating(1, "line 7");
  EXPECT_EQ(SeriesBody(0), "line 7\r\n");
  EXPECT_EQ(SeriesBody(1), "line 3\r\nline 4\r\n");
  EXPECT_EQ(log.GetDebugLine(), 7u);
  EXPECT_FALSE(fs::exists(m_dir / "L3.LOG"));
}

TEST_F(LoggingFileTest, ARunThatStartsInsideABlockAppendsToItsFile) {
  WriteFile(m_dir / "L1.LOG", "earlier run\r\n");
  WriteFile(m_dir / "L2.LOG", "stale\r\n");
  CLoggingFile log;
  UseSeries(log, 2, 3);
  log.SetDebugLine(3);
  log.WriteRotating(0, "continued");
  EXPECT_EQ(ReadFile(m_dir / "L1.LOG").substr(0, 13), "earlier run\r\n");
  EXPECT_EQ(SeriesBody(1), "earlier run\r\ncontinued\r\n");
  log.WriteRotating(0, "next block");
  EXPECT_EQ(SeriesBody(2), "next block\r\n");
  EXPECT_EQ(log.GetDebugLine(), 5u);
}

TEST_F(LoggingFileTest, LinesForAMissingDirectoryAreCountedAndTheNextLineTriesAgain) {
  CLoggingFile log;
  log.SetDebugLevel(1);
  log.SetMaxDebugLines(3);
  log.SetFileNamePattern(Windows("\\Later\\L%d.LOG").c_str());
  log.WriteRotating(0, "lost");
  EXPECT_EQ(log.GetDebugLine(), 1u);
  EXPECT_FALSE(fs::exists(m_dir / "Later"));

  fs::create_directories(m_dir / "Later");
  WriteFile(m_dir / "Later/L0.LOG", "kept\r\n");
  log.WriteRotating(0, "written");
  EXPECT_EQ(WithoutPrefixes(ReadFile(m_dir / "Later/L0.LOG"), Prefix::kHeader), "kept\r\nwritten\r\n");
  EXPECT_EQ(log.GetDebugLine(), 2u);
}

TEST_F(LoggingFileTest, OnlyTheLastIntegerConversionOfThePatternIsAFormat) {
  struct Case {
    const char* pattern;
    const char* file;
  } cases[] = {
      {"VELCORA%d.LOG", "VELCORA7.LOG"},
      {"LOG%03u.TXT", "LOG007.TXT"},
      {"A%5iB", "A    7B"},
      {"A%-3dB", "A7  B"},
      {"A%+dB", "A+7B"},
      {"A%.2ldB", "A07B"},
      {"A%05.2dB", "A   07B"},
      {"%s%n%%_%d", "%s%n%%_7"},
      {"%d_%d", "%d_7"},
      {"NONUMBER.LOG", "NONUMBER.LOG"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    CLoggingFile log;
    log.SetMaxDebugLines(1);
    log.SetDebugLine(7);
    log.SetFileNamePattern((WindowsForm(dir.path()) + "\\" + c.pattern).c_str());
    log.WriteRotating(0, "line");
    EXPECT_EQ(WithoutPrefixes(ReadFile(dir / c.file), Prefix::kHeader), "line\r\n") << c.pattern;
  }
}

TEST_F(LoggingFileTest, PercentSignsInTheLogDirectoryAreNoFormat) {
  const std::string directory = "100%s %n%%x %d";
  fs::create_directories(m_dir / directory);
  CLoggingFile log;
  log.SetMaxDebugLines(1);
  log.SetFileNamePattern(Windows("\\" + directory + "\\VELCORA%d.LOG").c_str());
  log.WriteRotating(0, "zero");
  log.WriteRotating(0, "one");
  EXPECT_EQ(WithoutPrefixes(ReadFile(m_dir / (directory + "/VELCORA0.LOG")), Prefix::kHeader), "zero\r\n");
  EXPECT_EQ(WithoutPrefixes(ReadFile(m_dir / (directory + "/VELCORA1.LOG")), Prefix::kHeader), "one\r\n");
}

TEST_F(LoggingFileTest, LinesOfSeveralThreadsDoNotMix) {
  constexpr int kThreads = 4;
  constexpr int kLinesPerThread = 250;
  CLoggingFile series;
  UseSeries(series, 25000, 1);
  CLoggingFile plain;
  plain.SetFileName(Windows("\\PLAIN.LOG").c_str());
  std::map<char, plat::DWORD> threadOfLetter;
  std::mutex letterMutex;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, letter = static_cast<char>('A' + t)] {
      {
        std::lock_guard<std::mutex> lock(letterMutex);
        threadOfLetter[letter] = plat::GetCurrentThreadId();
      }
      const std::string text(300, letter);
      for (int i = 0; i < kLinesPerThread; ++i) {
        series.WriteRotating(0, "%s", text.c_str());
        plain.Write("%s", text.c_str());
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(series.GetDebugLine(), static_cast<plat::DWORD>(kThreads * kLinesPerThread));

  // Each line is one thread's text, whole, behind one header of that thread.
  auto letterOfText = [](const std::string& text) {
    const char letter = text.empty() ? '?' : text[0];
    return text == std::string(300, letter) ? letter : '?';
  };
  std::map<char, int> seriesCount;
  for (const std::string& line : LinesOf(ReadFile(m_dir / "L0.LOG"))) {
    PrefixFields fields;
    const size_t headerLength = PrefixAt(line, 0, Prefix::kHeader, &fields);
    ASSERT_NE(headerLength, 0u) << line;
    const char letter = letterOfText(line.substr(headerLength));
    EXPECT_EQ(fields.thread, threadOfLetter[letter]) << line;
    ++seriesCount[letter];
  }
  std::map<char, int> plainCount;
  for (const std::string& line : LinesOf(ReadFile(m_dir / "PLAIN.LOG"))) {
    ASSERT_EQ(PrefixAt(line, 0, Prefix::kStamp), 24u) << line;
    ++plainCount[letterOfText(line.substr(24))];
  }
  const std::map<char, int> expected = {{'A', 250}, {'B', 250}, {'C', 250}, {'D', 250}};
  EXPECT_EQ(seriesCount, expected);
  EXPECT_EQ(plainCount, expected);
}

TEST_F(LoggingFileTest, TheSeriesFileStaysOpenUntilTheObjectEnds) {
  const std::string current = Windows("\\L0.LOG");
  {
    CLoggingFile log;
    UseSeries(log, 10, 2);
    log.WriteRotating(0, "one");
    log.WriteRotating(0, "two");
    // The rotating writer names its current file, so DeleteLogFile meets the open stream.
    log.DeleteLogFile();
    EXPECT_EQ(plat::DeleteFileA(current.c_str()), plat::FALSE);
    EXPECT_EQ(plat::GetLastError(), 32u);
    EXPECT_EQ(SeriesBody(0), "one\r\ntwo\r\n");
  }
  EXPECT_EQ(plat::DeleteFileA(current.c_str()), plat::TRUE);
}

TEST_F(LoggingFileTest, DeleteLogFileRemovesThePlainFile) {
  CLoggingFile log;
  log.SetFileName(Windows("\\PLAIN.LOG").c_str());
  log.Write("line");
  ASSERT_TRUE(fs::exists(m_dir / "PLAIN.LOG"));
  log.DeleteLogFile();
  EXPECT_FALSE(fs::exists(m_dir / "PLAIN.LOG"));
}

// The arguments of the first start the recording program recorded (its line is "cwd|show|args...").
std::vector<std::string> RecordedArguments(const std::string& record) {
  std::string line = testsupport::WaitForRecord(record);
  std::vector<std::string> fields;
  std::stringstream stream(line.substr(0, line.find('\n')));
  for (std::string field; std::getline(stream, field, '|');) fields.push_back(field);
  return fields.size() > 2 ? std::vector<std::string>(fields.begin() + 2, fields.end()) : fields;
}

class LogViewerTest : public LoggingFileTest {
 protected:
  void SetUp() override {
    testsupport::WriteRecordingProgram(plat::SystemDirectoryHost() + "/NOTEPAD.EXE", m_record);
    plat::TakeShellExecutions();
  }

  // Sets the last access time of a host file to Unix time `seconds`.
  static void SetAccessTime(const std::string& path, const char* seconds) {
    std::string command = std::string("touch -a -d @") + seconds + " '" + path + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }

  testsupport::ScopedMachine m_machine;
  TempDir m_recordDir;
  std::string m_record = m_recordDir / "record.txt";
};

TEST_F(LogViewerTest, OpenInNotepadStartsNotepadOnTheCurrentFile) {
  plat::SetProgramFileNameForTesting("D:\\SVC\\PROG.EXE");
  CLoggingFile log;
  log.SetFileName("VELCORA.LOG");
  log.OpenInNotepad();
  EXPECT_EQ(RecordedArguments(m_record), std::vector<std::string>{"D:\\SVC\\VELCORA.LOG"});
}

TEST_F(LogViewerTest, ShowNewestLogFileOpensTheMostRecentlyAccessedFileOfTheSeries) {
  fs::create_directories(m_dir / "VELCORAX.LOG");
  for (const char* name : {"VELCORA0.LOG", "velcora1.log", "VELCORA2.LOG", "VELCORA.INI", "OTHER.LOG"})
    WriteFile(m_dir / name, "line\r\n");
  SetAccessTime(m_dir / "VELCORA0.LOG", "1500000000");
  SetAccessTime(m_dir / "velcora1.log", "1600000000");
  SetAccessTime(m_dir / "VELCORA2.LOG", "1550000000");
  // Newer, but no series file: a directory, another name, another extension.
  SetAccessTime(m_dir / "VELCORAX.LOG", "1700000000");
  SetAccessTime(m_dir / "VELCORA.INI", "1700000000");
  SetAccessTime(m_dir / "OTHER.LOG", "1700000000");

  plat::HWND owner = reinterpret_cast<plat::HWND>(0x1234);
  TOOLFUNC_debug::ShowNewestLogFile(owner, Windows("\\VELCORA.LOG").c_str());
  const std::string newest = Windows("\\velcora1.log");
  std::vector<plat::ShellExecution> calls = plat::TakeShellExecutions();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].owner, owner);
  EXPECT_EQ(calls[0].verb, "open");
  EXPECT_EQ(calls[0].file, "NOTEPAD.EXE");
  EXPECT_EQ(calls[0].parameters, newest);
  EXPECT_EQ(calls[0].directory, "");
  EXPECT_EQ(calls[0].showCommand, 5);
  EXPECT_EQ(RecordedArguments(m_record), std::vector<std::string>{newest});
}

TEST_F(LogViewerTest, ShowNewestLogFileTakesTheFirstOfEquallyNewFiles) {
  for (const char* name : {"VELCORA0.LOG", "velcora1.log", "VELCORA2.LOG"}) {
    WriteFile(m_dir / name, "line\r\n");
    SetAccessTime(m_dir / name, "1600000000");
  }
  // The extension of the given path plays no part.
  TOOLFUNC_debug::ShowNewestLogFile(nullptr, Windows("\\VELCORA.TXT").c_str());
  std::vector<plat::ShellExecution> calls = plat::TakeShellExecutions();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].parameters, Windows("\\VELCORA0.LOG"));
  EXPECT_EQ(RecordedArguments(m_record), std::vector<std::string>{Windows("\\VELCORA0.LOG")});
}

TEST_F(LogViewerTest, ShowNewestLogFileWithoutASeriesFileStartsNothing) {
  WriteFile(m_dir / "OTHER.LOG", "line\r\n");
  WriteFile(m_dir / "VELCORA.INI", "line\r\n");
  TOOLFUNC_debug::ShowNewestLogFile(nullptr, Windows("\\VELCORA.LOG").c_str());
  TOOLFUNC_debug::ShowNewestLogFile(nullptr, Windows("\\NoDir\\VELCORA.LOG").c_str());
  EXPECT_TRUE(plat::TakeShellExecutions().empty());
}

}  // namespace
