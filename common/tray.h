// The tray icon's portable part (modSystray): what its mouse notifications mean and the tip
// field of the notification record. Both programs' windows call these; the Shell_NotifyIcon
// calls themselves are win32/tray_win32's, which lays out its tip with TrayTipField.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace cv3 {

// The notification's mouse message number arrives in its lParam, where a mouse move carries its
// x coordinate: x in twips divided by the twips per pixel, rounded. Gives "LEFTDOWN", "LEFTUP",
// "LEFTDOUBLE", "RIGHTDOWN", "RIGHTUP", "RIGHTDOUBLE", or the empty text for anything else.
std::string TrayMouseMessage(double xTwips, double twipsPerPixelX);
// The same for the message number itself (513 to 518), as a tray that reports it directly gives.
std::string TrayMouseMessageName(long messageNumber);

inline constexpr size_t kTrayTipField = 64;
// The 64-byte tip field: the tip's bytes, a terminating zero, the rest spaces. A tip too long for
// the field is cut to 63 bytes so the zero always fits.
std::array<char, kTrayTipField> TrayTipField(std::string_view tipBytes);

}  // namespace cv3
