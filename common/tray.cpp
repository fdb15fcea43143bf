#include "common/tray.h"

#include <algorithm>
#include <cmath>

namespace cv3 {

std::string TrayMouseMessageName(long messageNumber) {
  switch (messageNumber) {
    case 513:
      return "LEFTDOWN";
    case 514:
      return "LEFTUP";
    case 515:
      return "LEFTDOUBLE";
    case 516:
      return "RIGHTDOWN";
    case 517:
      return "RIGHTUP";
    case 518:
      return "RIGHTDOUBLE";
    default:
      return {};
  }
}

std::string TrayMouseMessage(double xTwips, double twipsPerPixelX) {
  if (!(twipsPerPixelX > 0)) return {};
  double pixels = std::nearbyint(xTwips / twipsPerPixelX);  // to even, as the form layer rounds
  if (!(std::fabs(pixels) < 1e9)) return {};
  return TrayMouseMessageName(static_cast<long>(pixels));
}

std::array<char, kTrayTipField> TrayTipField(std::string_view tipBytes) {
  std::array<char, kTrayTipField> field;
  field.fill(' ');
  size_t length = std::min(tipBytes.size(), kTrayTipField - 1);
  tipBytes.copy(field.data(), length);
  field[length] = '\0';
  return field;
}

}  // namespace cv3
