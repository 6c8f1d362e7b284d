// text_split: cutting a text at a separator into an array of texts.
#include <limits>
#include <vector>

#include "runtime/grow_buffer.h"
#include "runtime/result_size.h"
#include "runtime/text_blocks.h"
#include "runtime/text_commands.h"
#include "runtime/text_scan.h"

namespace {

struct Piece {
  std::uint32_t start;
  std::uint32_t end;
};

// The pieces between separators, at most `maximum` of them; a non-empty rest after the last
// separator is a piece of its own unless the maximum was reached first.
std::vector<Piece> cut_pieces(std::string_view text, std::string_view separator,
                              std::uint32_t maximum) {
  std::vector<Piece> pieces;
  const text_scan::Matcher matcher(text, separator, LetterCase::exact);
  std::size_t rest = 0;
  for (std::size_t at = matcher.next(0); at != text_scan::npos; at = matcher.next(rest)) {
    pieces.push_back({static_cast<std::uint32_t>(rest), static_cast<std::uint32_t>(at)});
    rest = at + separator.size();
    if (pieces.size() == maximum) return pieces;
  }
  if (rest < text.size()) {
    pieces.push_back({static_cast<std::uint32_t>(rest), static_cast<std::uint32_t>(text.size())});
  }
  return pieces;
}

// A one-dimensional text array of the pieces (empty pieces as null elements), assembled in a
// buffer grown once to the array's size.
ValueArray text_array_of(std::string_view text, const std::vector<Piece>& pieces) {
  const std::uint32_t count = checked_result_length(pieces.size());
  const std::uint32_t size = checked_result_length(8 + std::uint64_t{count} * sizeof(char*));
  GrowBuffer buffer;
  if (!buffer.grow_to(size)) report_out_of_memory();
  const std::int32_t header[2] = {1, static_cast<std::int32_t>(count)};
  buffer.append(header, sizeof header);
  for (const Piece& piece : pieces) {
    char* element = text_from_buffer(text.data() + piece.start,
                                     static_cast<std::int32_t>(piece.end - piece.start))
                        .release();
    buffer.append(&element, sizeof element);
  }
  return ValueArray::adopt(TypeCode::text, buffer.take_block());
}

}  // namespace

ValueArray text_split(std::string_view text, std::string_view separator,
                      std::optional<std::int32_t> maximum) {
  const std::int32_t most =
      maximum ? (*maximum < 0 ? 0 : *maximum) : std::numeric_limits<std::int32_t>::max();
  if (text.empty() || most == 0) return text_array_of(text, {});
  if (separator.empty()) {
    return text_array_of(text, {{0, static_cast<std::uint32_t>(text.size())}});
  }
  return text_array_of(text, cut_pieces(text, separator, static_cast<std::uint32_t>(most)));
}
