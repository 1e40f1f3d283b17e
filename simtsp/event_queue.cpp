// The provider's worker thread and its queue of timed actions.
#include "event_queue.h"

#include <utility>

namespace simtsp {

EventQueue::~EventQueue() { Stop(); }

bool EventQueue::Start() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_running) return false;
  m_running = true;
  m_worker = std::thread(&EventQueue::Run, this, ++m_generation);
  return true;
}

bool EventQueue::Stop() {
  std::thread worker;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_running) return true;
    if (std::this_thread::get_id() == m_worker.get_id()) return false;
    m_running = false;
    ++m_generation;
    m_pending.clear();
    worker = std::move(m_worker);
  }
  m_changed.notify_all();
  worker.join();
  return true;
}

bool EventQueue::IsRunning() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_running;
}

bool EventQueue::OnWorkerThread() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_running && std::this_thread::get_id() == m_worker.get_id();
}

bool EventQueue::Post(std::chrono::milliseconds delay, Action action) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_running) return false;
    m_pending.emplace(Clock::now() + delay, std::move(action));
  }
  m_changed.notify_all();
  return true;
}

void EventQueue::Run(unsigned long generation) {
  std::unique_lock<std::mutex> lock(m_mutex);
  while (m_generation == generation) {
    if (m_pending.empty()) {
      m_changed.wait(lock);
      continue;
    }
    auto next = m_pending.begin();
    if (Clock::now() < next->first) {
      // A copy: Stop may drop the action, and with it its time, while this waits.
      Clock::time_point due = next->first;
      m_changed.wait_until(lock, due);
      continue;
    }
    Action action = std::move(next->second);
    m_pending.erase(next);
    lock.unlock();
    action();
    lock.lock();
  }
}

}  // namespace simtsp
