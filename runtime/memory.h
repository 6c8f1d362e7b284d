// Memory, fatal errors and exit: the bottom of the runtime.
//
// Every Text, ByteSet, ValueArray and object block of the program comes from mem_alloc and goes
// back through mem_free. mem_free tolerates what is not a heap block (null, small integers,
// pointers into the program's own static storage, unreadable addresses), so a variable that points
// at a literal or a constant is released the same way as one that owns a heap block.
#pragma once

#include <cstdint>

// Takes the process heap, finds the installed automation components and enters a single-threaded
// COM apartment for the calling thread.
// Called first thing by the program's entry point.
void runtime_init();

// A new zero-filled block of `size` bytes; never null (size 0 gives a distinct block). When the
// heap is exhausted, reports "内存不足" and ends the process with exit code 0.
[[nodiscard]] void* mem_alloc(std::uint32_t size);

// Reports "内存不足" (out of memory) captioned "error" and ends the process with exit code 0.
[[noreturn]] void report_out_of_memory();

// For a null `block` a new zero-filled block; otherwise the heap's reallocation of `block`, whose
// grown part is not zero-filled. Failure reports "内存不足" and exits, as mem_alloc does.
[[nodiscard]] void* mem_realloc(void* block, std::uint32_t size);

// Releases `block` when it is a heap block; ignores null, values below 0x10000, pointers into the
// program's static storage and addresses whose first 8 bytes cannot be read.
void mem_free(void* block);

// True when `address` lies within the program's own loaded image (its static storage).
[[nodiscard]] bool is_static_storage(const void* address);

// Makes the ValueArray held in `*array_variable` changeable: a constant array in static storage is
// replaced by an equal copy on the heap. Returns the new block, or 1 (as a pointer) when the array
// was already on the heap. `element_size` is the width of one element in bytes.
void* ensure_private_array(std::uint32_t element_size, void** array_variable);

// Error numbers that the runtime raises through fatal_error.
enum FatalError : std::int32_t {
  kIndexAboveCount = 1,  // array member index beyond the defined range
  kIndexBelowOne = 4,    // array member index must be 1 or more
  kTypeMismatch = 5,     // data or array type mismatch
  kStackImbalance = 6,   // stack error after calling a declared system function
  kBadReadType = 100,    // typed read from a byte set with a type outside 1 to 10
};

// Shows the report "program internal error number is %d. \r\n%s" captioned "error" (the second
// line is the message of numbers 1 to 11, empty for any other) and ends the process with code 0.
[[noreturn]] void fatal_error(std::int32_t number);

// The routine that exit_program calls first; replaces any earlier one. Null clears it.
using ExitCallback = void (*)();
void set_exit_callback(ExitCallback routine);

// Runs the exit callback, leaves the COM apartment and ends the process with `code` (ExitProcess,
// which first writes out any output still held back, such as a lone GBK lead byte).
[[noreturn]] void exit_program(std::int32_t code);
