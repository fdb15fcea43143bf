// clsMD5: the MD5 digest (RFC 1321) of a password, as 32 upper-case hexadecimal digits. The text
// is digested as its Windows-1252 bytes, one per character. Used by sign-in, account creation
// and the password change. Any length gives the standard digest.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cv3 {

class clsMD5 {
 public:
  clsMD5() { MD5Init(); }

  // The digest of UTF-8 text taken as Windows-1252 bytes. Nothing when a character has no
  // Windows-1252 byte: such a password is refused rather than folded into another one.
  std::optional<std::string> DigestStrToHexStr(std::string_view sourceString);
  // The digest of raw bytes.
  std::string DigestBytesToHexStr(std::string_view bytes);

  void MD5Init();
  void MD5Update(size_t inputLen, const unsigned char* inputBuffer);
  void MD5Final();
  std::string GetValues() const;

  static uint32_t LongLeftRotate(uint32_t value, int bits);

 private:
  void Transform(const unsigned char* block);

  std::array<uint32_t, 4> state_{};  // A, B, C, D
  uint64_t byteCounter_ = 0;
  std::array<unsigned char, 64> buffer_{};
};

}  // namespace cv3
