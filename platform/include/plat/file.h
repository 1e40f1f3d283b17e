// File calls on Windows-form paths.
#pragma once

#include "plat/systime.h"
#include "plat/types.h"

namespace plat {

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x00000001;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x00000010;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;
// A symbolic link; a search reports it beside the attributes of what it points to.
constexpr DWORD FILE_ATTRIBUTE_REPARSE_POINT = 0x00000400;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD FILE_SHARE_READ = 0x00000001;
constexpr DWORD FILE_SHARE_WRITE = 0x00000002;
constexpr DWORD OPEN_EXISTING = 3;

// One entry a file search found. There are no short names here: cAlternateFileName stays empty.
struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  CHAR cFileName[MAX_PATH];
  CHAR cAlternateFileName[14];
};

// Returns FILE_ATTRIBUTE_DIRECTORY for a directory, FILE_ATTRIBUTE_NORMAL for a writable file and
// FILE_ATTRIBUTE_READONLY for one that is not; INVALID_FILE_ATTRIBUTES with ERROR_FILE_NOT_FOUND when
// the name is missing, ERROR_PATH_NOT_FOUND when its directory is missing too, ERROR_ACCESS_DENIED
// when a directory on the way may not be searched.
DWORD GetFileAttributesA(LPCSTR path);

// The C runtime's check of a file or directory: 0 when `path` exists (mode 0) and the account may read
// (4), write (2) or both (6) as asked, else -1. Sets no last error.
int _access(LPCSTR path, int mode);

// Returns TRUE after making `path` the current directory; FALSE with ERROR_FILE_NOT_FOUND when it is
// missing, ERROR_PATH_NOT_FOUND when its parent is missing, ERROR_DIRECTORY when it is a file,
// ERROR_ACCESS_DENIED when it may not be entered.
BOOL SetCurrentDirectoryA(LPCSTR path);

// Returns the length of the current directory's Windows-form path written to `buffer`, or, when it
// does not fit into `size`, the size needed including the terminator with `buffer` untouched; 0 with
// ERROR_FILE_NOT_FOUND when the current directory has been removed.
DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer);

// Returns TRUE after deleting the file. FALSE with ERROR_FILE_NOT_FOUND when it is missing,
// ERROR_PATH_NOT_FOUND when its directory is missing too, ERROR_ACCESS_DENIED for a directory, a
// read-only file or a directory that does not let go of it, ERROR_SHARING_VIOLATION while a stream of
// OpenFileStream or a read open of CreateFileA holds it.
BOOL DeleteFileA(LPCSTR path);

// Creates one directory (its parent must exist); the security attributes are not used. FALSE with
// ERROR_ALREADY_EXISTS when the name exists, ERROR_PATH_NOT_FOUND when the parent is missing,
// ERROR_ACCESS_DENIED where it may not be created.
BOOL CreateDirectoryA(LPCSTR path, LPVOID securityAttributes);

// Starts a search of the directory of `pattern` for the entries whose names match its last component
// without regard to case ("*" any run of characters, "?" one character, a final ".*" also matches a
// name without extension), in the order of their upper-cased names; "." and ".." are never found. A
// symbolic link carries FILE_ATTRIBUTE_REPARSE_POINT with the attributes of what it points to.
// Returns the search handle with the first entry in `data`; INVALID_HANDLE_VALUE with
// ERROR_FILE_NOT_FOUND when nothing matches, ERROR_PATH_NOT_FOUND when the directory is missing,
// ERROR_ACCESS_DENIED when it may not be read.
HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* data);
// Returns TRUE with the search's next entry in `data`; FALSE with ERROR_NO_MORE_FILES (18) after the
// last one, ERROR_INVALID_HANDLE for a handle that is no search.
BOOL FindNextFileA(HANDLE search, WIN32_FIND_DATAA* data);
// Returns TRUE and ends the search; FALSE with ERROR_INVALID_HANDLE for a handle that is no open search.
BOOL FindClose(HANDLE search);

// Opens an existing file for its attributes only (desiredAccess 0), which shares with every other open,
// or for reading (GENERIC_READ), which with share mode 0 keeps streams, deletes and other read opens
// out while it is open and with any other share mode shares with streams. Returns a handle that
// CloseHandle closes. INVALID_HANDLE_VALUE with ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND when the
// file or its directory is missing, ERROR_ACCESS_DENIED for a directory or a file that may not be read,
// ERROR_SHARING_VIOLATION when the open for reading meets an open that does not share with it,
// ERROR_INVALID_PARAMETER for another access or a disposition other than OPEN_EXISTING.
HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode, LPVOID securityAttributes,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);

// Returns TRUE with the file's creation, last access and last write times (any of them may be null);
// the creation time is the file's birth time where the file system keeps one, else its last write.
// FALSE with ERROR_INVALID_HANDLE for a handle that is no file of CreateFileA.
BOOL GetFileTime(HANDLE file, FILETIME* creationTime, FILETIME* lastAccessTime, FILETIME* lastWriteTime);

// Copies the file's content to `newFile` (which takes the permissions of a new file, writable) through a
// file beside it that is renamed into place, so a failed copy leaves any old target whole. Returns TRUE;
// FALSE with ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND when the source or the target's directory is
// missing, ERROR_FILE_EXISTS when `failIfExists` is set and the target exists, ERROR_ACCESS_DENIED for
// a directory on either side, a source that may not be read or a target that may not be written (a
// read-only one too).
BOOL CopyFileA(LPCSTR existingFile, LPCSTR newFile, BOOL failIfExists);

// Removes an empty directory, or a symbolic link as the link (what it points to stays untouched).
// FALSE with ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND when it is missing, ERROR_DIRECTORY for a
// file, ERROR_DIR_NOT_EMPTY when it still holds entries, ERROR_ACCESS_DENIED where it may not be
// removed.
BOOL RemoveDirectoryA(LPCSTR path);

}  // namespace plat
