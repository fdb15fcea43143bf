#include "protocol/md5.h"

#include <cstring>

#include "protocol/cp1252.h"

namespace cv3 {
namespace {

constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

constexpr int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

}  // namespace

uint32_t clsMD5::LongLeftRotate(uint32_t value, int bits) {
  bits &= 31;
  if (bits == 0) return value;
  return (value << bits) | (value >> (32 - bits));
}

void clsMD5::MD5Init() {
  state_ = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
  byteCounter_ = 0;
  buffer_.fill(0);
}

void clsMD5::Transform(const unsigned char* block) {
  uint32_t x[16];
  for (int i = 0; i < 16; ++i) {
    x[i] = uint32_t(block[4 * i]) | uint32_t(block[4 * i + 1]) << 8 |
           uint32_t(block[4 * i + 2]) << 16 | uint32_t(block[4 * i + 3]) << 24;
  }
  uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  for (int i = 0; i < 64; ++i) {
    int round = i / 16;
    uint32_t f;
    int k;
    switch (round) {
      case 0:
        f = (b & c) | (~b & d);
        k = i;
        break;
      case 1:
        f = (d & b) | (~d & c);
        k = (5 * i + 1) % 16;
        break;
      case 2:
        f = b ^ c ^ d;
        k = (3 * i + 5) % 16;
        break;
      default:
        f = c ^ (b | ~d);
        k = (7 * i) % 16;
        break;
    }
    uint32_t rotated = LongLeftRotate(a + f + kSine[i] + x[k], kShift[round][i % 4]);
    a = d;
    d = c;
    c = b;
    b = b + rotated;
  }
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
}

void clsMD5::MD5Update(size_t inputLen, const unsigned char* inputBuffer) {
  size_t used = byteCounter_ % 64;
  byteCounter_ += inputLen;
  size_t i = 0;
  if (used > 0) {
    size_t take = std::min(inputLen, 64 - used);
    std::memcpy(buffer_.data() + used, inputBuffer, take);
    i = take;
    if (used + take < 64) return;
    Transform(buffer_.data());
  }
  for (; i + 64 <= inputLen; i += 64) Transform(inputBuffer + i);
  if (i < inputLen) std::memcpy(buffer_.data(), inputBuffer + i, inputLen - i);
}

void clsMD5::MD5Final() {
  uint64_t bits = byteCounter_ * 8;
  unsigned char padding[72] = {0x80};
  size_t used = byteCounter_ % 64;
  size_t padLength = used < 56 ? 56 - used : 120 - used;
  MD5Update(padLength, padding);
  unsigned char length[8];
  for (int i = 0; i < 8; ++i) length[i] = static_cast<unsigned char>(bits >> (8 * i));
  MD5Update(8, length);
}

std::string clsMD5::GetValues() const {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(32);
  for (uint32_t word : state_) {
    for (int i = 0; i < 4; ++i) {
      auto byte = static_cast<unsigned char>(word >> (8 * i));
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 15]);
    }
  }
  return out;
}

std::string clsMD5::DigestBytesToHexStr(std::string_view bytes) {
  MD5Init();
  MD5Update(bytes.size(), reinterpret_cast<const unsigned char*>(bytes.data()));
  MD5Final();
  return GetValues();
}

std::optional<std::string> clsMD5::DigestStrToHexStr(std::string_view sourceString) {
  auto bytes = Utf8ToCp1252(sourceString);
  if (!bytes) return std::nullopt;
  return DigestBytesToHexStr(*bytes);
}

}  // namespace cv3
