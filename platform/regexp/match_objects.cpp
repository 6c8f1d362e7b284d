#include "platform/regexp/match_objects.h"

#include <utility>

#include "platform/regexp/counted_object.h"

namespace {

enum MemberId : DISPID { kItem = DISPID_VALUE, kValue = DISPID_VALUE, kCount = 1 };
enum MatchMemberId : DISPID { kFirstIndex = 1, kLength, kSubMatches };

constexpr VARTYPE kIndexParam[] = {VT_I4};

constexpr DispatchMember kCollectionMembers[] = {
    {.name = u"Item",
     .id = kItem,
     .kind = MemberKind::property,
     .type = VT_DISPATCH,
     .params = kIndexParam},
    {.name = u"Count", .id = kCount, .kind = MemberKind::property, .type = VT_I4},
};

constexpr DispatchMember kMatchMembers[] = {
    {.name = u"Value", .id = kValue, .kind = MemberKind::property, .type = VT_BSTR},
    {.name = u"FirstIndex", .id = kFirstIndex, .kind = MemberKind::property, .type = VT_I4},
    {.name = u"Length", .id = kLength, .kind = MemberKind::property, .type = VT_I4},
    {.name = u"SubMatches", .id = kSubMatches, .kind = MemberKind::property, .type = VT_DISPATCH},
};

constexpr DispatchMember kGroupMembers[] = {
    {.name = u"Item",
     .id = kItem,
     .kind = MemberKind::property,
     .type = VT_VARIANT,
     .params = kIndexParam},
    {.name = u"Count", .id = kCount, .kind = MemberKind::property, .type = VT_I4},
};

using SharedResult = std::shared_ptr<const ExecuteResult>;

// The 0-based index argument of an Item read, when it lies below `count`.
HRESULT read_index(const DispatchCall& call, std::size_t count, std::size_t* index) {
  std::int32_t value = 0;
  if (FAILED(call.get_int(0, &value))) return DISP_E_TYPEMISMATCH;
  if (value < 0 || static_cast<std::size_t>(value) >= count) return E_REGEXP_INVALID_ARGUMENT;
  *index = static_cast<std::size_t>(value);
  return S_OK;
}

// The offset pair of a MatchList row as a piece of the subject.
std::u16string_view piece_of(const ExecuteResult& result, std::uint32_t start, std::uint32_t end) {
  return std::u16string_view(result.subject).substr(start, end - start);
}

/* SubMatches: Item(k), the text of group k + 1 or VT_EMPTY when it did not take part; Count.
   E_REGEXP_INVALID_ARGUMENT for k outside 0 to Count - 1; DISP_E_MEMBERNOTFOUND for a write. */
class GroupList final : public CountedDispatchObject {
 public:
  GroupList(SharedResult result, std::size_t match)
      : CountedDispatchObject(kGroupMembers), result_(std::move(result)), match_(match) {}

 protected:
  HRESULT invoke_member(const DispatchMember& member, const DispatchCall& call) override {
    if (call.is_put()) return DISP_E_MEMBERNOTFOUND;
    const std::uint32_t groups = result_->matches.groups();
    if (member.id == kCount) return call.return_int(static_cast<std::int32_t>(groups));
    std::size_t group = 0;
    if (const HRESULT read = read_index(call, groups, &group); FAILED(read)) return read;
    const auto row = result_->matches.row(match_);
    const std::uint32_t start = row[2 * (group + 1)];
    if (start == MatchList::kUnset) {
      if (call.result() != nullptr) VariantClear(call.result());  // a group that did not take part
      return S_OK;
    }
    return call.return_text(piece_of(*result_, start, row[2 * (group + 1) + 1]));
  }

 private:
  SharedResult result_;
  std::size_t match_;
};

/* Match: Value, FirstIndex (0-based, in UTF-16 units), Length, SubMatches (a new group list).
   DISP_E_MEMBERNOTFOUND for a write. */
class Match final : public CountedDispatchObject {
 public:
  Match(SharedResult result, std::size_t match)
      : CountedDispatchObject(kMatchMembers), result_(std::move(result)), match_(match) {}

 protected:
  HRESULT invoke_member(const DispatchMember& member, const DispatchCall& call) override {
    if (call.is_put()) return DISP_E_MEMBERNOTFOUND;
    const auto row = result_->matches.row(match_);
    switch (member.id) {
      case kValue:
        return call.return_text(piece_of(*result_, row[0], row[1]));
      case kFirstIndex:
        return call.return_int(static_cast<std::int32_t>(row[0]));
      case kLength:
        return call.return_int(static_cast<std::int32_t>(row[1] - row[0]));
      default:
        return call.return_object(new GroupList(result_, match_));
    }
  }

 private:
  SharedResult result_;
  std::size_t match_;
};

/* The match collection: Item(i), a new match object for match i; Count. E_REGEXP_INVALID_ARGUMENT
   for i outside 0 to Count - 1; DISP_E_MEMBERNOTFOUND for a write. */
class MatchCollection final : public CountedDispatchObject {
 public:
  explicit MatchCollection(SharedResult result)
      : CountedDispatchObject(kCollectionMembers), result_(std::move(result)) {}

 protected:
  HRESULT invoke_member(const DispatchMember& member, const DispatchCall& call) override {
    if (call.is_put()) return DISP_E_MEMBERNOTFOUND;
    const std::size_t count = result_->matches.count();
    if (member.id == kCount) return call.return_int(static_cast<std::int32_t>(count));
    std::size_t match = 0;
    if (const HRESULT read = read_index(call, count, &match); FAILED(read)) return read;
    return call.return_object(new Match(result_, match));
  }

 private:
  SharedResult result_;
};

}  // namespace

IDispatch* new_match_collection(std::shared_ptr<const ExecuteResult> result) {
  return new MatchCollection(std::move(result));
}
