// The rules of the client's TLS that need no TLS stack: the pin, what a chain policy error
// means, which credentials structure Windows knows, and the box each failure shows.
#include "common/tls_trust.h"

#include <gtest/gtest.h>

#include "cv3client/session/session_controller.h"

namespace cv3 {
namespace {

Sha256Digest Bytes(uint8_t first) {
  Sha256Digest digest{};
  for (size_t i = 0; i < digest.size(); ++i) digest[i] = static_cast<uint8_t>(first + i);
  return digest;
}

TEST(TlsTrust, PinAgainstTheKeysDigest) {
  const Sha256Digest key = Bytes(0);  // its pin: AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8=
  struct Case {
    const char* pin;
    std::optional<TlsProblem> verdict;
  } cases[] = {
      {"AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8=", std::nullopt},
      {"  AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8= ", std::nullopt},
      {"AQIDBAUGBwgJCgsMDQ4PEBESExQVFhcYGRobHB0eHyA=", TlsProblem::kPinMismatch},
      {"AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8", TlsProblem::kBadPin},   // no pad
      {"AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh9=", TlsProblem::kBadPin},  // stray bits
      {"AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh-=", TlsProblem::kBadPin},  // not base64
      {"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA==", TlsProblem::kBadPin},  // 31 bytes
      {"sha256/AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8=", TlsProblem::kBadPin},
      {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f", TlsProblem::kBadPin},
      {" ", TlsProblem::kBadPin},
  };
  for (const Case& c : cases) EXPECT_EQ(CheckPin(c.pin, key), c.verdict) << c.pin;
}

TEST(TlsTrust, PolicyErrorsAndCredentialStructures) {
  EXPECT_EQ(ProblemOfPolicyError(0x800B010F), TlsProblem::kNameMismatch);  // CERT_E_CN_NO_MATCH
  EXPECT_EQ(ProblemOfPolicyError(0x800B0101), TlsProblem::kExpired);       // CERT_E_EXPIRED
  for (uint32_t untrusted : {0x800B0109u, 0x800B010Au, 0x80096004u, 0x800B010Cu}) {
    EXPECT_EQ(ProblemOfPolicyError(untrusted), TlsProblem::kUntrusted) << untrusted;
  }
  struct {
    unsigned major, build;
    bool sch;
  } versions[] = {{6, 9600, false}, {10, 17134, false}, {10, 17763, true}, {10, 22631, true}};
  for (auto v : versions) EXPECT_EQ(HasSchCredentials(v.major, v.build), v.sch) << v.build;
}

TEST(TlsTrust, EachFailureShowsItsReason) {
  const std::string first =
      "Corvane could not connect securely to lobby.example.net:13229, so nothing was sent.\n\n";
  struct Case {
    TlsFailure failure;
    const char* reason;
  } cases[] = {
      {{TlsProblem::kNameMismatch, 0x800B010F},
       "The server's certificate is not for \"lobby.example.net\"."},
      {{TlsProblem::kExpired, 0x800B0101}, "The server's certificate has expired."},
      {{TlsProblem::kUntrusted, 0x800B0109},
       "The server's certificate is not trusted by Windows. If your community uses its own "
       "certificate, enter its pin in the preferences."},
      {{TlsProblem::kPinMismatch}, "The server's key does not match the pin in the preferences."},
      {{TlsProblem::kBadPin}, "The pin in the preferences is not a valid pin-sha256 value."},
      {{TlsProblem::kHandshake, 0x80090326},
       "The secure connection failed (0x80090326 SEC_E_ILLEGAL_MESSAGE)."},
      {{TlsProblem::kHandshake, 0x80072746}, "The secure connection failed (0x80072746)."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TlsFailureText("lobby.example.net", 13229, c.failure), first + c.reason);
  }
}

}  // namespace
}  // namespace cv3
