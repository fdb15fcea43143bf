#include "cv3client/session/server_link.h"

#include "protocol/cp1252.h"

namespace cv3 {

bool ServerLink::SendCommand(std::string_view text) {
  if (!transport_.IsConnected()) {
    if (hooks_.notConnected) hooks_.notConnected();
    return false;
  }
  std::string bytes = Utf8ToCp1252Lossy(text);
  bytes.append("\r\n");
  transport_.SendData(bytes);
  if (hooks_.waitWhileProcessing) hooks_.waitWhileProcessing(10);
  return true;
}

void ServerLink::DataArrival(std::string_view bytes) {
  buffer_.Append(bytes);
  if (receiving_) return;
  receiving_ = true;
  struct Guard {
    bool& flag;
    ~Guard() { flag = false; }
  } guard{receiving_};
  std::string raw;
  for (;;) {
    LineBuffer::Cut cut = buffer_.Next(raw);
    if (cut == LineBuffer::Cut::kNone) break;
    if (cut == LineBuffer::Cut::kTooLong) continue;  // dropped whole
    handlers_.Dispatch(ParseLine(Cp1252ToUtf8(raw)));
  }
}

}  // namespace cv3
