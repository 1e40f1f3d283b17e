// The registry: keys and typed values in a store of the machine directory, shared by its processes.
#pragma once

#include "plat/types.h"

namespace plat {

struct HKEY__;
using HKEY = HKEY__*;

inline HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000000));
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001));
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002));
inline HKEY const HKEY_USERS = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000003));

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;

constexpr DWORD KEY_QUERY_VALUE = 0x0001;
constexpr DWORD KEY_SET_VALUE = 0x0002;
constexpr DWORD KEY_CREATE_SUB_KEY = 0x0004;
constexpr DWORD KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr DWORD KEY_NOTIFY = 0x0010;
constexpr DWORD KEY_CREATE_LINK = 0x0020;
constexpr DWORD KEY_READ = 0x00020019;
constexpr DWORD KEY_WRITE = 0x00020006;
constexpr DWORD KEY_ALL_ACCESS = 0x000F003F;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0x00000000;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Every call returns a Windows error code (ERROR_SUCCESS on success) and leaves the last error alone.

// Opens `subKey` below `key`, creating it and every missing level; the disposition tells which.
// ERROR_ACCESS_DENIED where the store may not be written, ERROR_INVALID_HANDLE for a bad key.
LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options,
                     DWORD desiredAccess, LPVOID securityAttributes, HKEY* result, LPDWORD disposition);

// Opens an existing `subKey` (null or "" opens `key` itself again): ERROR_FILE_NOT_FOUND when missing,
// ERROR_ACCESS_DENIED when write access is asked where the store may not be written.
LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, DWORD desiredAccess, HKEY* result);

// Reads a value (null or "" is the key's default value). With `data` null only type and size are
// given. ERROR_FILE_NOT_FOUND when missing, ERROR_MORE_DATA (size set to the size needed, data
// untouched) when it does not fit, ERROR_ACCESS_DENIED without KEY_QUERY_VALUE.
LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, BYTE* data,
                      LPDWORD dataSize);

// Writes a value of the given type byte for byte. ERROR_ACCESS_DENIED without KEY_SET_VALUE.
LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize);

// Deletes a value: ERROR_FILE_NOT_FOUND when missing.
LONG RegDeleteValueA(HKEY key, LPCSTR valueName);

// Deletes a key that has no subkeys: ERROR_ACCESS_DENIED when it has some or may not be deleted,
// ERROR_FILE_NOT_FOUND when missing. Open handles of a deleted key fail with ERROR_KEY_DELETED.
LONG RegDeleteKeyA(HKEY key, LPCSTR subKey);

// The name of subkey number `index`, in a fixed order (names compared without case); nameSize in
// characters without the terminator on return. ERROR_NO_MORE_ITEMS past the last, ERROR_MORE_DATA
// when the name does not fit.
LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved, LPSTR keyClass,
                   LPDWORD classSize, void* lastWriteTime);

// Value number `index` (same order and rules as RegEnumKeyExA) with its type and data.
LONG RegEnumValueA(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameSize, LPDWORD reserved,
                   LPDWORD type, BYTE* data, LPDWORD dataSize);

// Every change is on disk when its call returns; this only checks the handle.
LONG RegFlushKey(HKEY key);

// Closes an opened key; the predefined roots need no closing. ERROR_INVALID_HANDLE for a bad key.
LONG RegCloseKey(HKEY key);

}  // namespace plat
