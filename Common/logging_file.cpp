// The rolling log file: stamped lines in one file or in a numbered series of files.
#include "logging_file.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "path_tools.h"
#include "plat/file.h"
#include "plat/handle.h"
#include "plat/path.h"
#include "plat/process.h"
#include "plat/shell.h"
#include "plat/stream.h"
#include "plat/systime.h"
#include "plat/thread.h"
#include "plat/winmain.h"
#include "process_tools.h"

namespace TOOLFUNC_debug {
namespace {

// File names and commands keep at most 258 characters and a terminator.
using TOOLFUNC_file::kPathCapacity;

void CopyName(char* destination, const std::string& text) {
  size_t length = std::min(text.size(), kPathCapacity - 1);
  std::memcpy(destination, text.data(), length);
  destination[length] = '\0';
}

// At most 258 characters of `directory`, with a backslash at the end unless it is empty.
std::string WithBackslash(const std::string& directory) {
  char result[kPathCapacity + 1];
  CopyName(result, directory);
  TOOLFUNC_file::AddBackslash(result);
  return result;
}

// Cuts one trailing CR LF: the writer adds its own line end.
void CutLineEnd(char* text) {
  size_t length = std::strlen(text);
  if (length > 1 && text[length - 2] == '\r' && text[length - 1] == '\n') text[length - 2] = '\0';
}

// An integer conversion of a file name pattern: "%", flags, width, precision, a length modifier and
// d, i or u.
struct IntegerConversion {
  size_t begin = 0;
  size_t end = 0;
  bool leftAligned = false;
  bool zeroPadded = false;
  char sign = '\0';  // '+' or ' ' when the conversion asks for a sign before a signed number
  size_t width = 0;
  bool hasPrecision = false;
  size_t precision = 0;
};

size_t ReadCount(const std::string& text, size_t* position) {
  size_t count = 0;
  while (*position < text.size() && std::isdigit(static_cast<unsigned char>(text[*position])))
    count = std::min<size_t>(count * 10 + static_cast<size_t>(text[(*position)++] - '0'), kPathCapacity);
  return count;
}

// The last integer conversion of the pattern: the pattern is the log directory followed by the file
// name, so a "%d" that a directory name happens to hold is never the one filled in.
bool FindIntegerConversion(const std::string& pattern, IntegerConversion* found) {
  bool any = false;
  for (size_t percent = pattern.find('%'); percent != std::string::npos;
       percent = pattern.find('%', percent + 1)) {
    IntegerConversion conversion;
    conversion.begin = percent;
    size_t p = percent + 1;
    for (; p < pattern.size() && std::strchr("-+ #0", pattern[p]) != nullptr; ++p) {
      if (pattern[p] == '-') conversion.leftAligned = true;
      if (pattern[p] == '0') conversion.zeroPadded = true;
      if (pattern[p] == '+' || (pattern[p] == ' ' && conversion.sign != '+')) conversion.sign = pattern[p];
    }
    conversion.width = ReadCount(pattern, &p);
    if (p < pattern.size() && pattern[p] == '.') {
      ++p;
      conversion.hasPrecision = true;
      conversion.precision = ReadCount(pattern, &p);
    }
    while (p < pattern.size() && (pattern[p] == 'h' || pattern[p] == 'l')) ++p;
    if (p < pattern.size() && std::strchr("diu", pattern[p]) != nullptr) {
      if (pattern[p] == 'u') conversion.sign = '\0';
      conversion.end = p + 1;
      *found = conversion;
      any = true;
    }
  }
  return any;
}

// The number as the conversion prints it.
std::string FormatNumber(const IntegerConversion& conversion, plat::DWORD number) {
  std::string digits = std::to_string(number);
  if (conversion.hasPrecision) {
    if (conversion.precision == 0 && number == 0) digits.clear();
    if (digits.size() < conversion.precision) digits.insert(0, conversion.precision - digits.size(), '0');
  }
  std::string sign = conversion.sign != '\0' ? std::string(1, conversion.sign) : "";
  size_t length = sign.size() + digits.size();
  if (conversion.width <= length) return sign + digits;
  size_t padding = conversion.width - length;
  if (conversion.leftAligned) return sign + digits + std::string(padding, ' ');
  if (conversion.zeroPadded && !conversion.hasPrecision) return sign + std::string(padding, '0') + digits;
  return std::string(padding, ' ') + sign + digits;
}

}  // namespace

CLoggingFile::CLoggingFile()
    : m_szFileName(),
      m_szFileNamePattern(),
      m_dwDebugLevel(0),
      m_dwDebugLine(0),
      m_dwMaxDebugLines(25000),
      m_dwMaxDebugFiles(10),
      m_dwProcessId(plat::GetCurrentProcessId()),
      m_pFile(nullptr) {
  plat::InitializeCriticalSection(&m_csLock);
}

CLoggingFile::~CLoggingFile() {
  CloseOpenFile();
  plat::DeleteCriticalSection(&m_csLock);
}

void CLoggingFile::SetDebugLevel(plat::DWORD level) { m_dwDebugLevel = level; }

void CLoggingFile::SetDebugLine(plat::DWORD line) { m_dwDebugLine = line; }

plat::DWORD CLoggingFile::GetDebugLine() { return m_dwDebugLine; }

void CLoggingFile::SetMaxDebugLines(plat::DWORD lines) { m_dwMaxDebugLines = lines != 0 ? lines : 10000; }

void CLoggingFile::SetMaxDebugFiles(plat::DWORD files) { m_dwMaxDebugFiles = files != 0 ? files : 10; }

void CLoggingFile::SetFileName(const char* fileName) {
  char directory[kPathCapacity] = "";
  plat::SplitPath(fileName, nullptr, 0, directory, sizeof directory, nullptr, 0, nullptr, 0);
  if (directory[0] != '\0')
    CopyName(m_szFileName, fileName);
  else
    CopyName(m_szFileName, WithBackslash(TOOLFUNC_file::GetModuleDirectory()) + fileName);
}

void CLoggingFile::SetFileNamePattern(const char* pattern) { CopyName(m_szFileNamePattern, pattern); }

void CLoggingFile::DeleteLogFile() {
  if (m_szFileName[0] != '\0') plat::DeleteFileA(m_szFileName);
}

void CLoggingFile::Write(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  WriteStampedLine(format, arguments);
  va_end(arguments);
}

void CLoggingFile::WriteLevel(plat::DWORD level, const char* format, ...) {
  if (level > m_dwDebugLevel) return;
  va_list arguments;
  va_start(arguments, format);
  WriteStampedLine(format, arguments);
  va_end(arguments);
}

void CLoggingFile::WriteStampedLine(const char* format, va_list arguments) {
  // The file name is read under the lock: the rotating writer changes it.
  plat::CriticalSectionLock lock(&m_csLock);
  if (m_szFileName[0] != '\0') AppendStampedLine(format, arguments);
}

void CLoggingFile::AppendStampedLine(const char* format, va_list arguments) {
  // A buffer of the call rather than of the process: two objects never share it.
  char line[1024];
  plat::SYSTEMTIME now;
  plat::GetLocalTime(&now);
  int stampLength =
      std::snprintf(line, sizeof line, "%02d.%02d.%04d %02d:%02d:%02d:%03d ", now.wDay, now.wMonth, now.wYear,
                    now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
  std::vsnprintf(line + stampLength, sizeof line - static_cast<size_t>(stampLength), format, arguments);
  CutLineEnd(line);
  FILE* file = plat::OpenFileStream(m_szFileName, "a");
  if (file == nullptr) return;
  std::fputs(line, file);
  std::fputs("\n", file);
  std::fflush(file);
  std::fclose(file);
}

void CLoggingFile::WriteRotating(plat::DWORD level, const char* format, ...) {
  if (level > m_dwDebugLevel) return;
  va_list arguments;
  va_start(arguments, format);
  {
    plat::CriticalSectionLock lock(&m_csLock);
    const plat::DWORD fileNumber = (m_dwDebugLine / m_dwMaxDebugLines) % m_dwMaxDebugFiles;
    if (m_dwDebugLine % m_dwMaxDebugLines == 0) {
      CloseOpenFile();
      MakeSeriesFileName(fileNumber);
      plat::DeleteFileA(m_szFileName);
      m_pFile = plat::OpenFileStream(m_szFileName, "a");
    } else if (m_pFile == nullptr) {
      // The first line of a run that continues a file of the series keeps what the file holds.
      MakeSeriesFileName(fileNumber);
      m_pFile = plat::OpenFileStream(m_szFileName, "a");
    }
    ++m_dwDebugLine;
    if (m_pFile != nullptr) {
      plat::SYSTEMTIME now;
      plat::GetLocalTime(&now);
      std::fprintf(m_pFile, "%02d-%02d-%04d %02d:%02d:%02d.%03d (%d:%d) - ", now.wDay, now.wMonth, now.wYear,
                   now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, static_cast<int>(m_dwProcessId),
                   static_cast<int>(plat::GetCurrentThreadId()));
      std::fflush(m_pFile);
      char text[1024];
      std::vsnprintf(text, sizeof text - 1, format, arguments);
      CutLineEnd(text);
      std::strcat(text, "\n");
      std::fputs(text, m_pFile);
      std::fflush(m_pFile);
    }
  }
  va_end(arguments);
}

// The pattern is never a printf format: the directory in front of the number may hold any "%".
void CLoggingFile::MakeSeriesFileName(plat::DWORD fileNumber) {
  std::string pattern = m_szFileNamePattern;
  IntegerConversion conversion;
  if (FindIntegerConversion(pattern, &conversion))
    pattern.replace(conversion.begin, conversion.end - conversion.begin,
                    FormatNumber(conversion, fileNumber));
  CopyName(m_szFileName, pattern);
}

void CLoggingFile::CloseOpenFile() {
  if (m_pFile == nullptr) return;
  std::fflush(m_pFile);
  std::fclose(m_pFile);
  m_pFile = nullptr;
}

void CLoggingFile::OpenInNotepad() {
  char command[kPathCapacity];
  CopyName(command, std::string("NOTEPAD.EXE ") + m_szFileName);
  TOOLFUNC_process::RunCommandLine(command);
}

void ShowNewestLogFile(plat::HWND owner, const char* logFilePath) {
  char drive[3];
  char directory[256];
  char name[256];
  plat::SplitPath(logFilePath, drive, sizeof drive, directory, sizeof directory, name, sizeof name, nullptr,
                  0);
  const std::string pattern = std::string(drive) + directory + name + "*.LOG";
  const std::string resultDirectory = WithBackslash(std::string(drive) + directory);

  plat::WIN32_FIND_DATAA found;
  plat::HANDLE search = plat::FindFirstFileA(pattern.c_str(), &found);
  if (search == plat::INVALID_HANDLE_VALUE) return;
  std::string newestPath;
  uint64_t newestAccess = 0;
  do {
    const std::string candidate = resultDirectory + found.cFileName;
    plat::HANDLE file = plat::CreateFileA(candidate.c_str(), 0, 0, nullptr, plat::OPEN_EXISTING, 0, nullptr);
    if (file == plat::INVALID_HANDLE_VALUE) continue;
    plat::FILETIME lastAccess;
    if (plat::GetFileTime(file, nullptr, &lastAccess, nullptr)) {
      uint64_t access = (static_cast<uint64_t>(lastAccess.dwHighDateTime) << 32) | lastAccess.dwLowDateTime;
      if (access > newestAccess) {
        newestAccess = access;
        newestPath = candidate;
      }
    }
    plat::CloseHandle(file);
  } while (plat::FindNextFileA(search, &found));
  plat::FindClose(search);
  if (newestPath.empty()) return;
  plat::ShellExecuteA(owner, "open", "NOTEPAD.EXE", newestPath.c_str(), nullptr, plat::SW_SHOW);
}

}  // namespace TOOLFUNC_debug
