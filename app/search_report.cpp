#include "app/search_report.h"

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>

#include "platform/console/terminal_charset.h"

namespace {

constexpr char kSearchFailed[] = "songsearch: 检索失败：";  // the search failed:

// The interactive listing with "\n" for its CR LF line ends. Control characters in the members
// are already "?", so every CR in the listing ends a line.
std::string listing_lines(const SongSearch& search) {
  const Text listing = song_listing(search);
  std::string lines;
  for (const char c : listing.view()) {
    if (c != '\r') lines += c;
  }
  return gbk_to_terminal(lines);
}

// One JSON line for the hit numbered `number`: the members as the answers held them, in UTF-8;
// the JSON writer escapes quotes, backslashes and control characters.
std::string json_line(const std::string& keyword, int number, const SongEntry& entry) {
  nlohmann::ordered_json line;
  line["keyword"] = keyword;
  line["number"] = number;
  line["filename"] = gbk_to_utf8(entry.filename.view());
  line["hash"] = gbk_to_utf8(entry.hash.view());
  line["url"] = entry.url.empty() ? nlohmann::ordered_json(nullptr)
                                  : nlohmann::ordered_json(gbk_to_utf8(entry.url.view()));
  return line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

std::string json_lines(const Text& keyword, const SongSearch& search) {
  const std::string keyword_utf8 = gbk_to_utf8(keyword.view());
  std::string lines;
  int number = 0;
  for (const SongEntry& entry : search.entries) {
    ++number;
    if (entry.is_hit()) lines += json_line(keyword_utf8, number, entry);
  }
  return lines;
}

}  // namespace

SearchReport report_search(const Text& keyword, const SongSearch& search, ReportForm form) {
  if (!search.answered) {
    const std::string line = std::string(kSearchFailed).append(search.failure.view()) + "\n";
    return {{}, gbk_to_terminal(line), kExitSearchFailed};
  }
  SearchReport report;
  report.output =
      form == ReportForm::json_lines ? json_lines(keyword, search) : listing_lines(search);
  report.status = search.found_any() ? kExitFound : kExitNothingFound;
  return report;
}
