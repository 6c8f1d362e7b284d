// Stand-ins for the thread window-message queue of user32.
//
// Every thread that touches these functions gets its own message queue. Windows are message-only
// windows: a window procedure registered with CreateMessageWindow, owned by the creating thread.
// Messages posted to a window go to its owner's queue; thread messages (window null) go to the
// named thread's queue. The queue keeps posting order, and WM_QUIT is an ordinary queued message:
// PM_NOREMOVE leaves it in place, GetMessageA removes it and returns 0.
//
// Deviations: there is no keyboard, timer or paint machinery, so nothing is synthesised; and
// PostQuitMessage queues WM_QUIT at the tail instead of raising a flag that is seen only once the
// queue is otherwise empty (messages already queued still come first).
#pragma once

#include <cstdint>

#include "platform/base/types.h"

using HWND = void*;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

using WNDPROC = LRESULT (*)(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// The handler a WM_TIMER message may carry in its lParam.
using TIMERPROC = void (*)(HWND window, UINT message, std::uintptr_t timer_id, DWORD time);

struct POINT {
  std::int32_t x = 0;
  std::int32_t y = 0;
};

struct MSG {
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  DWORD time = 0;
  POINT pt;
};

inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT WM_APP = 0x8000;

inline constexpr UINT PM_NOREMOVE = 0x0000;
inline constexpr UINT PM_REMOVE = 0x0001;

// GetCurrentThreadId: a number naming the calling thread, unique among the live threads.
DWORD GetCurrentThreadId();

// CreateMessageWindow (for CreateWindowExA with HWND_MESSAGE and a registered class): a new
// window owned by the calling thread whose messages go to `procedure`; null for a null procedure.
// DestroyWindow: true when `window` existed; its queued messages are then left undispatched.
HWND CreateMessageWindow(WNDPROC procedure);
BOOL DestroyWindow(HWND window);

// PostMessageA: queues the message for `window`'s owner thread; a null window posts a thread
// message to the calling thread. False for a window that does not exist.
// PostThreadMessageA: queues a thread message (window null) for `thread_id`; false when no thread
// with that id has a queue.
// PostQuitMessage: queues WM_QUIT with `exit_code` as wParam for the calling thread.
BOOL PostMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
BOOL PostThreadMessageA(DWORD thread_id, UINT message, WPARAM wparam, LPARAM lparam);
void PostQuitMessage(int exit_code);

// PeekMessageA: copies the first queued message that matches the filter into `*msg` and returns
// true; false (and `*msg` untouched) when none matches. PM_REMOVE removes it, PM_NOREMOVE leaves
// it. Filter: a null `window` matches every message, a window matches its own messages only;
// `first` = `last` = 0 matches every number, otherwise first <= message <= last.
BOOL PeekMessageA(MSG* msg, HWND window, UINT first, UINT last, UINT remove);

// GetMessageA: removes the first matching message (filter as PeekMessageA), waiting for one when
// none is queued. Returns 0 for WM_QUIT, -1 for a filter window that does not exist (or a null
// `msg`), otherwise 1.
BOOL GetMessageA(MSG* msg, HWND window, UINT first, UINT last);

// TranslateMessage: true only when a keyboard message was turned into character messages; there
// is no keyboard here, so always false.
BOOL TranslateMessage(const MSG* msg);

// DispatchMessageA: calls the procedure of the message's window and returns its result. A WM_TIMER
// whose lParam is non-zero calls that TIMERPROC instead (result 0). A thread message, an unknown
// window or a null `msg` dispatches nothing and returns 0.
LRESULT DispatchMessageA(const MSG* msg);
