// The cutting of a client's bytes into protocol lines.
#include "line_framer.h"

void LineFramer::Feed(const char* bytes, size_t count, const LineHandler& onLine) {
  for (size_t i = 0; i < count; ++i) {
    const char c = bytes[i];
    if (c == '\0' || c == '\n' || c == '\r') {
      m_line[m_length] = '\0';
      if (!m_cut && m_length != 0) onLine(m_line);
      Reset();
    } else if (m_cut) {
      continue;
    } else if (m_length < kLineLimit) {
      m_line[m_length++] = c;
    } else {
      // The over-long line goes on once, as far as it fits, rather than run past the buffer.
      m_cut = true;
      m_line[m_length] = '\0';
      onLine(m_line);
    }
  }
}

void LineFramer::Reset() {
  m_length = 0;
  m_cut = false;
}
