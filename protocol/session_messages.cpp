#include "protocol/session_messages.h"

#include "protocol/catalogue.h"
#include "protocol/text_helpers.h"
#include "protocol/wire.h"

namespace cv3 {

UserItem ParseUserItem(std::string_view args) {
  UserItem item;
  item.name = TextBefore(args, ":");
  std::string rest = TextAfter(args, ":");
  if (rest.find(':') == std::string::npos) {
    item.kind = rest;
  } else {
    item.kind = TextBefore(rest, ":");
    item.note = TextAfter(rest, ":");
  }
  return item;
}

std::string UserItemLine(const UserItem& item) {
  std::string args = item.name + ":" + item.kind;
  if (!item.note.empty()) args += ":" + item.note;
  return FormatLine(msg::kUser, args);
}

GameItem ParseGameItem(std::string_view args) {
  return {TextBefore(args, ":"), TextAfter(args, ":") == msg::kStateUp};
}

std::string GameItemLine(const GameItem& item) {
  return FormatLine(msg::kGame,
                    item.name + ":" + std::string(item.up ? msg::kStateUp : msg::kStateDown));
}

std::string AuthCommand(std::string_view id, std::string_view digest) {
  return FormatLine(msg::kAuth, std::string(id) + ":" + std::string(digest));
}

AuthFields ParseAuthCommand(std::string_view args) {
  return {TextBefore(args, ":"), TextAfter(args, ":")};
}

std::string CreateCommand(std::string_view id, std::string_view digest, std::string_view email) {
  return FormatLine(msg::kCreate,
                    std::string(id) + ":" + std::string(digest) + ":" + std::string(email));
}

std::optional<CreateFields> ParseCreateCommand(std::string_view args) {
  auto fields = SplitFields(args, 3);
  if (!fields) return std::nullopt;
  return CreateFields{(*fields)[0], (*fields)[1], (*fields)[2]};
}

std::string ChngPassCommand(std::string_view name, std::string_view digest) {
  return FormatLine(msg::kChngPass, std::string(name) + ":" + std::string(digest));
}

std::optional<ChngPassFields> ParseChngPassCommand(std::string_view args) {
  auto fields = SplitFields(args, 2);
  if (!fields) return std::nullopt;
  return ChngPassFields{(*fields)[0], (*fields)[1]};
}

std::string VersionCommand(int major, int minor, int revision) {
  return FormatLine(msg::kVersion,
                    std::to_string(major) + std::to_string(minor) + std::to_string(revision));
}

}  // namespace cv3
