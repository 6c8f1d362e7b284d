// The limits one script engine runs under: a memory cap and an execution time-out.
//
// The engine's heap allocates through the three functions here, which keep a count of the bytes
// it holds and refuse an allocation that would take it past the cap; the engine then collects
// garbage, retries, and fails the operation with a catchable error, leaving the heap usable.
// Small blocks come from the engine's own BlockPool; the large ones are remembered, so that an
// engine can be ended by dropping its memory whole (release_heap) instead of by a collection that
// walks it.
// While a call runs, the engine asks script_engine_timed_out (its configured time-out check)
// every few hundred thousand instructions whether the call's deadline has passed; from then on
// every check says yes, so the error it raises cannot be caught and looped on. The check is not
// made inside the regular-expression engine, nor while code compiles. Every heap of this build
// calls the check: one made without an EngineLimits as its udata (null) is never timed.
#pragma once

#include <chrono>
#include <cstddef>
#include <unordered_set>

#include "platform/script/block_pool.h"

struct EngineLimits {
  using Clock = std::chrono::steady_clock;

  explicit EngineLimits(std::size_t memory_cap) : cap(memory_cap) {}

  // Opens the time window of one call: a deadline `timeout` from now, and both flags cleared.
  void start_call(std::chrono::milliseconds timeout);
  // Closes it: nothing is timed between calls.
  void end_call() { deadline = Clock::time_point::max(); }

  // Frees every block the heap holds at once; the small ones go back with the pool's chunks when
  // the pool ends. The heap must not be used afterwards.
  void release_heap();

  std::size_t cap;
  std::size_t used = 0;
  bool refused = false;  // an allocation was refused since the call began
  Clock::time_point deadline = Clock::time_point::max();
  bool timed_out = false;  // the check found the deadline passed since the call began
  BlockPool pool;          // must outlive the heap
  std::unordered_set<void*> large_blocks;  // the headers of the blocks not in the pool
};

// The heap's allocation functions; `udata` is the engine's EngineLimits.
void* engine_alloc(void* udata, std::size_t size);
void* engine_realloc(void* udata, void* block, std::size_t size);
void engine_free(void* udata, void* block);

extern "C" int script_engine_timed_out(void* heap_udata);
