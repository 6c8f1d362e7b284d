// A search's report: the bytes a one-shot or batch run prints for it, and its exit status.
#include "app/search_report.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>
#include <string>
#include <vector>

#include "app/service_hosts.h"
#include "runtime/text_blocks.h"

namespace {

// The narrow literals here are GBK, as the search's texts are.
SongEntry song(const char* filename, const char* hash, const char* url) {
  return {text_copy(filename), text_copy(hash), text_copy(url)};
}

// A search that answered, with `first` as its first entry.
SongSearch answered_with(SongEntry first = {}) {
  SongSearch search;
  search.answered = true;
  search.entries[0] = std::move(first);
  return search;
}

std::vector<nlohmann::json> parsed_lines(const std::string& output) {
  std::vector<nlohmann::json> lines;
  std::istringstream stream(output);
  for (std::string line; std::getline(stream, line);)
    lines.push_back(nlohmann::json::parse(line));
  return lines;
}

TEST(SearchReportTest, JsonLinesHoldEachHitInOrderAndParseWhateverItsMembersHold) {
  SongSearch search = answered_with();
  search.entries[0] = song("a\"b\\c\x01\x1b[2J\t\x7f", "A1", "http://m/a.mp3");
  search.entries[2] = song("月亮 - ?", "", "");  // a hit by its name alone; no play address
  search.entries[4] = song("", "E5", "");        // a hit by its hash alone
  const Text keyword = text_copy("月亮 \"&");
  const SearchReport report = report_search(keyword, search, ReportForm::json_lines);

  // UTF-8 on output: 月亮 is E6 9C 88 E4 BA AE.
  const std::string moon = "\xE6\x9C\x88\xE4\xBA\xAE";
  const std::string keyword_utf8 = moon + " \"&";
  const std::vector<nlohmann::json> expected = {
      {{"keyword", keyword_utf8},
       {"number", 1},
       {"filename", "a\"b\\c\x01\x1b[2J\t\x7f"},
       {"hash", "A1"},
       {"url", "http://m/a.mp3"}},
      {{"keyword", keyword_utf8},
       {"number", 3},
       {"filename", moon + " - ?"},
       {"hash", ""},
       {"url", nullptr}},
      {{"keyword", keyword_utf8},
       {"number", 5},
       {"filename", ""},
       {"hash", "E5"},
       {"url", nullptr}},
  };
  EXPECT_EQ(parsed_lines(report.output), expected) << report.output;
  EXPECT_EQ(report.status, kExitFound);
  EXPECT_EQ(report.error, "");
}

TEST(SearchReportTest, TheTextFormIsTheListingWithLineFeeds) {
  SongSearch search = answered_with(song("a\r\nb\tc", "A1", "http://m/a.mp3"));
  const SearchReport report = report_search(text_copy("k"), search, ReportForm::text);
  EXPECT_EQ(report.output, "1.a??b\tc\nhttp://m/a.mp3\n2.\n\n3.\n\n4.\n\n5.\n\n");
}

TEST(ServiceHostsTest, AHostIsANameOrAddressWithAnOptionalPortFromOneTo65535) {
  for (const char* host :
       {"a", "music.example", "127.0.0.1:8080", "h_1-x:1", "[::1]", "[::1]:65535"})
    EXPECT_TRUE(is_host_and_port(host)) << host;
  for (const char* host : {"", " ", "a b", "http://a", "a/b", "a?b", "u@a", "a:", "a:0", "a:65536",
                           "a:99999999", "a:+1", ":80", "[]", "[::1", "a:b:c", "a\n"})
    EXPECT_FALSE(is_host_and_port(host)) << host;
}

}  // namespace
