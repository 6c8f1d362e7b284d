// Batches of searches from a file or standard input, against the same keywords searched one by
// one.
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/app/end_to_end.h"
#include "tests/support/scratch_folder.h"

namespace end_to_end {
namespace {

using test_support::ProgramRun;
using test_support::ReceivedRequest;
using test_support::run_with_input;

// "fail..." is an answer that is no JSON, "none..." finds nothing, any other keyword finds two
// songs named after it, so that a report in the wrong place shows; "slow..." answers last.
void search_by_keyword(const httplib::Request& request, httplib::Response& response) {
  const std::string keyword = request.get_param_value("keyword");
  if (keyword.starts_with("slow")) std::this_thread::sleep_for(std::chrono::milliseconds(300));
  if (keyword.starts_with("fail")) {
    response.status = 404;
    return response.set_content("Not Found", "text/plain");
  }
  std::vector<std::string> hits;
  if (!keyword.starts_with("none")) {
    hits = {hit_json(R"("K1")", nlohmann::json(keyword + " one").dump()),
            hit_json(R"("")", nlohmann::json(keyword + " two").dump())};
  }
  response.set_content(search_answer(hits), "application/json; charset=utf-8");
}

ProgramRun run_batch(std::vector<std::string> arguments, std::string_view input,
                     const std::string& locale = kUtf8Locale) {
  return run_with_input(kProgram, input, {.arguments = std::move(arguments), .locale = locale});
}

// A keyword as its naming line shows it: control characters but the tab as "?".
std::string naming(std::string keyword) {
  std::replace(keyword.begin(), keyword.end(), '\x1b', '?');
  return keyword;
}

TEST_F(ProgramTest, ABatchPrintsWhatTheSearchesOneByOnePrintInTheOrderOfItsLines) {
  serve({});
  service_.handle(Endpoint::search, search_by_keyword);
  const std::vector<std::string> keywords = {
      "slow start",  utf8(u8"月亮"),          "fail here",
      "none at all", "1.looks like an entry", "== looks like a naming line",
      "tab\there",   "escape \x1b[2J",        "last"};
  for (const bool json : {false, true}) {
    const std::vector<std::string> form =
        json ? std::vector<std::string>{"--json"} : std::vector<std::string>{};
    std::string input, expected_out, expected_err;
    for (const std::string& keyword : keywords) {
      input += keyword + "\n";
      std::vector<std::string> arguments = form;
      arguments.insert(arguments.end(), {"--", keyword});
      const ProgramRun one = run_with_input(kProgram, "", {.arguments = arguments});
      ASSERT_EQ(one.exit_code, keyword.starts_with("fail")   ? 3
                               : keyword.starts_with("none") ? 1
                                                             : 0)
          << keyword;
      if (!json) expected_out += "== " + naming(keyword) + "\n";
      expected_out += one.out;
      expected_err += one.err;
    }
    for (const int jobs : {1, 3, 8}) {
      SCOPED_TRACE(std::string(json ? "json, jobs " : "text, jobs ") + std::to_string(jobs));
      std::vector<std::string> arguments = form;
      arguments.insert(arguments.end(), {"--jobs", std::to_string(jobs), "--batch-file", "-"});
      const ProgramRun batch = run_batch(arguments, input);
      EXPECT_EQ(batch.out, expected_out);
      EXPECT_EQ(batch.err, expected_err);
      EXPECT_EQ(batch.exit_code, 3);
    }
  }
}

// Lines as the prompt reads them: in the terminal's charset, CR LF or LF, cut at 2048 GBK bytes
// between two characters; empty lines are no keyword.
TEST_F(ProgramTest, ABatchFileIsReadAsThePromptReadsLinesInTheTerminalsCharset) {
  serve(kFiveSongs);
  // 2,047 bytes and a double-byte character: the character would end past 2,048, so it goes.
  const std::string cut_keyword(2047, 'a');
  const std::string long_keyword = cut_keyword + utf8(u8"啊啊");
  const std::string moon = utf8(u8"月亮");
  const std::string file_name = ::testing::TempDir() + "batch_keywords.txt";
  for (const std::string locale : {kUtf8Locale, kGbkLocale}) {
    SCOPED_TRACE(locale);
    const std::string text =
        shown_in(locale, "\n" + moon + "\r\n\r\n" + long_keyword + "\nx\ty");  // no last LF
    for (const bool from_file : {false, true}) {
      service_.forget_requests();
      if (from_file) {
        test_support::write_file(file_name, text);
      }
      const ProgramRun run =
          run_batch({"--batch-file", from_file ? file_name : "-"}, from_file ? "" : text, locale);
      const std::string listing = shown_in(locale, with_line_feeds(kFiveSongsListing));
      EXPECT_EQ(run.out, shown_in(locale, "== " + moon + "\n") + listing + "== " + cut_keyword +
                             "\n" + listing + "== x\ty\n" + listing);
      EXPECT_EQ(run.err, "");
      EXPECT_EQ(run.exit_code, 0);
      std::vector<std::string> searched;
      for (const ReceivedRequest& request : service_.requests()) {
        if (request.endpoint == Endpoint::search) searched.push_back(request.target);
      }
      const std::vector<std::string> expected = {
          "/api/v3/search/song?keyword=%E6%9C%88%E4%BA%AE&page=1&pagesize=5",
          "/api/v3/search/song?keyword=" + cut_keyword + "&page=1&pagesize=5",
          "/api/v3/search/song?keyword=x%09y&page=1&pagesize=5"};
      EXPECT_EQ(searched, expected);
    }
  }
}

}  // namespace
}  // namespace end_to_end
