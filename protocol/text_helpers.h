// Cutting protocol fields and keeping reserved characters out of user input. UTF-8 text.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cv3 {

// Without leading and trailing spaces (only the space character).
std::string_view TrimSpaces(std::string_view text);
// Number of characters (code points) of UTF-8 text.
size_t CharacterCount(std::string_view text);

// The text before the first delimiter; empty when there is none.
std::string TextBefore(std::string_view text, std::string_view delimiter);
// The text after the first delimiter; the whole text when there is none.
std::string TextAfter(std::string_view text, std::string_view delimiter);
// Cuts argument text into exactly `count` fields at `separator`; the last takes the rest and may
// hold it. Nothing when there are fewer than count - 1 separators.
std::optional<std::vector<std::string>> SplitFields(std::string_view args, size_t count,
                                                    char separator = ':');

// No "(", ")", ":", double quote, space, "¶", DEL or no-break space: an ID, password, e-mail
// address or a field of a hosted game.
bool IsSafeName(std::string_view text);
// No ":", "¶", DEL or no-break space: free text that travels as a field.
bool IsSafeText(std::string_view text);

// Line breaks inside a field travel as "¶". CR LF (and a lone LF) become "¶" on the way out;
// each "¶" becomes CR LF on the way in.
std::string LineBreaksToParagraphs(std::string_view text);
std::string ParagraphsToLineBreaks(std::string_view text);

// Case-insensitive comparison of names (ASCII letters and the letters of Windows-1252).
bool SameName(std::string_view a, std::string_view b);
// A name folded to lower case the way SameName compares, usable as a lookup key.
std::string FoldedName(std::string_view name);

}  // namespace cv3
