#include "cv3client/ui/away.h"

#include "protocol/catalogue.h"
#include "protocol/text_helpers.h"
#include "protocol/wire.h"

namespace cv3 {

std::optional<MessageBoxSpec> AwayRefusal(std::string_view message) {
  // No title of its own: the program's title stands there.
  if (TrimSpaces(message).empty()) return MessageBoxSpec{std::string(kAwayEmptyText), ""};
  if (!IsSafeText(message)) return WarningBox(std::string(kAwayDisallowedText));
  return std::nullopt;
}

void AwayController::cmdOk_Click() {
  std::string message = view_.AwayMessage();
  if (auto refusal = AwayRefusal(message)) {
    view_.ShowMessage(*refusal);
    return;
  }
  if (send_) send_(FormatLine(msg::kAway, message));
  view_.Hide();
}

}  // namespace cv3
