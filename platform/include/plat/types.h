// Win32 scalar, handle and text types with the widths the programs rely on, on a 64-bit Linux build.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plat {

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;  // never `unsigned long`, which is 64-bit here
using LONG = int32_t;    // never `long`
using ULONG = uint32_t;
using UINT = uint32_t;
using INT = int32_t;
using BOOL = int32_t;
using CHAR = char;
using WCHAR = char16_t;  // UTF-16 unit; wchar_t is 32-bit on Linux

using LPSTR = char*;
using LPCSTR = const char*;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPVOID = void*;
using LPCVOID = const void*;
using LPDWORD = DWORD*;

using DWORD_PTR = uintptr_t;
using ULONG_PTR = uintptr_t;
using LONG_PTR = intptr_t;
using UINT_PTR = uintptr_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

// Handles are opaque, pointer-sized and never reused by the layer.
using HANDLE = void*;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
struct HWND__;
using HWND = HWND__*;

using FARPROC = void (*)();

struct GUID {
  DWORD Data1;
  WORD Data2;
  WORD Data3;
  BYTE Data4[8];
};

constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;
constexpr DWORD MAX_PATH = 260;
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
constexpr DWORD INFINITE = 0xFFFFFFFF;

// The standard access right to delete an object (a registry key, a service entry).
constexpr DWORD DELETE = 0x00010000;

}  // namespace plat
