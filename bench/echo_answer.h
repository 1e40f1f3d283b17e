// The answer loop both echo floors serve a connection with, whatever sockets they are written on.
#pragma once

#include <algorithm>

namespace bench {

// Calls `answer()` once for every line end in what `receive(buffer, size)` brings, at once, until it
// returns 0 or less: the floor does no other work than the kernel's for a request and its answer.
template <typename Receive, typename Answer>
void AnswerEachLine(Receive receive, Answer answer) {
  char buffer[4096];
  for (int got; (got = receive(buffer, static_cast<int>(sizeof(buffer)))) > 0;)
    for (long ends = std::count(buffer, buffer + got, '\n'); ends > 0; --ends) answer();
}

}  // namespace bench
