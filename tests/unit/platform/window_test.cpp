// Tests of windows and messages: the tree, classes, creation and destruction, and the thread queues.
#include "plat/window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "plat/error.h"
#include "plat/process.h"
#include "plat/testing/window.h"
#include "plat/thread.h"
#include "plat/winmain.h"
#include "support/eventually.h"

// Allocations of this test program, counted for the steady message loop below.
std::atomic<long> g_allocations{0};
void* operator new(std::size_t size) {
  ++g_allocations;
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
// The counting operator new above takes its memory from malloc, so free is the right release; GCC
// cannot see that across the replacement and warns.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
#pragma GCC diagnostic pop

namespace {

using namespace std::chrono_literals;
using testsupport::Eventually;

// Windows made by a test, removed when it ends.
class WindowTest : public ::testing::Test {
 protected:
  ~WindowTest() override {
    for (plat::HWND window : m_made) plat::RemoveWindowForTesting(window);
  }
  plat::HWND Make(plat::HWND parent, plat::LONG_PTR userData = 0) {
    plat::HWND window = plat::CreateWindowForTesting(parent, userData);
    if (parent == nullptr) m_made.push_back(window);
    return window;
  }
  std::vector<plat::HWND> m_made;
};

TEST_F(WindowTest, NewWindowsGoOnTopOfTheirSiblings) {
  plat::HWND first = Make(nullptr);
  plat::HWND second = Make(nullptr);
  EXPECT_EQ(second, plat::GetWindow(plat::GetDesktopWindow(), plat::GW_CHILD));
  EXPECT_EQ(first, plat::GetWindow(second, plat::GW_HWNDNEXT));
  EXPECT_EQ(second, plat::GetWindow(first, plat::GW_HWNDPREV));
  EXPECT_EQ(second, plat::GetWindow(first, plat::GW_HWNDFIRST));
  plat::HWND child = Make(first);
  EXPECT_EQ(child, plat::GetWindow(first, plat::GW_CHILD));
  EXPECT_EQ(nullptr, plat::GetWindow(child, plat::GW_HWNDNEXT));
  EXPECT_EQ(nullptr, plat::GetWindow(child, plat::GW_CHILD));
}

TEST_F(WindowTest, UserDataKeepsAllBitsAndTheLongFormItsLow32) {
  plat::HWND window = Make(nullptr, 0);
  EXPECT_EQ(0, plat::SetWindowLongPtrA(window, plat::GWLP_USERDATA, 0xFE93852A));
  EXPECT_EQ(0xFE93852Au, static_cast<uint32_t>(plat::GetWindowLongA(window, plat::GWL_USERDATA)));
  EXPECT_EQ(0xFE93852A, plat::GetWindowLongPtrA(window, plat::GWLP_USERDATA));
  plat::SetLastError(0);
  EXPECT_EQ(0, plat::GetWindowLongPtrA(window, -4));
  EXPECT_EQ(87u, plat::GetLastError());
}

TEST_F(WindowTest, ForegroundWindowGoesOnTop) {
  plat::HWND lower = Make(nullptr);
  plat::HWND upper = Make(nullptr);
  plat::HWND child = Make(lower);
  EXPECT_TRUE(plat::SetForegroundWindow(child));
  EXPECT_EQ(lower, plat::GetForegroundWindow());
  EXPECT_EQ(lower, plat::GetWindow(plat::GetDesktopWindow(), plat::GW_CHILD));
  EXPECT_EQ(upper, plat::GetWindow(lower, plat::GW_HWNDNEXT));
}

TEST_F(WindowTest, ShowStatesAndRemovedWindows) {
  plat::HWND window = Make(nullptr);
  EXPECT_TRUE(plat::IsWindowVisible(window));
  EXPECT_TRUE(plat::ShowWindow(window, plat::SW_SHOWMINIMIZED));
  EXPECT_TRUE(plat::IsIconic(window));
  plat::ShowWindow(window, plat::SW_RESTORE);
  EXPECT_FALSE(plat::IsIconic(window));
  plat::ShowWindow(window, plat::SW_HIDE);
  EXPECT_FALSE(plat::IsWindowVisible(window));

  plat::HWND child = Make(window);
  plat::RemoveWindowForTesting(window);
  m_made.clear();
  for (plat::HWND gone : {window, child}) {
    EXPECT_FALSE(plat::IsWindow(gone));
    plat::SetLastError(0);
    EXPECT_EQ(nullptr, plat::GetWindow(gone, plat::GW_CHILD));
    EXPECT_EQ(1400u, plat::GetLastError());
  }
  EXPECT_NE(window, Make(nullptr)) << "handles are never reused";
}

// ---- Geometry, styles and the tree's queries ----

// Moves and sizes the window within its parent's client area, leaving the Z order alone.
void Place(plat::HWND window, int x, int y, int width, int height) {
  EXPECT_TRUE(plat::SetWindowPos(window, plat::HWND_TOP, x, y, width, height,
                                 plat::SWP_NOZORDER | plat::SWP_NOACTIVATE));
}

std::vector<plat::LONG> Edges(plat::HWND window) {
  plat::RECT rect{};
  EXPECT_TRUE(plat::GetWindowRect(window, &rect));
  return {rect.left, rect.top, rect.right, rect.bottom};
}

TEST_F(WindowTest, PositionsAddUpFromTheScreenDown) {
  plat::HWND frame = Make(nullptr);
  plat::HWND panel = Make(frame);
  Place(frame, -300, 100, 200, 150);  // on a monitor left of the primary one
  Place(panel, 10, 20, 50, 40);
  EXPECT_EQ((std::vector<plat::LONG>{-300, 100, -100, 250}), Edges(frame));
  EXPECT_EQ((std::vector<plat::LONG>{-290, 120, -240, 160}), Edges(panel));
  EXPECT_EQ((std::vector<plat::LONG>{0, 0, 1920, 1080}), Edges(plat::GetDesktopWindow()));

  plat::POINT point{5, 6};
  EXPECT_TRUE(plat::ClientToScreen(panel, &point));
  EXPECT_EQ(-285, point.x);
  EXPECT_EQ(126, point.y);
  EXPECT_TRUE(plat::ScreenToClient(frame, &point));
  EXPECT_EQ(15, point.x);
  EXPECT_EQ(26, point.y);
  EXPECT_FALSE(plat::ScreenToClient(panel, nullptr));

  EXPECT_TRUE(plat::SetWindowPos(panel, nullptr, 1, 2, 0, 0, plat::SWP_NOSIZE | plat::SWP_NOZORDER));
  EXPECT_EQ((std::vector<plat::LONG>{-299, 102, -249, 142}), Edges(panel)) << "moved, size kept";
  EXPECT_TRUE(plat::SetWindowPos(panel, nullptr, 0, 0, 7, 8, plat::SWP_NOMOVE | plat::SWP_NOZORDER));
  EXPECT_EQ((std::vector<plat::LONG>{-299, 102, -292, 110}), Edges(panel)) << "sized, place kept";
}

TEST_F(WindowTest, SetWindowPosOrdersSiblingsAndActivatesTopLevelWindows) {
  plat::HWND lower = Make(nullptr);
  plat::HWND upper = Make(nullptr);
  plat::SetForegroundWindow(upper);
  EXPECT_TRUE(plat::SetWindowPos(lower, plat::HWND_NOTOPMOST, 0, 0, 0, 0, plat::SWP_NOSIZE));
  EXPECT_EQ(lower, plat::GetTopWindow(nullptr));
  EXPECT_EQ(lower, plat::GetForegroundWindow()) << "activated without SWP_NOACTIVATE";
  EXPECT_TRUE(plat::SetWindowPos(lower, plat::HWND_BOTTOM, 0, 0, 0, 0, plat::SWP_NOACTIVATE));
  EXPECT_EQ(upper, plat::GetTopWindow(nullptr));
  EXPECT_TRUE(plat::SetWindowPos(upper, lower, 0, 0, 0, 0, plat::SWP_NOACTIVATE));
  EXPECT_EQ(upper, plat::GetWindow(lower, plat::GW_HWNDNEXT)) << "after the given window";
  plat::SetLastError(0);
  EXPECT_FALSE(plat::SetWindowPos(plat::GetDesktopWindow(), nullptr, 0, 0, 1, 1, 0));
  EXPECT_EQ(1400u, plat::GetLastError());
}

TEST_F(WindowTest, WindowFromPointFindsTheDeepestVisibleWindow) {
  plat::HWND below = Make(nullptr);
  plat::HWND above = Make(nullptr);
  plat::HWND button = Make(above);
  Place(below, 0, 0, 400, 400);
  Place(above, 100, 100, 100, 100);
  Place(button, 10, 10, 20, 20);
  struct Case {
    plat::POINT point;
    plat::HWND expected;
  } cases[] = {
      {{115, 115}, button}, {{130, 130}, above},  // the button's right and bottom edges are outside it
      {{150, 150}, above},  {{50, 50}, below},   {{500, 500}, plat::GetDesktopWindow()},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, plat::WindowFromPoint(c.point)) << c.point.x << "," << c.point.y;
  }
  plat::ShowWindow(above, plat::SW_HIDE);
  EXPECT_EQ(below, plat::WindowFromPoint({115, 115})) << "hidden windows and their children are passed over";
}

TEST_F(WindowTest, ParentsAndOwningProcess) {
  plat::HWND dialog = Make(nullptr);
  plat::HWND group = Make(dialog);
  EXPECT_EQ(nullptr, plat::GetParent(dialog)) << "a top-level window has no parent";
  EXPECT_EQ(dialog, plat::GetParent(group));

  plat::DWORD process = 0;
  EXPECT_EQ(plat::GetCurrentThreadId(), plat::GetWindowThreadProcessId(group, &process));
  EXPECT_EQ(plat::GetCurrentProcessId(), process);
  plat::SetWindowProcessForTesting(group, 4242);
  plat::GetWindowThreadProcessId(group, &process);
  EXPECT_EQ(4242u, process);
}

TEST_F(WindowTest, StylesCanBeSetAndShowTheWindowState) {
  plat::HWND window = Make(nullptr);
  EXPECT_EQ(static_cast<plat::LONG_PTR>(plat::WS_VISIBLE),
            plat::SetWindowLongPtrA(window, plat::GWL_STYLE, 0x00C00000 | plat::WS_MINIMIZE));
  EXPECT_TRUE(plat::IsIconic(window));
  EXPECT_FALSE(plat::IsWindowVisible(window)) << "WS_VISIBLE was cleared";
  EXPECT_EQ(0x20C00000, plat::GetWindowLongA(window, plat::GWL_STYLE));
  EXPECT_EQ(0, plat::SetWindowLongPtrA(window, plat::GWL_EXSTYLE, 0x8));
  EXPECT_EQ(0x8, plat::GetWindowLongA(window, plat::GWL_EXSTYLE));
  plat::WINDOWINFO info{};
  EXPECT_TRUE(plat::GetWindowInfo(window, &info));
  EXPECT_EQ(0x20C00000u, info.dwStyle);
  EXPECT_EQ(0x8u, info.dwExStyle);
  EXPECT_EQ(0, info.atomWindowType) << "made without a class";
}

// ---- Messages ----

constexpr const char* kClassName = "RecordingWindow";
// Messages from WM_USER to kSendBack - 1 answer wParam + 1000.
constexpr plat::UINT kEcho = plat::WM_USER + 1;
// Answers 1 + what the window in lParam answers to kEcho with the same wParam.
constexpr plat::UINT kSendBack = plat::WM_USER + 50;
// The window destroys itself.
constexpr plat::UINT kDestroySelf = plat::WM_USER + 51;

plat::HWND const kThreadMessagesOnly = reinterpret_cast<plat::HWND>(static_cast<intptr_t>(-1));

struct Call {
  plat::HWND window;
  plat::UINT message;
  plat::WPARAM wParam;
  plat::LPARAM lParam;
  plat::DWORD thread;
  bool windowExists;  // IsWindow while the procedure ran
};

// Every call of RecordingProcedure, from any thread.
class CallLog {
 public:
  void Add(const Call& call) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back(call);
  }
  std::vector<Call> All() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls;
  }
  // The messages `window` received, in order.
  std::vector<plat::UINT> MessagesOf(plat::HWND window) {
    std::vector<plat::UINT> messages;
    for (const Call& call : All()) {
      if (call.window == window) messages.push_back(call.message);
    }
    return messages;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.clear();
  }

 private:
  std::mutex m_mutex;
  std::vector<Call> m_calls;
};

CallLog g_calls;
// WM_NCCREATE or WM_CREATE: the procedure refuses it (FALSE, -1).
std::atomic<plat::UINT> g_refusedMessage{0};
// What the last WM_CREATE carried.
plat::CREATESTRUCTA g_creation;
std::string g_creationTitle;

plat::LRESULT RecordingProcedure(plat::HWND window, plat::UINT message, plat::WPARAM wParam,
                                 plat::LPARAM lParam) {
  g_calls.Add({window, message, wParam, lParam, plat::GetCurrentThreadId(), plat::IsWindow(window) != 0});
  if (message == g_refusedMessage) return message == plat::WM_CREATE ? -1 : plat::FALSE;
  switch (message) {
    case plat::WM_CREATE:
      g_creation = *reinterpret_cast<const plat::CREATESTRUCTA*>(lParam);
      g_creationTitle = g_creation.lpszName != nullptr ? g_creation.lpszName : "(null)";
      return 0;
    case kSendBack:
      return plat::SendMessageA(reinterpret_cast<plat::HWND>(lParam), kEcho, wParam, 0) + 1;
    case kDestroySelf:
      return plat::DestroyWindow(window);
  }
  if (message >= plat::WM_USER && message < kSendBack) return static_cast<plat::LRESULT>(wParam) + 1000;
  return plat::DefWindowProcA(window, message, wParam, lParam);
}

plat::WNDCLASSEXA RecordingClass(const char* name) {
  plat::WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = plat::CS_HREDRAW | plat::CS_VREDRAW;
  windowClass.lpfnWndProc = RecordingProcedure;
  windowClass.hCursor = plat::LoadCursorA(nullptr, plat::IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<plat::HBRUSH>(static_cast<uintptr_t>(plat::COLOR_BTNFACE + 1));
  windowClass.lpszClassName = name;
  return windowClass;
}

plat::HWND MakeRecordingWindow(plat::HWND parent) {
  return plat::CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, parent, nullptr, nullptr, nullptr);
}

// Handles what other threads send to this one until `answer` is ready, for thirty seconds at most; a
// sender left waiting would block the end of the test.
bool PumpUntilReady(std::future<plat::LRESULT>& answer) {
  return Eventually([&answer] {
    plat::MSG message;
    plat::PeekMessageA(&message, nullptr, 0, 0, plat::PM_NOREMOVE);
    return answer.wait_for(0s) == std::future_status::ready;
  });
}

// Ends the test program when a test runs too long: a message call that never returns would otherwise
// hang the whole run.
class Watchdog {
 public:
  Watchdog() {
    m_thread = std::thread([this] {
      std::unique_lock<std::mutex> lock(m_mutex);
      if (!m_changed.wait_for(lock, 60s, [this] { return m_finished; })) {
        std::fprintf(stderr, "%s did not finish within 60 s\n",
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::_Exit(1);
      }
    });
  }
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_finished = true;
    }
    m_changed.notify_all();
    m_thread.join();
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  bool m_finished = false;
  std::thread m_thread;
};

// A registered recording class, an empty queue for the test's thread, and cleaning up after it.
class MessageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Drain();
    g_calls.Clear();
    g_refusedMessage = 0;
    plat::WNDCLASSEXA windowClass = RecordingClass(kClassName);
    ASSERT_NE(0, plat::RegisterClassExA(&windowClass));
  }
  void TearDown() override {
    for (plat::HWND window : m_made) {
      if (plat::IsWindow(window)) plat::DestroyWindow(window);
    }
    Drain();
    EXPECT_TRUE(plat::UnregisterClassA(kClassName, nullptr));
  }

  static void Drain() {
    plat::MSG message;
    while (plat::PeekMessageA(&message, nullptr, 0, 0, plat::PM_REMOVE)) {
    }
  }
  plat::HWND Make(plat::HWND parent = nullptr) {
    plat::HWND window = MakeRecordingWindow(parent);
    m_made.push_back(window);
    return window;
  }
  // Takes the next message from the queue, as the message loops do.
  plat::MSG Next() {
    plat::MSG message{};
    EXPECT_EQ(plat::TRUE, plat::GetMessageA(&message, nullptr, 0, 0));
    return message;
  }

  Watchdog m_watchdog;
  std::vector<plat::HWND> m_made;
};

// A thread that owns one recording window and runs a message loop until the test is done with it.
class LoopThread {
 public:
  LoopThread() {
    std::promise<void> started;
    std::future<void> ready = started.get_future();
    m_thread = std::thread([this, started = std::move(started)]() mutable {
      m_threadId = plat::GetCurrentThreadId();
      m_window = MakeRecordingWindow(nullptr);
      started.set_value();
      plat::MSG message;
      while (plat::GetMessageA(&message, nullptr, 0, 0) > 0) plat::DispatchMessageA(&message);
    });
    ready.wait();
  }
  ~LoopThread() {
    plat::PostThreadMessageA(m_threadId, plat::WM_QUIT, 0, 0);
    m_thread.join();
  }
  LoopThread(const LoopThread&) = delete;
  LoopThread& operator=(const LoopThread&) = delete;

  plat::DWORD threadId() const { return m_threadId; }
  plat::HWND window() const { return m_window; }

 private:
  plat::DWORD m_threadId = 0;
  plat::HWND m_window = nullptr;
  std::thread m_thread;
};

TEST_F(MessageTest, PostedMessagesKeepEachPostersOrderAndNoneIsLost) {
  plat::HWND window = Make();
  constexpr int kPosters = 4;
  constexpr int kEach = 1000;
  std::atomic<int> refused{0};
  std::vector<std::thread> posters;
  for (int poster = 0; poster < kPosters; ++poster) {
    posters.emplace_back([&, poster] {
      for (int sequence = 0; sequence < kEach; ++sequence) {
        if (!plat::PostMessageA(window, kEcho, poster, sequence)) ++refused;
      }
    });
  }
  // The loop runs while the posters post.
  for (int received = 0; received < kPosters * kEach; ++received) {
    plat::MSG message = Next();
    plat::DispatchMessageA(&message);
  }
  for (std::thread& poster : posters) poster.join();

  EXPECT_EQ(0, refused.load());
  std::vector<int> nextOf(kPosters, 0);
  for (const Call& call : g_calls.All()) {
    if (call.message != kEcho) continue;
    ASSERT_LT(call.wParam, static_cast<plat::WPARAM>(kPosters));
    EXPECT_EQ(nextOf[call.wParam]++, call.lParam) << "poster " << call.wParam;
  }
  EXPECT_EQ(std::vector<int>(kPosters, kEach), nextOf);
  plat::MSG left;
  EXPECT_FALSE(plat::PeekMessageA(&left, nullptr, 0, 0, plat::PM_REMOVE));
}

// A loop that takes each message soon after it was posted runs without allocating, whatever its length.
TEST_F(MessageTest, ASteadyLoopPostsAndTakesWithoutAllocating) {
  plat::HWND window = Make();
  auto postAndTake = [window](int messages) {
    plat::MSG message;
    for (int i = 0; i < messages; ++i) {
      plat::PostMessageA(window, kEcho + 1, 0, i);
      if (i % 3 == 2)
        while (plat::PeekMessageA(&message, nullptr, 0, 0, plat::PM_REMOVE)) {
        }
    }
    while (plat::PeekMessageA(&message, nullptr, 0, 0, plat::PM_REMOVE)) {
    }
  };
  postAndTake(100);
  const long before = g_allocations.load();
  postAndTake(10000);
  EXPECT_EQ(before, g_allocations.load());
}

// GetMessageA and PeekMessageA both answer the waiting sender before they take a posted message, also
// one that came in a batch with a message taken before.
TEST_F(MessageTest, SentMessagesAreHandledBeforePostedOnes) {
  struct Case {
    const char* name;
    bool (*take)(plat::MSG*);
    bool oneTakenBefore;
  } const cases[] = {
      {"GetMessageA", [](plat::MSG* m) { return plat::GetMessageA(m, nullptr, 0, 0) == plat::TRUE; }, false},
      {"PeekMessageA",
       [](plat::MSG* m) { return plat::PeekMessageA(m, nullptr, 0, 0, plat::PM_REMOVE) != 0; }, false},
      {"GetMessageA after a take",
       [](plat::MSG* m) { return plat::GetMessageA(m, nullptr, 0, 0) == plat::TRUE; }, true},
  };
  plat::HWND window = Make();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.oneTakenBefore) {
      ASSERT_TRUE(plat::PostMessageA(window, kEcho + 1, 0, 0));
      ASSERT_TRUE(plat::PostMessageA(window, kEcho, 1, 0));
      EXPECT_EQ(kEcho + 1, Next().message);
      EXPECT_EQ(1u, plat::QueueLengthForTesting(plat::GetCurrentThreadId()).posted);
    }
    g_calls.Clear();
    if (!c.oneTakenBefore) {
      ASSERT_TRUE(plat::PostMessageA(window, kEcho, 1, 0));
    }
    auto sender =
        std::async(std::launch::async, [window] { return plat::SendMessageA(window, kEcho, 2, 0); });
    EXPECT_TRUE(Eventually([] { return plat::QueueLengthForTesting(plat::GetCurrentThreadId()).sent == 1; }));

    plat::MSG taken{};
    EXPECT_TRUE(c.take(&taken));
    EXPECT_EQ(1u, taken.wParam) << "the posted message is the one taken";
    std::vector<Call> calls = g_calls.All();
    EXPECT_EQ(1u, calls.size()) << "the sent message ran inside the call";
    EXPECT_TRUE(PumpUntilReady(sender));
    EXPECT_EQ(1002, sender.get());
    if (!calls.empty()) {
      EXPECT_EQ(2u, calls[0].wParam);
    }
  }
}

TEST_F(MessageTest, QuitComesOnlyAfterThePostedMessages) {
  plat::HWND window = Make();
  ASSERT_TRUE(plat::PostMessageA(window, kEcho, 1, 0));
  plat::PostQuitMessage(7);
  ASSERT_TRUE(plat::PostMessageA(window, kEcho, 2, 0));

  EXPECT_EQ(1u, Next().wParam);
  EXPECT_EQ(2u, Next().wParam);
  plat::MSG quit{};
  plat::MSG peeked{};
  EXPECT_TRUE(plat::PeekMessageA(&peeked, nullptr, 0, 0, plat::PM_NOREMOVE));
  EXPECT_EQ(0x12u, peeked.message) << "looking leaves WM_QUIT in place";
  EXPECT_EQ(plat::FALSE, plat::GetMessageA(&quit, nullptr, 0, 0));
  EXPECT_EQ(0x12u, quit.message);
  EXPECT_EQ(7u, quit.wParam);
  EXPECT_EQ(nullptr, quit.hwnd);
  EXPECT_FALSE(plat::PeekMessageA(&quit, nullptr, 0, 0, plat::PM_REMOVE)) << "the quit is taken once";
}

TEST_F(MessageTest, CrossThreadSendWaitsUntilTheOwnerHandlesItAndGetsTheResult) {
  plat::HWND window = Make();
  g_calls.Clear();
  auto sender = std::async(std::launch::async, [window] { return plat::SendMessageA(window, kEcho, 5, 0); });
  EXPECT_TRUE(Eventually([] { return plat::QueueLengthForTesting(plat::GetCurrentThreadId()).sent == 1; }));
  EXPECT_EQ(std::future_status::timeout, sender.wait_for(100ms));
  EXPECT_TRUE(g_calls.MessagesOf(window).empty()) << "nothing runs until the owner asks for messages";

  plat::MSG message;
  EXPECT_FALSE(plat::PeekMessageA(&message, nullptr, 0, 0, plat::PM_REMOVE)) << "nothing was posted";
  EXPECT_EQ(std::future_status::ready, sender.wait_for(20s)) << "one PeekMessageA answered it";
  EXPECT_TRUE(PumpUntilReady(sender));
  EXPECT_EQ(1005, sender.get());
  std::vector<Call> calls = g_calls.All();
  ASSERT_EQ(1u, calls.size());
  EXPECT_EQ(plat::GetCurrentThreadId(), calls[0].thread) << "the owner thread ran the procedure";
}

TEST_F(MessageTest, SendFromTheOwnerThreadIsADirectCall) {
  plat::HWND window = Make();
  ASSERT_TRUE(plat::PostMessageA(window, kEcho, 1, 0));
  g_calls.Clear();
  EXPECT_EQ(1007, plat::SendMessageA(window, kEcho, 7, 0));
  std::vector<Call> calls = g_calls.All();
  ASSERT_EQ(1u, calls.size()) << "the posted message was not dispatched on the way";
  EXPECT_EQ(7u, calls[0].wParam);
  plat::QueueLength length = plat::QueueLengthForTesting(plat::GetCurrentThreadId());
  EXPECT_EQ(1u, length.posted);
  EXPECT_EQ(0u, length.sent);
}

TEST_F(MessageTest, ThreadsSendingToEachOtherBothGetAnswers) {
  plat::HWND mine = Make();
  LoopThread other;
  g_calls.Clear();
  // The other thread's procedure sends back to this thread while this one waits for its answer.
  EXPECT_EQ(1005, plat::SendMessageA(other.window(), kSendBack, 4, reinterpret_cast<plat::LPARAM>(mine)));
  std::vector<Call> calls = g_calls.All();
  ASSERT_EQ(2u, calls.size());
  EXPECT_EQ(other.threadId(), calls[0].thread);
  EXPECT_EQ(kEcho, calls[1].message);
  EXPECT_EQ(plat::GetCurrentThreadId(), calls[1].thread);
}

TEST_F(MessageTest, WindowsBelongToTheThreadThatMadeThem) {
  LoopThread other;
  ASSERT_TRUE(plat::PostMessageA(other.window(), kEcho, 1, 0));
  EXPECT_EQ(1002, plat::SendMessageA(other.window(), kEcho, 2, 0));
  EXPECT_TRUE(plat::WaitForThreadIdleForTesting(other.threadId(), 20000));
  EXPECT_EQ(0u, plat::QueueLengthForTesting(plat::GetCurrentThreadId()).posted) << "nothing came here";
  int echoes = 0;
  for (const Call& call : g_calls.All()) {
    if (call.message != kEcho) continue;
    ++echoes;
    EXPECT_EQ(other.threadId(), call.thread);
  }
  EXPECT_EQ(2, echoes);
  EXPECT_FALSE(plat::WaitForThreadIdleForTesting(plat::GetCurrentThreadId(), 20))
      << "this thread is not waiting in GetMessageA";
}

// A sender waiting on a window is answered 0 when the window or its whole thread goes first.
TEST_F(MessageTest, SendToAWindowThatGoesMeanwhileReturnsZero) {
  struct Case {
    const char* name;
    bool destroyWindow;  // else the thread ends
  } const cases[] = {{"window destroyed", true}, {"thread ended", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::promise<void> go;
    std::promise<void> finish;
    std::promise<std::pair<plat::HWND, plat::DWORD>> made;
    std::thread owner([&] {
      plat::HWND window = MakeRecordingWindow(nullptr);
      made.set_value({window, plat::GetCurrentThreadId()});
      go.get_future().wait();
      if (!c.destroyWindow) return;
      plat::DestroyWindow(window);
      // Neither pumps nor ends: the answer must come from the destruction.
      finish.get_future().wait();
    });
    auto [window, ownerThread] = made.get_future().get();
    auto sender =
        std::async(std::launch::async, [window = window] { return plat::SendMessageA(window, kEcho, 1, 0); });
    EXPECT_TRUE(Eventually(
        [ownerThread = ownerThread] { return plat::QueueLengthForTesting(ownerThread).sent == 1; }));
    go.set_value();
    EXPECT_EQ(std::future_status::ready, sender.wait_for(20s));
    finish.set_value();
    EXPECT_EQ(0, sender.get());
    owner.join();
    for (plat::UINT message : g_calls.MessagesOf(window)) EXPECT_NE(kEcho, message);
  }
}

TEST_F(MessageTest, PostsToAThreadThatEndedAreRefused) {
  plat::HWND window = nullptr;
  plat::DWORD threadId = 0;
  std::thread([&] {
    window = MakeRecordingWindow(nullptr);
    threadId = plat::GetCurrentThreadId();
    plat::PostMessageA(window, kEcho, 1, 0);
  }).join();
  EXPECT_FALSE(plat::IsWindow(window)) << "a thread's windows end with it";
  plat::SetLastError(0);
  EXPECT_FALSE(plat::PostMessageA(window, kEcho, 2, 0));
  EXPECT_EQ(1400u, plat::GetLastError());
  EXPECT_FALSE(plat::PostThreadMessageA(threadId, kEcho, 3, 0));
  EXPECT_EQ(1444u, plat::GetLastError());
  EXPECT_EQ(0u, plat::QueueLengthForTesting(threadId).posted) << "what waited went with the thread";
  EXPECT_FALSE(plat::PostThreadMessageA(0x7FFFFFF0, kEcho, 4, 0)) << "a thread id never used";
  EXPECT_EQ(1444u, plat::GetLastError());
}

TEST_F(MessageTest, DestroyWindowSendsDestroyAtOnceToTheWindowAndThenItsChildren) {
  plat::HWND parent = Make();
  plat::HWND child = Make(parent);
  g_calls.Clear();
  ASSERT_TRUE(plat::DestroyWindow(parent));

  std::vector<Call> calls = g_calls.All();
  ASSERT_EQ(4u, calls.size());
  // WM_DESTROY to each, parent first; then WM_NCDESTROY, children first.
  const std::pair<plat::HWND, plat::UINT> expected[] = {
      {parent, 0x02u}, {child, 0x02u}, {child, 0x82u}, {parent, 0x82u}};
  for (size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(expected[i].first, calls[i].window) << i;
    EXPECT_EQ(expected[i].second, calls[i].message) << i;
    EXPECT_TRUE(calls[i].windowExists) << "still whole while it hears of its end, call " << i;
  }
  EXPECT_FALSE(plat::IsWindow(parent));
  EXPECT_FALSE(plat::IsWindow(child));
  plat::SetLastError(0);
  EXPECT_FALSE(plat::DestroyWindow(parent));
  EXPECT_EQ(1400u, plat::GetLastError());
  EXPECT_EQ(4u, g_calls.All().size()) << "a second destroy sends nothing";
}

TEST_F(MessageTest, OnlyTheOwnerThreadMayDestroyAWindow) {
  plat::HWND window = Make();
  g_calls.Clear();
  plat::DWORD error = 0;
  plat::BOOL destroyed = plat::TRUE;
  std::thread([&] {
    destroyed = plat::DestroyWindow(window);
    error = plat::GetLastError();
  }).join();
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(5u, error);
  EXPECT_TRUE(plat::IsWindow(window));
  EXPECT_TRUE(g_calls.All().empty());
}

TEST_F(MessageTest, DefWindowProcAnswers) {
  plat::HWND window = Make();
  struct Case {
    plat::UINT message;
    plat::LRESULT result;
  } const cases[] = {
      {0x218, 1},  // WM_POWERBROADCAST: the request is granted
      {0x81, 1},   // WM_NCCREATE: the creation goes on
      {0x00, 0},   // WM_NULL
      {0x111, 0},  // WM_COMMAND
      {0x113, 0},  // WM_TIMER
      {0x400, 0},  // WM_USER
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.result, plat::DefWindowProcA(window, c.message, 7, 0)) << "message " << c.message;
  }
  EXPECT_TRUE(plat::IsWindow(window));
}

TEST_F(MessageTest, DefWindowProcDestroysAWindowOnClose) {
  plat::HWND window = Make();
  g_calls.Clear();
  EXPECT_EQ(0, plat::DefWindowProcA(window, 0x10, 0, 0));  // WM_CLOSE
  EXPECT_FALSE(plat::IsWindow(window));
  EXPECT_EQ((std::vector<plat::UINT>{0x02u, 0x82u}), g_calls.MessagesOf(window));

  plat::HWND testWindow = plat::CreateWindowForTesting(nullptr, 0);
  EXPECT_EQ(0, plat::SendMessageA(testWindow, plat::WM_CLOSE, 0, 0));
  EXPECT_FALSE(plat::IsWindow(testWindow)) << "a test window closes like any other";
}

TEST_F(MessageTest, ClassNamesAreTakenOnceWithoutRegardToCase) {
  for (const char* name : {kClassName, "RECORDINGwindow"}) {
    plat::WNDCLASSEXA again = RecordingClass(name);
    plat::SetLastError(0);
    EXPECT_EQ(0, plat::RegisterClassExA(&again)) << name;
    EXPECT_EQ(1410u, plat::GetLastError()) << name;
  }
  plat::WNDCLASSEXA other = RecordingClass("OtherWindow");
  plat::ATOM atom = plat::RegisterClassExA(&other);
  ASSERT_NE(0, atom);
  plat::HWND window = plat::CreateWindowExA(0, plat::MAKEINTATOM(atom), "", 0, 0, 0, 0, 0, nullptr, nullptr,
                                            nullptr, nullptr);
  ASSERT_NE(nullptr, window) << "an atom names its class";
  char name[32];
  EXPECT_EQ(11, plat::GetClassNameA(window, name, sizeof(name)));
  EXPECT_STREQ("OtherWindow", name);

  EXPECT_FALSE(plat::UnregisterClassA("otherwindow", nullptr));
  EXPECT_EQ(1412u, plat::GetLastError()) << "a window of it is open";
  ASSERT_TRUE(plat::DestroyWindow(window));
  EXPECT_TRUE(plat::UnregisterClassA("otherwindow", nullptr));
  EXPECT_FALSE(plat::UnregisterClassA("OtherWindow", nullptr));
  EXPECT_EQ(1411u, plat::GetLastError());
  EXPECT_NE(0, plat::RegisterClassExA(&other)) << "the name is free again";
  EXPECT_TRUE(plat::UnregisterClassA("OtherWindow", nullptr));
}

TEST_F(MessageTest, DialogItemsAreFoundByTheirIdBelowTheDialog) {
  plat::HWND dialog = Make();
  plat::HWND group = Make(dialog);
  plat::HWND field = plat::CreateWindowExA(0, kClassName, "Kunde", 0, 0, 0, 10, 10, group,
                                           reinterpret_cast<plat::HMENU>(1001), nullptr, nullptr);
  m_made.push_back(field);
  EXPECT_EQ(field, plat::GetDlgItem(dialog, 1001)) << "found below a child too";
  char text[8];
  EXPECT_EQ(3u, plat::GetDlgItemTextA(dialog, 1001, text, 4));
  EXPECT_STREQ("Kun", text);
  EXPECT_TRUE(plat::SetDlgItemTextA(dialog, 1001, "X"));
  EXPECT_EQ(1u, plat::GetDlgItemTextA(dialog, 1001, text, sizeof(text)));
  EXPECT_STREQ("X", text);

  plat::SetLastError(0);
  EXPECT_EQ(nullptr, plat::GetDlgItem(dialog, 4711));
  EXPECT_EQ(1421u, plat::GetLastError());
  EXPECT_EQ(0u, plat::GetDlgItemTextA(dialog, 4711, text, sizeof(text)));
  EXPECT_STREQ("", text);
  EXPECT_FALSE(plat::SetDlgItemTextA(dialog, 4711, "Y"));
}

TEST_F(MessageTest, ClassInfoGivesTheIconAndTheWindowInfoTheClass) {
  static char icon;
  plat::WNDCLASSEXA withIcon = RecordingClass("IconWindow");
  withIcon.hIcon = reinterpret_cast<plat::HICON>(&icon);
  plat::ATOM atom = plat::RegisterClassExA(&withIcon);
  ASSERT_NE(0, atom);
  plat::WNDCLASSA info{};
  EXPECT_TRUE(plat::GetClassInfoA(nullptr, plat::MAKEINTATOM(atom), &info));
  EXPECT_EQ(withIcon.hIcon, info.hIcon);
  EXPECT_STREQ("IconWindow", info.lpszClassName);
  EXPECT_TRUE(plat::GetClassInfoA(nullptr, "iconwindow", &info)) << "by name without regard to case";
  plat::HWND window =
      plat::CreateWindowExA(0, "IconWindow", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  plat::WINDOWINFO windowInfo{};
  EXPECT_TRUE(plat::GetWindowInfo(window, &windowInfo));
  EXPECT_EQ(atom, windowInfo.atomWindowType);
  ASSERT_TRUE(plat::DestroyWindow(window));
  EXPECT_TRUE(plat::UnregisterClassA("IconWindow", nullptr));
  plat::SetLastError(0);
  EXPECT_FALSE(plat::GetClassInfoA(nullptr, "IconWindow", &info));
  EXPECT_EQ(1411u, plat::GetLastError());
}

TEST_F(MessageTest, RegisterClassRefusesAnIncompleteClass) {
  plat::WNDCLASSEXA wrongSize = RecordingClass("Incomplete");
  wrongSize.cbSize = 0;
  plat::WNDCLASSEXA noProcedure = RecordingClass("Incomplete");
  noProcedure.lpfnWndProc = nullptr;
  plat::WNDCLASSEXA noName = RecordingClass(nullptr);
  for (const plat::WNDCLASSEXA* windowClass : {&wrongSize, &noProcedure, &noName}) {
    plat::SetLastError(0);
    EXPECT_EQ(0, plat::RegisterClassExA(windowClass));
    EXPECT_EQ(87u, plat::GetLastError());
  }
}

TEST_F(MessageTest, CreateWindowFailsForAnUnknownClassOrParent) {
  plat::HWND top = plat::GetWindow(plat::GetDesktopWindow(), plat::GW_CHILD);
  plat::SetLastError(0);
  EXPECT_EQ(nullptr,
            plat::CreateWindowExA(0, "NoSuchClass", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(1411u, plat::GetLastError());
  plat::HWND badParent = reinterpret_cast<plat::HWND>(static_cast<uintptr_t>(0x7FFFFFF0));
  EXPECT_EQ(nullptr, MakeRecordingWindow(badParent));
  EXPECT_EQ(1400u, plat::GetLastError());
  EXPECT_EQ(top, plat::GetWindow(plat::GetDesktopWindow(), plat::GW_CHILD));
  EXPECT_TRUE(g_calls.All().empty());
}

// A procedure that refuses WM_NCCREATE (FALSE) or WM_CREATE (-1) fails the creation and no window stays.
TEST_F(MessageTest, CreationFailsWhenTheProcedureRefusesIt) {
  struct Case {
    plat::UINT refused;
    std::vector<plat::UINT> heard;
  } const cases[] = {
      {0x81, {0x81}},                    // WM_NCCREATE refused: nothing more
      {0x01, {0x81, 0x01, 0x02, 0x82}},  // WM_CREATE refused: destroyed as DestroyWindow does
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.refused);
    g_calls.Clear();
    g_refusedMessage = c.refused;
    plat::HWND top = plat::GetWindow(plat::GetDesktopWindow(), plat::GW_CHILD);
    EXPECT_EQ(nullptr, MakeRecordingWindow(nullptr));
    std::vector<Call> calls = g_calls.All();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(c.heard, g_calls.MessagesOf(calls[0].window));
    EXPECT_FALSE(plat::IsWindow(calls[0].window));
    EXPECT_EQ(top, plat::GetWindow(plat::GetDesktopWindow(), plat::GW_CHILD));
  }
}

TEST_F(MessageTest, CreateWindowKeepsWhatItWasGiven) {
  int marker = 0;
  plat::HMENU menu = reinterpret_cast<plat::HMENU>(static_cast<uintptr_t>(0x77));
  plat::HINSTANCE instance = reinterpret_cast<plat::HINSTANCE>(static_cast<uintptr_t>(0x400000));
  plat::HWND window =
      plat::CreateWindowExA(0x8, "recordingWINDOW", "Service Window", plat::WS_OVERLAPPEDWINDOW, 10, 20, 300,
                            200, nullptr, menu, instance, &marker);
  ASSERT_NE(nullptr, window);
  m_made.push_back(window);
  EXPECT_EQ((std::vector<plat::UINT>{0x81, 0x01}), g_calls.MessagesOf(window));  // WM_NCCREATE, WM_CREATE
  EXPECT_EQ(&marker, g_creation.lpCreateParams);
  EXPECT_EQ(instance, g_creation.hInstance);
  EXPECT_EQ(menu, g_creation.hMenu);
  EXPECT_EQ(nullptr, g_creation.hwndParent);
  EXPECT_EQ(10, g_creation.x);
  EXPECT_EQ(20, g_creation.y);
  EXPECT_EQ(300, g_creation.cx);
  EXPECT_EQ(200, g_creation.cy);
  EXPECT_EQ(0x00CF0000, g_creation.style);
  EXPECT_EQ(0x8u, g_creation.dwExStyle);
  EXPECT_EQ("Service Window", g_creationTitle);

  EXPECT_EQ(window, plat::GetWindow(plat::GetDesktopWindow(), plat::GW_CHILD)) << "on top";
  EXPECT_FALSE(plat::IsWindowVisible(window)) << "not WS_VISIBLE";
  EXPECT_EQ(0x00CF0000, plat::GetWindowLongA(window, plat::GWL_STYLE));
  plat::ShowWindow(window, plat::SW_SHOWMINIMIZED);
  EXPECT_EQ(0x30CF0000, plat::GetWindowLongA(window, plat::GWL_STYLE)) << "WS_VISIBLE | WS_MINIMIZE now";
  EXPECT_EQ(0x8, plat::GetWindowLongA(window, plat::GWL_EXSTYLE));
  EXPECT_EQ(0x400000, plat::GetWindowLongPtrA(window, plat::GWLP_HINSTANCE));
  EXPECT_EQ(0x77, plat::GetWindowLongPtrA(window, plat::GWLP_ID));
  char text[32];
  EXPECT_EQ(14, plat::GetWindowTextA(window, text, sizeof(text)));
  EXPECT_STREQ("Service Window", text);
  EXPECT_EQ(7, plat::GetWindowTextA(window, text, 8));
  EXPECT_STREQ("Service", text);
  EXPECT_EQ(15, plat::GetClassNameA(window, text, sizeof(text)));
  EXPECT_STREQ("RecordingWindow", text) << "the name as registered";
  EXPECT_TRUE(plat::SetWindowTextA(window, " 7"));
  EXPECT_EQ(2, plat::GetWindowTextA(window, text, sizeof(text)));

  plat::HWND child = plat::CreateWindowExA(0, kClassName, nullptr, plat::WS_VISIBLE, 5, 6, 10, 20, window,
                                           nullptr, nullptr, nullptr);
  plat::HWND defaulted = plat::CreateWindowExA(0, kClassName, nullptr, 0, plat::CW_USEDEFAULT, 3,
                                               plat::CW_USEDEFAULT, 4, nullptr, nullptr, nullptr, nullptr);
  m_made.push_back(defaulted);
  EXPECT_EQ(child, plat::GetWindow(window, plat::GW_CHILD));
  EXPECT_TRUE(plat::IsWindowVisible(child));
  EXPECT_EQ(0, plat::GetWindowTextA(child, text, sizeof(text)));
  EXPECT_STREQ("", text);
  struct Expected {
    plat::HWND window;
    plat::RECT rect;
  } const rects[] = {{window, {10, 20, 310, 220}}, {child, {15, 26, 25, 46}}, {defaulted, {0, 0, 0, 0}}};
  for (const Expected& expected : rects) {
    plat::RECT rect{-1, -1, -1, -1};
    ASSERT_TRUE(plat::GetWindowRect(expected.window, &rect));
    EXPECT_EQ(expected.rect.left, rect.left);
    EXPECT_EQ(expected.rect.top, rect.top);
    EXPECT_EQ(expected.rect.right, rect.right);
    EXPECT_EQ(expected.rect.bottom, rect.bottom);
  }
}

TEST_F(MessageTest, GetMessageTakesOnlyWhatPassesItsFilter) {
  plat::HWND filtered = Make();
  plat::HWND child = Make(filtered);
  plat::HWND other = Make();
  ASSERT_TRUE(plat::PostMessageA(other, kEcho, 1, 0));
  ASSERT_TRUE(plat::PostMessageA(nullptr, kEcho, 2, 0));
  ASSERT_TRUE(plat::PostMessageA(child, kEcho, 3, 0));
  ASSERT_TRUE(plat::PostMessageA(filtered, kEcho + 1, 4, 0));

  plat::MSG message{};
  ASSERT_EQ(plat::TRUE, plat::GetMessageA(&message, filtered, 0, 0));
  EXPECT_EQ(3u, message.wParam) << "a descendant passes its ancestor's filter";
  EXPECT_EQ(child, message.hwnd);
  ASSERT_TRUE(plat::PeekMessageA(&message, filtered, 0, 0, plat::PM_NOREMOVE));
  EXPECT_EQ(4u, message.wParam);
  ASSERT_EQ(plat::TRUE, plat::GetMessageA(&message, filtered, 0, 0));
  EXPECT_EQ(4u, message.wParam) << "looking left it in place";
  EXPECT_FALSE(plat::PeekMessageA(&message, filtered, 0, 0, plat::PM_REMOVE));
  ASSERT_EQ(plat::TRUE, plat::GetMessageA(&message, kThreadMessagesOnly, 0, 0));
  EXPECT_EQ(2u, message.wParam);
  EXPECT_EQ(nullptr, message.hwnd);
  EXPECT_EQ(1u, Next().wParam) << "the rest keeps its order";

  ASSERT_TRUE(plat::PostMessageA(other, kEcho, 5, 0));
  ASSERT_TRUE(plat::PostMessageA(other, kEcho + 2, 6, 0));
  ASSERT_EQ(plat::TRUE, plat::GetMessageA(&message, nullptr, kEcho + 1, kEcho + 2));
  EXPECT_EQ(6u, message.wParam) << "by message range";
  EXPECT_EQ(5u, Next().wParam);

  plat::HWND gone = reinterpret_cast<plat::HWND>(static_cast<uintptr_t>(0x7FFFFFF0));
  plat::SetLastError(0);
  EXPECT_EQ(-1, plat::GetMessageA(&message, gone, 0, 0));
  EXPECT_EQ(1400u, plat::GetLastError());
  plat::SetLastError(0);
  EXPECT_FALSE(plat::PeekMessageA(&message, gone, 0, 0, plat::PM_REMOVE));
  EXPECT_EQ(1400u, plat::GetLastError());
}

TEST_F(MessageTest, GetMessageStopsWaitingWhenItsFilterWindowIsDestroyed) {
  plat::HWND window = Make();
  auto sender =
      std::async(std::launch::async, [window] { return plat::SendMessageA(window, kDestroySelf, 0, 0); });
  plat::MSG message;
  EXPECT_EQ(-1, plat::GetMessageA(&message, window, 0, 0));
  EXPECT_EQ(1400u, plat::GetLastError());
  EXPECT_EQ(plat::TRUE, sender.get());
}

TEST_F(MessageTest, DispatchCallsOnlyTheProcedureOfALiveWindow) {
  plat::HWND window = Make();
  ASSERT_TRUE(plat::PostMessageA(window, kEcho, 1, 0));
  plat::MSG message = Next();
  plat::MSG copy = message;
  EXPECT_EQ(1001, plat::DispatchMessageA(&message));
  EXPECT_FALSE(plat::TranslateMessage(&message));

  ASSERT_TRUE(plat::PostMessageA(window, kEcho, 2, 0));
  ASSERT_TRUE(plat::DestroyWindow(window));
  g_calls.Clear();
  message = Next();
  EXPECT_EQ(window, message.hwnd) << "posted messages stay when their window goes";
  EXPECT_EQ(0, plat::DispatchMessageA(&message));
  EXPECT_EQ(0, plat::DispatchMessageA(&copy));
  ASSERT_TRUE(plat::PostMessageA(nullptr, kEcho, 3, 0));
  message = Next();
  EXPECT_EQ(0, plat::DispatchMessageA(&message)) << "a thread message has no procedure";
  EXPECT_TRUE(g_calls.All().empty());
}

TEST_F(MessageTest, DispatchLeavesWindowsOfOtherThreadsAlone) {
  LoopThread other;
  g_calls.Clear();
  plat::MSG message{other.window(), kEcho, 1, 0, 0, {0, 0}};
  EXPECT_EQ(0, plat::DispatchMessageA(&message));
  EXPECT_TRUE(g_calls.All().empty());
}

TEST(LoadCursorTest, GivesTheArrowOnly) {
  plat::HCURSOR arrow = plat::LoadCursorA(nullptr, plat::IDC_ARROW);
  EXPECT_NE(nullptr, arrow);
  EXPECT_EQ(arrow, plat::LoadCursorA(nullptr, plat::MAKEINTRESOURCEA(32512)));
  plat::SetLastError(0);
  EXPECT_EQ(nullptr, plat::LoadCursorA(nullptr, plat::MAKEINTRESOURCEA(32513)));
  EXPECT_EQ(1814u, plat::GetLastError());
}

}  // namespace
