// Answers no music service should give: the search still lists its five entries, and the program
// goes on to the next prompt.
#include <chrono>
#include <functional>
#include <random>
#include <string>

#include "tests/app/end_to_end.h"

namespace end_to_end {
namespace {

using test_support::Answer;
using test_support::ProgramRun;
using test_support::run_with_input;
using test_support::ScriptedMusicService;

std::string random_bytes(std::size_t count) {
  std::mt19937 generator(20240607);
  std::string bytes(count, '\0');
  for (char& byte : bytes)
    byte = static_cast<char>(generator());
  return bytes;
}

std::string repeated(std::string_view piece, std::size_t times) {
  std::string text;
  text.reserve(piece.size() * times);
  for (std::size_t at = 0; at < times; ++at)
    text += piece;
  return text;
}

void redirect_to_itself(const httplib::Request& request, httplib::Response& response) {
  response.set_redirect(request.target, 302);
}

struct Hostile {
  const char* name;
  std::function<void(ScriptedMusicService&, Endpoint)> serve;
  bool search_only = false;  // for an answer too slow to give six times over
};

const Hostile kHostileAnswers[] = {
    {"an HTML page",
     [](ScriptedMusicService& service, Endpoint endpoint) {
       service.answer(endpoint, {200,
                                 R"(<html><head><meta charset="big5"></head>)"
                                 R"(<body>{"data":{"info":[{"hash":"A1"}]}}</body></html>)",
                                 "text/html"});
     }},
    {"a 404",
     [](ScriptedMusicService& service, Endpoint endpoint) {
       service.answer(endpoint, {404, "Not Found", "text/plain"});
     }},
    {"random bytes as the body",
     [](ScriptedMusicService& service, Endpoint endpoint) {
       service.answer(endpoint, {200, random_bytes(64 * 1024), "application/json"});
     }},
    {"random bytes instead of HTTP",
     [](ScriptedMusicService& service, Endpoint endpoint) {
       service.answer_raw(endpoint, random_bytes(4096));
     }},
    {"a JSON string holding script",
     [](ScriptedMusicService& service, Endpoint endpoint) {
       service.answer(endpoint, {200, R"("{data:{info:[{hash:'A1',filename:)"
                                      R"((function(){return 'ran'})()}]},url:'ran'}")"});
     }},
    {"a very deep array",
     [](ScriptedMusicService& service, Endpoint endpoint) {
       service.answer(endpoint, {200, repeated("[", 1'000'000) + repeated("]", 1'000'000)});
     }},
    {"a 50 MB answer",
     [](ScriptedMusicService& service, Endpoint endpoint) {
       service.answer(endpoint, {200, R"({"data":{"info":[)" +
                                          repeated(R"({"hash":"A1","filename":"x"},)", 1'800'000) +
                                          R"({}]},"url":"big"})"});
     },
     true},
    {"a redirect loop", [](ScriptedMusicService& service,
                           Endpoint endpoint) { service.handle(endpoint, redirect_to_itself); }},
    {"a closed connection",
     [](ScriptedMusicService& service, Endpoint endpoint) { service.answer_raw(endpoint, ""); }},
};

TEST_F(ProgramTest, HostileAnswersStillGiveFiveEmptyEntriesAndTheNextPrompt) {
  for (const Hostile& hostile : kHostileAnswers) {
    SCOPED_TRACE(hostile.name);
    hostile.serve(service_, Endpoint::search);
    if (!hostile.search_only) hostile.serve(service_, Endpoint::play_info);
    const ProgramRun run =
        run_with_input(kProgram, "moon\n\n", {.time_limit = std::chrono::minutes(2)});
    EXPECT_EQ(run.out, pass() + kPrompt);
    EXPECT_EQ(run.exit_code, 0);
  }
}

}  // namespace
}  // namespace end_to_end
