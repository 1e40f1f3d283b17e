// The debugger channel and the message boxes, kept in memory for whoever reads them.
#include "plat/debug.h"

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <utility>

#include "plat/testing/debug.h"

namespace plat {
namespace {

// A service runs for months; the channel keeps only the newest texts.
constexpr size_t kDebugOutputKept = 1000;

std::mutex g_mutex;
// Built on first use: the programs call the layer from their static constructors too.
std::deque<std::string>& DebugOutput() {
  static std::deque<std::string> value;
  return value;
}
std::vector<MessageBoxRecord> g_messageBoxes;

}  // namespace

void OutputDebugStringA(LPCSTR text) {
  std::lock_guard<std::mutex> lock(g_mutex);
  DebugOutput().emplace_back(text ? text : "");
  if (DebugOutput().size() > kDebugOutputKept) DebugOutput().pop_front();
  const char* attached = std::getenv("VELCORA_DEBUG_OUTPUT");
  if (attached != nullptr && *attached != '\0') {
    if (std::FILE* file = std::fopen(attached, "ab")) {
      std::fputs(DebugOutput().back().c_str(), file);
      std::fclose(file);
    }
  }
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  std::string shownText = text ? text : "";
  std::string shownCaption = caption ? caption : "Error";
  std::fprintf(stderr, "%s: %s\n", shownCaption.c_str(), shownText.c_str());
  std::lock_guard<std::mutex> lock(g_mutex);
  g_messageBoxes.push_back({owner, shownText, shownCaption, type});
  return IDOK;
}

std::vector<std::string> TakeDebugOutput() {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::vector<std::string> taken(DebugOutput().begin(), DebugOutput().end());
  DebugOutput().clear();
  return taken;
}

std::vector<MessageBoxRecord> TakeMessageBoxes() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return std::exchange(g_messageBoxes, {});
}

}  // namespace plat
