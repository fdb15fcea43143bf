// The rules of the lobby connection's TLS that need no TLS stack: how a secure connection is
// asked for, the pin of the server's key, and what a verification outcome means to the player.
// The Schannel layer reports through these; the session turns a failure into its box.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cv3 {

// How a connection is made: plain, or TLS with an optional pin ("pin-sha256", as typed).
struct TlsOptions {
  bool on = false;
  std::string pin;
};

// Why a secure connection was not made.
enum class TlsProblem {
  kNameMismatch,  // the certificate is not for the host connected to
  kExpired,       // expired or not yet valid
  kUntrusted,     // no chain to a root Windows trusts (or revoked, or wrongly signed)
  kPinMismatch,   // a pin is set and the server's key is another
  kBadPin,        // the pin setting is not a pin-sha256 value
  kHandshake,     // the TLS handshake itself failed; status says how
};

struct TlsFailure {
  TlsProblem problem = TlsProblem::kHandshake;
  uint32_t status = 0;  // the SSPI or certificate status behind it, 0 when none
  bool operator==(const TlsFailure&) const = default;
};

using Sha256Digest = std::array<uint8_t, 32>;

// The pin setting as a digest: base64 of exactly 32 bytes (44 characters, one '=' pad), spaces
// around it ignored; nullopt for anything else.
std::optional<Sha256Digest> ParsePin(std::string_view text);

// The pin's verdict over the SHA-256 of the server's SubjectPublicKeyInfo: nullopt when it
// matches, kBadPin or kPinMismatch otherwise.
std::optional<TlsProblem> CheckPin(std::string_view pinSetting, const Sha256Digest& keyDigest);

// The problem a certificate chain policy error (CertVerifyCertificateChainPolicy) stands for.
TlsProblem ProblemOfPolicyError(uint32_t error);

// Whether Windows of this version and build knows SCH_CREDENTIALS (10 1809, build 17763, on);
// before it the credentials are given as SCHANNEL_CRED.
bool HasSchCredentials(unsigned major, unsigned build);

// A status as the player's box shows it: "0x80090326 SEC_E_ILLEGAL_MESSAGE", or only the hex
// when the name is not known.
std::string StatusText(uint32_t status);

}  // namespace cv3
