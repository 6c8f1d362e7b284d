// The compiled programs of this process: global code that an engine compiled once, kept as
// bytecode so that another engine given the same source loads it instead of compiling it again.
//
// Loading bytecode skips the parser and the compiler, which dominate the start of an engine whose
// first act is to run a fixed script of a few kilobytes. A program run from bytecode behaves as
// the compiled one: it runs as global code with the same declarations and closures. Only sources
// up to kMaxCachedSource code units are kept, and at most kCachedPrograms of them, the least
// recently used going first. Bytecode never comes from outside the process: only what this
// process's own engine dumped is ever loaded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

inline constexpr std::size_t kMaxCachedSource = 64 * 1024;
inline constexpr std::size_t kCachedPrograms = 8;

// Copies the bytecode cached for `source` into `*bytecode`; false, `*bytecode` untouched, when
// there is none. The cache may be used from any thread.
[[nodiscard]] bool cached_program(std::u16string_view source, std::vector<std::uint8_t>* bytecode);

// Keeps the bytecode of `source` (ignored for a source too long to keep).
void remember_program(std::u16string_view source, std::span<const std::uint8_t> bytecode);

// Forgets every cached program.
void forget_programs();
