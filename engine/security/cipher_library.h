// AES, SHA-2 and random bytes from libgcrypt, in the few forms the security handler needs.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <span>
#include <vector>

#include "engine/core/bytes.h"

namespace folvex {

// The SHA-2 digest of the concatenated parts: bits 256 (32 bytes), 384 (48) or 512 (64).
std::vector<Byte> ShaDigest(int bits, std::initializer_list<std::span<const Byte>> parts);

// AES in CBC mode without padding, with a key of 16 or 32 bytes and a 16-byte iv. data.size()
// must be a multiple of 16. Returns false when the library refuses.
bool AesCbc(bool encrypt, std::span<const Byte> key, std::span<const Byte> iv, std::span<const Byte> data,
            std::vector<Byte>& out);

// One AES block in ECB mode.
bool AesEcbBlock(bool encrypt, std::span<const Byte> key, std::span<const Byte, 16> in, std::span<Byte, 16> out);

// Fills bytes from the library's strong random generator.
void RandomBytes(std::span<Byte> bytes);

}  // namespace folvex
