#include "app/download/saved_name.h"

#include <array>
#include <utility>

#include "platform/base/ascii.h"

namespace {

constexpr std::string_view kLastResortStem = "song";

std::uint8_t byte_at(std::string_view text, std::size_t at) {
  return static_cast<std::uint8_t>(text[at]);
}

// The length of the character starting at `at`; 0 when the bytes there are not a whole, valid
// character of `charset`.
std::size_t character_length(std::string_view text, std::size_t at, TerminalCharset charset) {
  const std::uint8_t lead = byte_at(text, at);
  if (lead < 0x80) return 1;
  const std::size_t rest = text.size() - at - 1;
  if (charset == TerminalCharset::gbk) {
    if (lead == 0x80 || lead == 0xFF || rest < 1) return 0;
    const std::uint8_t trail = byte_at(text, at + 1);
    return trail >= 0x40 && trail <= 0xFE && trail != 0x7F ? 2 : 0;
  }
  std::size_t length = 0;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2;
  if (lead >= 0xE0 && lead <= 0xEF) length = 3;
  if (lead >= 0xF0 && lead <= 0xF4) length = 4;
  if (length == 0 || rest < length - 1) return 0;
  for (std::size_t next = 1; next < length; ++next) {
    if ((byte_at(text, at + next) & 0xC0) != 0x80) return 0;
  }
  return length;
}

// Control characters, and the invisible direction marks that make a name read other than it is.
bool is_control(std::string_view character) {
  const auto first = static_cast<std::uint8_t>(character[0]);
  if (character.size() == 1) return first < 0x20 || first == 0x7F;
  if (character.size() == 2) return first == 0xC2 && byte_at(character, 1) < 0xA0;
  static constexpr std::array<std::string_view, 9> kDirectionMarks = {
      "\xE2\x80\xAA", "\xE2\x80\xAB", "\xE2\x80\xAC", "\xE2\x80\xAD", "\xE2\x80\xAE",
      "\xE2\x81\xA6", "\xE2\x81\xA7", "\xE2\x81\xA8", "\xE2\x81\xA9"};
  for (const std::string_view mark : kDirectionMarks) {
    if (character == mark) return true;
  }
  return false;
}

bool is_separator(std::string_view character) {
  return character == "/" || character == "\\";
}

// `text` with each separator turned into "_" and each control character and each malformed byte
// dropped.
std::string without_unsafe_characters(std::string_view text, TerminalCharset charset) {
  std::string kept;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = character_length(text, at, charset);
    if (length == 0) {
      ++at;
      continue;
    }
    const std::string_view character = text.substr(at, length);
    if (is_separator(character)) {
      kept += '_';
    } else if (!is_control(character)) {
      kept += character;
    }
    at += length;
  }
  return kept;
}

// The longest prefix of `text` of at most `limit` bytes that ends at a character boundary.
std::string_view cut_at_character(std::string_view text, std::size_t limit,
                                  TerminalCharset charset) {
  std::size_t end = 0;
  while (end < text.size()) {
    const std::size_t length = std::max<std::size_t>(character_length(text, end, charset), 1);
    if (end + length > limit) break;
    end += length;
  }
  return text.substr(0, end);
}

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" .-");
  if (first == std::string_view::npos) return {};
  text.remove_prefix(first);
  return text.substr(0, text.find_last_not_of(" .") + 1);
}

// The safe stem of `text` (already in `charset`) of at most `limit` bytes; empty when nothing is
// left of it.
std::string safe_stem(std::string_view text, std::size_t limit, TerminalCharset charset) {
  const std::string kept = without_unsafe_characters(text, charset);
  return std::string(trimmed(cut_at_character(trimmed(kept), limit, charset)));
}

std::string in_charset(std::string_view gbk, TerminalCharset charset) {
  return charset == TerminalCharset::gbk ? std::string(gbk) : gbk_to_utf8(gbk);
}

std::string_view last_path_segment(std::string_view url) {
  const std::size_t scheme_end = url.find("://");
  if (scheme_end != std::string_view::npos) url.remove_prefix(scheme_end + 3);
  url = url.substr(0, url.find_first_of("?#"));
  const std::size_t path_start = url.find('/');
  if (path_start == std::string_view::npos) return {};
  return url.substr(url.rfind('/') + 1);
}

}  // namespace

std::string_view extension_of_address(std::string_view url) {
  const std::string_view segment = last_path_segment(url);
  const std::size_t dot = segment.rfind('.');
  if (dot == std::string_view::npos) return {};
  const std::string_view extension = segment.substr(dot + 1);
  if (extension.empty() || extension.size() > 5) return {};
  for (const char c : extension) {
    if (!is_ascii_alphanumeric(c)) return {};
  }
  return extension;
}

std::string_view extension_of_content_type(std::string_view content_type) {
  std::string_view media_type = content_type.substr(0, content_type.find(';'));
  const std::size_t first = media_type.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  media_type = media_type.substr(first, media_type.find_last_not_of(" \t") + 1 - first);
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 6> kAudioTypes = {{
      {"audio/mpeg", "mp3"},
      {"audio/mp4", "m4a"},
      {"audio/flac", "flac"},
      {"audio/x-wav", "wav"},
      {"audio/wav", "wav"},
      {"audio/ogg", "ogg"},
  }};
  for (const auto& [type, extension] : kAudioTypes) {
    if (ascii_equal_ignoring_case(media_type, type)) return extension;
  }
  return {};
}

std::string saved_file_name(const SavedNameParts& parts, TerminalCharset charset) {
  std::string_view extension = extension_of_address(parts.url);
  if (extension.empty()) extension = extension_of_content_type(parts.content_type);
  const std::size_t limit = kLongestSavedName - (extension.empty() ? 0 : extension.size() + 1);

  std::string stem = safe_stem(in_charset(parts.filename, charset), limit, charset);
  if (stem.empty()) stem = safe_stem(in_charset(parts.hash, charset), limit, charset);
  if (stem.empty()) stem = kLastResortStem;
  if (!extension.empty()) stem.append(".").append(extension);
  return stem;
}

bool is_safe_file_name(std::string_view name, TerminalCharset charset) {
  if (name.empty() || name.size() > kLongestSavedName) return false;
  if (name.front() == '.' || name.front() == '-') return false;
  if (name.back() == '.' || name.back() == ' ') return false;
  for (std::size_t at = 0; at < name.size();) {
    const std::size_t length = character_length(name, at, charset);
    if (length == 0) return false;
    const std::string_view character = name.substr(at, length);
    if (is_separator(character) || is_control(character)) return false;
    at += length;
  }
  return true;
}
