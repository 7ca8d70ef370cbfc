// Encrypting and decrypting one string or stream of an object under a crypt method: RC4 or
// AES-128 under the object's key, AES-256 under the file key, or nothing.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/core/security_state.h"
#include "engine/security/standard_handler.h"

namespace folvex {

// The keys of one object: the RC4 key and the AES-128 key ("sAlT" appended before hashing).
struct ObjectCrypt {
  ObjectKeyBytes Rc4Key;
  std::array<Byte, 16> Aes128Key{};
  int Number = 0;
};
ObjectCrypt MakeObjectCrypt(std::span<const Byte> fileKey, int number, int generation);

// Initialisation vectors for new AES data. Random, or, when the output is to be reproducible
// (SOURCE_DATE_EPOCH set), the first 16 bytes of SHA-256 over the file key, the object number and
// a running counter: unique within a file, equal only between runs with equal key and input.
struct IvSequence {
  bool Reproducible = false;
  std::uint64_t Counter = 0;
  void Next(std::span<const Byte> fileKey, int number, std::span<Byte, 16> iv);
};
IvSequence MakeIvSequence();

// Replaces out by data encrypted (encrypt) or decrypted under method. AES data that is too short
// for its vector decrypts to nothing; a trailing part block is dropped and padding that is not
// valid is kept, so damaged data still yields what can be read.
void CryptBytes(CryptMethod method, const ObjectCrypt& object, std::span<const Byte> fileKey, bool encrypt,
                std::span<const Byte> data, std::vector<Byte>& out, IvSequence& ivs);

}  // namespace folvex
