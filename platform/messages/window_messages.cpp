#include "platform/messages/window_messages.h"

#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace {

struct MessageQueue {
  std::condition_variable arrived;
  std::deque<MSG> messages;  // guarded by the registry mutex
};

struct WindowRecord {
  WNDPROC procedure = nullptr;
  DWORD owner = 0;
};

// One lock guards every queue and the window table: posting is rare and never waits.
struct Registry {
  std::mutex mutex;
  std::unordered_map<DWORD, std::shared_ptr<MessageQueue>> queues;
  std::unordered_map<HWND, WindowRecord> windows;
  std::uintptr_t last_window = 0x10000;
};

Registry& registry() {
  static Registry* instance = new Registry;  // outlives every thread's queue holder
  return *instance;
}

// Registers the calling thread's queue on first use and withdraws it when the thread ends.
class ThreadQueueHolder {
 public:
  ThreadQueueHolder() : id_(GetCurrentThreadId()), queue_(std::make_shared<MessageQueue>()) {
    std::lock_guard lock(registry().mutex);
    registry().queues[id_] = queue_;
  }
  ~ThreadQueueHolder() {
    std::lock_guard lock(registry().mutex);
    registry().queues.erase(id_);
  }
  MessageQueue& queue() { return *queue_; }

 private:
  DWORD id_;
  std::shared_ptr<MessageQueue> queue_;
};

MessageQueue& own_queue() {
  thread_local ThreadQueueHolder holder;
  return holder.queue();
}

DWORD milliseconds_since_boot() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<DWORD>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

// Queues `msg` for `thread_id`; the registry mutex must be held.
bool enqueue_locked(DWORD thread_id, MSG msg) {
  const auto found = registry().queues.find(thread_id);
  if (found == registry().queues.end()) return false;
  msg.time = milliseconds_since_boot();
  found->second->messages.push_back(msg);
  found->second->arrived.notify_all();
  return true;
}

bool matches(const MSG& msg, HWND window, UINT first, UINT last) {
  if (window != nullptr && msg.hwnd != window) return false;
  if (first == 0 && last == 0) return true;
  return msg.message >= first && msg.message <= last;
}

// The first matching message of the calling thread's queue; the registry mutex must be held.
std::deque<MSG>::iterator find_match(MessageQueue& queue, HWND window, UINT first, UINT last) {
  auto it = queue.messages.begin();
  while (it != queue.messages.end() && !matches(*it, window, first, last))
    ++it;
  return it;
}

}  // namespace

DWORD GetCurrentThreadId() {
  return static_cast<DWORD>(::syscall(SYS_gettid));
}

HWND CreateMessageWindow(WNDPROC procedure) {
  if (procedure == nullptr) return nullptr;
  own_queue();  // a window's messages need its owner's queue
  std::lock_guard lock(registry().mutex);
  registry().last_window += 0x10;
  const auto window = reinterpret_cast<HWND>(registry().last_window);
  registry().windows[window] = WindowRecord{procedure, GetCurrentThreadId()};
  return window;
}

BOOL DestroyWindow(HWND window) {
  std::lock_guard lock(registry().mutex);
  return registry().windows.erase(window) != 0;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (window == nullptr) return PostThreadMessageA(GetCurrentThreadId(), message, wparam, lparam);
  std::lock_guard lock(registry().mutex);
  const auto found = registry().windows.find(window);
  if (found == registry().windows.end()) return false;
  return enqueue_locked(found->second.owner, MSG{window, message, wparam, lparam, 0, {}});
}

BOOL PostThreadMessageA(DWORD thread_id, UINT message, WPARAM wparam, LPARAM lparam) {
  if (thread_id == GetCurrentThreadId()) own_queue();
  std::lock_guard lock(registry().mutex);
  return enqueue_locked(thread_id, MSG{nullptr, message, wparam, lparam, 0, {}});
}

void PostQuitMessage(int exit_code) {
  PostThreadMessageA(GetCurrentThreadId(), WM_QUIT, static_cast<WPARAM>(exit_code), 0);
}

BOOL PeekMessageA(MSG* msg, HWND window, UINT first, UINT last, UINT remove) {
  if (msg == nullptr) return false;
  MessageQueue& queue = own_queue();
  std::lock_guard lock(registry().mutex);
  const auto found = find_match(queue, window, first, last);
  if (found == queue.messages.end()) return false;
  *msg = *found;
  if ((remove & PM_REMOVE) != 0) queue.messages.erase(found);
  return true;
}

BOOL GetMessageA(MSG* msg, HWND window, UINT first, UINT last) {
  if (msg == nullptr) return -1;
  MessageQueue& queue = own_queue();
  std::unique_lock lock(registry().mutex);
  if (window != nullptr && registry().windows.count(window) == 0) return -1;
  auto found = find_match(queue, window, first, last);
  while (found == queue.messages.end()) {
    queue.arrived.wait(lock);
    found = find_match(queue, window, first, last);
  }
  *msg = *found;
  queue.messages.erase(found);
  return msg->message == WM_QUIT ? 0 : 1;
}

BOOL TranslateMessage(const MSG*) {
  return false;
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (msg == nullptr) return 0;
  if (msg->message == WM_TIMER && msg->lParam != 0) {
    const auto handler = reinterpret_cast<TIMERPROC>(msg->lParam);
    handler(msg->hwnd, msg->message, msg->wParam, milliseconds_since_boot());
    return 0;
  }
  WNDPROC procedure = nullptr;
  {
    std::lock_guard lock(registry().mutex);
    const auto found = registry().windows.find(msg->hwnd);
    if (found != registry().windows.end()) procedure = found->second.procedure;
  }
  // The procedure runs unlocked: it may post, peek or create windows itself.
  return procedure ? procedure(msg->hwnd, msg->message, msg->wParam, msg->lParam) : 0;
}
