#include "runtime/text_scan.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace text_scan {

namespace {

constexpr std::uint64_t kLeadBits = 0x8080808080808080ULL;

bool is_ascii_letter(char byte) {
  return fold_letter(byte) >= 'a' && fold_letter(byte) <= 'z';
}

// True when some single-byte character of `sought` is a letter, that is when folding can make a
// difference to its matches.
bool has_single_byte_letter(std::string_view sought) {
  for (std::size_t at = 0; at < sought.size(); at = next_char(sought, at)) {
    if (is_ascii_letter(sought[at])) return true;
  }
  return false;
}

// The first occurrence of `sought` (not empty) in `text` at or after `from`, by bytes. The last
// byte is tested before the rest, which spares most comparisons where the first byte is a common
// lead byte.
std::size_t find_bytes(std::string_view text, std::string_view sought, std::size_t from) {
  const std::size_t length = sought.size();
  const char* const data = text.data();
  const char* const end = data + text.size() - length + 1;  // where no match can start
  const char first = sought.front();
  const char last = sought.back();
  for (const char* at = data + from; at < end; ++at) {
    at = static_cast<const char*>(std::memchr(at, first, static_cast<std::size_t>(end - at)));
    if (at == nullptr) return npos;
    if (at[length - 1] == last &&
        (length <= 2 || std::memcmp(at + 1, sought.data() + 1, length - 2) == 0)) {
      return static_cast<std::size_t>(at - data);
    }
  }
  return npos;
}

}  // namespace

bool reaches(std::string_view text, std::size_t from, std::size_t at) {
  const char* bytes = text.data();
  std::size_t run_start = at;
  // Eight bytes at a time: the run ends after the last byte below 0x80 in the word, if any.
  while (run_start - from >= 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes + run_start - 8, sizeof word);
    const std::uint64_t single_bytes = ~word & kLeadBits;  // bit 7 set in each byte below 0x80
    if (single_bytes != 0) {
      const int last_single = (63 - std::countl_zero(single_bytes)) / 8;  // little-endian index
      run_start = run_start - 8 + static_cast<std::size_t>(last_single) + 1;
      return (at - run_start) % 2 == 0;
    }
    run_start -= 8;
  }
  while (run_start > from && is_lead_byte(bytes[run_start - 1]))
    --run_start;
  return (at - run_start) % 2 == 0;
}

bool equal_folded(const char* text, std::string_view sought) {
  for (std::size_t i = 0; i < sought.size();) {
    if (is_lead_byte(sought[i])) {
      const std::size_t width = std::min<std::size_t>(2, sought.size() - i);
      if (std::memcmp(text + i, sought.data() + i, width) != 0) return false;
      i += width;
    } else {
      if (fold_letter(text[i]) != fold_letter(sought[i])) return false;
      ++i;
    }
  }
  return true;
}

Matcher::Matcher(std::string_view text, std::string_view sought, LetterCase letter_case)
    : text_(text),
      sought_(sought),
      folded_(letter_case == LetterCase::folded && has_single_byte_letter(sought)) {}

std::size_t Matcher::next(std::size_t from) const {
  if (sought_.empty() || sought_.size() > text_.size()) return npos;
  return folded_ ? next_folded(from) : next_exact(from);
}

// The byte search finds candidates; a candidate on a second byte means the character before it
// started one byte earlier, so the scan goes on from the byte after it.
std::size_t Matcher::next_exact(std::size_t from) const {
  const std::size_t last = text_.size() - sought_.size();
  std::size_t start = from;
  while (start <= last) {
    const std::size_t at = find_bytes(text_, sought_, start);
    if (at == npos) return npos;
    if (reaches(text_, start, at)) return at;
    start = at + 1;
  }
  return npos;
}

std::size_t Matcher::next_folded(std::size_t from) const {
  const std::size_t last = text_.size() - sought_.size();
  const unsigned char first = fold_letter(sought_[0]);
  for (std::size_t at = from; at <= last;) {
    const char byte = text_[at];
    if (fold_letter(byte) == first && equal_folded(text_.data() + at, sought_)) return at;
    at += is_lead_byte(byte) ? 2u : 1u;
  }
  return npos;
}

}  // namespace text_scan
