// The watchdog's probe over real loopback sockets: every address of the name is tried at once,
// so one that refuses or never answers does not keep the answering one from connecting within
// the watchdog's seven seconds.
#include "cv3guard/probe_socket_win32.h"

#include <gtest/gtest.h>
#include <ws2tcpip.h>

#include <ostream>

#include "testbed/remote_controls_win32.h"

namespace cv3 {
namespace {

constexpr DWORD kWatchdogTimeOutMs = 7000;

enum class Server { kNone, kAnswers, kHung };

// A loopback listener of one family that accepts, or stops answering: it listens with a queue of
// one that is filled with its own connections, so a later connect is neither accepted nor
// refused (as a hung game behaves).
class Listener {
 public:
  Listener(int family, Server kind, int port = 0) : family_(family) {
    address_.ss_family = static_cast<ADDRESS_FAMILY>(family);
    if (family == AF_INET) {
      reinterpret_cast<sockaddr_in&>(address_).sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      length_ = sizeof(sockaddr_in);
    } else {
      reinterpret_cast<sockaddr_in6&>(address_).sin6_addr = in6addr_loopback;
      length_ = sizeof(sockaddr_in6);
    }
    reinterpret_cast<sockaddr_in&>(address_).sin_port = htons(static_cast<u_short>(port));
    if (kind == Server::kNone) return;
    listener_ = socket(family, SOCK_STREAM, IPPROTO_TCP);
    if (bind(listener_, Address(), length_) != 0 || listen(listener_, 1) != 0) {
      closesocket(listener_);
      listener_ = INVALID_SOCKET;
      return;
    }
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address_), &length_);
    if (kind == Server::kHung) Fill();
  }
  ~Listener() {
    for (SOCKET s : fillers_) closesocket(s);
    if (listener_ != INVALID_SOCKET) closesocket(listener_);
  }
  // sin_port and sin6_port lie at the same place.
  int Port() const { return ntohs(reinterpret_cast<const sockaddr_in&>(address_).sin_port); }
  ProbeAddress At(int port) const {
    ProbeAddress probe{address_, length_};
    reinterpret_cast<sockaddr_in&>(probe.address).sin_port = htons(static_cast<u_short>(port));
    return probe;
  }
  bool Listening() const { return listener_ != INVALID_SOCKET; }

 private:
  const sockaddr* Address() const { return reinterpret_cast<const sockaddr*>(&address_); }
  void Fill() {
    for (int i = 0; i < 16; ++i) {
      SOCKET filler = socket(family_, SOCK_STREAM, IPPROTO_TCP);
      u_long nonBlocking = 1;
      ioctlsocket(filler, FIONBIO, &nonBlocking);
      connect(filler, Address(), length_);
      fillers_.push_back(filler);
      fd_set done;
      FD_ZERO(&done);
      FD_SET(filler, &done);
      timeval wait{0, 500000};  // a connect that has room completes at once
      if (select(0, nullptr, &done, nullptr, &wait) != 1) return;
    }
  }
  int family_;
  sockaddr_storage address_{};
  int length_ = 0;
  SOCKET listener_ = INVALID_SOCKET;
  std::vector<SOCKET> fillers_;
};

struct ProbeCase {
  const char* name;
  Server first;   // IPv6, resolved first as "localhost" may be
  Server second;  // IPv4
};

void PrintTo(const ProbeCase& c, std::ostream* out) { *out << c.name; }

class ProbeSocketTest : public ::testing::TestWithParam<ProbeCase> {
 protected:
  void SetUp() override {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
  void TearDown() override { WSACleanup(); }
};

TEST_P(ProbeSocketTest, TheAnsweringAddressConnectsInTime) {
  const ProbeCase& c = GetParam();
  // One port names both listeners.
  Listener v4(AF_INET, c.second);
  Listener v6(AF_INET6, c.first, v4.Port());
  int port = v4.Listening() ? v4.Port() : v6.Port();
  ASSERT_TRUE(v4.Listening() || v6.Listening());
  std::string askedHost;
  int connects = 0;
  Win32ProbeSocket probe([&] { ++connects; },
                         [&](const std::string& host, int asked) {
                           askedHost = host + ":" + std::to_string(asked);
                           return std::vector<ProbeAddress>{v6.At(asked), v4.At(asked)};
                         });
  probe.Connect("localhost", port);
  EXPECT_TRUE(testbed::WaitFor([&] { return connects > 0; }, kWatchdogTimeOutMs));
  EXPECT_EQ(askedHost, "localhost:" + std::to_string(port));
  // The next probe closes the connection and starts afresh, as every ten seconds.
  probe.Close();
  probe.Connect("localhost", port);
  EXPECT_TRUE(testbed::WaitFor([&] { return connects == 2; }, kWatchdogTimeOutMs));
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, ProbeSocketTest,
    ::testing::Values(ProbeCase{"FirstRefusesSecondAnswers", Server::kNone, Server::kAnswers},
                      ProbeCase{"FirstHangsSecondAnswers", Server::kHung, Server::kAnswers},
                      ProbeCase{"FirstAnswersSecondHangs", Server::kAnswers, Server::kHung}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace cv3
