#include "lobbyd/address_list.h"

#include <charconv>

namespace lobbyd {
namespace {

asio::ip::address Unmapped(const asio::ip::address& address) {
  if (address.is_v6() && address.to_v6().is_v4_mapped()) {
    return asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6());
  }
  return address;
}

// The address's bytes, most significant first.
std::vector<unsigned char> BytesOf(const asio::ip::address& address) {
  if (address.is_v4()) {
    auto bytes = address.to_v4().to_bytes();
    return {bytes.begin(), bytes.end()};
  }
  auto bytes = address.to_v6().to_bytes();
  return {bytes.begin(), bytes.end()};
}

bool SamePrefix(const asio::ip::address& a, const asio::ip::address& b, unsigned bits) {
  if (a.is_v4() != b.is_v4()) return false;
  auto left = BytesOf(a), right = BytesOf(b);
  for (size_t i = 0; bits > 0; ++i, bits = bits > 8 ? bits - 8 : 0) {
    unsigned mask = bits >= 8 ? 0xff : (0xff << (8 - bits)) & 0xff;
    if ((left[i] & mask) != (right[i] & mask)) return false;
  }
  return true;
}

}  // namespace

AddressList::AddressList() {
  prefixes_ = {{asio::ip::make_address("127.0.0.0"), 8}, {asio::ip::make_address("::1"), 128}};
}

AddressList AddressList::None() {
  AddressList list;
  list.prefixes_.clear();
  return list;
}

AddressList AddressList::Of(const std::string& text) {
  AddressList list;
  list.Parse(text);
  return list;
}

std::string AddressList::Parse(const std::string& text) {
  std::vector<Prefix> parsed;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = std::min(text.find(',', start), text.size());
    std::string entry = text.substr(start, end - start);
    start = end + 1;
    size_t slash = entry.find('/');
    asio::error_code error;
    auto address = Unmapped(asio::ip::make_address(entry.substr(0, slash), error));
    if (error) return "\"" + entry + "\" is not an address or address/bits";
    unsigned most = address.is_v4() ? 32 : 128, bits = most;
    if (slash != std::string::npos) {
      std::string_view digits = std::string_view(entry).substr(slash + 1);
      auto [at, failed] = std::from_chars(digits.data(), digits.data() + digits.size(), bits);
      if (digits.empty() || failed != std::errc() || at != digits.data() + digits.size() ||
          bits > most) {
        return "\"" + entry + "\" needs a prefix length from 0 to " + std::to_string(most);
      }
    }
    parsed.push_back({address, bits});
  }
  prefixes_ = std::move(parsed);
  return {};
}

bool AddressList::Contains(const asio::ip::address& address) const {
  auto peer = Unmapped(address);
  for (const Prefix& prefix : prefixes_) {
    if (SamePrefix(peer, prefix.address, prefix.bits)) return true;
  }
  return false;
}

}  // namespace lobbyd
