// The message pump: serving the window messages already queued for the calling thread.
#pragma once

#include <cstdint>

inline constexpr std::uint32_t kDispatchPendingMessagesCommand = 0x350;

// Removes and dispatches the calling thread's queued window messages, in order, until the queue
// is empty or its first message is WM_QUIT, which stays queued and unanswered. Never blocks: a
// message posted while it runs (by a window procedure, say) is served in the same call.
void dispatch_pending_messages();

// How many passes dispatch_pending_messages has made on the calling thread, so that a test can
// count the passes a routine makes.
[[nodiscard]] std::uint64_t message_pump_passes();
