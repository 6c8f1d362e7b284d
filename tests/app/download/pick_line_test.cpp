#include "app/download/pick_line.h"

#include <gtest/gtest.h>

namespace {

TEST(PickLineTest, ReadsANumberToPlayDAndANumberToDownloadAndEnterToGoOn) {
  constexpr auto play = PickAction::play, download = PickAction::download;
  const std::pair<const char*, Pick> cases[] = {
      {"", {PickAction::go_on, 0}},
      {" \r", {PickAction::go_on, 0}},
      {"3", {play, 3}},
      {" 1 \r", {play, 1}},
      {"5", {play, 5}},
      {"d3", {download, 3}},
      {"d 3", {download, 3}},
      {"D\t2", {download, 2}},
      {"0", {}},
      {"6", {}},
      {"03", {play, 3}},
      {"-1", {}},
      {"+1", {}},
      {"1 2", {}},
      {"d", {}},
      {"dd3", {}},
      {"d3x", {}},
      {"3d", {}},
      {"x", {}},
      {"99999999999", {}},
      {"\xD6\xD0", {}},
  };
  for (const auto& [line, expected] : cases) {
    EXPECT_EQ(read_pick(line, 5), expected) << '"' << line << '"';
  }
  EXPECT_EQ(read_pick("3", 2), Pick{});
}

}  // namespace
