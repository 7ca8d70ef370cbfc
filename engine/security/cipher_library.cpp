#include "engine/security/cipher_library.h"

#include <gcrypt.h>

#ifdef _WIN32
#include <windows.h>
#include <bcrypt.h>
#endif

namespace folvex {

namespace {

// The library wants its version checked once before first use; secure memory is not needed for
// document keys.
void EnsureInitialised() {
  static const bool initialised = [] {
    gcry_check_version(nullptr);
    gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    return true;
  }();
  (void)initialised;
}

int ShaAlgorithm(int bits) {
  if (bits == 384) return GCRY_MD_SHA384;
  if (bits == 512) return GCRY_MD_SHA512;
  return GCRY_MD_SHA256;
}

struct CipherHandle {
  gcry_cipher_hd_t Handle = nullptr;
  ~CipherHandle() {
    if (Handle != nullptr) gcry_cipher_close(Handle);
  }
};

bool Open(CipherHandle& h, int mode, std::span<const Byte> key) {
  const int algorithm = key.size() == 32 ? GCRY_CIPHER_AES256 : GCRY_CIPHER_AES128;
  if (key.size() != 16 && key.size() != 32) return false;
  if (gcry_cipher_open(&h.Handle, algorithm, mode, 0) != 0) return false;
  return gcry_cipher_setkey(h.Handle, key.data(), key.size()) == 0;
}

}  // namespace

std::vector<Byte> ShaDigest(int bits, std::initializer_list<std::span<const Byte>> parts) {
  EnsureInitialised();
  const int algorithm = ShaAlgorithm(bits);
  gcry_md_hd_t handle = nullptr;
  std::vector<Byte> digest(gcry_md_get_algo_dlen(algorithm));
  if (gcry_md_open(&handle, algorithm, 0) != 0) return digest;
  for (std::span<const Byte> part : parts) gcry_md_write(handle, part.data(), part.size());
  const unsigned char* result = gcry_md_read(handle, algorithm);
  if (result != nullptr) digest.assign(result, result + digest.size());
  gcry_md_close(handle);
  return digest;
}

bool AesCbc(bool encrypt, std::span<const Byte> key, std::span<const Byte> iv, std::span<const Byte> data,
            std::vector<Byte>& out) {
  EnsureInitialised();
  out.resize(data.size());
  if (data.size() % 16 != 0 || iv.size() != 16) return false;
  if (data.empty()) return true;
  CipherHandle h;
  if (!Open(h, GCRY_CIPHER_MODE_CBC, key)) return false;
  if (gcry_cipher_setiv(h.Handle, iv.data(), iv.size()) != 0) return false;
  const gcry_error_t error = encrypt ? gcry_cipher_encrypt(h.Handle, out.data(), out.size(), data.data(), data.size())
                                     : gcry_cipher_decrypt(h.Handle, out.data(), out.size(), data.data(), data.size());
  return error == 0;
}

bool AesEcbBlock(bool encrypt, std::span<const Byte> key, std::span<const Byte, 16> in, std::span<Byte, 16> out) {
  EnsureInitialised();
  CipherHandle h;
  if (!Open(h, GCRY_CIPHER_MODE_ECB, key)) return false;
  const gcry_error_t error = encrypt ? gcry_cipher_encrypt(h.Handle, out.data(), 16, in.data(), 16)
                                     : gcry_cipher_decrypt(h.Handle, out.data(), 16, in.data(), 16);
  return error == 0;
}

void RandomBytes(std::span<Byte> bytes) {
#ifdef _WIN32
  // The system generator: libgcrypt's own Windows entropy gatherer prints notes on the console.
  if (BCryptGenRandom(nullptr, bytes.data(), static_cast<ULONG>(bytes.size()), BCRYPT_USE_SYSTEM_PREFERRED_RNG) == 0) {
    return;
  }
#endif
  EnsureInitialised();
  gcry_randomize(bytes.data(), bytes.size(), GCRY_STRONG_RANDOM);
}

}  // namespace folvex
