// Cuts a client's bytes into protocol lines, apart from the socket they come from.
#pragma once

#include <cstddef>
#include <functional>

// A line ends at CR, LF or NUL; empty lines are no lines. A line longer than kLineLimit characters is
// handed out once as its first kLineLimit, and the rest up to its end is dropped. The part of a line
// not yet ended is kept for the next bytes.
class LineFramer {
 public:
  static constexpr size_t kLineLimit = 1023;
  using LineHandler = std::function<void(const char* line)>;

  // Hands each line the bytes end, or cut, to onLine, NUL-terminated.
  void Feed(const char* bytes, size_t count, const LineHandler& onLine);
  // Forgets the unfinished line, as for a new client.
  void Reset();

 private:
  char m_line[kLineLimit + 1] = {};
  size_t m_length = 0;
  // The line grew past the limit: its rest up to its end is dropped.
  bool m_cut = false;
};
