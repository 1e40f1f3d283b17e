// The tool library's rolling log file: a plain file or a numbered series, with a level and a lock.
#pragma once

#include <cstdarg>
#include <cstdio>

#include "debug_tools.h"
#include "plat/sync.h"
#include "plat/types.h"

namespace TOOLFUNC_debug {

// Time-stamped text lines in one file or in a series of numbered files. The setters take no lock (they
// are meant for start-up); the three writers serialise their lines on the object's lock.
class CLoggingFile {
 public:
  // Level 0, line counter 0, 25000 lines per file, 10 files, no file name, no open file.
  CLoggingFile();
  // Flushes and closes the series file that WriteRotating keeps open.
  virtual ~CLoggingFile();
  CLoggingFile(const CLoggingFile&) = delete;
  CLoggingFile& operator=(const CLoggingFile&) = delete;

  // Lines with a level at or below `level` are written.
  void SetDebugLevel(plat::DWORD level);
  // The count of series lines written so far, which picks the series file of the next line.
  void SetDebugLine(plat::DWORD line);
  plat::DWORD GetDebugLine();
  // Lines in one file of the series; 0 gives 10000.
  void SetMaxDebugLines(plat::DWORD lines);
  // Files in the series before the numbers start again; 0 gives 10.
  void SetMaxDebugFiles(plat::DWORD files);
  // A name without directory goes into the program's directory; at most 258 characters are kept.
  void SetFileName(const char* fileName);
  // A file name whose last integer conversion (%d, %i or %u) stands for the file number; at most 258
  // characters. Every other "%" is part of the name, so a directory may hold any of them.
  void SetFileNamePattern(const char* pattern);
  // Deletes the current file, when there is a file name.
  void DeleteLogFile();

  // Appends one stamped line to the current file, opening and closing it; nothing without a file name.
  void Write(const char* format, ...) TOOLFUNC_PRINTF(2, 3);
  // Write, when `level` is at or below the object's level.
  void WriteLevel(plat::DWORD level, const char* format, ...) TOOLFUNC_PRINTF(3, 4);
  // One line with a header of time, process and thread in the series file that the line counter picks,
  // when `level` is at or below the object's level. The first line of a file deletes the file's old
  // contents; the file stays open until the next file begins.
  void WriteRotating(plat::DWORD level, const char* format, ...) TOOLFUNC_PRINTF(3, 4);

  // Starts Notepad on the current file without waiting for it.
  void OpenInNotepad();

 private:
  void WriteStampedLine(const char* format, va_list arguments) TOOLFUNC_PRINTF(2, 0);
  void AppendStampedLine(const char* format, va_list arguments) TOOLFUNC_PRINTF(2, 0);
  void MakeSeriesFileName(plat::DWORD fileNumber);
  void CloseOpenFile();

  plat::CRITICAL_SECTION m_csLock;
  char m_szFileName[plat::MAX_PATH];
  char m_szFileNamePattern[plat::MAX_PATH];
  plat::DWORD m_dwDebugLevel;
  plat::DWORD m_dwDebugLine;
  plat::DWORD m_dwMaxDebugLines;
  plat::DWORD m_dwMaxDebugFiles;
  plat::DWORD m_dwProcessId;
  FILE* m_pFile;
};

// Opens in Notepad the most recently accessed file "<name>*.LOG" in the directory of `logFilePath`
// (whose extension is ignored); nothing when there is none.
void ShowNewestLogFile(plat::HWND owner, const char* logFilePath);

}  // namespace TOOLFUNC_debug

// The service program's log file, built before its main function runs.
extern TOOLFUNC_debug::CLoggingFile g_LoggingFile;
