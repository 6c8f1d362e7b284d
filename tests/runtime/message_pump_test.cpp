#include "runtime/message_pump.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/messages/window_messages.h"

namespace {

std::vector<UINT> served;

LRESULT serve(HWND window, UINT message, WPARAM, LPARAM) {
  served.push_back(message);
  if (message == WM_USER + 1) PostMessageA(window, WM_USER + 9, 0, 0);  // served in the same call
  return 0;
}

class MessagePumpTest : public testing::Test {
 protected:
  void SetUp() override { served.clear(); }
  void TearDown() override {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    DestroyWindow(window_);
  }
  static std::vector<UINT> queued() {
    std::vector<UINT> messages;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
      messages.push_back(msg.message);
    return messages;
  }
  HWND window_ = CreateMessageWindow(serve);
};

TEST_F(MessagePumpTest, ServesEveryQueuedMessageInOrderIncludingOnesPostedMeanwhile) {
  dispatch_pending_messages();  // an empty queue: returns at once
  EXPECT_TRUE(served.empty());
  PostMessageA(window_, WM_USER + 1, 0, 0);
  PostThreadMessageA(GetCurrentThreadId(), WM_USER + 2, 0, 0);  // removed, no window to serve it
  PostMessageA(window_, WM_USER + 3, 0, 0);
  dispatch_pending_messages();
  EXPECT_EQ(served, (std::vector<UINT>{WM_USER + 1, WM_USER + 3, WM_USER + 9}));
  EXPECT_TRUE(queued().empty());
}

TEST_F(MessagePumpTest, WmQuitAtTheHeadStaysAndStopsTheLoop) {
  PostQuitMessage(0);
  PostMessageA(window_, WM_USER + 3, 0, 0);
  dispatch_pending_messages();
  dispatch_pending_messages();
  EXPECT_TRUE(served.empty());
  EXPECT_EQ(queued(), (std::vector<UINT>{WM_QUIT, WM_USER + 3}));
}

TEST_F(MessagePumpTest, WmQuitBehindOtherMessagesStopsTheLoopWhenItReachesTheHead) {
  PostMessageA(window_, WM_USER + 2, 0, 0);
  PostQuitMessage(0);
  PostMessageA(window_, WM_USER + 3, 0, 0);
  dispatch_pending_messages();
  EXPECT_EQ(served, std::vector<UINT>{WM_USER + 2});
  EXPECT_EQ(queued(), (std::vector<UINT>{WM_QUIT, WM_USER + 3}));
}

}  // namespace
