#include "lobbyd/participant.h"

#include "protocol/cp1252.h"

namespace lobbyd {

void AppendWireLine(std::string& wire, std::string_view line) {
  wire += cv3::Utf8ToCp1252Lossy(line);
  wire += "\r\n";
}

}  // namespace lobbyd
