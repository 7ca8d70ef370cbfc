#include "engine/core/content_hash.h"

#include <cstring>

namespace folvex {

namespace {

constexpr uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
constexpr uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;

uint64_t RotateLeft(uint64_t x, int bits) { return (x << bits) | (x >> (64 - bits)); }

uint64_t Round(uint64_t lane, uint64_t word) { return RotateLeft(lane + word * kPrime2, 31) * kPrime1; }

}  // namespace

uint64_t ContentHash(std::span<const Byte> bytes) {
  const Byte* p = bytes.data();
  const std::size_t size = bytes.size();
  // Four independent lanes of 8 bytes keep the multiplier busy; the tail goes byte by byte.
  uint64_t lanes[4] = {size, kPrime1, kPrime2, ~static_cast<uint64_t>(size)};
  std::size_t i = 0;
  for (; i + 32 <= size; i += 32) {
    uint64_t words[4];
    std::memcpy(words, p + i, sizeof words);
    for (int k = 0; k < 4; ++k) lanes[k] = Round(lanes[k], words[k]);
  }
  uint64_t hash = RotateLeft(lanes[0], 1) + RotateLeft(lanes[1], 7) + RotateLeft(lanes[2], 12) + RotateLeft(lanes[3], 18);
  for (; i < size; ++i) hash = (hash ^ p[i]) * kPrime1;
  hash ^= hash >> 33;
  hash *= kPrime2;
  return hash ^ (hash >> 29);
}

}  // namespace folvex
