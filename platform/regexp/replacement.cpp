#include "platform/regexp/replacement.h"

#include "platform/base/ascii.h"
#include "platform/regexp/compiled_pattern.h"

Replacement::Replacement(std::u16string_view text, std::uint32_t groups)
    : text_(text), groups_(groups) {
  std::size_t literal_start = 0;
  std::size_t at = 0;
  while ((at = text_.find(u'$', at)) != std::u16string_view::npos) {
    add_literal(literal_start, at - literal_start);
    const std::size_t taken = dollar_piece(at);
    if (taken == 0) {
      literal_start = at;  // the "$" stays, as part of the next literal
      ++at;
    } else {
      at += taken;
      literal_start = at;
    }
  }
  add_literal(literal_start, text_.size() - literal_start);
}

void Replacement::add_literal(std::size_t first, std::size_t length) {
  if (length == 0) return;
  pieces_.push_back(
      {PieceKind::literal, static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(length)});
}

std::size_t Replacement::dollar_piece(std::size_t dollar) {
  if (dollar + 1 >= text_.size()) return 0;
  const char16_t next = text_[dollar + 1];
  switch (next) {
    case u'$':
      add_literal(dollar + 1, 1);
      return 2;
    case u'&':
      pieces_.push_back({PieceKind::match, 0, 0});
      return 2;
    case u'`':
      pieces_.push_back({PieceKind::before, 0, 0});
      return 2;
    case u'\'':
      pieces_.push_back({PieceKind::after, 0, 0});
      return 2;
    default:
      break;
  }
  if (!is_ascii_digit(next)) return 0;
  const std::uint32_t one = next - u'0';
  if (dollar + 2 < text_.size() && is_ascii_digit(text_[dollar + 2])) {
    const std::uint32_t two = one * 10 + (text_[dollar + 2] - u'0');
    if (two >= 1 && two <= groups_) {
      pieces_.push_back({PieceKind::group, two, 0});
      return 3;
    }
  }
  if (one >= 1 && one <= groups_) {
    pieces_.push_back({PieceKind::group, one, 0});
    return 2;
  }
  return 0;
}

void Replacement::append(std::u16string_view subject, std::span<const std::uint32_t> row,
                         std::u16string* out) const {
  const std::uint32_t start = row[0];
  const std::uint32_t end = row[1];
  for (const Piece& piece : pieces_) {
    switch (piece.kind) {
      case PieceKind::literal:
        out->append(text_.substr(piece.first, piece.length));
        break;
      case PieceKind::group: {
        const std::uint32_t group_start = row[2 * piece.first];
        const std::uint32_t group_end = row[2 * piece.first + 1];
        if (group_start != MatchList::kUnset) {
          out->append(subject.substr(group_start, group_end - group_start));
        }
        break;
      }
      case PieceKind::match:
        out->append(subject.substr(start, end - start));
        break;
      case PieceKind::before:
        out->append(subject.substr(0, start));
        break;
      case PieceKind::after:
        out->append(subject.substr(end));
        break;
    }
  }
}
