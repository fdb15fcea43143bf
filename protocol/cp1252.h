// Windows-1252 <-> UTF-8 codec: the wire, MD5 input, the registry and the game's dialogs take
// one byte per character; inside the programs text is UTF-8. Pure functions, any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace cv3 {

// Code point of one Windows-1252 byte. Every byte has one: the five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same value, as Windows
// does.
char32_t Cp1252ToCodePoint(unsigned char byte);

// The byte for a code point, or nothing when Windows-1252 has none.
std::optional<unsigned char> CodePointToCp1252(char32_t codePoint);

// Windows-1252 bytes to UTF-8. Never fails.
std::string Cp1252ToUtf8(std::string_view bytes);

// UTF-8 to Windows-1252. Nothing when a character has no byte (or the UTF-8 is malformed), so
// the caller can refuse the text rather than fold it silently.
std::optional<std::string> Utf8ToCp1252(std::string_view text);

// As Utf8ToCp1252, but a character without a byte becomes "?", the way the platform's own
// conversion renders it. For text that must go somewhere anyway (a chat line, a registry value).
std::string Utf8ToCp1252Lossy(std::string_view text);

// Decodes one UTF-8 sequence at text[pos]; advances pos. Malformed input yields U+FFFD and
// advances one byte.
char32_t NextCodePoint(std::string_view text, size_t& pos);

// Appends the UTF-8 form of a code point.
void AppendUtf8(std::string& out, char32_t codePoint);

}  // namespace cv3
