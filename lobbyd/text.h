// Small text rules of the server: name keys for case-insensitive lookups, digest and version
// checks, date texts. UTF-8 in and out; pure functions.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/text_helpers.h"

namespace lobbyd {

// The lookup key of an ID or game name: two names have the same key exactly when
// cv3::SameName holds for them (ASCII and the Latin-1 letters of Windows-1252 folded).
std::string NameKey(std::string_view name);

// The lookup key of a game name: trimmed, then as NameKey, so "Arena" and " arena" clash.
std::string GameKey(std::string_view name);

// Trimming and counting as the client does it.
using cv3::CharacterCount;
using cv3::TrimSpaces;

// Any character below U+0020 (a lone CR or LF, NUL, tab...).
bool HasControlCharacters(std::string_view text);

// A character that shows as nothing, or as a plain space: the controls, DEL and the C1 range
// (U+007F to U+009F), the no-break space and the soft hyphen. A name holding one could pass for
// another name ("pi\u00ADlot" shows as "pilot") or show as nothing at all.
bool HasHiddenCharacters(std::string_view text);

// The least characters a new ID has, trimmed, as the client counts them.
inline constexpr unsigned kShortestId = 3;
// What the client says of a field it will not send; the server says it of a field it refuses.
inline constexpr std::string_view kDisallowedCharacters =
    "One of your fields contains disallowed punctuation or letters!";

// Why `id` cannot be a new account's ID (at account creation and for the operator alike), as the
// text to tell the pilot; empty text when it can. Beyond the client's own checks: Windows-1252
// must hold every character (else the ID could never be typed in), no hidden characters, no ","
// (the client keeps lists of IDs with commas between them) and not "l0bby" in any letter case,
// which names the lobby chat in the client. IDs made before these rules keep working.
std::string NewIdProblem(std::string_view id, unsigned maxLength);

// 32 upper-case hexadecimal digits: the password digest the client sends.
bool IsPasswordDigest(std::string_view text);

// True when `reported` (decimal digits) is a lower version than `current`. Nothing when the
// report is not made of digits.
std::optional<bool> VersionIsLower(std::string_view reported, unsigned current);

// "2024-05-01" and "2024-05-01 13:45 UTC".
std::string DateText(std::chrono::system_clock::time_point when);
std::string DateTimeText(std::chrono::system_clock::time_point when);

}  // namespace lobbyd
