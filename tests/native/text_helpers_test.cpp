#include "protocol/text_helpers.h"

#include <gtest/gtest.h>

namespace cv3 {
namespace {

TEST(TextHelpers, BeforeAndAfterTheFirstDelimiter) {
  EXPECT_EQ(TextBefore("bob:away:back", ":"), "bob");
  EXPECT_EQ(TextAfter("bob:away:back", ":"), "away:back");
  EXPECT_EQ(TextBefore("bob", ":"), "");
  EXPECT_EQ(TextAfter("bob", ":"), "bob");
  EXPECT_EQ(TextBefore(":x", ":"), "");
  EXPECT_EQ(TextAfter("x:", ":"), "");
  // Together they lose only the delimiter.
  std::string text = "a:b:c";
  EXPECT_EQ(TextBefore(text, ":") + ":" + TextAfter(text, ":"), text);
}

TEST(TextHelpers, SafeNameRefusesEveryReservedCharacter) {
  EXPECT_TRUE(IsSafeName("wexdorfupa"));
  EXPECT_TRUE(IsSafeName("p\xC3\xA9ter_1-2.3@x"));
  EXPECT_TRUE(IsSafeName(""));
  for (std::string bad : {"a(b", "a)b", "a:b", "a\"b", "a b",
                          "a\xC2\xB6"
                          "b",
                          "a\x7F"
                          "b",
                          "a\xC2\xA0"
                          "b"}) {
    EXPECT_FALSE(IsSafeName(bad)) << bad;
  }
}

TEST(TextHelpers, SafeTextAllowsSpacesAndBrackets) {
  EXPECT_TRUE(IsSafeText("back in 5 (really) \"promise\""));
  for (std::string bad : {"a:b", "\xC2\xB6", "\x7F", "\xC2\xA0"}) {
    EXPECT_FALSE(IsSafeText(bad)) << bad;
  }
}

TEST(TextHelpers, ParagraphSignCarriesLineBreaks) {
  EXPECT_EQ(LineBreaksToParagraphs("one\r\ntwo\nthree"), "one\xC2\xB6two\xC2\xB6three");
  EXPECT_EQ(ParagraphsToLineBreaks("one\xC2\xB6two\xC2\xB6\xC2\xB6"), "one\r\ntwo\r\n\r\n");
  EXPECT_EQ(ParagraphsToLineBreaks(LineBreaksToParagraphs("a\r\nb")), "a\r\nb");
}

TEST(TextHelpers, SameNameIgnoresCase) {
  EXPECT_TRUE(SameName("Alice", "aLICE"));
  EXPECT_TRUE(SameName("\xC3\x89lise", "\xC3\xA9LISE"));  // Élise
  EXPECT_FALSE(SameName("bob", "bobby"));
  EXPECT_FALSE(SameName("bob", ""));
}

}  // namespace
}  // namespace cv3
