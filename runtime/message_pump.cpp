#include "runtime/message_pump.h"

#include "platform/messages/window_messages.h"

namespace {

thread_local std::uint64_t passes = 0;

// True when a message other than WM_QUIT heads the queue.
bool message_waiting() {
  MSG msg;
  return PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE) && msg.message != WM_QUIT;
}

}  // namespace

void dispatch_pending_messages() {
  ++passes;
  while (message_waiting()) {
    MSG msg;
    GetMessageA(&msg, nullptr, 0, 0);
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

std::uint64_t message_pump_passes() {
  return passes;
}
