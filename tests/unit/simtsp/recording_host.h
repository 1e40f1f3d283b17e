// A host for the simulated provider's tests: it records every callback the provider makes, in order.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "tapi.h"

namespace testsupport {

// The messages the host itself looks at, by their published values.
constexpr DWORD kCallStateMessage = 2, kReplyMessage = 12, kNewCallMessage = 500;

// One callback the provider made; a completion is recorded as message LINE_REPLY with the request id
// and the result in the first two parameters.
struct Callback {
  DWORD message;
  HTAPILINE htLine;
  HTAPICALL htCall;
  DWORD_PTR param1;
  DWORD_PTR param2;
  DWORD_PTR param3;
  std::thread::id thread;
  LONG nestedResult;  // what the provider answered the host's call made from inside the callback
  HTAPICALL written;  // for LINE_NEWCALL: the handle the host wrote back
};

// The host's side: plain callbacks as the provider gets them. It writes its own handles `firstHtCall`,
// `firstHtCall` + 1, ... for the calls the provider announces, and calls the provider from inside each
// line event, as the real host does, which shows that no lock of the provider is held across it.
class RecordingHost {
 public:
  // The host's call into the provider from inside a line event, and the provider's answer.
  using Inside = std::function<LONG(const Callback&)>;
  // The host the provider's callbacks go to.
  static inline RecordingHost* current = nullptr;

  RecordingHost(HTAPICALL firstHtCall, Inside inside)
      : m_lastHtCall(firstHtCall - 1), m_inside(std::move(inside)) {}

  static void LineEvent(HTAPILINE htLine, HTAPICALL htCall, DWORD message, DWORD_PTR param1, DWORD_PTR param2,
                        DWORD_PTR param3) {
    RecordingHost& host = *current;
    Callback callback{message, htLine, htCall, param1, param2, param3, std::this_thread::get_id(), 0, 0};
    if (message == kNewCallMessage) {
      std::lock_guard<std::mutex> lock(host.m_mutex);
      callback.written = ++host.m_lastHtCall;
      *reinterpret_cast<HTAPICALL*>(param2) = callback.written;
    }
    callback.nestedResult = host.m_inside(callback);
    host.Add(callback);
  }
  static void Completion(DRV_REQUESTID requestId, LONG result) {
    current->Add({kReplyMessage, 0, 0, requestId, static_cast<DWORD_PTR>(static_cast<DWORD>(result)), 0,
                  std::this_thread::get_id(), 0, 0});
  }

  // The index of the first callback from `from` on that matches, waiting up to `patience` for it; -1
  // when none came.
  int WaitFor(const std::function<bool(const Callback&)>& match, size_t from = 0,
              std::chrono::milliseconds patience = std::chrono::seconds(20)) {
    std::unique_lock<std::mutex> lock(m_mutex);
    int found = -1;
    m_changed.wait_for(lock, patience, [&] {
      for (size_t i = from; i < m_callbacks.size(); ++i) {
        if (match(m_callbacks[i])) {
          found = static_cast<int>(i);
          return true;
        }
      }
      return false;
    });
    return found;
  }
  // The first callback that matches, waiting for it as WaitFor does; none when it did not come.
  std::optional<Callback> First(const std::function<bool(const Callback&)>& match) {
    int index = WaitFor(match);
    if (index < 0) return std::nullopt;
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_callbacks[static_cast<size_t>(index)];
  }
  std::vector<Callback> All() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_callbacks;
  }
  size_t Count() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_callbacks.size();
  }
  // The states reported for the call, in order.
  std::vector<DWORD> States(HTAPICALL htCall) {
    std::vector<DWORD> states;
    for (const Callback& callback : All()) {
      if (callback.message == kCallStateMessage && callback.htCall == htCall) {
        states.push_back(static_cast<DWORD>(callback.param1));
      }
    }
    return states;
  }

 private:
  void Add(const Callback& callback) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_callbacks.push_back(callback);
    m_changed.notify_all();
  }

  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<Callback> m_callbacks;
  HTAPICALL m_lastHtCall;
  Inside m_inside;
};

}  // namespace testsupport
