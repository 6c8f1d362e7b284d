#include "platform/regexp/pattern_translation.h"

#include <span>

#include "platform/base/ascii.h"

namespace {

constexpr std::u16string_view kWordClass = u"[A-Za-z0-9_]";
constexpr std::u16string_view kNonWordClass = u"[^A-Za-z0-9_]";
// Under IgnoreCase a class also takes the other cases of its characters, and with UCP U+017F
// (long s) and U+212A (Kelvin sign) are other cases of "s" and "k". The word classes are therefore
// matched case-sensitively, which keeps them exactly ASCII.
constexpr std::u16string_view kExactWordClass = u"(?-i:[A-Za-z0-9_])";
constexpr std::u16string_view kExactNonWordClass = u"(?-i:[^A-Za-z0-9_])";
// UCP widens PCRE2's own \b to Unicode letters; under IgnoreCase the boundaries are spelt out.
constexpr std::u16string_view kAsciiWordBoundary =
    u"(?-i:(?<=[A-Za-z0-9_])(?![A-Za-z0-9_])|(?<![A-Za-z0-9_])(?=[A-Za-z0-9_]))";
constexpr std::u16string_view kAsciiNotWordBoundary =
    u"(?-i:(?<=[A-Za-z0-9_])(?=[A-Za-z0-9_])|(?<![A-Za-z0-9_])(?![A-Za-z0-9_]))";
constexpr std::u16string_view kLineStart = u"(?<![^\\n\\r])";
constexpr std::u16string_view kLineEnd = u"(?![^\\n\\r])";

constexpr char16_t kLastCodeUnit = 0xFFFF;

bool is_octal_digit(char16_t c) {
  return c >= u'0' && c <= u'7';
}

bool is_ascii_letter(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

int hex_value(char16_t c) {
  if (is_ascii_digit(c)) return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// An inclusive range of code units.
struct UnitRange {
  char16_t first;
  char16_t last;
};

// One item of a class: a code unit, or a class escape (which cannot bound a range).
struct ClassAtom {
  bool is_set = false;
  char16_t unit = 0;
  char16_t set_letter = 0;  // d D s S w W
};

class Translator {
 public:
  Translator(std::u16string_view source, PatternOptions options)
      : source_(source), options_(options), groups_(count_groups(source)) {}

  std::optional<std::u16string> run() {
    out_.reserve(source_.size() * 2);
    while (!at_end()) {
      if (!term()) return std::nullopt;
    }
    return std::move(out_);
  }

 private:
  bool at_end() const { return pos_ >= source_.size(); }
  bool has(std::size_t ahead) const { return pos_ + ahead < source_.size(); }
  char16_t at(std::size_t ahead) const { return source_[pos_ + ahead]; }

  // One element of the pattern; false when it lies outside the syntax.
  bool term() {
    const char16_t c = at(0);
    switch (c) {
      case u'\\':
        return escape();
      case u'[':
        return character_class();
      case u'(':
        return open_group();
      case u'*':
      case u'+':
      case u'?':
        return quantifier(1);
      case u'{':
        if (const std::size_t length = quantifier_length(); length > 0) return quantifier(length);
        break;
      case u')':
        return token(u")", true);
      case u'|':
        return token(u"|", false);
      case u'^':
        return token(options_.multiline ? kLineStart : u"\\A", false);
      case u'$':
        return token(options_.multiline ? kLineEnd : u"\\z", false);
      case u'.':
        return token(u"[^\\n]", true);
      default:
        break;
    }
    emit_literal(c);
    ++pos_;
    return true;
  }

  // Writes `text` for the one unit at the position.
  bool token(std::u16string_view text, bool repeatable) {
    out_ += text;
    ++pos_;
    repeatable_ = repeatable;
    return true;
  }

  // "*", "+", "?" or "{n}", "{n,}", "{n,m}" of `length` units, with an optional lazy "?".
  bool quantifier(std::size_t length) {
    if (!repeatable_) return false;
    out_.append(source_.substr(pos_, length));
    pos_ += length;
    if (!at_end() && at(0) == u'?') {
      out_ += u'?';
      ++pos_;
    }
    repeatable_ = false;
    return true;
  }

  // The length of a "{n}", "{n,}" or "{n,m}" quantifier at the position; 0 when there is none.
  std::size_t quantifier_length() const {
    std::size_t i = pos_ + 1;
    const auto digits = [&] {
      const std::size_t from = i;
      while (i < source_.size() && is_ascii_digit(source_[i]))
        ++i;
      return i > from;
    };
    if (!digits()) return 0;
    if (i < source_.size() && source_[i] == u',') {
      ++i;
      digits();
    }
    if (i >= source_.size() || source_[i] != u'}') return 0;
    return i + 1 - pos_;
  }

  // "(", "(?:", "(?=" or "(?!"; every other "(?" form is outside the syntax.
  bool open_group() {
    repeatable_ = false;
    if (!has(1) || at(1) != u'?') {
      out_ += u'(';
      ++pos_;
      return true;
    }
    if (!has(2) || (at(2) != u':' && at(2) != u'=' && at(2) != u'!')) return false;
    out_.append(source_.substr(pos_, 3));
    pos_ += 3;
    return true;
  }

  // An escape outside a class.
  bool escape() {
    if (!has(1)) return false;  // a trailing backslash
    const char16_t letter = at(1);
    if (const auto text = class_escape_text(letter)) {
      out_ += *text;
      pos_ += 2;
      repeatable_ = letter != u'b' && letter != u'B';
      return true;
    }
    ++pos_;
    if (is_ascii_digit(letter)) {
      decimal_escape();
    } else {
      emit_literal(character_escape());
    }
    return true;
  }

  // \d \D \s \S \w \W \b \B outside a class, kept ASCII.
  std::optional<std::u16string_view> class_escape_text(char16_t letter) const {
    const bool folding = options_.ignore_case;
    switch (letter) {
      case u'd':
        return u"[0-9]";
      case u'D':
        return u"[^0-9]";
      case u's':
        return u"[\\t-\\r ]";
      case u'S':
        return u"[^\\t-\\r ]";
      case u'w':
        return folding ? kExactWordClass : kWordClass;
      case u'W':
        return folding ? kExactNonWordClass : kNonWordClass;
      case u'b':
        return folding ? kAsciiWordBoundary : u"\\b";
      case u'B':
        return folding ? kAsciiNotWordBoundary : u"\\B";
      default:
        return std::nullopt;
    }
  }

  // After the backslash: a back-reference when the number names a group, else a legacy octal
  // escape, else the digit itself.
  void decimal_escape() {
    std::size_t end = pos_;
    std::uint32_t number = 0;
    while (end < source_.size() && is_ascii_digit(source_[end])) {
      if (number <= groups_) number = number * 10 + (source_[end] - u'0');
      ++end;
    }
    if (at(0) != u'0' && number <= groups_) {
      out_ += u"\\g{" + std::u16string(source_.substr(pos_, end - pos_)) + u"}";
      pos_ = end;
      repeatable_ = true;
      return;
    }
    emit_literal(octal_or_digit());
  }

  // A legacy octal escape at the position (\0 to \377), or a lone 8 or 9 as itself.
  char16_t octal_or_digit() {
    const char16_t first = at(0);
    ++pos_;
    if (!is_octal_digit(first)) return first;
    const int most = first <= u'3' ? 3 : 2;
    char16_t value = first - u'0';
    for (int digits = 1; digits < most && !at_end() && is_octal_digit(at(0)); ++digits) {
      value = static_cast<char16_t>(value * 8 + (at(0) - u'0'));
      ++pos_;
    }
    return value;
  }

  // The character of a character escape whose letter is at the position (after the backslash):
  // \f \n \r \t \v, \cX, \xHH, \uHHHH, or the escaped character itself. Consumes it.
  char16_t character_escape() {
    const char16_t c = at(0);
    ++pos_;
    switch (c) {
      case u'f':
        return u'\f';
      case u'n':
        return u'\n';
      case u'r':
        return u'\r';
      case u't':
        return u'\t';
      case u'v':
        return u'\v';
      case u'c':
        if (!at_end() && is_ascii_letter(at(0))) return static_cast<char16_t>(source_[pos_++] % 32);
        --pos_;  // "\c" without a letter is a backslash, and the "c" follows as itself
        return u'\\';
      case u'x':
        return hex_escape(2, c);
      case u'u':
        return hex_escape(4, c);
      default:
        return c;
    }
  }

  // `digits` hexadecimal digits at the position as one code unit; `letter` itself when there are
  // fewer.
  char16_t hex_escape(int digits, char16_t letter) {
    if (!has(static_cast<std::size_t>(digits) - 1)) return letter;
    char16_t value = 0;
    for (int i = 0; i < digits; ++i) {
      const int digit = hex_value(at(static_cast<std::size_t>(i)));
      if (digit < 0) return letter;
      value = static_cast<char16_t>(value * 16 + digit);
    }
    pos_ += static_cast<std::size_t>(digits);
    return value;
  }

  // "[...]" or "[^...]". Every character is written as \x{...}, so nothing inside can read as
  // PCRE2 syntax ("[:alpha:]", a stray range).
  bool character_class() {
    ++pos_;
    const bool negated = !at_end() && at(0) == u'^';
    if (negated) ++pos_;
    out_ += negated ? u"[^" : u"[";
    while (!at_end() && at(0) != u']') {
      if (!class_element()) return false;
    }
    if (at_end()) return false;  // unclosed
    out_ += u']';
    ++pos_;
    repeatable_ = true;
    return true;
  }

  // One character, class escape or range of a class.
  bool class_element() {
    ClassAtom first;
    if (!class_atom(&first)) return false;
    const bool is_range = has(1) && at(0) == u'-' && at(1) != u']';
    if (!is_range) {
      emit_class_atom(first);
      return true;
    }
    ++pos_;
    ClassAtom last;
    if (!class_atom(&last)) return false;
    if (first.is_set || last.is_set) {
      // A class escape cannot bound a range: the hyphen is a literal.
      emit_class_atom(first);
      emit_unit(u'-');
      emit_class_atom(last);
      return true;
    }
    if (first.unit > last.unit) return false;
    emit_unit(first.unit);
    out_ += u'-';
    emit_unit(last.unit);
    return true;
  }

  bool class_atom(ClassAtom* atom) {
    if (at_end()) return false;
    const char16_t c = at(0);
    if (c != u'\\') {
      atom->unit = c;
      ++pos_;
      return true;
    }
    if (!has(1)) return false;
    const char16_t letter = at(1);
    switch (letter) {
      case u'd':
      case u'D':
      case u's':
      case u'S':
      case u'w':
      case u'W':
        atom->is_set = true;
        atom->set_letter = letter;
        pos_ += 2;
        return true;
      case u'b':
        atom->unit = u'\b';
        pos_ += 2;
        return true;
      default:
        ++pos_;
        atom->unit = is_ascii_digit(letter) ? octal_or_digit() : character_escape();
        return true;
    }
  }

  void emit_class_atom(const ClassAtom& atom) {
    if (!atom.is_set) {
      emit_unit(atom.unit);
      return;
    }
    for (const UnitRange& range : set_ranges(atom.set_letter)) {
      emit_unit(range.first);
      if (range.last != range.first) {
        out_ += u'-';
        emit_unit(range.last);
      }
    }
  }

  // The ranges of a class escape, for use inside a class.
  std::span<const UnitRange> set_ranges(char16_t letter) const {
    static constexpr UnitRange kDigits[] = {{u'0', u'9'}};
    static constexpr UnitRange kNonDigits[] = {{0, u'/'}, {u':', kLastCodeUnit}};
    static constexpr UnitRange kSpaces[] = {{u'\t', u'\r'}, {u' ', u' '}};
    static constexpr UnitRange kNonSpaces[] = {{0, 0x08}, {0x0E, 0x1F}, {0x21, kLastCodeUnit}};
    static constexpr UnitRange kWord[] = {{u'0', u'9'}, {u'A', u'Z'}, {u'_', u'_'}, {u'a', u'z'}};
    static constexpr UnitRange kNonWord[] = {
        {0, u'/'}, {u':', u'@'}, {u'[', u'^'}, {u'`', u'`'}, {u'{', kLastCodeUnit}};
    // Under IgnoreCase U+017F and U+212A would bring in "s" and "k" as their other cases.
    static constexpr UnitRange kNonWordIgnoringCase[] = {
        {0, u'/'},      {u':', u'@'},     {u'[', u'^'},           {u'`', u'`'},
        {u'{', 0x017E}, {0x0180, 0x2129}, {0x212B, kLastCodeUnit}};
    switch (letter) {
      case u'd':
        return kDigits;
      case u'D':
        return kNonDigits;
      case u's':
        return kSpaces;
      case u'S':
        return kNonSpaces;
      case u'w':
        return kWord;
      default:
        if (options_.ignore_case) return kNonWordIgnoringCase;
        return kNonWord;
    }
  }

  // A literal character outside a class. Letters, digits and characters beyond ASCII stand for
  // themselves in PCRE2; ASCII punctuation is escaped and control characters written in hex.
  void emit_literal(char16_t c) {
    repeatable_ = true;
    if (c >= 0x80 || is_ascii_letter(c) || is_ascii_digit(c)) {
      out_ += c;
    } else if (c > u' ' && c < 0x7F) {
      out_ += u'\\';
      out_ += c;
    } else {
      emit_unit(c);
    }
  }

  void emit_unit(char16_t c) {
    static constexpr char16_t kHex[] = u"0123456789abcdef";
    out_ += u"\\x{";
    bool leading = true;
    for (int shift = 12; shift >= 0; shift -= 4) {
      const int digit = (c >> shift) & 0xF;
      if (leading && digit == 0 && shift > 0) continue;
      leading = false;
      out_ += kHex[digit];
    }
    out_ += u'}';
  }

  std::u16string_view source_;
  PatternOptions options_;
  std::uint32_t groups_;
  std::u16string out_;
  std::size_t pos_ = 0;
  bool repeatable_ = false;  // whether a quantifier may follow
};

}  // namespace

std::optional<std::u16string> translate_pattern(std::u16string_view source,
                                                PatternOptions options) {
  return Translator(source, options).run();
}

std::uint32_t count_groups(std::u16string_view source) {
  std::uint32_t groups = 0;
  bool in_class = false;
  for (std::size_t i = 0; i < source.size(); ++i) {
    const char16_t c = source[i];
    if (c == u'\\') {
      ++i;
    } else if (in_class) {
      in_class = c != u']';
    } else if (c == u'[') {
      in_class = true;
      if (i + 1 < source.size() && source[i + 1] == u'^') ++i;
      // "[]" and "[^]" are whole classes: their "]" closes them.
      if (i + 1 < source.size() && source[i + 1] == u']') {
        ++i;
        in_class = false;
      }
    } else if (c == u'(' && (i + 1 >= source.size() || source[i + 1] != u'?')) {
      ++groups;
    }
  }
  return groups;
}
