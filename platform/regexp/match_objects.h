// The objects that Execute hands out: the match collection, each match, and each match's groups.
//
//   collection  Item(i) [DISPID_VALUE], the match at 0-based i; Count
//   match       Value [DISPID_VALUE], FirstIndex (0-based, in UTF-16 units), Length, SubMatches
//   groups      Item(k) [DISPID_VALUE], the text of group k + 1, VT_EMPTY when it did not take
//               part; Count, the number of groups in the pattern
// Every property is read-only, and an index outside its collection fails with
// E_REGEXP_INVALID_ARGUMENT. Each Item or SubMatches read makes a new object; all of them share
// one immutable record of what Execute found.
#pragma once

#include <memory>
#include <string>

#include "platform/com/unknown.h"
#include "platform/regexp/compiled_pattern.h"

struct ExecuteResult {
  std::u16string subject;
  MatchList matches;
};

// A new match collection over `result`, with one reference for the caller.
[[nodiscard]] IDispatch* new_match_collection(std::shared_ptr<const ExecuteResult> result);
