// The standard security handler, revisions 2 and 3: file keys, /O and /U, password checks, object
// keys, permission values and new file identifiers. Passwords are byte strings.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "engine/core/document_texts.h"
#include "engine/core/security_state.h"

namespace folvex {

extern const std::array<Byte, 32> PasswordPadding;

// The first 32 bytes of password followed by leading bytes of PasswordPadding.
std::array<Byte, 32> PadPassword(std::string_view password);

// The file key (p.KeyLength bytes) of password, from p.OwnerEntry, Permissions, FileId and
// EncryptMetadata.
std::vector<Byte> ComputeFileKey(int revision, std::string_view password, const SecurityParameters& p);

// /O from the owner password (the user password when the owner password is empty).
std::array<Byte, 32> ComputeOwnerEntry(std::string_view ownerPassword, std::string_view userPassword, int revision,
                                       int keyLength);

// /U from the user password; leaves the file key in p.FileKey.
std::array<Byte, 32> ComputeUserEntry(int revision, std::string_view userPassword, SecurityParameters& p);

// 1 when password opens the file as user password (p.FileKey is then set), else 0.
int CheckUserEntry(int revision, std::string_view password, SecurityParameters& p);
// 1 when password is the owner password (p.FileKey is then set), else 0.
int CheckOwnerEntry(int revision, std::string_view password, SecurityParameters& p);

// The RC4 key of one object: min(n + 5, 16) bytes.
struct ObjectKeyBytes {
  std::array<Byte, 16> Bytes{};
  std::size_t Length = 0;
  std::span<const Byte> View() const { return {Bytes.data(), Length}; }
};
ObjectKeyBytes ObjectKey(std::span<const Byte> fileKey, int number, int generation);

// /P from PermissionSelection (1 print, 2 modify, 4 copy, 8 add annotations).
int32_t PermissionsFromSelection(int selection);

// A new 16-byte file identifier: MD5 of the 14-digit time text followed by "0".
std::array<Byte, 16> NewFileId(const DocumentTime& time);

// The PDFDocEncoding form of a UTF-8 password, or false when it has a character that encoding
// lacks or is not valid UTF-8.
bool PasswordToPdfDocEncoding(std::string_view utf8, std::string& out);

}  // namespace folvex
