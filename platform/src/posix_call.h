// System calls made again after a signal interrupted them, and writes of a whole buffer.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace plat::detail {

// Calls `call` with `args` until it does not fail with EINTR, and returns its last result. `failure`
// is the value the call returns when it fails (and sets errno). Only for calls whose arguments stay
// right when made again: not for a wait whose timeout must shrink by the time already waited.
template <typename Failure, typename Call, typename... Args>
auto RetryAfterSignal(const Failure& failure, const Call& call, Args&&... args) {
  decltype(call(args...)) result;
  do {
    result = call(args...);
  } while (result == failure && errno == EINTR);
  return result;
}

// Hands what is left of `size` bytes at `data` to `writeSome(bytes, count, done)`, where `done` is how
// many bytes went before, until every byte is taken; a short write is followed by one for the rest and
// an interrupted one is made again. False when a write fails or takes nothing.
template <typename WriteSome>
bool WriteAllWith(const WriteSome& writeSome, const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  for (size_t done = 0; done < size;) {
    const ssize_t wrote = RetryAfterSignal(-1, writeSome, bytes + done, size - done, done);
    if (wrote <= 0) return false;
    done += static_cast<size_t>(wrote);
  }
  return true;
}

// Writes all `size` bytes at `data` to `fd` at its file offset.
inline bool WriteAll(int fd, const void* data, size_t size) {
  return WriteAllWith([fd](const char* bytes, size_t count, size_t) { return ::write(fd, bytes, count); },
                      data, size);
}

// Writes all `size` bytes at `data` to the file of `fd` from `offset` on; the descriptor's own file
// offset stays where it is.
inline bool WriteAllAt(int fd, const void* data, size_t size, off_t offset) {
  return WriteAllWith(
      [fd, offset](const char* bytes, size_t count, size_t done) {
        return ::pwrite(fd, bytes, count, offset + static_cast<off_t>(done));
      },
      data, size);
}

}  // namespace plat::detail
