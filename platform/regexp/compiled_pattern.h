// A pattern of the component's syntax compiled by PCRE2's 16-bit library, and the search that
// finds its matches.
//
// Subjects and offsets are UTF-16 code units, without UTF mode: a lone surrogate is just another
// unit. Matching is bounded: a match limit and a heap limit stop runaway backtracking, which the
// search then reports as E_REGEXP_TOO_COMPLEX. PCRE2 counts the match limit afresh at each start
// position, so a subject of n units costs at most about n times the limit. The search runs the
// JIT-compiled code on a stack of its own and, when that stack runs out, the interpreter.
//
// Compiled patterns are immutable and shared: the thread keeps the most recently compiled ones,
// so that components made afresh for the same pattern (one per search, as their callers do) do not
// compile it again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "platform/base/hresult.h"
#include "platform/regexp/pattern_translation.h"
#include "platform/regexp/regexp_errors.h"

struct pcre2_real_code_16;

// The matches of one search, in order. Each match is a row of (groups + 1) offset pairs: the start
// and end of the whole match, then of each group; kUnset for a group that did not take part.
class MatchList {
 public:
  static constexpr std::uint32_t kUnset = 0xFFFFFFFF;

  explicit MatchList(std::uint32_t groups) : groups_(groups) {}

  [[nodiscard]] std::uint32_t groups() const { return groups_; }
  [[nodiscard]] std::size_t count() const { return offsets_.size() / row_size(); }
  [[nodiscard]] std::span<const std::uint32_t> row(std::size_t match) const {
    return std::span(offsets_).subspan(match * row_size(), row_size());
  }
  void append(std::span<const std::uint32_t> row) {
    offsets_.insert(offsets_.end(), row.begin(), row.end());
  }

 private:
  [[nodiscard]] std::size_t row_size() const { return 2 * (std::size_t{groups_} + 1); }

  std::uint32_t groups_;
  std::vector<std::uint32_t> offsets_;
};

class CompiledPattern {
 public:
  ~CompiledPattern();
  CompiledPattern(const CompiledPattern&) = delete;
  CompiledPattern& operator=(const CompiledPattern&) = delete;

  // The compiled form of `source` (the component's syntax), from the thread's recent patterns or
  // compiled now; null when the pattern lies outside the syntax or PCRE2 refuses it.
  [[nodiscard]] static std::shared_ptr<const CompiledPattern> compile(std::u16string_view source,
                                                                      PatternOptions options);

  [[nodiscard]] std::uint32_t groups() const { return groups_; }

  // The matches in `subject`: with `global` every match, each search starting where the last
  // match ended, or one code unit further after an empty match; otherwise the first match only.
  // S_OK (no match is an empty list); E_REGEXP_TOO_COMPLEX when a limit stopped the matcher;
  // E_OUTOFMEMORY. The list then holds the matches found before.
  HRESULT find(std::u16string_view subject, bool global, MatchList* matches) const;

 private:
  CompiledPattern(pcre2_real_code_16* code, std::uint32_t groups) : code_(code), groups_(groups) {}

  pcre2_real_code_16* code_;
  std::uint32_t groups_;
};
