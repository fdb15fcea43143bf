#include "protocol/chat_messages.h"

#include "protocol/catalogue.h"
#include "protocol/text_helpers.h"
#include "protocol/wire.h"

namespace cv3 {

std::string ChatLineText(std::string_view message, const ChatLine& line) {
  return FormatLine(message, line.name + ":" + line.text);
}

std::string LobbyChatCommand(std::string_view text) { return FormatLine(msg::kLmsg, text); }

std::optional<ChatLine> ParseChatLine(std::string_view args) {
  auto fields = SplitFields(args, 2);
  if (!fields) return std::nullopt;
  return ChatLine{(*fields)[0], (*fields)[1]};
}

}  // namespace cv3
