// The provider's worker: one thread that runs queued actions when they fall due.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace simtsp {

// Everything the provider reports to the host (events, completions) runs here, so it never reaches
// the host on the thread of a host call. The queue's lock is not held while an action runs: an action
// may call back into the host, and the host may call the provider (and post again) from there.
class EventQueue {
 public:
  using Clock = std::chrono::steady_clock;
  using Action = std::function<void()>;

  EventQueue() = default;
  ~EventQueue();
  EventQueue(const EventQueue&) = delete;
  EventQueue& operator=(const EventQueue&) = delete;

  // Starts the worker thread; false when it is already running.
  bool Start();
  // Drops every action not yet run, waits for the one under way and joins the thread; nothing runs
  // afterwards. True also when nothing was running; false when called from an action, which cannot
  // wait for itself.
  bool Stop();
  bool IsRunning() const;
  // True on the worker thread, from where Stop cannot wait for the worker.
  bool OnWorkerThread() const;

  // Runs `action` on the worker once `delay` has passed. Actions falling due at the same time run in
  // the order they were posted. False, and the action is dropped, when the worker is not running.
  bool Post(std::chrono::milliseconds delay, Action action);

 private:
  void Run(unsigned long generation);

  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::multimap<Clock::time_point, Action> m_pending;  // equal keys keep their insertion order
  bool m_running = false;
  // Each start begins a generation; a worker ends as soon as its own is over, even when a new worker
  // was started before the old one had been joined.
  unsigned long m_generation = 0;
  std::thread m_worker;
};

}  // namespace simtsp
