// The client's own settings under "HKEY_CURRENT_USER\Software\Corvane": the key, the value
// names, and the reading rules every reader shares (a missing text is empty, a missing SlowCPU is
// the tiled look). Any part of the client may call these; they read afresh on every call.
#pragma once

#include <string>
#include <string_view>

#include "common/registry.h"

namespace cv3::settings {

inline constexpr std::string_view kClientKey = "HKEY_CURRENT_USER\\Software\\Corvane";

inline constexpr std::string_view kSlowCpu = "SlowCPU";
inline constexpr std::string_view kBuffLobby = "BuffLobby";
inline constexpr std::string_view kBuffPrivates = "BuffPrivates";
inline constexpr std::string_view kPopupLobbyOnMsg = "PopupLobbyOnMsg";
inline constexpr std::string_view kPopupPrivateOnMsg = "PopupPrivateOnMsg";
inline constexpr std::string_view kFlashInactive = "FlashInactive";
inline constexpr std::string_view kPlaySoundOnMsg = "PlaySoundOnMsg";
inline constexpr std::string_view kAutoLogin = "AutoLogin";
inline constexpr std::string_view kRememberLogin = "RememberLogin";
inline constexpr std::string_view kUsername = "Username";
inline constexpr std::string_view kPassword = "Password";
inline constexpr std::string_view kCvAddress = "CvAddress";
inline constexpr std::string_view kCvPort = "CvPort";
inline constexpr std::string_view kReconnect = "Reconnect";
inline constexpr std::string_view kIgnored = "Ignored";
// 1 after the game once took the wrong service provider: the launcher then removes one entry of
// the provider list instead of three.
inline constexpr std::string_view kAltLaunch = "AltLaunch";

// A flag is on only when it holds the number 1; missing or anything else is off.
bool FlagIsOn(Registry& registry, std::string_view name);
// The text of a value; a missing one (the marker "Error") is the empty text.
std::string TextOrEmpty(Registry& registry, std::string_view name);
// SlowCPU 1 asks for the plain look. A missing value counts as 0 (the tiled look) everywhere, so
// the window and the roster never disagree on a fresh installation.
bool PlainLook(Registry& registry);

}  // namespace cv3::settings
