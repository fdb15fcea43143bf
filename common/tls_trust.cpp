#include "common/tls_trust.h"

#include <cstdio>

namespace cv3 {
namespace {

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

struct NamedStatus {
  uint32_t status;
  const char* name;
};

// The statuses a failed handshake or check is likely to end with.
constexpr NamedStatus kStatusNames[] = {
    {0x80090300, "SEC_E_INSUFFICIENT_MEMORY"},  {0x80090301, "SEC_E_INVALID_HANDLE"},
    {0x80090302, "SEC_E_UNSUPPORTED_FUNCTION"}, {0x80090304, "SEC_E_INTERNAL_ERROR"},
    {0x80090305, "SEC_E_SECPKG_NOT_FOUND"},     {0x80090308, "SEC_E_INVALID_TOKEN"},
    {0x8009030D, "SEC_E_UNKNOWN_CREDENTIALS"},  {0x8009030E, "SEC_E_NO_CREDENTIALS"},
    {0x80090317, "SEC_E_CONTEXT_EXPIRED"},      {0x80090318, "SEC_E_INCOMPLETE_MESSAGE"},
    {0x80090321, "SEC_E_BUFFER_TOO_SMALL"},     {0x80090322, "SEC_E_WRONG_PRINCIPAL"},
    {0x80090325, "SEC_E_UNTRUSTED_ROOT"},       {0x80090326, "SEC_E_ILLEGAL_MESSAGE"},
    {0x80090327, "SEC_E_CERT_UNKNOWN"},         {0x80090328, "SEC_E_CERT_EXPIRED"},
    {0x80090330, "SEC_E_DECRYPT_FAILURE"},      {0x80090331, "SEC_E_ALGORITHM_MISMATCH"},
    {0x80090350, "SEC_E_DOWNGRADE_DETECTED"},
};

}  // namespace

std::optional<Sha256Digest> ParsePin(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  // 32 bytes are 43 base64 digits and one pad; the last digit carries 2 bits, its low 4 zero.
  if (text.size() != 44 || text[43] != '=') return std::nullopt;
  Sha256Digest digest{};
  uint32_t bits = 0;
  int held = 0;
  size_t out = 0;
  for (size_t i = 0; i < 43; ++i) {
    int value = Base64Value(text[i]);
    if (value < 0) return std::nullopt;
    bits = (bits << 6) | static_cast<uint32_t>(value);
    held += 6;
    if (held >= 8) {
      held -= 8;
      digest[out++] = static_cast<uint8_t>(bits >> held);
      bits &= (1u << held) - 1;
    }
  }
  if (out != digest.size() || bits != 0) return std::nullopt;
  return digest;
}

std::optional<TlsProblem> CheckPin(std::string_view pinSetting, const Sha256Digest& keyDigest) {
  std::optional<Sha256Digest> pin = ParsePin(pinSetting);
  if (!pin) return TlsProblem::kBadPin;
  if (*pin != keyDigest) return TlsProblem::kPinMismatch;
  return std::nullopt;
}

TlsProblem ProblemOfPolicyError(uint32_t error) {
  switch (error) {
    case 0x800B010F:  // CERT_E_CN_NO_MATCH
      return TlsProblem::kNameMismatch;
    case 0x800B0101:  // CERT_E_EXPIRED, also for a certificate not valid yet
      return TlsProblem::kExpired;
    default:  // CERT_E_UNTRUSTEDROOT, CERT_E_CHAINING, a bad signature, a revocation...
      return TlsProblem::kUntrusted;
  }
}

bool HasSchCredentials(unsigned major, unsigned build) {
  return major > 10 || (major == 10 && build >= 17763);
}

std::string StatusText(uint32_t status) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(status));
  std::string text = hex;
  for (const NamedStatus& known : kStatusNames) {
    if (known.status == status) return text + " " + known.name;
  }
  return text;
}

}  // namespace cv3
