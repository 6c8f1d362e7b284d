#include "app/download/entry_choice.h"

#include <gtest/gtest.h>

#include "runtime/text_blocks.h"

namespace {

TEST(EntryChoiceTest, ANumberPicksItsEntryAndAllPicksEveryHit) {
  SongSearch search;
  search.answered = true;
  search.entries[0] = {text_copy("A"), text_copy("1"), text_copy("http://h/a.mp3")};
  search.entries[2] = {text_copy("C"), text_copy("3"), Text()};
  const SongEntry* const first = &search.entries[0];
  const SongEntry* const third = &search.entries[2];
  const SongEntry* const fifth = &search.entries[4];

  using Chosen = std::vector<const SongEntry*>;
  EXPECT_EQ(chosen_entries(search, "1"), Chosen{first});
  EXPECT_EQ(chosen_entries(search, "5"), Chosen{fifth});
  EXPECT_EQ(chosen_entries(search, "all"), (Chosen{first, third}));
  EXPECT_EQ(chosen_entries(search, "ALL"), (Chosen{first, third}));
  EXPECT_EQ(chosen_entries(SongSearch{}, "all"), Chosen{});
  for (const char* refused : {"", "0", "6", "10", "01", " 1", "1,2", "-1", "al", "alll", "d1"}) {
    EXPECT_FALSE(chosen_entries(search, refused).has_value()) << refused;
  }
}

}  // namespace
