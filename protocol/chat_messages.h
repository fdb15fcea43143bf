// Chat lines as values: "PMSG:" partner ":" text from the client, "LMSG:" and "PMSG:" sender ":"
// text from the server. (A lobby line from the client names no one: "LMSG:" text.) Built and
// parsed here for both the client and lobbyd. Pure functions.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace cv3 {

struct ChatLine {
  std::string name;  // the partner in a command, the sender in a notice
  std::string text;
  bool operator==(const ChatLine&) const = default;
};

// `message` is msg::kLmsg or msg::kPmsg.
std::string ChatLineText(std::string_view message, const ChatLine& line);
// The client's lobby line: "LMSG:" text.
std::string LobbyChatCommand(std::string_view text);
// Only the first ":" separates: the text may hold ":". Nothing without it.
std::optional<ChatLine> ParseChatLine(std::string_view args);

}  // namespace cv3
