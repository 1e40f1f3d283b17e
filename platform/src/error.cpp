// Per-thread last error and the table-driven system texts.
#include "plat/error.h"

#include <cstring>

namespace plat {
namespace {

thread_local DWORD t_lastError = ERROR_SUCCESS;

constexpr DWORD ERROR_MR_MID_NOT_FOUND = 317;

const char* SystemText(DWORD code) {
  switch (code) {
#define PLAT_ERROR(name, value, text) \
  case value:                         \
    return text "\r\n";
#include "plat/errors.def"
#undef PLAT_ERROR
  }
  return nullptr;
}

}  // namespace

DWORD GetLastError() { return t_lastError; }

void SetLastError(DWORD code) { t_lastError = code; }

DWORD FormatMessageA(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPSTR buffer, DWORD size, void*) {
  if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || buffer == nullptr || size == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const char* text = SystemText(messageId);
  if (text == nullptr) {
    SetLastError(ERROR_MR_MID_NOT_FOUND);
    return 0;
  }
  size_t length = std::strlen(text);
  if (length > size - 1) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(buffer, text, length);
  buffer[length] = '\0';
  return static_cast<DWORD>(length);
}

}  // namespace plat
