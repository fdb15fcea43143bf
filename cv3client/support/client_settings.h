// The catalogue of the client's settings: every value the client keeps in the registry, with its
// key, name, type and the state the preferences window shows while it is missing, and the
// reading rules every reader shares (a flag is on only at 1, a missing text is empty, a missing
// SlowCPU is the tiled look). No other list of setting names exists: every reader and writer names
// a value through its entry here. Any part of the client may call these; they read afresh on
// every call.
#pragma once

#include <string>
#include <string_view>

#include "common/registry.h"
#include "common/tls_trust.h"

namespace cv3::settings {

inline constexpr std::string_view kClientKey = "HKEY_CURRENT_USER\\Software\\Corvane";
// Starting with Windows goes under the current user's Run key: a normal user may write it, where
// the machine-wide one refuses him and the box would show checked with nothing to start.
inline constexpr std::string_view kRunKey =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

enum class SettingType {
  kFlag,  // DWORD, 0 off and 1 on
  kText,
};

struct Setting {
  std::string_view key;
  std::string_view name;
  SettingType type;
  // For a setting the preferences window shows as a check box: its state while the value is
  // missing. Readers elsewhere treat a missing flag as off.
  bool boxInitiallyChecked = false;
  // A text longer than this reads as missing.
  size_t readBytes = Registry::kStringBufferBytes;
  // The value's name, so an entry can name itself to the registry under its key.
  constexpr operator std::string_view() const { return name; }
};

using enum SettingType;

inline constexpr Setting kSlowCpu{kClientKey, "SlowCPU", kFlag, false};
inline constexpr Setting kBuffLobby{kClientKey, "BuffLobby", kFlag, true};
inline constexpr Setting kBuffPrivates{kClientKey, "BuffPrivates", kFlag, true};
inline constexpr Setting kAutoLogin{kClientKey, "AutoLogin", kFlag, false};
inline constexpr Setting kRememberLogin{kClientKey, "RememberLogin", kFlag, false};
inline constexpr Setting kUsername{kClientKey, "Username", kText};
// The remembered password digest (32 upper-case hexadecimal digits), never the password.
inline constexpr Setting kPassword{kClientKey, "Password", kText};
inline constexpr Setting kFlashInactive{kClientKey, "FlashInactive", kFlag, true};
inline constexpr Setting kPopupLobbyOnMsg{kClientKey, "PopupLobbyOnMsg", kFlag, true};
inline constexpr Setting kPopupPrivateOnMsg{kClientKey, "PopupPrivateOnMsg", kFlag, true};
inline constexpr Setting kPlaySoundOnMsg{kClientKey, "PlaySoundOnMsg", kFlag, true};
// The lobby server's host and port, texts as typed; the preferences show "Error" when missing.
inline constexpr Setting kCvAddress{kClientKey, "CvAddress", kText};
inline constexpr Setting kCvPort{kClientKey, "CvPort", kText};
inline constexpr Setting kReconnect{kClientKey, "Reconnect", kFlag, true};
// 1 wraps the lobby connection in TLS; missing is plain text, as before the setting existed.
inline constexpr Setting kCvTls{kClientKey, "CvTls", kFlag, false};
// The base64 SHA-256 of the server's public key ("pin-sha256"): with it the key must match and
// the certificate chain is not required. The client never writes it; the installer's /PIN= may.
inline constexpr Setting kCvTlsPin{kClientKey, "CvTlsPin", kText};
// Pilot names, each followed by ","; missing is the empty list. Read whole, well past the usual
// 255 bytes: a list that read as missing would be written over by the next name ignored.
inline constexpr Setting kIgnored{kClientKey, "Ignored", kText, false, 64 * 1024};
// 1 after the game once took the wrong service provider: the launcher then removes one entry of
// the provider list instead of three.
inline constexpr Setting kAltLaunch{kClientKey, "AltLaunch", kFlag, false};
// The community web site's root ("http://host[:port][/path]") whose pages Help, FAQ, About's
// link and the new-version message open. The client never writes it; the installer's /SITE=
// switch may. Missing, empty or refused, it is the usual site (WebSiteRoot).
inline constexpr Setting kCvWebSite{kClientKey, "CvWebSite", kText};
// The program's path while starting with Windows, the empty text when not (never deleted).
inline constexpr Setting kStartWithWindows{kRunKey, "CV30", kText, true};

inline constexpr Setting kCatalogue[] = {
    kSlowCpu,        kBuffLobby, kBuffPrivates,  kAutoLogin,       kRememberLogin,
    kUsername,       kPassword,  kFlashInactive, kPopupLobbyOnMsg, kPopupPrivateOnMsg,
    kPlaySoundOnMsg, kCvAddress, kCvPort,        kCvTls,           kCvTlsPin,
    kReconnect,      kIgnored,   kAltLaunch,     kCvWebSite,       kStartWithWindows};

// A flag is on only when it holds the number 1; missing or anything else is off.
bool FlagIsOn(Registry& registry, const Setting& flag);
// The text of a value; a missing one (the marker "Error") is the empty text.
std::string TextOrEmpty(Registry& registry, const Setting& text);
// SlowCPU 1 asks for the plain look. A missing value counts as 0 (the tiled look) everywhere, so
// the window and the roster never disagree on a fresh installation.
bool PlainLook(Registry& registry);
// How the lobby connection is made: "CvTls" and "CvTlsPin", read afresh for every connection
// (a reconnect too).
TlsOptions ConnectionSecurity(Registry& registry);

// Reads and writes of one entry under its own key; failures as the registry has them.
DWordValue ReadFlag(Registry& registry, const Setting& flag);
std::string ReadText(Registry& registry, const Setting& text);
void WriteFlag(Registry& registry, const Setting& flag, bool on);
void WriteText(Registry& registry, const Setting& text, std::string_view value);

}  // namespace cv3::settings
