// Feeds arbitrary bytes to the scanning text commands, as answers from the network reach them:
// the first byte picks the letter case, the rest splits at the first NUL into the text and the
// sought text. A match must lie inside the text, and an exact one must be the first place where a
// character starts, stepping one character at a time, and the sought bytes follow: a byte of 0x80
// or more leads a pair when the byte after it is 0x40 or more and stands alone otherwise.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "runtime/text_blocks.h"
#include "runtime/text_commands.h"

namespace {

std::int32_t first_exact_match_by_steps(std::string_view text, std::string_view sought) {
  if (sought.empty()) return -1;
  for (std::size_t at = 0; at < text.size();) {
    if (text.substr(at, sought.size()) == sought) return static_cast<std::int32_t>(at) + 1;
    const bool pair = static_cast<unsigned char>(text[at]) >= 0x80 && at + 1 < text.size() &&
                      static_cast<unsigned char>(text[at + 1]) >= 0x40;
    at += pair ? 2 : 1;
  }
  return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const LetterCase letter_case = (data[0] & 1) != 0 ? LetterCase::folded : LetterCase::exact;
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::size_t cut = rest.find('\0');
  const std::string_view text = rest.substr(0, cut);
  const std::string_view sought =
      cut == std::string_view::npos ? std::string_view{} : rest.substr(cut + 1);
  // Texts are NUL-terminated blocks, as the commands receive them.
  const Text owned_text = text_from_buffer(text);
  const Text owned_sought = text_from_buffer(sought.substr(0, sought.find('\0')));

  const std::int32_t found = text_find(owned_text.view(), owned_sought.view(), 1, letter_case);
  if (found != -1 && (found < 1 || found + static_cast<std::int32_t>(owned_sought.size()) - 1 >
                                       static_cast<std::int32_t>(owned_text.size()))) {
    std::abort();
  }
  if (letter_case == LetterCase::exact &&
      found != first_exact_match_by_steps(owned_text.view(), owned_sought.view())) {
    std::abort();
  }
  const Text replaced =
      text_replace(owned_text.view(), owned_sought.view(), "x", {}, {}, letter_case);
  const ValueArray pieces = text_split(owned_text.view(), owned_sought.view());
  const Text trimmed = text_trim(owned_text.view());
  const Text without_spaces = text_remove_spaces(owned_text.view());
  return 0;
}
