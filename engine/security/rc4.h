// The RC4 stream cipher. Encryption and decryption are the same operation.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/core/bytes.h"

namespace folvex {

struct Rc4State {
  uint32_t I = 0;
  uint32_t J = 0;
  std::array<Byte, 256> S{};
};

// Key scheduling with a key of 1 to 256 bytes.
void Rc4Init(Rc4State& state, const Byte* key, std::size_t keyLength);
// output and input may be the same buffer.
void Rc4Crypt(Rc4State& state, Byte* output, const Byte* input, std::size_t length);

}  // namespace folvex
