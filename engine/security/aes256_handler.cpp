#include "engine/security/aes256_handler.h"

#include <algorithm>
#include <array>

#include "engine/core/document_texts.h"
#include "engine/security/cipher_library.h"
#include "engine/security/crypt_data.h"
#include "engine/security/saslprep_library.h"

namespace folvex {

namespace {

constexpr std::size_t kMaxPasswordBytes = 127;

std::span<const Byte> Bytes(std::string_view text) {
  return {reinterpret_cast<const Byte*>(text.data()), text.size()};
}

// Revision 6: rounds of AES-128-CBC over 64 copies of password, key and /U, each followed by a
// SHA-2 digest chosen by the encrypted bytes, at least 64 rounds and until the last byte allows.
std::vector<Byte> IteratedHash(std::span<const Byte> password, std::vector<Byte> k, std::span<const Byte> userEntry) {
  std::vector<Byte> block;
  std::vector<Byte> encrypted;
  for (int round = 0;; ++round) {
    block.clear();
    for (int copy = 0; copy < 64; ++copy) {
      block.insert(block.end(), password.begin(), password.end());
      block.insert(block.end(), k.begin(), k.end());
      block.insert(block.end(), userEntry.begin(), userEntry.end());
    }
    if (!AesCbc(true, std::span<const Byte>(k.data(), 16), std::span<const Byte>(k.data() + 16, 16), block, encrypted)) {
      return {};
    }
    unsigned sum = 0;
    for (int i = 0; i < 16; ++i) sum += encrypted[static_cast<std::size_t>(i)];
    const int bits = sum % 3 == 0 ? 256 : sum % 3 == 1 ? 384 : 512;
    k = ShaDigest(bits, {encrypted});
    if (round >= 63 && encrypted.back() <= round + 1 - 32) break;
  }
  k.resize(32);
  return k;
}

// The file key that a matching password's key salt unlocks from /UE or /OE.
bool UnwrapFileKey(int revision, std::string_view password, std::span<const Byte> keySalt,
                   std::span<const Byte> userEntry, const std::vector<Byte>& wrapped, SecurityParameters& p) {
  if (wrapped.size() < 32) return false;
  const std::vector<Byte> key = Aes256PasswordHash(revision, password, keySalt, userEntry);
  const std::array<Byte, 16> zero{};
  std::vector<Byte> fileKey;
  if (key.size() != 32 || !AesCbc(false, key, zero, std::span<const Byte>(wrapped.data(), 32), fileKey)) return false;
  p.FileKey = std::move(fileKey);
  return true;
}

}  // namespace

std::string Aes256PasswordBytes(std::string_view utf8) { return std::string(utf8.substr(0, kMaxPasswordBytes)); }

std::vector<std::string> Aes256PasswordForms(std::string_view utf8) {
  std::vector<std::string> forms{Aes256PasswordBytes(utf8)};
  std::string prepared;
  if (SaslPrep(utf8, prepared)) {
    prepared = Aes256PasswordBytes(prepared);
    if (prepared != forms.front()) forms.push_back(std::move(prepared));
  }
  return forms;
}

std::vector<Byte> Aes256PasswordHash(int revision, std::string_view password, std::span<const Byte> salt,
                                     std::span<const Byte> userEntry) {
  std::vector<Byte> k = ShaDigest(256, {Bytes(password), salt, userEntry});
  if (revision < 6) return k;
  return IteratedHash(Bytes(password), std::move(k), userEntry);
}

int CheckAes256UserPassword(std::string_view password, SecurityParameters& p) {
  if (p.UserEntry.size() < 48) return 0;
  const std::span<const Byte> u(p.UserEntry.data(), 48);
  const std::vector<Byte> hash = Aes256PasswordHash(p.EncryptRevision, password, u.subspan(32, 8), {});
  if (hash.size() != 32 || !std::equal(hash.begin(), hash.end(), u.begin())) return 0;
  return UnwrapFileKey(p.EncryptRevision, password, u.subspan(40, 8), {}, p.UserKeyEntry, p) ? 1 : 0;
}

int CheckAes256OwnerPassword(std::string_view password, SecurityParameters& p) {
  if (p.UserEntry.size() < 48 || p.OwnerEntry.size() < 48) return 0;
  const std::span<const Byte> u(p.UserEntry.data(), 48);
  const std::span<const Byte> o(p.OwnerEntry.data(), 48);
  const std::vector<Byte> hash = Aes256PasswordHash(p.EncryptRevision, password, o.subspan(32, 8), u);
  if (hash.size() != 32 || !std::equal(hash.begin(), hash.end(), o.begin())) return 0;
  return UnwrapFileKey(p.EncryptRevision, password, o.subspan(40, 8), u, p.OwnerKeyEntry, p) ? 1 : 0;
}

int CheckPermsEntry(const SecurityParameters& p) {
  if (p.PermsEntry.size() < 16 || p.FileKey.size() != 32) return 0;
  std::array<Byte, 16> plain{};
  if (!AesEcbBlock(false, p.FileKey, std::span<const Byte, 16>(p.PermsEntry.data(), 16), plain)) return 0;
  if (plain[9] != 'a' || plain[10] != 'd' || plain[11] != 'b') return 0;
  const auto bits = static_cast<uint32_t>(p.Permissions);
  for (int i = 0; i < 4; ++i) {
    if (plain[static_cast<std::size_t>(i)] != static_cast<Byte>(bits >> (8 * i))) return 0;
  }
  return 1;
}

void MakeAes256Entries(std::string_view userPassword, std::string_view ownerPassword, SecurityParameters& p,
                       const SaltSource& saltSource) {
  const std::string user = Aes256PasswordBytes(userPassword);
  const std::string owner = Aes256PasswordBytes(ownerPassword);
  const std::array<Byte, 16> zero{};
  std::array<Byte, 16> salts{};

  saltSource(salts);
  p.UserEntry = Aes256PasswordHash(6, user, std::span<const Byte>(salts.data(), 8), {});
  p.UserEntry.insert(p.UserEntry.end(), salts.begin(), salts.end());
  AesCbc(true, Aes256PasswordHash(6, user, std::span<const Byte>(salts.data() + 8, 8), {}), zero, p.FileKey,
         p.UserKeyEntry);

  saltSource(salts);
  p.OwnerEntry = Aes256PasswordHash(6, owner, std::span<const Byte>(salts.data(), 8), p.UserEntry);
  p.OwnerEntry.insert(p.OwnerEntry.end(), salts.begin(), salts.end());
  AesCbc(true, Aes256PasswordHash(6, owner, std::span<const Byte>(salts.data() + 8, 8), p.UserEntry), zero,
         p.FileKey, p.OwnerKeyEntry);

  std::array<Byte, 16> perms{};
  const auto bits = static_cast<uint32_t>(p.Permissions);
  for (int i = 0; i < 4; ++i) perms[static_cast<std::size_t>(i)] = static_cast<Byte>(bits >> (8 * i));
  for (int i = 4; i < 8; ++i) perms[static_cast<std::size_t>(i)] = 0xFF;
  perms[8] = p.EncryptMetadata != 0 ? 'T' : 'F';
  perms[9] = 'a';
  perms[10] = 'd';
  perms[11] = 'b';
  saltSource(std::span<Byte>(perms.data() + 12, 4));
  std::array<Byte, 16> encrypted{};
  AesEcbBlock(true, p.FileKey, perms, encrypted);
  p.PermsEntry.assign(encrypted.begin(), encrypted.end());
}

void MakeAes256Parameters(std::string_view userPassword, std::string_view ownerPassword, int32_t permissions,
                          SecurityParameters& p) {
  p = SecurityParameters{};
  p.FilterName = "Standard";
  p.EncryptVersion = 5;
  p.EncryptRevision = 6;
  p.KeyLength = 32;
  p.Permissions = permissions;
  p.EncryptMetadata = 1;
  p.StreamMethod = p.StringMethod = p.EmbeddedFileMethod = CryptMethod::Aes256;
  const auto id = NewFileId(CurrentDocumentTime());
  p.FileId.assign(id.begin(), id.end());

  const bool reproducible = MakeIvSequence().Reproducible;
  std::uint64_t counter = 0;
  auto derived = [&](std::span<Byte> bytes) {
    // SHA-256 over a label, the passwords, /P, the identifier and a counter.
    static constexpr std::string_view kLabel = "folvex reproducible AES-256";
    const Byte number[8] = {static_cast<Byte>(counter), static_cast<Byte>(counter >> 8), static_cast<Byte>(permissions),
                            static_cast<Byte>(permissions >> 8), static_cast<Byte>(permissions >> 16),
                            static_cast<Byte>(permissions >> 24), 0, 0};
    ++counter;
    const std::vector<Byte> digest = ShaDigest(256, {Bytes(kLabel), Bytes(userPassword), Bytes("\n"),
                                                     Bytes(ownerPassword), number, p.FileId});
    std::copy_n(digest.begin(), std::min(bytes.size(), digest.size()), bytes.begin());
  };
  const SaltSource source = reproducible ? SaltSource(derived) : SaltSource(RandomBytes);
  p.FileKey.resize(32);
  source(p.FileKey);
  MakeAes256Entries(userPassword, ownerPassword.empty() ? userPassword : ownerPassword, p, source);
}

}  // namespace folvex
