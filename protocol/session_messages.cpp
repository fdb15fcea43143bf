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

GameItem ParseGameItem(std::string_view args) {
  return {TextBefore(args, ":"), TextAfter(args, ":") == "up"};
}

std::string AuthCommand(std::string_view id, std::string_view digest) {
  return FormatLine(msg::kAuth, std::string(id) + ":" + std::string(digest));
}

std::string CreateCommand(std::string_view id, std::string_view digest, std::string_view email) {
  return FormatLine(msg::kCreate,
                    std::string(id) + ":" + std::string(digest) + ":" + std::string(email));
}

std::string VersionCommand(int major, int minor, int revision) {
  return FormatLine(msg::kVersion,
                    std::to_string(major) + std::to_string(minor) + std::to_string(revision));
}

}  // namespace cv3
