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

}  // namespace

MessageWaitSet::MessageWaitSet() {
  m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
  m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  epoll_event wake{};
  wake.events = EPOLLIN;
  wake.data.u64 = kWakeKey;
  ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wake, &wake);
}

MessageWaitSet::~MessageWaitSet() {
  ::close(m_wake);
  ::close(m_epoll);
}

void MessageWaitSet::Add(int fd, uint64_t key, uint32_t events) { Control(EPOLL_CTL_ADD, fd, key, events); }

void MessageWaitSet::Modify(int fd, uint64_t key, uint32_t events) {
  Control(EPOLL_CTL_MOD, fd, key, events);
}

void MessageWaitSet::Remove(int fd) { ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr); }

void MessageWaitSet::Control(int operation, int fd, uint64_t key, uint32_t events) {
  epoll_event interest{};
  interest.events = events;
  interest.data.u64 = key;
  ::epoll_ctl(m_epoll, operation, fd, &interest);
}

void MessageWaitSet::Wait(int timeoutMs) {
  epoll_event ready[64];
  int count = ::epoll_wait(m_epoll, ready, static_cast<int>(std::size(ready)), timeoutMs);
  ReadyHandler handler = g_handler.load();
  for (int i = 0; i < count; ++i) {
    if (ready[i].data.u64 == kWakeKey) {
      uint64_t wakes;
      [[maybe_unused]] ssize_t taken = ::read(m_wake, &wakes, sizeof wakes);
    } else if (handler != nullptr) {
      handler(ready[i].data.u64, ready[i].events);
    }
  }
}

void MessageWaitSet::Wake() {
  uint64_t one = 1;
  [[maybe_unused]] ssize_t written = ::write(m_wake, &one, sizeof one);
}

void SetReadyHandler(ReadyHandler handler) { g_handler.store(handler); }

}  // namespace plat::detail
