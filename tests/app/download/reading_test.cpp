// The pieces that read and name: saved file names, answer heads, command words, the wait line's
// pick, the entry choice and the progress line.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/download/answer_head.h"
#include "app/download/command_words.h"
#include "app/download/entry_choice.h"
#include "app/download/pick_line.h"
#include "app/download/progress.h"
#include "app/download/saved_name.h"
#include "runtime/text_blocks.h"

namespace {

constexpr auto kUtf8 = TerminalCharset::utf8;
constexpr auto kGbk = TerminalCharset::gbk;

struct NameCase {
  const char* what;
  std::string filename, hash, url, content_type;
  TerminalCharset charset;
  std::string expected;
};

TEST(SavedNameTest, MakesTheEntrysNameSafeAndAddsTheExtension) {
  const std::string zhong_gbk = "\xD6\xD0", zhong_utf8 = "\xE4\xB8\xAD";
  const NameCase cases[] = {
      {"GBK converted", zhong_gbk + "x", "H", "http://h/x.mp3", "", kUtf8, zhong_utf8 + "x.mp3"},
      {"GBK kept", zhong_gbk + "x", "H", "http://h/x.mp3", "", kGbk, zhong_gbk + "x.mp3"},
      {"separators", "a/b\\c", "H", "http://h/x.mp3", "", kUtf8, "a_b_c.mp3"},
      {"traversal", "../../etc/passwd", "H", "http://h/x.mp3", "", kUtf8, "_.._etc_passwd.mp3"},
      {"controls", "a\tb\r\n\x1b[31mc\x7f", "H", "http://h/x", "", kUtf8, "ab[31mc"},
      {"leading dots and dashes", "-.-rf .x", "H", "http://h/x", "", kUtf8, "rf .x"},
      {"trailing spaces and dots", "name. . ", "H", "http://h/x", "", kUtf8, "name"},
      {"dot dot", "..", "abc", "http://h/x", "", kUtf8, "abc"},
      {"a separator alone", " ./", "0A1B", "http://h/x.flac", "", kUtf8, "_.flac"},
      {"nothing left, hash", " . ", "0A1B", "http://h/x.flac", "", kUtf8, "0A1B.flac"},
      {"nothing at all", "", "", "http://h/x", "audio/ogg", kUtf8, "song.ogg"},
      {"hostile hash", "", "../x", "http://h/x", "", kUtf8, "_x"},
      {"lone GBK lead byte dropped", "a\xD6", "H", "http://h/x", "", kGbk, "a"},
      {"GBK trail byte 0x5C is no separator", "\x81\x5C", "H", "http://h/x", "", kGbk, "\x81\x5C"},
  };
  for (const NameCase& c : cases) {
    const std::string name =
        saved_file_name({c.filename, c.hash, c.url, c.content_type}, c.charset);
    EXPECT_EQ(name, c.expected) << c.what;
    EXPECT_TRUE(is_safe_file_name(name, c.charset)) << c.what;
  }
  // A right-to-left override could disguise an extension.
  EXPECT_FALSE(is_safe_file_name("a\xE2\x80\xAEgpj.exe", kUtf8));
}

TEST(SavedNameTest, CutsLongNamesAtACharacterBoundaryWithinTwoHundredBytes) {
  std::string hundred_and_one_zhong;
  for (int i = 0; i < 101; ++i)
    hundred_and_one_zhong += "\xD6\xD0";
  // UTF-8: three bytes a character; 196 bytes leave room for ".mp3", 195 is the boundary.
  const std::string utf8 =
      saved_file_name({hundred_and_one_zhong, "H", "http://h/x.mp3", ""}, kUtf8);
  EXPECT_EQ(utf8.size(), 195u + 4u);
  EXPECT_TRUE(is_safe_file_name(utf8, kUtf8));
  // GBK: two bytes a character; a name of 202 bytes is cut to 200 with no extension.
  const std::string gbk = saved_file_name({hundred_and_one_zhong, "H", "http://h/x", ""}, kGbk);
  EXPECT_EQ(gbk, hundred_and_one_zhong.substr(0, 200));
  // A cut that leaves a trailing blank drops it too.
  const std::string spaced = std::string(199, 'a') + " bcd";
  EXPECT_EQ(saved_file_name({spaced, "H", "http://h/x", ""}, kUtf8), std::string(199, 'a'));
}

TEST(SavedNameTest, ExtensionComesFromTheAddressElseTheContentType) {
  const std::pair<const char*, const char*> addresses[] = {
      {"http://h/a/b.M4A?x=1.ogg", "M4A"},
      {"http://h/a/b.flac#t.ogg", "flac"},
      {"http://h/a.b/c", ""},
      {"http://h/x.toolong", ""},
      {"http://h/x.mp-3", ""},
      {"http://h/x.", ""},
      {"http://h.mp3", ""},
      {"http://h/?q=a.mp3", ""},
      {"http://h/%2e.mp3", "mp3"},
  };
  for (const auto& [url, extension] : addresses) {
    EXPECT_EQ(extension_of_address(url), extension) << url;
  }
  const std::pair<const char*, const char*> types[] = {
      {"Audio/MP4; codecs=x", "m4a"},
      {" audio/flac ", "flac"},
      {"audio/x-wav", "wav"},
      {"audio/mpegx", ""},
      {"", ""},
  };
  for (const auto& [type, extension] : types) {
    EXPECT_EQ(extension_of_content_type(type), extension) << type;
  }
  EXPECT_EQ(saved_file_name({"a", "H", "http://h/x.mp3", "audio/ogg"}, kUtf8), "a.mp3");
}

// The status and the headers that place the body, matched in any case, the first of a repeated
// one, none after the blank line; a malformed value reads as absent.
TEST(AnswerHeadTest, ReadsTheHeadersThatPlaceTheBodyAndMalformedValuesAsAbsent) {
  struct Case {
    const char* block;
    int status;
    std::optional<std::uint64_t> length, first, total;
    bool has_range;
  };
  const Case cases[] = {
      {"HTTP/1.1 206 Partial Content\r\ncontent-LENGTH:  95 \r\nContent-Type: audio/mpeg\r\n"
       "Content-Range: bytes 5-99/100\r\nContent-Length: 7\r\n\r\nContent-Type: after/end\r\n",
       206, 95, 5, 100, true},
      {"HTTP/1.1 416 No\nContent-Range: bytes */42\n", 416, {}, {}, 42, true},
      {"HTTP/1.0 206 P\r\nContent-Range: bytes 0-9/*\r\n", 206, {}, 0, {}, true},
      {"HTTP/1.1 206 P\r\nContent-Range: items 0-9/10\r\n", 206, {}, {}, {}, false},
      {"HTTP/1.1 206 P\r\nContent-Range: bytes 0-9\r\n", 206, {}, {}, {}, false},
      {"HTTP/1.1 206 P\r\nContent-Range: bytes -9/10\r\n", 206, {}, {}, {}, false},
      {"HTTP/1.1 200 OK\r\nContent-Length: -1\r\n", 200, {}, {}, {}, false},
      {"HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n", 200, {}, {}, {}, false},
      {"HTTP/1.1 200 OK\r\nContent-Length: 1e3\r\n", 200, {}, {}, {}, false},
      {"HTTP/1.1 20 OK\r\n", 0, {}, {}, {}, false},
      {"ICY 200 OK\r\nContent-Length: 3\r\n", 0, 3, {}, {}, false},
      {"", 0, {}, {}, {}, false},
  };
  for (const Case& c : cases) {
    const AnswerHead head = read_answer_head(c.block);
    EXPECT_EQ(head.status, c.status) << c.block;
    EXPECT_EQ(head.content_length, c.length) << c.block;
    EXPECT_EQ(head.content_range.has_value(), c.has_range) << c.block;
    if (head.content_range) {
      EXPECT_EQ(head.content_range->first, c.first) << c.block;
      EXPECT_EQ(head.content_range->total, c.total) << c.block;
    }
  }
  EXPECT_EQ(read_answer_head(cases[0].block).content_type, "audio/mpeg");
}

using Words = std::vector<std::string>;

// Split as a shell would, without expanding anything; an unclosed quote or a trailing backslash
// is refused.
TEST(CommandWordsTest, SplitsAsAShellWouldWithoutExpanding) {
  const std::pair<const char*, std::optional<Words>> cases[] = {
      {R"(mpv --volume=50 'a b' "c \"d\"" e\ f)",
       Words{"mpv", "--volume=50", "a b", "c \"d\"", "e f"}},
      {"", Words{}},
      {" \t\n ", Words{}},
      {"  a   b  ", Words{"a", "b"}},
      {"'' \"\"", Words{"", ""}},
      {"a''b", Words{"ab"}},
      {R"('it''s')", Words{"its"}},
      {R"('a\b')", Words{R"(a\b)"}},
      {R"("a\b\$\`\\")", Words{R"(a\b$`\)"}},
      {R"(a\\b)", Words{R"(a\b)"}},
      {"a\\\nb", Words{"ab"}},
      {"a \\\n b", Words{"a", "b"}},
      {"\"x\\\ny\"", Words{"xy"}},
      {"$HOME ~ *.mp3 a;b c|d e&f `g` $(h)",
       Words{"$HOME", "~", "*.mp3", "a;b", "c|d", "e&f", "`g`", "$(h)"}},
      {"\"'\" '\"'", Words{"'", "\""}},
      {"'a", std::nullopt},
      {"\"a", std::nullopt},
      {"a\\", std::nullopt},
      {"\"a\\\"", std::nullopt},
      {"a 'b\" c", std::nullopt},
  };
  for (const auto& [line, expected] : cases) {
    EXPECT_EQ(command_words(line), expected) << line;
  }
}

TEST(PickLineTest, ReadsANumberToPlayDAndANumberToDownloadAndEnterToGoOn) {
  constexpr auto play = PickAction::play, download = PickAction::download;
  const std::pair<const char*, Pick> cases[] = {
      {"", {PickAction::go_on, 0}},
      {" \r", {PickAction::go_on, 0}},
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
      {"99999999999", {}},
      {"\xD6\xD0", {}},
  };
  for (const auto& [line, expected] : cases) {
    EXPECT_EQ(read_pick(line, 5), expected) << '"' << line << '"';
  }
  EXPECT_EQ(read_pick("3", 2), Pick{});
}

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

TEST(ProgressTest, TheLineShowsPercentAndTimeLeftOnlyWhenTheLengthIsKnownInReadableSizes) {
  constexpr std::uint64_t kMiB = 1024 * 1024;
  EXPECT_EQ(progress_text("a.mp3", kMiB, 4 * kMiB, kMiB),
            "a.mp3  1.0 MiB of 4.0 MiB  25%  0:03 left  1.0 MiB/s");
  EXPECT_EQ(progress_text("a.mp3", 1500, std::nullopt, 300), "a.mp3  1.5 KiB  300 B/s");
  EXPECT_EQ(progress_text("a.mp3", 0, 100, 0), "a.mp3  0 B of 100 B  0%");
  EXPECT_EQ(progress_text("a", 7200 * kMiB, 10800 * kMiB, kMiB),
            "a  7.0 GiB of 10.5 GiB  66%  1:00:00 left  1.0 MiB/s");
  EXPECT_EQ(progress_text("a", 200, 100, 10), "a  200 B of 100 B  100%  0:00 left  10 B/s");
  // Sizes step by powers of 1024.
  EXPECT_EQ(readable_size(1023), "1023 B");
  EXPECT_EQ(readable_size(1024), "1.0 KiB");
  EXPECT_EQ(readable_size(UINT64_MAX), "16384.0 PiB");
}

}  // namespace
