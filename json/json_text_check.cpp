#include "json/json_text_check.h"

#include <vector>

#include "platform/base/ascii.h"
#include "platform/codepage/codepage.h"

namespace {

bool is_blank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

int hex_value(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// A cursor over the text; every reader advances it past what it accepted.
class Reader {
 public:
  explicit Reader(std::u16string_view text) : text_(text) {}

  [[nodiscard]] bool at_end() const { return at_ == text_.size(); }
  [[nodiscard]] char16_t peek() const { return text_[at_]; }
  [[nodiscard]] std::size_t position() const { return at_; }

  void skip_blanks() {
    while (!at_end() && is_blank(peek()))
      ++at_;
  }

  // A string whose opening quote is at the cursor.
  bool read_string() {
    ++at_;
    while (!at_end()) {
      const char16_t c = text_[at_++];
      if (c == u'"') return true;
      if (c < 0x20 || c == 0x2028 || c == 0x2029) return false;
      if (c == u'\\' && !read_escape()) return false;
    }
    return false;
  }

  // -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?
  bool read_number() {
    accept(u'-');
    if (accept(u'0')) {
      // no further integer digits after a leading zero
    } else if (!read_digits()) {
      return false;
    }
    if (accept(u'.') && !read_digits()) return false;
    if (accept(u'e') || accept(u'E')) {
      if (!accept(u'+')) accept(u'-');
      if (!read_digits()) return false;
    }
    return true;
  }

  bool read_word(std::u16string_view word) {
    if (text_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }

  bool accept(char16_t c) {
    if (at_end() || peek() != c) return false;
    ++at_;
    return true;
  }

  void advance() { ++at_; }

 private:
  bool read_digits() {
    const std::size_t start = at_;
    while (!at_end() && is_ascii_digit(peek()))
      ++at_;
    return at_ > start;
  }

  // The rest of an escape whose backslash has been read.
  bool read_escape() {
    if (at_end()) return false;
    const char16_t c = text_[at_++];
    if (c != u'u') return std::u16string_view(u"\"\\/bfnrt").find(c) != std::u16string_view::npos;
    for (int k = 0; k < 4; ++k) {
      if (at_end() || hex_value(text_[at_++]) < 0) return false;
    }
    return true;
  }

  std::u16string_view text_;
  std::size_t at_ = 0;
};

// What the grammar allows next.
enum class Expect {
  value,
  value_or_close,  // just after "["
  key,             // after "," in an object
  key_or_close,    // just after "{"
  colon,
  comma_or_close,
  end,
  failed,
};

// The closing bracket of each open object or array, innermost last.
using OpenBrackets = std::vector<char16_t>;

Expect after_value(const OpenBrackets& open) {
  return open.empty() ? Expect::end : Expect::comma_or_close;
}

Expect close_bracket(Reader& reader, OpenBrackets& open) {
  reader.advance();
  open.pop_back();
  return after_value(open);
}

bool read_scalar(Reader& reader) {
  switch (reader.peek()) {
    case u'"':
      return reader.read_string();
    case u't':
      return reader.read_word(u"true");
    case u'f':
      return reader.read_word(u"false");
    case u'n':
      return reader.read_word(u"null");
    default:
      return (reader.peek() == u'-' || is_ascii_digit(reader.peek())) && reader.read_number();
  }
}

Expect read_value(Reader& reader, OpenBrackets& open) {
  const char16_t c = reader.peek();
  if (c != u'{' && c != u'[') return read_scalar(reader) ? after_value(open) : Expect::failed;
  if (open.size() == kMaxJsonDepth) return Expect::failed;
  reader.advance();
  open.push_back(c == u'{' ? u'}' : u']');
  return c == u'{' ? Expect::key_or_close : Expect::value_or_close;
}

// Reads the next token (the cursor is on a non-blank character) and says what may follow it.
Expect read_next(Reader& reader, OpenBrackets& open, Expect expect) {
  const char16_t c = reader.peek();
  switch (expect) {
    case Expect::value_or_close:
      if (c == u']') return close_bracket(reader, open);
      [[fallthrough]];
    case Expect::value:
      return read_value(reader, open);
    case Expect::key_or_close:
      if (c == u'}') return close_bracket(reader, open);
      [[fallthrough]];
    case Expect::key:
      return c == u'"' && reader.read_string() ? Expect::colon : Expect::failed;
    case Expect::colon:
      return reader.accept(u':') ? Expect::value : Expect::failed;
    case Expect::comma_or_close:
      if (c == open.back()) return close_bracket(reader, open);
      if (!reader.accept(u',')) return Expect::failed;
      return open.back() == u'}' ? Expect::key : Expect::value;
    case Expect::end:
    case Expect::failed:
      break;
  }
  return Expect::failed;
}

// The decoded value of a string that has passed the check, quotes included in `quoted`.
std::u16string decode_string(std::u16string_view quoted) {
  std::u16string out;
  out.reserve(quoted.size());
  for (std::size_t at = 1; at + 1 < quoted.size(); ++at) {
    const char16_t c = quoted[at];
    if (c != u'\\') {
      out.push_back(c);
      continue;
    }
    const char16_t kind = quoted[++at];
    switch (kind) {
      case u'b':
        out.push_back(u'\b');
        break;
      case u'f':
        out.push_back(u'\f');
        break;
      case u'n':
        out.push_back(u'\n');
        break;
      case u'r':
        out.push_back(u'\r');
        break;
      case u't':
        out.push_back(u'\t');
        break;
      case u'u': {
        char16_t unit = 0;
        for (int k = 0; k < 4; ++k)
          unit = static_cast<char16_t>(unit * 16 + hex_value(quoted[++at]));
        out.push_back(unit);
        break;
      }
      default:  // " \ /
        out.push_back(kind);
    }
  }
  return out;
}

}  // namespace

JsonTextKind check_json_text(std::u16string_view text, std::u16string* contents) {
  Reader reader(text);
  reader.skip_blanks();
  if (reader.at_end()) return JsonTextKind::blank;
  const std::size_t start = reader.position();
  const bool is_string = reader.peek() == u'"';
  OpenBrackets open;
  Expect expect = Expect::value;
  for (; !reader.at_end(); reader.skip_blanks()) {
    expect = read_next(reader, open, expect);
    if (expect == Expect::failed) return JsonTextKind::invalid;
  }
  if (expect != Expect::end) return JsonTextKind::invalid;
  if (!is_string) return JsonTextKind::other;
  if (contents != nullptr) {
    const std::u16string_view quoted = text.substr(start);
    *contents = decode_string(quoted.substr(0, quoted.find_last_of(u'"') + 1));
  }
  return JsonTextKind::string;
}

namespace {

bool opens_object_or_array(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  return first != std::string_view::npos && (text[first] == '{' || text[first] == '[');
}

std::size_t cesu8_length(std::u16string_view text) {
  std::size_t length = 0;
  for (const char16_t unit : text)
    length += unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;
  return length;
}

}  // namespace

bool is_loadable_json(std::string_view text, std::size_t largest_literal) {
  // The CESU-8 form is at least as long as the text (an ASCII character takes one byte in both, a
  // double-byte character two or three in CESU-8, and anything else fails the check) and at most
  // three times as long, so only a text in between needs its form measured.
  const bool literal = opens_object_or_array(text);
  if (literal && text.size() > largest_literal) return false;
  std::u16string wide;
  if (!text.empty()) {
    const int source_length = static_cast<int>(text.size());
    const int units = MultiByteToWideChar(CP_ACP, 0, text.data(), source_length, nullptr, 0);
    if (units <= 0) return false;
    wide.resize(static_cast<std::size_t>(units));
    if (MultiByteToWideChar(CP_ACP, 0, text.data(), source_length, wide.data(), units) != units) {
      return false;
    }
  }
  if (literal && text.size() > largest_literal / 3 && cesu8_length(wide) > largest_literal) {
    return false;
  }
  std::u16string contents;
  const JsonTextKind kind = check_json_text(wide, &contents);
  if (kind == JsonTextKind::invalid) return false;
  return kind != JsonTextKind::string || check_json_text(contents) != JsonTextKind::invalid;
}
