// RegexObject: the regular-expression object. It runs a pattern over a subject text through the
// "VBScript.RegExp" component and answers questions about the matches: how many, the text of the
// n-th, the text of a group of it, the byte position of either in the subject, and the subject
// with every match replaced.
//
// Texts are GBK. Match and group numbers are 1-based; positions are 0-based byte offsets in the
// subject. Nothing reports an error: a pattern outside the component's syntax, a subject that
// makes matching give up, a number past the last match or group all give the empty answer (false,
// 0, the empty text, position -2).
//
//   RegexObject regex;
//   if (regex.search("<meta.+?charset=[^\\w]?([-\\w]+)", head.view())) {
//     Text charset = regex.submatch_text(1, 1);  // "utf-8"
//   }
//
// The object is a block from mem_alloc of four fields: the table of operations, the component
// instance (`regexp`, empty until the first search), the match collection of the last search
// (`matches`, empty when there is none) and the subject of the last search (`subject`, a variant
// holding it as UTF-16). Every object enters the thread's COM apartment when it is built or
// cloned and leaves it when it is destroyed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "runtime/automation_object.h"
#include "runtime/object_owner.h"
#include "runtime/runtime.h"
#include "runtime/variant_value.h"

struct RegexObjectBlock;

// The table of operations, in slot order. destroy and clone receive the object itself; every
// other operation receives the address of the variable that holds the object. Optional logicals
// are std::optional; an optional position is a pointer to the caller's variable, null when not
// given.
struct RegexObjectOperations {
  // Releases the component instance, the match collection and the subject, and leaves the
  // apartment. The block itself is freed by its owner.
  void (*destroy)(RegexObjectBlock* self);
  // A new block (from mem_alloc) sharing the instance and the match collection, with a copy of
  // the subject; it enters the apartment, so that its destroy is matched.
  RegexObjectBlock* (*clone)(RegexObjectBlock* self);
  // Runs `pattern` over `subject` with a new component instance; true when the component gave a
  // match collection, even an empty one (false for a pattern outside its syntax). Omitted
  // options: case-sensitive false, multiline true, global true, quote placeholder false. With the
  // quote placeholder on, every "#引号" in the pattern stands for a double quote.
  bool (*search)(RegexObjectBlock** self, std::string_view pattern, std::string_view subject,
                 std::optional<bool> case_sensitive, std::optional<bool> multiline,
                 std::optional<bool> global, std::optional<bool> quote_placeholder);
  // Does nothing.
  void (*empty_method)(RegexObjectBlock** self);
  // The pattern the component holds (after the placeholder step); empty before the first search.
  Text (*get_pattern)(RegexObjectBlock** self);
  // The subject of the last search with its matches (every one with global, else the first)
  // replaced by `replacement`, in which "$1" to "$99" are groups, "$&" the match, "$`" and "$'"
  // the text before and after it, "$$" a "$". Empty when there was no search or the pattern is
  // outside the syntax.
  Text (*replace)(RegexObjectBlock** self, std::string_view replacement);
  // The number of matches of the last search.
  std::int32_t (*match_count)(RegexObjectBlock** self);
  // The text of match `n`, writing its position to `*position` when given; empty and -2 when
  // there is no such match or it is empty.
  Text (*match_text)(RegexObjectBlock** self, std::int32_t n, std::int32_t* position);
  // The text of group `k` of match `n`, writing to `*position` the position of the first
  // occurrence of that text at or after the start of the match; empty and -2 when there is no
  // such group, or it is empty or did not take part.
  Text (*submatch_text)(RegexObjectBlock** self, std::int32_t n, std::int32_t k,
                        std::int32_t* position);
  // The number of groups in the pattern; 0 when the last search found no match.
  std::int32_t (*submatch_count)(RegexObjectBlock** self);
};

struct RegexObjectBlock {
  const RegexObjectOperations* operations;
  AutomationObject regexp;
  AutomationObject matches;
  VariantValue subject;
};

inline constexpr std::size_t kRegexSlotSize = sizeof(void (*)());
static_assert(offsetof(RegexObjectOperations, submatch_count) == 9 * kRegexSlotSize);
static_assert(sizeof(RegexObjectBlock) == 4 * sizeof(void*));

extern const RegexObjectOperations kRegexObjectOperations;

// A new object, built as the declaring code builds it: a zero-filled block from mem_alloc with
// its table, two empty holders, a subject variant holding VT_I4 0, and the apartment entered.
// Never null.
[[nodiscard]] RegexObjectBlock* regex_object_new();

// The options of RegexObject::search; each omitted one takes its default.
struct RegexSearchOptions {
  std::optional<bool> case_sensitive = {};     // default false: IgnoreCase on
  std::optional<bool> multiline = {};          // default true
  std::optional<bool> global = {};             // default true: every match
  std::optional<bool> quote_placeholder = {};  // default false
};

// The owner of one object: builds it, calls its operations through the table, and at the end runs
// destroy through the table and frees the block. A moved-from owner is empty, and its methods then
// do nothing and give the empty answer.
class RegexObject : public ObjectOwner<RegexObject, RegexObjectBlock> {
 public:
  using ObjectOwner::ObjectOwner;
  RegexObject() : ObjectOwner(regex_object_new()) {}

  bool search(std::string_view pattern, std::string_view subject,
              const RegexSearchOptions& options = {}) {
    return call(&Operations::search, pattern, subject, options.case_sensitive, options.multiline,
                options.global, options.quote_placeholder);
  }
  void empty_method() { call(&Operations::empty_method); }
  [[nodiscard]] Text get_pattern() { return call(&Operations::get_pattern); }
  [[nodiscard]] Text replace(std::string_view replacement) {
    return call(&Operations::replace, replacement);
  }
  [[nodiscard]] std::int32_t match_count() { return call(&Operations::match_count); }
  [[nodiscard]] Text match_text(std::int32_t n, std::int32_t* position = nullptr);
  [[nodiscard]] Text submatch_text(std::int32_t n, std::int32_t k,
                                   std::int32_t* position = nullptr);
  [[nodiscard]] std::int32_t submatch_count() { return call(&Operations::submatch_count); }
};
