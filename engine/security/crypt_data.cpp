#include "engine/security/crypt_data.h"

#include <algorithm>
#include <cstdlib>

#include "engine/security/cipher_library.h"
#include "engine/security/md5.h"
#include "engine/security/rc4.h"

namespace folvex {

namespace {

void Rc4Bytes(const ObjectKeyBytes& key, std::span<const Byte> data, std::vector<Byte>& out) {
  out.assign(data.begin(), data.end());
  if (out.empty()) return;
  Rc4State rc4;
  Rc4Init(rc4, key.Bytes.data(), key.Length);
  Rc4Crypt(rc4, out.data(), out.data(), out.size());
}

void AesEncrypt(std::span<const Byte> key, std::span<const Byte> data, std::vector<Byte>& out, std::span<Byte, 16> iv) {
  std::vector<Byte> padded(data.begin(), data.end());
  const std::size_t pad = 16 - data.size() % 16;
  padded.insert(padded.end(), pad, static_cast<Byte>(pad));
  std::vector<Byte> encrypted;
  AesCbc(true, key, iv, padded, encrypted);
  out.assign(iv.begin(), iv.end());
  out.insert(out.end(), encrypted.begin(), encrypted.end());
}

void AesDecrypt(std::span<const Byte> key, std::span<const Byte> data, std::vector<Byte>& out) {
  out.clear();
  // Sixteen bytes of vector and at least one block; anything shorter holds nothing.
  if (data.size() < 32) return;
  const std::size_t blocks = (data.size() - 16) / 16 * 16;
  if (!AesCbc(false, key, data.first(16), data.subspan(16, blocks), out)) {
    out.clear();
    return;
  }
  if (out.empty()) return;
  const Byte pad = out.back();
  if (pad == 0 || pad > 16 || pad > out.size()) return;
  for (std::size_t i = out.size() - pad; i < out.size(); ++i) {
    if (out[i] != pad) return;
  }
  out.resize(out.size() - pad);
}

}  // namespace

ObjectCrypt MakeObjectCrypt(std::span<const Byte> fileKey, int number, int generation) {
  ObjectCrypt object;
  object.Number = number;
  object.Rc4Key = ObjectKey(fileKey, number, generation);
  Md5Context context;
  Md5Init(context);
  Md5Update(context, fileKey);
  const auto n = static_cast<uint32_t>(number);
  const auto g = static_cast<uint32_t>(generation);
  const Byte suffix[9] = {static_cast<Byte>(n), static_cast<Byte>(n >> 8), static_cast<Byte>(n >> 16),
                          static_cast<Byte>(g), static_cast<Byte>(g >> 8), 's', 'A', 'l', 'T'};
  Md5Update(context, suffix, sizeof suffix);
  Md5Final(object.Aes128Key, context);
  return object;
}

void IvSequence::Next(std::span<const Byte> fileKey, int number, std::span<Byte, 16> iv) {
  if (!Reproducible) {
    RandomBytes(iv);
    return;
  }
  Byte counter[12];
  const auto n = static_cast<uint32_t>(number);
  for (int i = 0; i < 4; ++i) counter[i] = static_cast<Byte>(n >> (8 * i));
  for (int i = 0; i < 8; ++i) counter[4 + i] = static_cast<Byte>(Counter >> (8 * i));
  ++Counter;
  const std::vector<Byte> digest = ShaDigest(256, {fileKey, counter});
  std::copy_n(digest.begin(), 16, iv.begin());
}

IvSequence MakeIvSequence() {
  IvSequence ivs;
  const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
  ivs.Reproducible = epoch != nullptr && *epoch != 0;
  return ivs;
}

void CryptBytes(CryptMethod method, const ObjectCrypt& object, std::span<const Byte> fileKey, bool encrypt,
                std::span<const Byte> data, std::vector<Byte>& out, IvSequence& ivs) {
  switch (method) {
    case CryptMethod::Identity:
      out.assign(data.begin(), data.end());
      return;
    case CryptMethod::Rc4:
      Rc4Bytes(object.Rc4Key, data, out);
      return;
    case CryptMethod::Aes128:
    case CryptMethod::Aes256: {
      const std::span<const Byte> key = method == CryptMethod::Aes128 ? std::span<const Byte>(object.Aes128Key)
                                                                      : fileKey.first(std::min<std::size_t>(32, fileKey.size()));
      if (!encrypt) return AesDecrypt(key, data, out);
      std::array<Byte, 16> iv{};
      ivs.Next(fileKey, object.Number, iv);
      return AesEncrypt(key, data, out, iv);
    }
  }
}

}  // namespace folvex
