#include "lobbyd/proxy_header.h"

#include <charconv>
#include <vector>

namespace lobbyd {
namespace {

constexpr std::string_view kV1Signature = "PROXY ";
constexpr size_t kV1Most = 107;
constexpr std::string_view kV2Signature{"\r\n\r\n\0\r\nQUIT\n", 12};
constexpr size_t kV2Fixed = 16;

ProxyHeader Malformed(std::string problem) {
  ProxyHeader header;
  header.state = ProxyHeader::State::kMalformed;
  header.problem = std::move(problem);
  return header;
}

ProxyHeader Complete(size_t length, std::optional<asio::ip::tcp::endpoint> client) {
  ProxyHeader header;
  header.state = ProxyHeader::State::kComplete;
  header.length = length;
  header.client = std::move(client);
  return header;
}

// Whether `bytes` and `signature` agree as far as both go.
bool AgreesWith(std::string_view bytes, std::string_view signature) {
  size_t common = std::min(bytes.size(), signature.size());
  return bytes.substr(0, common) == signature.substr(0, common);
}

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t start = 0;
  while (start <= line.size()) {
    size_t end = std::min(line.find(' ', start), line.size());
    words.push_back(line.substr(start, end - start));
    start = end + 1;
  }
  return words;
}

std::optional<unsigned short> PortOf(std::string_view digits) {
  unsigned value = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || digits.size() > 5 || error != std::errc() ||
      end != digits.data() + digits.size() || value > 65535) {
    return std::nullopt;
  }
  return static_cast<unsigned short>(value);
}

ProxyHeader ParseV1(std::string_view bytes) {
  size_t end = bytes.find("\r\n");
  if (end == std::string_view::npos) {
    if (bytes.size() >= kV1Most) return Malformed("version 1 header longer than 107 bytes");
    return {};
  }
  if (end + 2 > kV1Most) return Malformed("version 1 header longer than 107 bytes");
  auto words = Words(bytes.substr(0, end));
  if (words.size() >= 2 && words[1] == "UNKNOWN") return Complete(end + 2, std::nullopt);
  if (words.size() != 6 || (words[1] != "TCP4" && words[1] != "TCP6")) {
    return Malformed("version 1 header is not \"PROXY TCP4|TCP6 SOURCE DEST SPORT DPORT\"");
  }
  asio::error_code error;
  auto source = asio::ip::make_address(std::string(words[2]), error);
  if (error || source.is_v4() != (words[1] == "TCP4")) {
    return Malformed("bad source address in version 1 header");
  }
  auto dest = asio::ip::make_address(std::string(words[3]), error);
  if (error || dest.is_v4() != source.is_v4()) {
    return Malformed("bad destination address in version 1 header");
  }
  auto port = PortOf(words[4]);
  if (!port || !PortOf(words[5])) return Malformed("bad port in version 1 header");
  return Complete(end + 2, asio::ip::tcp::endpoint(source, *port));
}

unsigned short BigEndian16(std::string_view bytes) {
  return static_cast<unsigned short>(static_cast<unsigned char>(bytes[0]) << 8 |
                                     static_cast<unsigned char>(bytes[1]));
}

// The source and destination addresses, then their ports; extensions may follow.
template <class Address>
ProxyHeader V2Client(size_t length, std::string_view addresses, const std::string& family) {
  typename Address::bytes_type source;
  if (addresses.size() < 2 * source.size() + 4) {
    return Malformed("version 2 " + family + " addresses cut short");
  }
  std::copy_n(addresses.begin(), source.size(), source.begin());
  unsigned short port = BigEndian16(addresses.substr(2 * source.size(), 2));
  return Complete(length, asio::ip::tcp::endpoint(Address(source), port));
}

ProxyHeader ParseV2(std::string_view bytes) {
  if (bytes.size() < kV2Fixed) return {};
  unsigned char versionCommand = static_cast<unsigned char>(bytes[12]);
  unsigned char family = static_cast<unsigned char>(bytes[13]);
  size_t length = kV2Fixed + BigEndian16(bytes.substr(14, 2));
  if (versionCommand >> 4 != 2) return Malformed("version 2 signature with another version");
  if (length > kProxyHeaderMost) return Malformed("version 2 header longer than 1040 bytes");
  if (bytes.size() < length) return {};
  std::string_view addresses = bytes.substr(kV2Fixed, length - kV2Fixed);
  switch (versionCommand & 0x0f) {
    case 0x0:  // LOCAL: the proxy's own connection, a health check
      return Complete(length, std::nullopt);
    case 0x1:  // PROXY
      break;
    default:
      return Malformed("unknown version 2 command");
  }
  if (family == 0x11) return V2Client<asio::ip::address_v4>(length, addresses, "IPv4");
  if (family == 0x21) return V2Client<asio::ip::address_v6>(length, addresses, "IPv6");
  // A family the proxy does not know stands for the connection itself.
  if (family == 0x00) return Complete(length, std::nullopt);
  return Malformed("version 2 header for a transport other than TCP");
}

}  // namespace

ProxyHeader ParseProxyHeader(std::string_view bytes) {
  if (bytes.empty()) return {};
  if (AgreesWith(bytes, kV1Signature)) {
    return bytes.size() < kV1Signature.size() ? ProxyHeader{} : ParseV1(bytes);
  }
  if (AgreesWith(bytes, kV2Signature)) {
    return bytes.size() < kV2Signature.size() ? ProxyHeader{} : ParseV2(bytes);
  }
  return Malformed("no PROXY protocol signature");
}

bool StartsWithProxySignature(std::string_view bytes) {
  return bytes.substr(0, kV1Signature.size()) == kV1Signature ||
         bytes.substr(0, kV2Signature.size()) == kV2Signature;
}

}  // namespace lobbyd
