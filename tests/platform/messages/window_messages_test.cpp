#include "platform/messages/window_messages.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

std::vector<MSG> seen;

LRESULT record(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  seen.push_back({window, message, wparam, lparam, 0, {}});
  return 42;
}

void record_timer(HWND window, UINT message, std::uintptr_t id, DWORD) {
  seen.push_back({window, message, id, 0, 0, {}});
}

TEST(WindowMessagesTest, PostedMessagesFromAnyThreadReachTheOwnersWindowProcedure) {
  const HWND window = CreateMessageWindow(record);
  const DWORD owner = GetCurrentThreadId();
  std::thread poster([&] {
    PostMessageA(window, WM_USER + 1, 7, -8);
    PostMessageA(window, WM_TIMER, 9, reinterpret_cast<LPARAM>(&record_timer));
    PostThreadMessageA(owner, WM_USER + 2, 0, 0);
  });
  MSG msg;
  ASSERT_EQ(GetMessageA(&msg, nullptr, WM_USER + 2, WM_USER + 2), 1) << "waits for the match";
  EXPECT_EQ(msg.hwnd, nullptr);
  poster.join();
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_APP, 0xFFFF, PM_NOREMOVE)) << "range filter";
  while (PeekMessageA(&msg, window, 0, 0, PM_REMOVE))
    DispatchMessageA(&msg);

  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].message, WM_USER + 1);
  EXPECT_EQ(seen[0].wParam, 7u);
  EXPECT_EQ(seen[0].lParam, -8);
  EXPECT_EQ(seen[1].message, WM_TIMER) << "the handler carried in lParam ran";

  ASSERT_TRUE(DestroyWindow(window));
  EXPECT_FALSE(PostMessageA(window, WM_USER, 0, 0));
  EXPECT_FALSE(PostThreadMessageA(0xFFFFFFF0u, WM_USER, 0, 0)) << "no such thread";
  EXPECT_EQ(GetMessageA(&msg, window, 0, 0), -1);
}

TEST(WindowMessagesTest, WmQuitStaysUnderNoRemoveAndEndsGetMessage) {
  PostQuitMessage(3);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);
  EXPECT_EQ(msg.wParam, 3u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
}

}  // namespace
