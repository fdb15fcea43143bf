#include "protocol/cp1252.h"

#include <gtest/gtest.h>

namespace cv3 {
namespace {

TEST(Cp1252, EveryByteRoundTrips) {
  for (int b = 0; b < 256; ++b) {
    std::string byte(1, static_cast<char>(b));
    std::string utf8 = Cp1252ToUtf8(byte);
    auto back = Utf8ToCp1252(utf8);
    ASSERT_TRUE(back.has_value()) << b;
    EXPECT_EQ(*back, byte) << b;
  }
}

TEST(Cp1252, KnownMappings) {
  EXPECT_EQ(Cp1252ToUtf8("\xB6"), "\xC2\xB6");      // ¶
  EXPECT_EQ(Cp1252ToUtf8("\x80"), "\xE2\x82\xAC");  // €
  EXPECT_EQ(Cp1252ToUtf8("\xE9"), "\xC3\xA9");      // é
  EXPECT_EQ(Cp1252ToCodePoint(0x9F), 0x178u);       // Ÿ
  // Undefined bytes map to the C1 controls of the same value.
  for (int b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) EXPECT_EQ(Cp1252ToCodePoint(b), char32_t(b));
  EXPECT_EQ(CodePointToCp1252(0xB6), 0xB6);
  EXPECT_EQ(CodePointToCp1252(0x20AC), 0x80);
  EXPECT_EQ(CodePointToCp1252(0x80), std::nullopt);  // C1 control with a defined byte elsewhere
}

TEST(Cp1252, CharactersWithoutAByteAreReported) {
  EXPECT_EQ(Utf8ToCp1252("snow\xE2\x98\x83"), std::nullopt);  // ☃
  EXPECT_EQ(Utf8ToCp1252("\xF0\x9F\x98\x80"), std::nullopt);  // an emoji
  EXPECT_EQ(Utf8ToCp1252("bad\xC3"), std::nullopt);           // malformed UTF-8
  EXPECT_EQ(Utf8ToCp1252Lossy("a\xE2\x98\x83z"), "a?z");
  EXPECT_EQ(Utf8ToCp1252Lossy("caf\xC3\xA9"), "caf\xE9");
}

}  // namespace
}  // namespace cv3
