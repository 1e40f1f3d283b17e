// What the built-in controls share: their window procedures and the per-window store of their contents.
#pragma once

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "plat/controls.h"
#include "plat/window.h"
#include "text_buffer.h"

namespace plat::detail {

LRESULT EditProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ListBoxProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ComboBoxProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ListViewProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT TreeViewProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

inline std::string TextOf(LPCSTR text) { return text != nullptr ? text : ""; }

// The window procedure of a control whose contents are a `Contents`: made from the CREATESTRUCTA on
// WM_NCCREATE, freed on WM_NCDESTROY. `Contents::Answer` gives the result of a message it handles and
// nullopt for one that goes to DefWindowProcA.
template <typename Contents>
LRESULT ControlProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // Windows of one class may live on several threads; each window's contents only on its own.
  static std::mutex mutex;
  static std::map<HWND, std::unique_ptr<Contents>> store;
  if (message == WM_NCCREATE) {
    auto made = std::make_unique<Contents>(*reinterpret_cast<const CREATESTRUCTA*>(lParam));
    std::lock_guard<std::mutex> lock(mutex);
    store[window] = std::move(made);
    return TRUE;
  }
  Contents* contents = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex);
    auto found = store.find(window);
    if (found != store.end() && message == WM_NCDESTROY) {
      store.erase(found);
    } else if (found != store.end()) {
      contents = found->second.get();
    }
  }
  if (contents != nullptr) {
    if (std::optional<LRESULT> answer = contents->Answer(window, message, wParam, lParam)) return *answer;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace plat::detail
