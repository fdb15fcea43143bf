// Addresses and prefixes an operator names ("127.0.0.0/8,::1,2001:db8::/32"): who may read
// /metrics, whose connections carry a PROXY protocol header. IPv4 and IPv6; an IPv4 peer on an IPv6
// socket (::ffff:a.b.c.d) counts as IPv4.
#pragma once

#include <asio/ip/address.hpp>
#include <string>
#include <vector>

namespace lobbyd {

class AddressList {
 public:
  // Loopback only: 127.0.0.0/8 and ::1.
  AddressList();
  // No address at all.
  static AddressList None();

  // The list `text` names; for texts known to be right.
  static AddressList Of(const std::string& text);

  // Empty text on success, else what is wrong with `text`; the list is unchanged then.
  std::string Parse(const std::string& text);
  bool Contains(const asio::ip::address& address) const;

 private:
  struct Prefix {
    asio::ip::address address;
    unsigned bits;
  };
  std::vector<Prefix> prefixes_;
};

}  // namespace lobbyd
