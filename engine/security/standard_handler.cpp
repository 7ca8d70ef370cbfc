#include "engine/security/standard_handler.h"

#include <algorithm>
#include <cstring>

#include "engine/security/md5.h"
#include "engine/security/rc4.h"

namespace folvex {

const std::array<Byte, 32> PasswordPadding = {0x28, 0xBF, 0x4E, 0x5E, 0x4E, 0x75, 0x8A, 0x41, 0x64, 0x00, 0x4E,
                                              0x56, 0xFF, 0xFA, 0x01, 0x08, 0x2E, 0x2E, 0x00, 0xB6, 0xD0, 0x68,
                                              0x3E, 0x80, 0x2F, 0x0C, 0xA9, 0xFE, 0x64, 0x53, 0x69, 0x7A};

namespace {

std::size_t UsableKeyLength(int keyLength) { return static_cast<std::size_t>(std::clamp(keyLength, 1, 16)); }

// Replaces the first n bytes of digest by their MD5, 50 times.
void Rehash50(Md5Digest& digest, std::size_t n) {
  for (int k = 0; k < 50; ++k) {
    Md5Context context;
    Md5Init(context);
    Md5Update(context, digest.data(), n);
    Md5Final(digest, context);
  }
}

// RC4 over bytes in place, with key, then (revision 3) 19 more passes with the key XORed with 1..19.
void Rc4Passes(std::span<Byte> bytes, std::span<const Byte> key, int revision) {
  const int passes = revision >= 3 ? 20 : 1;
  Byte round[16];
  for (int pass = 0; pass < passes; ++pass) {
    for (std::size_t k = 0; k < key.size(); ++k) round[k] = static_cast<Byte>(key[k] ^ pass);
    Rc4State state;
    Rc4Init(state, round, key.size());
    Rc4Crypt(state, bytes.data(), bytes.data(), bytes.size());
  }
}

std::vector<Byte> FileKeyOfPadded(int revision, const std::array<Byte, 32>& padded, const SecurityParameters& p) {
  const std::size_t n = UsableKeyLength(p.KeyLength);
  Md5Context context;
  Md5Init(context);
  Md5Update(context, padded);
  Md5Update(context, p.OwnerEntry);
  const auto bits = static_cast<uint32_t>(p.Permissions);
  const Byte permissions[4] = {static_cast<Byte>(bits), static_cast<Byte>(bits >> 8), static_cast<Byte>(bits >> 16),
                               static_cast<Byte>(bits >> 24)};
  Md5Update(context, permissions, 4);
  Md5Update(context, p.FileId);
  if (revision >= 3 && p.EncryptMetadata == 0) {
    static const Byte kNoMetadata[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    Md5Update(context, kNoMetadata, 4);
  }
  Md5Digest digest;
  Md5Final(digest, context);
  if (revision >= 3) Rehash50(digest, n);
  return {digest.begin(), digest.begin() + static_cast<std::ptrdiff_t>(n)};
}

std::array<Byte, 32> UserEntryOfPadded(int revision, const std::array<Byte, 32>& padded, SecurityParameters& p) {
  p.FileKey = FileKeyOfPadded(revision, padded, p);
  std::array<Byte, 32> entry{};
  if (revision < 3) {
    entry = PasswordPadding;
    Rc4Passes(entry, p.FileKey, 2);
    return entry;
  }
  Md5Context context;
  Md5Init(context);
  Md5Update(context, PasswordPadding);
  Md5Update(context, p.FileId);
  Md5Digest digest;
  Md5Final(digest, context);
  std::copy(digest.begin(), digest.end(), entry.begin());
  Rc4Passes(std::span<Byte>(entry.data(), 16), p.FileKey, revision);
  return entry;
}

int CheckPadded(int revision, const std::array<Byte, 32>& padded, SecurityParameters& p) {
  const std::array<Byte, 32> entry = UserEntryOfPadded(revision, padded, p);
  const std::size_t compared = revision >= 3 ? 16 : 32;
  if (p.UserEntry.size() < compared) return 0;
  return std::equal(entry.begin(), entry.begin() + static_cast<std::ptrdiff_t>(compared), p.UserEntry.begin()) ? 1 : 0;
}

// The RC4 key that /O is made with, from the owner password (Algorithm steps 1 to 3).
std::vector<Byte> OwnerKey(std::string_view password, int revision, std::size_t n) {
  const std::array<Byte, 32> padded = PadPassword(password);
  Md5Context context;
  Md5Init(context);
  Md5Update(context, padded);
  Md5Digest digest;
  Md5Final(digest, context);
  if (revision >= 3) Rehash50(digest, n);
  return {digest.begin(), digest.begin() + static_cast<std::ptrdiff_t>(n)};
}

}  // namespace

std::array<Byte, 32> PadPassword(std::string_view password) {
  std::array<Byte, 32> padded;
  const std::size_t length = std::min<std::size_t>(password.size(), 32);
  std::memcpy(padded.data(), password.data(), length);
  std::memcpy(padded.data() + length, PasswordPadding.data(), 32 - length);
  return padded;
}

std::vector<Byte> ComputeFileKey(int revision, std::string_view password, const SecurityParameters& p) {
  return FileKeyOfPadded(revision, PadPassword(password), p);
}

std::array<Byte, 32> ComputeOwnerEntry(std::string_view ownerPassword, std::string_view userPassword, int revision,
                                       int keyLength) {
  const std::vector<Byte> key =
      OwnerKey(ownerPassword.empty() ? userPassword : ownerPassword, revision, UsableKeyLength(keyLength));
  std::array<Byte, 32> entry = PadPassword(userPassword);
  Rc4Passes(entry, key, revision);
  return entry;
}

std::array<Byte, 32> ComputeUserEntry(int revision, std::string_view userPassword, SecurityParameters& p) {
  return UserEntryOfPadded(revision, PadPassword(userPassword), p);
}

int CheckUserEntry(int revision, std::string_view password, SecurityParameters& p) {
  return CheckPadded(revision, PadPassword(password), p);
}

int CheckOwnerEntry(int revision, std::string_view password, SecurityParameters& p) {
  if (p.OwnerEntry.size() < 32) return 0;
  const std::vector<Byte> key = OwnerKey(password, revision, UsableKeyLength(p.KeyLength));
  std::array<Byte, 32> userPadded;
  std::copy_n(p.OwnerEntry.begin(), 32, userPadded.begin());
  const int passes = revision >= 3 ? 20 : 1;
  Byte round[16];
  for (int pass = passes - 1; pass >= 0; --pass) {
    for (std::size_t k = 0; k < key.size(); ++k) round[k] = static_cast<Byte>(key[k] ^ pass);
    Rc4State state;
    Rc4Init(state, round, key.size());
    Rc4Crypt(state, userPadded.data(), userPadded.data(), 32);
  }
  return CheckPadded(revision, userPadded, p);
}

ObjectKeyBytes ObjectKey(std::span<const Byte> fileKey, int number, int generation) {
  Md5Context context;
  Md5Init(context);
  Md5Update(context, fileKey);
  const auto n = static_cast<uint32_t>(number);
  const auto g = static_cast<uint32_t>(generation);
  const Byte suffix[5] = {static_cast<Byte>(n), static_cast<Byte>(n >> 8), static_cast<Byte>(n >> 16),
                          static_cast<Byte>(g), static_cast<Byte>(g >> 8)};
  Md5Update(context, suffix, 5);
  Md5Digest digest;
  Md5Final(digest, context);
  ObjectKeyBytes key;
  key.Length = std::min<std::size_t>(fileKey.size() + 5, 16);
  std::copy(digest.begin(), digest.end(), key.Bytes.begin());
  return key;
}

int32_t PermissionsFromSelection(int selection) {
  int32_t permissions = -3904;
  if (selection & 1) permissions += 4 + 2048;
  if (selection & 2) permissions += 8 + 1024;
  if (selection & 4) permissions += 16 + 512;
  if (selection & 8) permissions += 32 + 256;
  return permissions;
}

std::array<Byte, 16> NewFileId(const DocumentTime& time) {
  const std::string text = CreationDateText(time) + "0";
  Md5Context context;
  Md5Init(context);
  Md5Update(context, reinterpret_cast<const Byte*>(text.data()), text.size());
  Md5Digest digest;
  Md5Final(digest, context);
  return digest;
}

bool PasswordToPdfDocEncoding(std::string_view utf8, std::string& out) {
  // Code points of PDFDocEncoding bytes 0x18..0x1F and 0x80..0xA0 that differ from Latin-1.
  static const uint16_t kLow[8] = {0x02D8, 0x02C7, 0x02C6, 0x02D9, 0x02DD, 0x02DB, 0x02DA, 0x02DC};
  static const uint16_t kHigh[33] = {0x2022, 0x2020, 0x2021, 0x2026, 0x2014, 0x2013, 0x0192, 0x2044, 0x2039,
                                     0x203A, 0x2212, 0x2030, 0x201E, 0x201C, 0x201D, 0x2018, 0x2019, 0x201A,
                                     0x2122, 0xFB01, 0xFB02, 0x0141, 0x0152, 0x0160, 0x0178, 0x017D, 0x0131,
                                     0x0142, 0x0153, 0x0161, 0x017E, 0x0000, 0x20AC};
  out.clear();
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto c = static_cast<Byte>(utf8[i]);
    uint32_t code = 0;
    std::size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (length == 0 || i + length > utf8.size()) return false;
    code = length == 1 ? c : c & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<Byte>(utf8[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    i += length;
    int byte = -1;
    if (code < 0x18 || (code >= 0x20 && code < 0x7F) || (code >= 0xA1 && code <= 0xFF && code != 0xAD)) {
      byte = static_cast<int>(code);
    } else {
      for (int k = 0; k < 8 && byte < 0; ++k) if (kLow[k] == code) byte = 0x18 + k;
      for (int k = 0; k < 33 && byte < 0; ++k) if (kHigh[k] != 0 && kHigh[k] == code) byte = 0x80 + k;
    }
    if (byte < 0) return false;
    out.push_back(static_cast<char>(byte));
  }
  return true;
}

}  // namespace folvex
