#include "platform/regexp/compiled_pattern.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <algorithm>
#include <string>

namespace {

// Compile options every pattern gets: [] and [^] are classes, and a reference to a group that has
// not taken part matches the empty string.
constexpr std::uint32_t kCompileOptions = PCRE2_ALLOW_EMPTY_CLASS | PCRE2_MATCH_UNSET_BACKREF;
// IgnoreCase: UCP lets case folding reach beyond ASCII (é matches É).
constexpr std::uint32_t kIgnoreCaseOptions = PCRE2_CASELESS | PCRE2_UCP;

// About 10 ms of backtracking in the interpreter, about 1.5 ms in JIT code.
constexpr std::uint32_t kMatchLimit = 1'000'000;
constexpr std::uint32_t kHeapLimitKib = 64 * 1024;
// The JIT's own default (32 KiB of machine stack) runs out on long subjects; this one grows to
// 1 MiB, and past that the interpreter takes over.
constexpr PCRE2_SIZE kJitStackStart = 32 * 1024;
constexpr PCRE2_SIZE kJitStackMost = 1024 * 1024;

// How many compiled patterns a thread keeps, and the longest pattern it keeps.
constexpr std::size_t kRecentPatterns = 16;
constexpr std::size_t kLongestKeptPattern = 4096;

// PCRE2 wants a non-null pointer even for an empty string.
PCRE2_SPTR units_of(std::u16string_view text) {
  static constexpr char16_t kEmpty[1] = {};
  return reinterpret_cast<PCRE2_SPTR>(text.empty() ? kEmpty : text.data());
}

// The match context of the thread: the limits, and the JIT stack (which one thread at a time may
// use).
class MatchEnvironment {
 public:
  MatchEnvironment()
      : context_(pcre2_match_context_create(nullptr)),
        stack_(pcre2_jit_stack_create(kJitStackStart, kJitStackMost, nullptr)) {
    if (context_ == nullptr) return;
    pcre2_set_match_limit(context_, kMatchLimit);
    pcre2_set_heap_limit(context_, kHeapLimitKib);
    if (stack_ != nullptr) pcre2_jit_stack_assign(context_, nullptr, stack_);
  }
  MatchEnvironment(const MatchEnvironment&) = delete;
  MatchEnvironment& operator=(const MatchEnvironment&) = delete;
  ~MatchEnvironment() {
    pcre2_jit_stack_free(stack_);
    pcre2_match_context_free(context_);
  }

  [[nodiscard]] pcre2_match_context* context() const { return context_; }

 private:
  pcre2_match_context* context_;
  pcre2_jit_stack* stack_;
};

MatchEnvironment& thread_environment() {
  thread_local MatchEnvironment environment;
  return environment;
}

// The thread's recently compiled patterns, most recent first.
class RecentPatterns {
 public:
  std::shared_ptr<const CompiledPattern> find(std::u16string_view source, PatternOptions options) {
    const auto found = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& entry) {
      return entry.source == source && entry.options.ignore_case == options.ignore_case &&
             entry.options.multiline == options.multiline;
    });
    if (found == entries_.end()) return nullptr;
    std::rotate(entries_.begin(), found, found + 1);
    return entries_.front().compiled;
  }

  void keep(std::u16string_view source, PatternOptions options,
            std::shared_ptr<const CompiledPattern> compiled) {
    if (source.size() > kLongestKeptPattern) return;
    if (entries_.size() == kRecentPatterns) entries_.pop_back();
    entries_.insert(entries_.begin(), Entry{std::u16string(source), options, std::move(compiled)});
  }

 private:
  struct Entry {
    std::u16string source;
    PatternOptions options;
    std::shared_ptr<const CompiledPattern> compiled;
  };
  std::vector<Entry> entries_;
};

RecentPatterns& recent_patterns() {
  thread_local RecentPatterns patterns;
  return patterns;
}

struct MatchDataFree {
  void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};
using MatchData = std::unique_ptr<pcre2_match_data, MatchDataFree>;

HRESULT match_failure(int result) {
  switch (result) {
    case PCRE2_ERROR_MATCHLIMIT:
    case PCRE2_ERROR_HEAPLIMIT:
    case PCRE2_ERROR_DEPTHLIMIT:
    case PCRE2_ERROR_JIT_STACKLIMIT:
      return E_REGEXP_TOO_COMPLEX;
    case PCRE2_ERROR_NOMEMORY:
      return E_OUTOFMEMORY;
    default:
      return E_FAIL;
  }
}

}  // namespace

CompiledPattern::~CompiledPattern() {
  pcre2_code_free(code_);
}

std::shared_ptr<const CompiledPattern> CompiledPattern::compile(std::u16string_view source,
                                                                PatternOptions options) {
  if (auto kept = recent_patterns().find(source, options)) return kept;
  const std::optional<std::u16string> translated = translate_pattern(source, options);
  if (!translated) return nullptr;
  int error = 0;
  PCRE2_SIZE error_offset = 0;
  const std::uint32_t flags = kCompileOptions | (options.ignore_case ? kIgnoreCaseOptions : 0);
  pcre2_code* code = pcre2_compile(units_of(*translated), translated->size(), flags, &error,
                                   &error_offset, nullptr);
  if (code == nullptr) return nullptr;
  pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);  // on failure the interpreter runs it
  std::uint32_t groups = 0;
  pcre2_pattern_info(code, PCRE2_INFO_CAPTURECOUNT, &groups);
  std::shared_ptr<const CompiledPattern> compiled(new CompiledPattern(code, groups));
  recent_patterns().keep(source, options, compiled);
  return compiled;
}

HRESULT CompiledPattern::find(std::u16string_view subject, bool global, MatchList* matches) const {
  const MatchData data(pcre2_match_data_create_from_pattern(code_, nullptr));
  if (data == nullptr) return E_OUTOFMEMORY;
  pcre2_match_context* context = thread_environment().context();
  const PCRE2_SPTR units = units_of(subject);
  std::vector<std::uint32_t> row(2 * (std::size_t{groups_} + 1));
  std::size_t start = 0;
  do {
    int result = pcre2_match(code_, units, subject.size(), start, 0, data.get(), context);
    if (result == PCRE2_ERROR_JIT_STACKLIMIT) {
      result = pcre2_match(code_, units, subject.size(), start, PCRE2_NO_JIT, data.get(), context);
    }
    if (result == PCRE2_ERROR_NOMATCH) break;
    if (result < 0) return match_failure(result);
    const PCRE2_SIZE* offsets = pcre2_get_ovector_pointer(data.get());
    std::transform(offsets, offsets + row.size(), row.begin(), [](PCRE2_SIZE offset) {
      return offset == PCRE2_UNSET ? MatchList::kUnset : static_cast<std::uint32_t>(offset);
    });
    matches->append(row);
    start = offsets[1] > offsets[0] ? offsets[1] : offsets[1] + 1;
  } while (global && start <= subject.size());
  return S_OK;
}
