#include "engine/security/rc4.h"

#include <utility>

namespace folvex {

void Rc4Init(Rc4State& state, const Byte* key, std::size_t keyLength) {
  for (int k = 0; k < 256; ++k) state.S[k] = static_cast<Byte>(k);
  uint32_t j = 0;
  for (std::size_t k = 0; k < 256; ++k) {
    j = (j + state.S[k] + key[k % keyLength]) & 0xFF;
    std::swap(state.S[k], state.S[j]);
  }
  state.I = 0;
  state.J = 0;
}

void Rc4Crypt(Rc4State& state, Byte* output, const Byte* input, std::size_t length) {
  uint32_t i = state.I, j = state.J;
  for (std::size_t k = 0; k < length; ++k) {
    i = (i + 1) & 0xFF;
    j = (j + state.S[i]) & 0xFF;
    std::swap(state.S[i], state.S[j]);
    output[k] = input[k] ^ state.S[(state.S[i] + state.S[j]) & 0xFF];
  }
  state.I = i;
  state.J = j;
}

}  // namespace folvex
