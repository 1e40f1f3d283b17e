// The debugger and message-box tools: formatted text straight to the debugger or a box, no gate.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "debug_tools.h"
#include "plat/debug.h"
#include "plat/error.h"

namespace TOOLFUNC_debug {
namespace {

constexpr size_t kBufferSize = 1024;

// Shared by the process without a lock; two threads at once may mix their texts.
char g_traceBuffer[kBufferSize];
char g_boxBuffer[kBufferSize];
char g_outputBuffer[kBufferSize];
char g_lastErrorBuffer[kBufferSize];

// prefix + formatted text; a closing CR LF becomes one LF, any other text gets one LF appended,
// as long as the whole stays within 1023 characters.
__attribute__((format(printf, 4, 0))) void BuildText(char (&buffer)[kBufferSize], const char* prefix,
                                                     size_t prefixLength, const char* format,
                                                     va_list arguments) {
  std::memcpy(buffer, prefix, prefixLength);
  buffer[prefixLength] = '\0';
  std::vsnprintf(buffer + prefixLength, kBufferSize - prefixLength, format, arguments);
  size_t length = std::strlen(buffer);
  if (length > 1 && buffer[length - 2] == '\r' && buffer[length - 1] == '\n') {
    length -= 2;
    buffer[length] = '\0';
  }
  if (length + 1 < kBufferSize - 1) {
    buffer[length] = '\n';
    buffer[length + 1] = '\0';
  }
}

// The system's text for `code` in `buffer`; empty for 0 or a code without text.
void SystemText(plat::DWORD code, char (&buffer)[kBufferSize]) {
  buffer[0] = '\0';
  if (code != 0)
    plat::FormatMessageA(plat::FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0, buffer, kBufferSize - 1,
                         nullptr);
}

}  // namespace

void DebugTrace(plat::LONG, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  BuildText(g_traceBuffer, LogPrefix, LogPrefixLength, format, arguments);
  va_end(arguments);
  plat::OutputDebugStringA(g_traceBuffer);
}

void DebugBox(plat::LONG level, const char* format, ...) {
  if (level >= kLogError) return;
  va_list arguments;
  va_start(arguments, format);
  BuildText(g_boxBuffer, LogPrefix, LogPrefixLength, format, arguments);
  va_end(arguments);
  plat::MessageBoxA(nullptr, g_boxBuffer, "DebugBox", plat::MB_ICONINFORMATION);
}

void DebugOutput(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  BuildText(g_outputBuffer, "", 0, format, arguments);
  va_end(arguments);
  plat::OutputDebugStringA(g_outputBuffer);
}

char* GetLastErrorText() {
  SystemText(plat::GetLastError(), g_lastErrorBuffer);
  return g_lastErrorBuffer;
}

void TraceLastError() {
  plat::DWORD code = plat::GetLastError();
  if (code == 0) return;
  char text[kBufferSize] = {};
  SystemText(code, text);
  DebugOutput("%s", text);
}

void ShowLastError() {
  plat::DWORD code = plat::GetLastError();
  if (code == 0) return;
  char text[kBufferSize] = {};
  SystemText(code, text);
  plat::MessageBoxA(nullptr, text, "Fehler aufgetreten",
                    plat::MB_OK | plat::MB_ICONEXCLAMATION | plat::MB_TOPMOST);
}

}  // namespace TOOLFUNC_debug
