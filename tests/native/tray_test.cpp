#include "common/tray.h"

#include <gtest/gtest.h>

namespace cv3 {
namespace {

TEST(TrayMouseMessage, MapsTheSixMouseMessages) {
  const std::pair<long, const char*> table[] = {{513, "LEFTDOWN"},   {514, "LEFTUP"},
                                                {515, "LEFTDOUBLE"}, {516, "RIGHTDOWN"},
                                                {517, "RIGHTUP"},    {518, "RIGHTDOUBLE"}};
  for (auto [number, name] : table) {
    EXPECT_EQ(TrayMouseMessage(number * 15.0, 15.0), name) << number;
    EXPECT_EQ(TrayMouseMessageName(number), name);
  }
}

TEST(TrayMouseMessage, OtherNumbersGiveTheEmptyText) {
  EXPECT_EQ(TrayMouseMessage(512 * 15.0, 15.0), "");
  EXPECT_EQ(TrayMouseMessage(519 * 15.0, 15.0), "");
  EXPECT_EQ(TrayMouseMessage(0, 15.0), "");
  EXPECT_EQ(TrayMouseMessage(515 * 15.0, 0), "");
  EXPECT_EQ(TrayMouseMessageName(-515), "");
}

TEST(TrayMouseMessage, RoundsToTheNearestPixelAtAnyScale) {
  EXPECT_EQ(TrayMouseMessage(515 * 15.0 + 7, 15.0), "LEFTDOUBLE");
  EXPECT_EQ(TrayMouseMessage(515 * 15.0 - 7, 15.0), "LEFTDOUBLE");
  EXPECT_EQ(TrayMouseMessage(515 * 15.0 + 8, 15.0), "RIGHTDOWN");
  EXPECT_EQ(TrayMouseMessage(517 * 7.5, 7.5), "RIGHTUP");    // 200 %
  EXPECT_EQ(TrayMouseMessage(517 * 10.0, 10.0), "RIGHTUP");  // 150 %
}

TEST(TrayTipField, ShortTipIsZeroTerminatedAndPaddedWithSpaces) {
  auto field = TrayTipField("Corvane 3.0 BETA");
  EXPECT_EQ(std::string(field.data(), 16), "Corvane 3.0 BETA");
  EXPECT_EQ(field[16], '\0');
  EXPECT_EQ(field[17], ' ');
  EXPECT_EQ(field[63], ' ');
}

TEST(TrayTipField, A63ByteTipFitsAndALongerOneIsCutSoTheZeroStillFits) {
  std::string tip63(63, 'x');
  auto field = TrayTipField(tip63);
  EXPECT_EQ(std::string(field.data(), 63), tip63);
  EXPECT_EQ(field[63], '\0');
  auto cut = TrayTipField(std::string(64, 'y') + "zzz");
  EXPECT_EQ(std::string(cut.data(), 63), std::string(63, 'y'));
  EXPECT_EQ(cut[63], '\0');
}

}  // namespace
}  // namespace cv3
