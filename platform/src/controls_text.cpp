// The text controls: the edit control on its window text, and the entry lists of the list box and
// the combo box.
#include <string>
#include <vector>

#include "control_classes.h"
#include "plat/codepage.h"

namespace plat::detail {
namespace {

// The whole window text, however long.
std::string WindowText(HWND window) {
  std::string text(64, '\0');
  for (;;) {
    const int copied = GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
    if (static_cast<size_t>(copied) + 1 < text.size()) {
      text.resize(static_cast<size_t>(copied));
      return text;
    }
    text.resize(text.size() * 2);
  }
}

// The edit control keeps its text as the window text, so GetWindowTextA and GetDlgItemTextA read it,
// and only the selection here; a text changed behind its back cuts the selection to the new end.
class EditContents {
 public:
  explicit EditContents(const CREATESTRUCTA& creation) : m_multiLine((creation.style & ES_MULTILINE) != 0) {}

  std::optional<LRESULT> Answer(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case WM_SETTEXT:
        SetWindowTextA(window, reinterpret_cast<LPCSTR>(lParam));
        m_start = m_end = m_caret = 0;
        return TRUE;
      case WM_GETTEXT:
        return GetWindowTextA(window, reinterpret_cast<LPSTR>(lParam), static_cast<int>(wParam));
      case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(WindowText(window).size());
      case EM_GETSEL:
        return Selection(WindowText(window).size(), wParam, lParam);
      case EM_SETSEL:
        Select(WindowText(window).size(), static_cast<int>(wParam), static_cast<int>(lParam));
        return 0;
      case EM_SCROLLCARET:
        return TRUE;
      case EM_GETLINECOUNT:
        return static_cast<LRESULT>(Lines(WindowText(window)).size());
      case EM_LINEINDEX:
        return LineIndex(WindowText(window), static_cast<int>(wParam));
      case EM_LINELENGTH:
        return LineLength(WindowText(window), static_cast<int>(wParam));
    }
    return std::nullopt;
  }

 private:
  struct Line {
    size_t start;
    size_t length;  // without its CR LF
  };

  std::vector<Line> Lines(const std::string& text) const {
    std::vector<Line> lines;
    for (size_t start = 0;;) {
      const size_t end = m_multiLine ? text.find("\r\n", start) : std::string::npos;
      if (end == std::string::npos) {
        lines.push_back({start, text.size() - start});
        return lines;
      }
      lines.push_back({start, end - start});
      start = end + 2;
    }
  }

  static size_t LineOf(const std::vector<Line>& lines, size_t position) {
    size_t line = 0;
    while (line + 1 < lines.size() && lines[line + 1].start <= position) ++line;
    return line;
  }

  void Clamp(size_t length) {
    m_start = std::min(m_start, length);
    m_end = std::min(m_end, length);
    m_caret = std::min(m_caret, length);
  }

  LRESULT Selection(size_t length, WPARAM startOut, LPARAM endOut) {
    Clamp(length);
    if (auto* start = reinterpret_cast<DWORD*>(startOut)) *start = static_cast<DWORD>(m_start);
    if (auto* end = reinterpret_cast<DWORD*>(endOut)) *end = static_cast<DWORD>(m_end);
    if (m_start > 0xFFFF || m_end > 0xFFFF) return -1;
    return static_cast<LRESULT>(m_start | (m_end << 16));
  }

  void Select(size_t length, int start, int end) {
    Clamp(length);
    if (start == -1) {
      m_start = m_end = m_caret;
      return;
    }
    const size_t from = std::min(static_cast<size_t>(std::max(start, 0)), length);
    const size_t to = end < 0 ? length : std::min(static_cast<size_t>(end), length);
    m_start = std::min(from, to);
    m_end = std::max(from, to);
    m_caret = to;
  }

  LRESULT LineIndex(const std::string& text, int line) const {
    const std::vector<Line> lines = Lines(text);
    const size_t wanted = line == -1 ? LineOf(lines, m_caret) : static_cast<size_t>(line);
    if (line < -1 || wanted >= lines.size()) return -1;
    return static_cast<LRESULT>(lines[wanted].start);
  }

  LRESULT LineLength(const std::string& text, int index) const {
    const std::vector<Line> lines = Lines(text);
    if (index == -1) {
      const size_t start = std::min(m_start, text.size());
      const size_t end = std::min(m_end, text.size());
      const Line& first = lines[LineOf(lines, start)];
      const Line& last = lines[LineOf(lines, end)];
      const size_t lastEnd = last.start + last.length;
      return static_cast<LRESULT>((start - first.start) + (lastEnd > end ? lastEnd - end : 0));
    }
    if (index < 0 || static_cast<size_t>(index) > text.size()) return 0;
    return static_cast<LRESULT>(lines[LineOf(lines, static_cast<size_t>(index))].length);
  }

  bool m_multiLine;
  size_t m_start = 0;
  size_t m_end = 0;
  size_t m_caret = 0;
};

// The message numbers of one kind of entry list; the list box's and the combo box's differ only here.
struct ListMessages {
  UINT add;
  UINT insert;
  UINT remove;
  UINT reset;
  UINT setSelection;
  UINT getSelection;
  UINT getText;
  UINT getTextLength;
  UINT getCount;
  UINT find;
  UINT getData;
  UINT setData;
};

constexpr ListMessages kListBoxMessages = {
    LB_ADDSTRING, LB_INSERTSTRING, LB_DELETESTRING, LB_RESETCONTENT, LB_SETCURSEL,   LB_GETCURSEL,
    LB_GETTEXT,   LB_GETTEXTLEN,   LB_GETCOUNT,     LB_FINDSTRING,   LB_GETITEMDATA, LB_SETITEMDATA,
};
constexpr ListMessages kComboBoxMessages = {
    CB_ADDSTRING, CB_INSERTSTRING, CB_DELETESTRING, CB_RESETCONTENT, CB_SETCURSEL,   CB_GETCURSEL,
    CB_GETLBTEXT, CB_GETLBTEXTLEN, CB_GETCOUNT,     CB_FINDSTRING,   CB_GETITEMDATA, CB_SETITEMDATA,
};
// LB_ERR and CB_ERR are the same value.
constexpr LRESULT kError = LB_ERR;

// Entries in the order they were added, each with its item value, and the selected one.
class EntryList {
 public:
  explicit EntryList(const ListMessages& messages) : m_messages(messages) {}

  std::optional<LRESULT> Answer(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    const int index = static_cast<int>(wParam);
    const bool valid = index >= 0 && static_cast<size_t>(index) < m_entries.size();
    const ListMessages& m = m_messages;
    if (message == m.add) return Insert(m_entries.size(), lParam);
    if (message == m.insert) {
      if (index == -1) return Insert(m_entries.size(), lParam);
      return index >= 0 && static_cast<size_t>(index) <= m_entries.size() ? Insert(index, lParam) : kError;
    }
    if (message == m.remove) return valid ? Remove(index) : kError;
    if (message == m.reset) {
      m_entries.clear();
      m_selected = -1;
      return 0;
    }
    if (message == m.setSelection) {
      m_selected = valid ? index : -1;
      return valid ? index : kError;
    }
    if (message == m.getSelection) return m_selected;
    if (message == m.getText) {
      if (!valid || lParam == 0) return kError;
      // The whole entry: the caller must have asked its length first.
      const std::string& text = m_entries[index].text;
      text.copy(reinterpret_cast<LPSTR>(lParam), text.size());
      reinterpret_cast<LPSTR>(lParam)[text.size()] = '\0';
      return static_cast<LRESULT>(text.size());
    }
    if (message == m.getTextLength)
      return valid ? static_cast<LRESULT>(m_entries[index].text.size()) : kError;
    if (message == m.getCount) return static_cast<LRESULT>(m_entries.size());
    if (message == m.find) return Find(index, TextOf(reinterpret_cast<LPCSTR>(lParam)));
    if (message == m.getData) return valid ? m_entries[index].data : kError;
    if (message == m.setData) {
      if (!valid) return kError;
      m_entries[index].data = lParam;
      return TRUE;
    }
    return std::nullopt;
  }

 private:
  struct Entry {
    std::string text;
    LPARAM data;
  };

  LRESULT Insert(size_t index, LPARAM text) {
    m_entries.insert(m_entries.begin() + static_cast<std::ptrdiff_t>(index),
                     Entry{TextOf(reinterpret_cast<LPCSTR>(text)), 0});
    if (m_selected >= static_cast<LRESULT>(index)) ++m_selected;
    return static_cast<LRESULT>(index);
  }

  LRESULT Remove(int index) {
    m_entries.erase(m_entries.begin() + index);
    if (m_selected == index) {
      m_selected = -1;
    } else if (m_selected > index) {
      --m_selected;
    }
    return static_cast<LRESULT>(m_entries.size());
  }

  // From the entry after `after` (any index outside the list: from the top) round to `after` itself.
  LRESULT Find(int after, const std::string& prefix) const {
    const size_t count = m_entries.size();
    const size_t start =
        after >= 0 && static_cast<size_t>(after) < count ? static_cast<size_t>(after) + 1 : 0;
    for (size_t step = 0; step < count; ++step) {
      const size_t index = (start + step) % count;
      if (lstrcmpiA(m_entries[index].text.substr(0, prefix.size()).c_str(), prefix.c_str()) == 0) {
        return static_cast<LRESULT>(index);
      }
    }
    return kError;
  }

  const ListMessages& m_messages;
  std::vector<Entry> m_entries;
  LRESULT m_selected = -1;
};

class ListBoxContents : public EntryList {
 public:
  explicit ListBoxContents(const CREATESTRUCTA&) : EntryList(kListBoxMessages) {}
};

class ComboBoxContents : public EntryList {
 public:
  explicit ComboBoxContents(const CREATESTRUCTA&) : EntryList(kComboBoxMessages) {}
};

}  // namespace

LRESULT EditProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return ControlProcedure<EditContents>(window, message, wParam, lParam);
}

LRESULT ListBoxProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return ControlProcedure<ListBoxContents>(window, message, wParam, lParam);
}

LRESULT ComboBoxProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return ControlProcedure<ComboBoxContents>(window, message, wParam, lParam);
}

}  // namespace plat::detail
