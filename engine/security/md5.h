// The MD5 message digest (RFC 1321).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/core/bytes.h"

namespace folvex {

struct Md5Context {
  std::array<uint32_t, 4> Words{};
  std::array<uint32_t, 2> BitCount{};  // low word first
  std::array<Byte, 64> Block{};
};

using Md5Digest = std::array<Byte, 16>;

void Md5Init(Md5Context& context);
void Md5Update(Md5Context& context, const Byte* bytes, std::size_t length);
// Appends the padding and the length, writes the digest and clears the context.
void Md5Final(Md5Digest& digest, Md5Context& context);

inline void Md5Update(Md5Context& context, std::span<const Byte> bytes) {
  Md5Update(context, bytes.data(), bytes.size());
}

}  // namespace folvex
