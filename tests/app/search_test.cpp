// The song search end to end: the requests it makes, and the listing it makes of the answers.
#include <string>
#include <vector>

#include "tests/app/end_to_end.h"

namespace end_to_end {
namespace {

using test_support::ProgramRun;
using test_support::ReceivedRequest;
using test_support::run_with_input;

std::string play_info_target(std::string_view hash) {
  return "/app/i/getSongInfo.php?hash=" + std::string(hash) + "&cmd=playInfo";
}

std::vector<std::string> targets_of(const std::vector<ReceivedRequest>& requests) {
  std::vector<std::string> targets;
  for (const ReceivedRequest& request : requests)
    targets.push_back(request.target);
  return targets;
}

TEST_F(ProgramTest, TheKeywordGoesIntoTheSearchAddressAsTypedAndTheClientEscapesItForTheWire) {
  serve(kFiveSongs);
  const std::pair<std::string, std::string> keywords[] = {
      {"a b&c#d", "a%20b&c%23d"},
      {utf8(u8"月亮 & 星星"), "%E6%9C%88%E4%BA%AE%20&%20%E6%98%9F%E6%98%9F"},
      {"", ""},
  };
  for (const auto& [typed, on_the_wire] : keywords) {
    SCOPED_TRACE(typed);
    service_.forget_requests();
    const ProgramRun run = run_with_input(kProgram, typed + "\n\n");
    EXPECT_EQ(run.out, pass(kFiveSongsListing) + kPrompt);
    const std::vector<std::string> expected = {
        "/api/v3/search/song?keyword=" + on_the_wire + "&page=1&pagesize=5",
        play_info_target("A1"),
        play_info_target("B2"),
        play_info_target("C3"),
        play_info_target("D4"),
        play_info_target("E5")};
    EXPECT_EQ(targets_of(service_.requests()), expected);
  }
}

TEST_F(ProgramTest, EachRequestIsAPlainGetWithTheDefaultHeadersToItsOwnHost) {
  serve(kFiveSongs);
  (void)run_with_input(kProgram, "moon\n\n");
  const std::vector<ReceivedRequest> requests = service_.requests();
  ASSERT_EQ(requests.size(), 6u);
  for (std::size_t at = 0; at < requests.size(); ++at) {
    SCOPED_TRACE(requests[at].head);
    const bool search = at == 0;
    EXPECT_EQ(requests[at].endpoint, search ? Endpoint::search : Endpoint::play_info);
    const std::vector<std::pair<std::string, std::string>> headers = {
        {"Host", search ? TEST_SEARCH_HOST : TEST_PLAY_HOST},
        {"User-Agent", "Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)"},
        {"Accept", "text/html, application/xhtml+xml, */*"},
        {"Accept-Encoding", "gbk, GB2312"},
        {"Accept-Language", "zh-cn"},
        {"Cache-Control", "no-cache"},
    };
    EXPECT_EQ(requests[at].method, "GET");
    EXPECT_EQ(requests[at].version, "HTTP/1.1");
    EXPECT_EQ(requests[at].headers, headers);
  }
}

TEST_F(ProgramTest, MissingHitsGiveEmptyEntriesAndPlayInfoRequestsWithAnEmptyHash) {
  serve({kFiveSongs[0], kFiveSongs[1]});
  const ProgramRun run = run_with_input(kProgram, "moon\n\n");
  EXPECT_EQ(run.out, pass(entry(1, utf8(u8"林小满 - 月亮晒干了衣裳"), play_address("A1")) +
                          entry(2, utf8(u8"苏沐川 - 给月亮写信的人"), play_address("B2")) +
                          "3.\r\n\r\n4.\r\n\r\n5.\r\n\r\n") +
                         kPrompt);
  EXPECT_EQ(
      targets_of(service_.requests()),
      (std::vector<std::string>{"/api/v3/search/song?keyword=moon&page=1&pagesize=5",
                                play_info_target("A1"), play_info_target("B2"),
                                play_info_target(""), play_info_target(""), play_info_target("")}));
}

// The play information answers with the same JSON value as its url that the hit has as its
// file name.
TEST_F(ProgramTest, MembersThatAreNoStringsPrintInValueToTextFormOrEmpty) {
  const std::vector<std::string> values = {"12.5", "3", "true", "null", R"({"a":"b"})"};
  std::vector<std::string> hits;
  for (std::size_t at = 0; at < values.size(); ++at)
    hits.push_back(hit_json(std::to_string(at), values[at]));
  service_.answer(Endpoint::search, {200, search_answer(hits)});
  service_.handle(
      Endpoint::play_info, [values](const httplib::Request& request, httplib::Response& response) {
        const std::string value = values.at(std::stoul(request.get_param_value("hash")));
        response.set_content(R"({"url":)" + value + "}", "application/json");
      });
  const ProgramRun run = run_with_input(kProgram, "moon\n\n");
  EXPECT_EQ(run.out,
            pass("1.12.5\r\n12.5\r\n2.3\r\n3\r\n3.\r\n\r\n4.\r\n\r\n5.\r\n\r\n") + kPrompt);
  const std::vector<std::string> targets = targets_of(service_.requests());
  ASSERT_EQ(targets.size(), 6u);
  EXPECT_EQ(targets[2], play_info_target("1"));  // a numeric hash
}

TEST_F(ProgramTest, ControlCharactersInAnAnswerAreShownAsQuestionMarksNeverObeyed) {
  serve({hit_json(R"("A1")", R"("\u001b[2J\r\n2.forged\u007f")")});
  const ProgramRun run = run_with_input(kProgram, "moon\n\n");
  EXPECT_EQ(run.out, pass("1.?[2J??2.forged?\r\n" + play_address("A1") +
                          "\r\n2.\r\n\r\n3.\r\n\r\n4.\r\n\r\n5.\r\n\r\n") +
                         kPrompt);
}

}  // namespace
}  // namespace end_to_end
