#include "engine/security/md5.h"

#include <algorithm>
#include <cstring>

namespace folvex {

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

constexpr int kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                            5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                            4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                            6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

uint32_t RotateLeft(uint32_t value, int count) { return (value << count) | (value >> (32 - count)); }

void Transform(std::array<uint32_t, 4>& words, const Byte* block) {
  uint32_t x[16];
  for (int k = 0; k < 16; ++k) {
    x[k] = static_cast<uint32_t>(block[4 * k]) | static_cast<uint32_t>(block[4 * k + 1]) << 8 |
           static_cast<uint32_t>(block[4 * k + 2]) << 16 | static_cast<uint32_t>(block[4 * k + 3]) << 24;
  }
  uint32_t a = words[0], b = words[1], c = words[2], d = words[3];
  for (int step = 0; step < 64; ++step) {
    uint32_t f = 0;
    int g = 0;
    switch (step / 16) {
      case 0: f = (b & c) | (~b & d); g = step; break;
      case 1: f = (d & b) | (~d & c); g = (5 * step + 1) % 16; break;
      case 2: f = b ^ c ^ d; g = (3 * step + 5) % 16; break;
      default: f = c ^ (b | ~d); g = (7 * step) % 16; break;
    }
    const uint32_t next = b + RotateLeft(a + f + kSine[step] + x[g], kShift[step]);
    a = d;
    d = c;
    c = b;
    b = next;
  }
  words[0] += a;
  words[1] += b;
  words[2] += c;
  words[3] += d;
}

}  // namespace

void Md5Init(Md5Context& context) {
  context.Words = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
  context.BitCount = {0, 0};
  context.Block.fill(0);
}

void Md5Update(Md5Context& context, const Byte* bytes, std::size_t length) {
  std::size_t filled = (context.BitCount[0] >> 3) & 63;
  const uint64_t bits = (static_cast<uint64_t>(context.BitCount[1]) << 32 | context.BitCount[0]) +
                        (static_cast<uint64_t>(length) << 3);
  context.BitCount[0] = static_cast<uint32_t>(bits);
  context.BitCount[1] = static_cast<uint32_t>(bits >> 32);
  while (length > 0) {
    const std::size_t take = std::min(length, 64 - filled);
    std::memcpy(context.Block.data() + filled, bytes, take);
    filled += take;
    bytes += take;
    length -= take;
    if (filled == 64) {
      Transform(context.Words, context.Block.data());
      filled = 0;
    }
  }
}

void Md5Final(Md5Digest& digest, Md5Context& context) {
  Byte length[8];
  for (int k = 0; k < 4; ++k) {
    length[k] = static_cast<Byte>(context.BitCount[0] >> (8 * k));
    length[4 + k] = static_cast<Byte>(context.BitCount[1] >> (8 * k));
  }
  const std::size_t filled = (context.BitCount[0] >> 3) & 63;
  static const Byte kPadding[64] = {0x80};
  Md5Update(context, kPadding, filled < 56 ? 56 - filled : 120 - filled);
  Md5Update(context, length, 8);
  for (int k = 0; k < 16; ++k) digest[k] = static_cast<Byte>(context.Words[k / 4] >> (8 * (k % 4)));
  context = Md5Context{};
}

}  // namespace folvex
