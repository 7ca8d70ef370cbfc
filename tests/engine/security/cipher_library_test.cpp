#include "engine/security/cipher_library.h"

#include <gtest/gtest.h>

#include <string>

namespace folvex {
namespace {

std::string Hex(std::span<const Byte> bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (Byte b : bytes) {
    text.push_back(kDigits[b >> 4]);
    text.push_back(kDigits[b & 15]);
  }
  return text;
}

std::vector<Byte> FromHex(const std::string& hex) {
  std::vector<Byte> bytes;
  for (std::size_t k = 0; k + 1 < hex.size(); k += 2) bytes.push_back(static_cast<Byte>(std::stoi(hex.substr(k, 2), nullptr, 16)));
  return bytes;
}

std::span<const Byte> Bytes(const std::string& text) { return {reinterpret_cast<const Byte*>(text.data()), text.size()}; }

TEST(CipherLibrary, ShaDigestsOfPublishedVectorsInOneOrSeveralParts) {
  const struct {
    int Bits;
    const char* Digest;
  } cases[] = {
      {256, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {384, "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c825a7"},
      {512, "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Hex(ShaDigest(c.Bits, {Bytes("abc")})), c.Digest) << c.Bits;
    EXPECT_EQ(Hex(ShaDigest(c.Bits, {Bytes("a"), Bytes(""), Bytes("bc")})), c.Digest) << c.Bits << " in parts";
  }
}

TEST(CipherLibrary, AesBlocksOfThePublishedExamplesAndTheirInverse) {
  // The example vectors of the AES standard (appendix C).
  const struct {
    const char* Key;
    const char* Cipher;
  } cases[] = {
      {"000102030405060708090a0b0c0d0e0f", "69c4e0d86a7b0430d8cdb78070b4c55a"},
      {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f", "8ea2b7ca516745bfeafc49904b496089"},
  };
  const std::vector<Byte> plain = FromHex("00112233445566778899aabbccddeeff");
  for (const auto& c : cases) {
    const std::vector<Byte> key = FromHex(c.Key);
    std::array<Byte, 16> out{}, back{};
    ASSERT_TRUE(AesEcbBlock(true, key, std::span<const Byte, 16>(plain.data(), 16), out));
    EXPECT_EQ(Hex(out), c.Cipher);
    ASSERT_TRUE(AesEcbBlock(false, key, out, back));
    EXPECT_EQ(Hex(back), Hex(plain));
    // CBC with a zero vector is ECB for one block.
    std::vector<Byte> cbc;
    ASSERT_TRUE(AesCbc(true, key, std::array<Byte, 16>{}, plain, cbc));
    EXPECT_EQ(Hex(cbc), c.Cipher);
  }
}

TEST(CipherLibrary, CbcRoundTripAndRefusals) {
  const std::vector<Byte> key(32, 7), iv(16, 9);
  std::vector<Byte> data(64);
  for (std::size_t k = 0; k < data.size(); ++k) data[k] = static_cast<Byte>(k * 13);
  std::vector<Byte> encrypted, decrypted;
  ASSERT_TRUE(AesCbc(true, key, iv, data, encrypted));
  EXPECT_NE(encrypted, data);
  ASSERT_TRUE(AesCbc(false, key, iv, encrypted, decrypted));
  EXPECT_EQ(decrypted, data);
  EXPECT_FALSE(AesCbc(true, key, iv, std::span<const Byte>(data.data(), 15), encrypted)) << "part block";
  EXPECT_FALSE(AesCbc(true, std::vector<Byte>(24, 1), iv, data, encrypted)) << "a 192-bit key is not used here";
  EXPECT_FALSE(AesCbc(true, key, std::vector<Byte>(8, 1), data, encrypted)) << "short vector";
}

TEST(CipherLibrary, RandomBytesDiffer) {
  std::array<Byte, 32> a{}, b{};
  RandomBytes(a);
  RandomBytes(b);
  EXPECT_NE(a, b);
}

}  // namespace
}  // namespace folvex
