#include "runtime/text_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/text_blocks.h"

namespace {

// GBK bytes spelled out, so that each case shows where characters start.
constexpr std::string_view kAh = "\xB0\xA1";              // one double-byte character
constexpr std::string_view kFullWidthSpace = "\xA1\xA1";  // the full-width space

std::vector<std::string> elements_of(const ValueArray& array) {
  std::vector<std::string> elements;
  for (std::uint32_t i = 1; i <= array.count(); ++i) {
    const std::string_view element = array.text_at(static_cast<std::int32_t>(i));
    elements.push_back(element.empty() ? "<null>" : std::string(element));
  }
  return elements;
}

using Pieces = std::vector<std::string>;

// The text's bytes, or "<null>" for the null text.
std::string s(const Text& text) {
  return text.is_null() ? "<null>" : std::string(text.view());
}

TEST(TextCutTest, LeftRightAndMidKeepToTheirBounds) {
  EXPECT_TRUE(text_left("", 3).is_null());
  EXPECT_TRUE(text_left("abc", 0).is_null());
  EXPECT_EQ(s(text_left("abc", 2)), "ab");
  EXPECT_EQ(s(text_left("abc", 9)), "abc");
  EXPECT_TRUE(text_right("abc", -1).is_null());
  EXPECT_EQ(s(text_right("abc", 2)), "bc");
  EXPECT_EQ(s(text_mid("abcd", 4, 5)), "d");
  EXPECT_TRUE(text_mid("abcd", 5, 1).is_null());
  EXPECT_TRUE(text_mid("abcd", 0, 1).is_null());
  EXPECT_EQ(s(text_mid("abcd", 2, 0x7FFFFFFF)), "bcd");
  // Cutting by position may split a double-byte character.
  EXPECT_EQ(s(text_left(kAh, 1)), "\xB0");
}

TEST(TextFindTest, StartAndLengthBounds) {
  EXPECT_EQ(text_find("abcd", "cd"), 3);
  EXPECT_EQ(text_find("abcd", "cd", 3), 3);
  EXPECT_EQ(text_find("abcd", "cd", 4), -1) << "start leaves too few bytes";
  EXPECT_EQ(text_find("abab", "ab", 0), 1) << "a start below 1 reads as 1";
  EXPECT_EQ(text_find("", "a"), -1);
  EXPECT_EQ(text_find("abc", ""), -1);
}

TEST(TextFindTest, MatchesOnlyStartOnCharacters) {
  const std::string two_ah = std::string(kAh) + std::string(kAh);
  EXPECT_EQ(text_find(two_ah, "\xA1\xB0"), -1) << "a match across two characters";
  EXPECT_EQ(text_find(two_ah, kAh, 3), 3);
  // The second byte of a double-byte character may look like ASCII.
  EXPECT_EQ(text_find("\x81\x41\x41", "A"), 3);
  EXPECT_EQ(text_find("\x81|x|", "|"), 4);
  // Whether a byte starts a character depends on the parity of the lead-range run before it;
  // runs longer than eight bytes are counted by words.
  EXPECT_EQ(text_find(std::string(3, '\xB0') + "x", "x"), -1);
  EXPECT_EQ(text_find(std::string(2, '\xB0') + "x", "x"), 3);
  EXPECT_EQ(text_find(std::string(17, '\xB0') + "xx", "x"), 19);
  EXPECT_EQ(text_find("a" + std::string(20, '\xB0') + "x", "x"), 22);
  EXPECT_EQ(text_find(std::string(10, 'a') + std::string(3, '\xB0') + "x", "x"), -1);
  EXPECT_EQ(text_find(std::string(10, 'a') + std::string(2, '\xB0') + "x", "x"), 13);
  // A given start is scanned as a character start, even on a second byte.
  EXPECT_EQ(text_find(std::string(kAh) + "\xA1", "\xA1", 2), 2);
  EXPECT_EQ(text_find(two_ah, kAh, 2), -1);
}

TEST(TextFindTest, TextEndingInALoneLeadByte) {
  EXPECT_EQ(text_find("ab\xB0", "\xB0"), 3);
  EXPECT_EQ(text_find("a\xB0", "a", 2), -1);
  EXPECT_EQ(text_find("a\xB0", "\xB0\x41", 1, LetterCase::folded), -1);
}

TEST(TextFindTest, FoldedLettersButNeverFoldedSecondBytes) {
  EXPECT_EQ(text_find("Hello World", "WORLD"), -1);
  EXPECT_EQ(text_find("Hello World", "WORLD", 1, LetterCase::folded), 7);
  EXPECT_EQ(text_find("\x81\x61", "\x81\x41", 1, LetterCase::folded), -1);
  EXPECT_EQ(text_find("\x81\x41"
                      "a",
                      "A", 1, LetterCase::folded),
            3);
  EXPECT_EQ(text_find(std::string(kAh) + "Ab", std::string(kAh) + "aB", 1, LetterCase::folded), 1);
}

TEST(TextReplaceTest, StartCountAndCase) {
  EXPECT_EQ(s(text_replace("aAa", "a", "b")), "bbb") << "letters fold unless told exact";
  EXPECT_EQ(s(text_replace("aAa", "a", "b", {}, {}, LetterCase::exact)), "bAb");
  EXPECT_EQ(s(text_replace("aaaa", "a", "b", 2, 2)), "abba");
  EXPECT_EQ(s(text_replace("abab", "ab", "x", 0)), "abab") << "a given start of 0 copies";
  EXPECT_EQ(s(text_replace("abab", "ab", "x", 4)), "abab") << "start leaves too few bytes";
  EXPECT_EQ(s(text_replace("abab", "ab", "x", 3)), "abx");
  EXPECT_EQ(s(text_replace("abab", "ab", "x", 1, 0)), "abab");
  EXPECT_EQ(s(text_replace("a-b-c", "-")), "abc") << "no replacement removes";
  EXPECT_EQ(s(text_replace("a,b,c", ",", "--")), "a--b--c");
}

TEST(TextReplaceTest, EmptyAndUnchangedResults) {
  EXPECT_TRUE(text_replace("", "a", "b").is_null());
  EXPECT_EQ(s(text_replace("abc", "", "b")), "abc");
  EXPECT_EQ(s(text_replace("abc", "x", "yy")), "abc");
  Text nothing_left = text_replace("abab", "ab");
  EXPECT_FALSE(nothing_left.is_null()) << "replaced entirely by nothing is a non-null empty text";
  EXPECT_EQ(nothing_left.view(), "");
}

TEST(TextReplaceTest, RespectsCharacters) {
  const std::string text = std::string(kAh) + "a" + std::string(kAh);
  EXPECT_EQ(s(text_replace(text, "\xA1\x61", "x")), text);
  EXPECT_EQ(s(text_replace(text, kAh, "[]")), "[]a[]");
  EXPECT_EQ(s(text_replace("\x81\x41", "a", "x")), "\x81\x41");
  EXPECT_EQ(s(text_replace("a\xB0", "\xB0", "!")), "a!");
}

TEST(TextReplaceTest, ManyMatchesAgreeWithAPlainRebuild) {
  std::string text, shrunk, grown;
  for (int i = 0; i < 5000; ++i) {
    text += std::string(kAh) + "x,y" + std::to_string(i);
    shrunk += "@x,y" + std::to_string(i);
    grown += "<long replacement>x,y" + std::to_string(i);
  }
  EXPECT_EQ(s(text_replace(text, kAh, "@")), shrunk);
  EXPECT_EQ(s(text_replace(text, kAh, "<long replacement>")), grown);
}

TEST(TextReplaceDeathTest, ResultBeyondTheLengthLimitReportsOutOfMemory) {
  const std::string text(65536, 'a');
  const std::string replacement(40000, 'b');  // 2.6 GB in all
  EXPECT_EXIT((void)text_replace(text, "a", replacement), testing::ExitedWithCode(0),
              "error: \xE5\x86\x85\xE5\xAD\x98\xE4\xB8\x8D\xE8\xB6\xB3");
}

TEST(TextSplitTest, PiecesSeparatorsAndMaximum) {
  EXPECT_EQ(elements_of(text_split("a,b,")), (Pieces{"a", "b"}));
  EXPECT_EQ(elements_of(text_split(",a")), (Pieces{"<null>", "a"}));
  EXPECT_EQ(elements_of(text_split("a,,b")), (Pieces{"a", "<null>", "b"}));
  EXPECT_EQ(elements_of(text_split("a,b,c", ",", 1)), (Pieces{"a"}));
  EXPECT_EQ(elements_of(text_split("abc", ",", 1)), (Pieces{"abc"}));
  EXPECT_EQ(elements_of(text_split("k: v\r\nx: y\r\n", "\r\n")), (Pieces{"k: v", "x: y"}));
  EXPECT_EQ(elements_of(text_split("a,b", "")), (Pieces{"a,b"}));
}

TEST(TextSplitTest, NoElementsIsStillAnArray) {
  const auto expect_no_elements = [](const ValueArray& array) {
    EXPECT_NE(array.get(), nullptr);
    EXPECT_EQ(array.count(), 0u);
  };
  expect_no_elements(text_split(""));
  expect_no_elements(text_split("a,b", ",", 0));
  expect_no_elements(text_split("a", ",", -3));
}

TEST(TextSplitTest, RespectsCharacters) {
  const std::string text = "x" + std::string(kAh) + "y" + std::string(kAh);
  EXPECT_EQ(elements_of(text_split(text, kAh)), (Pieces{"x", "y"}));
  EXPECT_EQ(elements_of(text_split("\xB0|x|y", "|")), (Pieces{"\xB0|x", "y"}));
  EXPECT_EQ(elements_of(text_split("a,\xB0")), (Pieces{"a", "\xB0"}));
  EXPECT_EQ(elements_of(text_split("a\xB0", "\xB0,")), (Pieces{"a\xB0"}));
}

TEST(TextSpacesTest, TrimRemovesBothKindsAtTheEnds) {
  const std::string wide = std::string(kFullWidthSpace);
  EXPECT_EQ(s(text_trim("  a b  ")), "a b");
  EXPECT_EQ(s(text_trim(wide + " a" + wide + "b " + wide + wide)), "a" + wide + "b");
  EXPECT_TRUE(text_trim(" " + wide + " ").is_null());
  EXPECT_TRUE(text_trim("").is_null());
  // 0xA1 0xA1 at the end is a space only where a character starts at the first 0xA1.
  EXPECT_EQ(s(text_trim("\xB0\xA1\xA1")), "\xB0\xA1\xA1");
  EXPECT_EQ(s(text_trim("\xB0\xA1\xA1\xA1")), "\xB0\xA1");
}

TEST(TextSpacesTest, RemoveSpacesEverywhere) {
  const std::string wide = std::string(kFullWidthSpace);
  EXPECT_EQ(s(text_remove_spaces(" a b" + wide + "c " + std::string(kAh) + wide)),
            "abc" + std::string(kAh));
  EXPECT_TRUE(text_remove_spaces(wide + "  ").is_null());
  EXPECT_EQ(s(text_remove_spaces("a \xA1")), "a\xA1");
  EXPECT_EQ(s(text_spaces(3)), "   ");
  EXPECT_TRUE(text_spaces(0).is_null());
}

// No second byte is below 0x40, so a lead byte before a line end, most punctuation or a digit
// stands alone, and every scanning command steps on to that byte as a character of its own.
// 0x80 and 0xFF are characters of their own in code page 936 and may end a line.
TEST(TextScanTest, ALeadByteBeforeAByteThatCannotFollowItStandsAlone) {
  struct Find {
    std::string text, sought;
    std::int32_t found;
  };
  for (const Find& find : {
           Find{"OK\x80\r\nLocation: /x", "\r\n", 4},
           Find{"OK\xFF\r\n", "\r\n", 4},
           Find{"\x81"
                "1",
                "1", 2},
           Find{"\xB0,x,", ",", 2},
           Find{std::string(9, '\xB0') + "\r\n", "\r\n", 10},
           Find{"a" + std::string(17, '\xB0') + ";", ";", 19},
           Find{"\x81@x", "@", -1},  // 0x40 is the smallest second byte
           Find{"\x81"
                "1"
                "\x81\x41",
                "A", -1},
       }) {
    EXPECT_EQ(text_find(find.text, find.sought), find.found) << find.text;
    EXPECT_EQ(text_find(find.text, find.sought, 1, LetterCase::folded), find.found) << find.text;
  }
  EXPECT_EQ(elements_of(text_split("200 OK\x80\r\nLocation: /x\r\n", "\r\n")),
            (Pieces{"200 OK\x80", "Location: /x"}));
  EXPECT_EQ(s(text_replace("\x80,\xFF,", ",", ";")), "\x80;\xFF;");
  EXPECT_EQ(s(text_trim("x\xB0 ")), "x\xB0");
  EXPECT_EQ(s(text_remove_spaces("\xB0 x")), "\xB0x");
}

TEST(TextCompareTest, ExactOrderIsByUnsignedBytes) {
  EXPECT_EQ(text_compare("\xB0", "a", LetterCase::exact), 1);
  EXPECT_EQ(text_compare("ab", "a", LetterCase::exact), 1);
  EXPECT_EQ(text_compare("a", "A", LetterCase::exact), 1);
  EXPECT_EQ(text_order(std::string_view(), ""), 0);
  EXPECT_EQ(text_order("abc", "abd"), -1);
}

TEST(TextCompareTest, FoldedOrderGivesTheDifferenceOfLowerCaseBytes) {
  EXPECT_EQ(text_compare("Hello", "hELLO", LetterCase::folded), 0);
  EXPECT_EQ(text_compare("a", "C", LetterCase::folded), 'a' - 'c');
  EXPECT_EQ(text_compare("_", "A", LetterCase::folded), '_' - 'a');
  EXPECT_EQ(text_compare("ab", "A", LetterCase::folded), 'b');
  EXPECT_NE(text_compare("\x81\x41", "\x81\x61", LetterCase::folded), 0);
}

TEST(TextConcatTest, EmptyPiecesStillGiveAText) {
  Text joined = text_concat({"", std::string_view()});
  EXPECT_FALSE(joined.is_null());
  EXPECT_EQ(joined.view(), "");
  EXPECT_EQ(s(text_concat({"a", "", std::string_view(kAh)})), "a\xB0\xA1");
}

TEST(TextConcatDeathTest, ResultBeyondTheLengthLimitReportsOutOfMemory) {
  // The pieces are measured before anything is read, so a piece that only claims its length
  // is enough.
  static const char kByte = 'x';
  const std::string_view huge(&kByte, std::size_t{1} << 31);
  EXPECT_EXIT((void)text_concat({huge, huge}), testing::ExitedWithCode(0),
              "error: \xE5\x86\x85\xE5\xAD\x98\xE4\xB8\x8D\xE8\xB6\xB3");
}

}  // namespace
