#include "demo/answers.h"

#include <algorithm>
#include <cstdio>

#include <unicode/unistr.h>

namespace {

std::string well_formed(std::string_view text) {
  std::string utf8;
  icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), text.size())).toUTF8String(utf8);
  return utf8;
}

std::string unicode_escape(unsigned code) {
  char escape[8];
  std::snprintf(escape, sizeof escape, "\\u%04X", code);
  return escape;
}

std::string hit(const Song& song) {
  return "{\"hash\":" + json_string(song.hash) + ",\"filename\":" + json_string(song.filename()) +
         ",\"songname\":" + json_string(song.title) +
         ",\"singername\":" + json_string(song.artist) +
         ",\"duration\":" + std::to_string(song.seconds) + "}";
}

}  // namespace

std::string json_string(std::string_view text) {
  constexpr std::string_view kLineSeparator = "\xE2\x80\xA8", kParagraphSeparator = "\xE2\x80\xA9";
  const std::string utf8 = well_formed(text);
  std::string quoted = "\"";
  for (std::size_t at = 0; at < utf8.size(); ++at) {
    const auto byte = static_cast<unsigned char>(utf8[at]);
    const std::string_view rest = std::string_view(utf8).substr(at);
    if (byte == '"' || byte == '\\') {
      quoted.append({'\\', utf8[at]});
    } else if (byte < 0x20) {
      quoted += unicode_escape(byte);
    } else if (rest.starts_with(kLineSeparator) || rest.starts_with(kParagraphSeparator)) {
      quoted += unicode_escape(rest.starts_with(kLineSeparator) ? 0x2028 : 0x2029);
      at += 2;
    } else {
      quoted += utf8[at];
    }
  }
  return quoted + "\"";
}

std::string search_answer(std::string_view keyword, int page, int page_size,
                          std::span<const Song* const> hits) {
  const std::size_t first = std::min(hits.size(), std::size_t(page - 1) * std::size_t(page_size));
  const std::size_t end = std::min(hits.size(), first + std::size_t(page_size));
  std::string info;
  for (std::size_t at = first; at < end; ++at) {
    if (!info.empty()) info += ",";
    info += hit(*hits[at]);
  }
  return "{\"status\":1,\"error\":\"\",\"data\":{\"keyword\":" + json_string(keyword) +
         ",\"page\":" + std::to_string(page) + ",\"pagesize\":" + std::to_string(page_size) +
         ",\"total\":" + std::to_string(hits.size()) + ",\"info\":[" + info + "]}}";
}

std::string play_info_answer(const Song& song, std::string_view url) {
  return "{\"status\":1,\"hash\":" + json_string(song.hash) +
         ",\"fileName\":" + json_string(song.filename()) +
         ",\"timeLength\":" + std::to_string(song.seconds) + ",\"url\":" + json_string(url) + "}";
}

std::string error_answer(std::string_view message) {
  return "{\"status\":0,\"error\":" + json_string(message) + "}";
}
