#include "protocol/md5.h"

#include <gtest/gtest.h>

#include <fstream>

namespace cv3 {
namespace {

TEST(clsMD5, Rfc1321SuiteInCapitals) {
  clsMD5 md5;
  const std::pair<const char*, const char*> suite[] = {
      {"", "D41D8CD98F00B204E9800998ECF8427E"},
      {"a", "0CC175B9C0F1B6A831C399E269772661"},
      {"abc", "900150983CD24FB0D6963F7D28E17F72"},
      {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
      {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "D174AB98D277D9F5A5611C2C9F419D9F"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57EDF4A22BE3C955AC49DA2E2107B67A"},
  };
  for (auto [text, digest] : suite) EXPECT_EQ(md5.DigestStrToHexStr(text), digest) << text;
}

TEST(clsMD5, EveryLengthMatchesTheReference) {
  std::ifstream fixtures(CV3_FIXTURES "/md5_lengths.txt");
  ASSERT_TRUE(fixtures) << "missing fixtures";
  const std::string pattern = "The quick brown fox jumps over the lazy dog 0123456789. ";
  clsMD5 md5;
  size_t length;
  std::string digest;
  int checked = 0;
  while (fixtures >> length >> digest) {
    std::string text;
    while (text.size() < length) text += pattern;
    text.resize(length);
    EXPECT_EQ(md5.DigestStrToHexStr(text), digest) << length;
    ++checked;
  }
  EXPECT_EQ(checked, 16);
}

TEST(clsMD5, TextIsDigestedAsWindows1252Bytes) {
  clsMD5 md5;
  // "é" is the single byte 0xE9, not its UTF-8 form.
  EXPECT_EQ(md5.DigestStrToHexStr("\xC3\xA9"), md5.DigestBytesToHexStr("\xE9"));
  EXPECT_NE(md5.DigestStrToHexStr("\xC3\xA9"), md5.DigestBytesToHexStr("\xC3\xA9"));
  EXPECT_EQ(md5.DigestStrToHexStr("\xC3\xA9"), "3406877694691DDD1DFB0ACA54681407");
  // A character without a byte is refused, not folded.
  EXPECT_EQ(md5.DigestStrToHexStr("\xE2\x98\x83"), std::nullopt);
}

TEST(clsMD5, CallsDoNotInfluenceEachOther) {
  clsMD5 md5;
  auto first = md5.DigestStrToHexStr("password");
  md5.DigestStrToHexStr("something else entirely");
  EXPECT_EQ(md5.DigestStrToHexStr("password"), first);
  EXPECT_EQ(first, "5F4DCC3B5AA765D61D8327DEB882CF99");
}

TEST(clsMD5, PiecewiseUpdatesEqualOneUpdate) {
  clsMD5 md5;
  std::string text(200, 'q');
  md5.MD5Init();
  auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  md5.MD5Update(3, bytes);
  md5.MD5Update(70, bytes + 3);
  md5.MD5Update(0, bytes + 73);
  md5.MD5Update(127, bytes + 73);
  md5.MD5Final();
  EXPECT_EQ(md5.GetValues(), md5.DigestBytesToHexStr(text));
}

TEST(clsMD5, LongLeftRotate) {
  EXPECT_EQ(clsMD5::LongLeftRotate(0x80000001u, 1), 0x00000003u);
  EXPECT_EQ(clsMD5::LongLeftRotate(0x12345678u, 0), 0x12345678u);
  EXPECT_EQ(clsMD5::LongLeftRotate(0x12345678u, 32), 0x12345678u);
  EXPECT_EQ(clsMD5::LongLeftRotate(0x12345678u, 36), 0x23456781u);
}

}  // namespace
}  // namespace cv3
