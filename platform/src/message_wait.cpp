// The epoll set behind a thread's message wait.
#include "message_wait.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <iterator>

namespace plat::detail {
namespace {

constexpr uint64_t kWakeKey = 0;  // no socket has this value

std::atomic<ReadyHandler> g_handler{nullptr};

// Closes `fd` keeping the errno value of the failure that made the caller give up.
void CloseKeepingErrno(int fd) {
  const int error = errno;
  ::close(fd);
  errno = error;
}

}  // namespace

std::unique_ptr<MessageWaitSet> MessageWaitSet::Create() {
  const int epoll = ::epoll_create1(EPOLL_CLOEXEC);
  if (epoll < 0) return nullptr;
  const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake < 0) {
    CloseKeepingErrno(epoll);
    return nullptr;
  }
  std::unique_ptr<MessageWaitSet> set(new MessageWaitSet(epoll, wake));
  if (int error = set->Control(EPOLL_CTL_ADD, wake, kWakeKey, EPOLLIN); error != 0) {
    set.reset();
    errno = error;
  }
  return set;
}

MessageWaitSet::~MessageWaitSet() {
  ::close(m_wake);
  ::close(m_epoll);
}

int MessageWaitSet::Add(int fd, uint64_t key, uint32_t events) {
  return Control(EPOLL_CTL_ADD, fd, key, events);
}

int MessageWaitSet::Modify(int fd, uint64_t key, uint32_t events) {
  return Control(EPOLL_CTL_MOD, fd, key, events);
}

// Removing fails only for a descriptor the set does not hold or that is closed already: either way it
// is not watched any more, which is all that was asked.
void MessageWaitSet::Remove(int fd) { ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr); }

int MessageWaitSet::Control(int operation, int fd, uint64_t key, uint32_t events) {
  epoll_event interest{};
  interest.events = events;
  interest.data.u64 = key;
  return ::epoll_ctl(m_epoll, operation, fd, &interest) == 0 ? 0 : errno;
}

bool MessageWaitSet::Wait(int timeoutMs) {
  epoll_event ready[64];
  int count = ::epoll_wait(m_epoll, ready, static_cast<int>(std::size(ready)), timeoutMs);
  if (count < 0) return errno == EINTR;
  ReadyHandler handler = g_handler.load();
  for (int i = 0; i < count; ++i) {
    if (ready[i].data.u64 == kWakeKey) {
      // The counter is read whole, and only when it is above zero: the read cannot fail.
      uint64_t wakes;
      [[maybe_unused]] ssize_t taken = ::read(m_wake, &wakes, sizeof wakes);
    } else if (handler != nullptr) {
      handler(ready[i].data.u64, ready[i].events);
    }
  }
  return true;
}

// A write fails only when the counter is at its maximum, which wakes the wait as well.
void MessageWaitSet::Wake() {
  uint64_t one = 1;
  [[maybe_unused]] ssize_t written = ::write(m_wake, &one, sizeof one);
}

void SetReadyHandler(ReadyHandler handler) { g_handler.store(handler); }

}  // namespace plat::detail
