// What the end-to-end tests of the program share: the program under test, the scripted music
// service its hosts point at, and the texts it shows.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "tests/support/piped_program.h"
#include "tests/support/scripted_music_service.h"
#include "tests/support/terminal_session.h"

namespace end_to_end {

inline const std::string kProgram = PROGRAM_UNDER_TEST;
inline constexpr char kUtf8Locale[] = "C.UTF-8";
inline constexpr char kGbkLocale[] = "zh_CN.GBK";

// The bytes of a UTF-8 literal (the tests' narrow literals are GBK).
inline std::string utf8(std::u8string_view text) {
  return {text.begin(), text.end()};
}

// Each test gets the scripted service on the hosts the program under test was built with.
class ProgramTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(service_.listening())
        << service_.failure()
        << "another program holds the address; configure free ones with "
           "-DSONGSEARCH_TEST_SEARCH_HOST=127.x.y.1:port "
           "-DSONGSEARCH_TEST_PLAY_HOST=127.x.y.2:port";
  }

  test_support::ScriptedMusicService service_{TEST_SEARCH_HOST, TEST_PLAY_HOST};
};

}  // namespace end_to_end
