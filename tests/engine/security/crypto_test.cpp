#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/security/md5.h"
#include "engine/security/rc4.h"

namespace folvex {
namespace {

std::string Hex(const Byte* bytes, std::size_t length) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (std::size_t k = 0; k < length; ++k) {
    text.push_back(kDigits[bytes[k] >> 4]);
    text.push_back(kDigits[bytes[k] & 15]);
  }
  return text;
}

const Byte* BytesOf(const std::string& text) { return reinterpret_cast<const Byte*>(text.data()); }

// Digest of message fed in pieces of the given size (0: one piece).
std::string Md5Hex(const std::string& message, std::size_t piece) {
  Md5Context context;
  Md5Init(context);
  if (piece == 0) {
    Md5Update(context, BytesOf(message), message.size());
  } else {
    for (std::size_t at = 0; at < message.size(); at += piece) {
      Md5Update(context, BytesOf(message) + at, std::min(piece, message.size() - at));
    }
  }
  Md5Digest digest;
  Md5Final(digest, context);
  return Hex(digest.data(), digest.size());
}

TEST(Md5, Rfc1321TestSuiteInAnyPieces) {
  const struct {
    std::string Message;
    const char* Digest;
  } cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& test : cases) {
    for (std::size_t piece : {0, 1, 3, 7, 55, 56, 63, 64, 65}) {
      EXPECT_EQ(Md5Hex(test.Message, piece), test.Digest) << '"' << test.Message << "\" in pieces of " << piece;
    }
  }
}

TEST(Md5, LengthsAroundTheBlockBoundaryDifferFromEachOther) {
  // Padding takes one extra block from 56 bytes on; every length gives its own digest.
  std::vector<std::string> digests;
  for (std::size_t length = 54; length <= 66; ++length) digests.push_back(Md5Hex(std::string(length, 'x'), 0));
  for (std::size_t k = 1; k < digests.size(); ++k) EXPECT_NE(digests[k - 1], digests[k]);
  EXPECT_EQ(Md5Hex(std::string(1000, 'x'), 0), Md5Hex(std::string(1000, 'x'), 13));
}

TEST(Rc4, PublishedVectorsAndInverse) {
  const struct {
    std::string Key;
    std::string Plain;
    const char* Cipher;
  } cases[] = {
      {"Key", "Plaintext", "bbf316e8d940af0ad3"},
      {"Wiki", "pedia", "1021bf0420"},
      {"Secret", "Attack at dawn", "45a01f645fc35b383552544b9bf5"},
      // RFC 6229: 40-bit and 128-bit keys, first 16 bytes of keystream.
      {std::string("\x01\x02\x03\x04\x05", 5), std::string(16, '\0'), "b2396305f03dc027ccc3524a0a1118a8"},
      {std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10", 16), std::string(16, '\0'),
       "9ac7cc9a609d1ef7b2932899cde41b97"},
  };
  for (const auto& test : cases) {
    Rc4State state;
    Rc4Init(state, BytesOf(test.Key), test.Key.size());
    std::vector<Byte> out(test.Plain.size());
    Rc4Crypt(state, out.data(), BytesOf(test.Plain), test.Plain.size());
    EXPECT_EQ(Hex(out.data(), out.size()), test.Cipher) << "key " << Hex(BytesOf(test.Key), test.Key.size());

    // In place, in two pieces, with a fresh state: the plain text comes back.
    Rc4Init(state, BytesOf(test.Key), test.Key.size());
    Rc4Crypt(state, out.data(), out.data(), 2);
    Rc4Crypt(state, out.data() + 2, out.data() + 2, out.size() - 2);
    EXPECT_EQ(std::string(out.begin(), out.end()), test.Plain);
  }
}

}  // namespace
}  // namespace folvex
