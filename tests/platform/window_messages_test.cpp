#include "platform/messages/window_messages.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

struct Seen {
  HWND window;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
};
thread_local std::vector<Seen> seen;

LRESULT record(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  seen.push_back({window, message, wparam, lparam});
  return 40 + static_cast<LRESULT>(message - WM_USER);
}

void record_timer(HWND window, UINT message, std::uintptr_t id, DWORD) {
  seen.push_back({window, message, id, 0});
}

class WindowMessagesTest : public testing::Test {
 protected:
  void SetUp() override { seen.clear(); }
  void TearDown() override {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    DestroyWindow(window_);
  }
  HWND window_ = CreateMessageWindow(record);
};

TEST_F(WindowMessagesTest, PeekLeavesOrRemovesTheFirstMatchingMessage) {
  MSG msg;
  msg.message = 0xBEEF;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, 0xBEEFu) << "a failed peek leaves its output alone";

  ASSERT_TRUE(PostMessageA(window_, WM_USER + 1, 7, -8));
  ASSERT_TRUE(PostMessageA(nullptr, WM_APP, 0, 0));  // a thread message

  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.hwnd, window_);
  EXPECT_EQ(msg.message, WM_USER + 1);
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_EQ(msg.lParam, -8);

  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_APP, WM_APP, PM_REMOVE)) << "range filter";
  EXPECT_EQ(msg.hwnd, nullptr);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_APP, 0xFFFF, PM_NOREMOVE));
  ASSERT_TRUE(PeekMessageA(&msg, window_, 0, 0, PM_REMOVE)) << "window filter";
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
}

TEST_F(WindowMessagesTest, WmQuitStaysUnderNoRemoveAndMakesGetMessageReturnZero) {
  PostQuitMessage(3);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);
  EXPECT_EQ(msg.wParam, 3u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));

  PostMessageA(window_, WM_USER, 0, 0);
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
  EXPECT_EQ(GetMessageA(&msg, reinterpret_cast<HWND>(0x1234), 0, 0), -1) << "unknown window";
}

TEST_F(WindowMessagesTest, DispatchCallsTheWindowProcedureOrTheCarriedTimerHandler) {
  const MSG to_window{window_, WM_USER + 2, 5, 6, 0, {}};
  EXPECT_EQ(DispatchMessageA(&to_window), 42);
  const MSG timer{window_, WM_TIMER, 9, reinterpret_cast<LPARAM>(&record_timer), 0, {}};
  EXPECT_EQ(DispatchMessageA(&timer), 0);
  const MSG thread_message{nullptr, WM_USER, 0, 0, 0, {}};
  EXPECT_EQ(DispatchMessageA(&thread_message), 0);
  EXPECT_FALSE(TranslateMessage(&to_window));

  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].message, WM_USER + 2);
  EXPECT_EQ(seen[0].wparam, 5u);
  EXPECT_EQ(seen[1].message, WM_TIMER);
  EXPECT_EQ(seen[1].wparam, 9u);

  ASSERT_TRUE(DestroyWindow(window_));
  EXPECT_EQ(DispatchMessageA(&to_window), 0) << "a destroyed window gets nothing";
  EXPECT_FALSE(PostMessageA(window_, WM_USER, 0, 0));
  EXPECT_EQ(seen.size(), 2u);
}

TEST_F(WindowMessagesTest, OtherThreadsPostIntoTheOwnersQueueAndWakeGetMessage) {
  EXPECT_FALSE(PostThreadMessageA(0xFFFFFFF0u, WM_USER, 0, 0)) << "no such thread";
  const DWORD me = GetCurrentThreadId();
  std::thread poster([&] {
    PostMessageA(window_, WM_USER + 3, 1, 0);
    PostThreadMessageA(me, WM_USER + 4, 2, 0);
  });
  MSG msg;
  ASSERT_EQ(GetMessageA(&msg, nullptr, WM_USER + 4, WM_USER + 4), 1);
  EXPECT_EQ(msg.wParam, 2u);
  poster.join();
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, window_);
  EXPECT_EQ(msg.message, WM_USER + 3);
}

}  // namespace
