// The standard security handler's revisions 5 and 6 (AES-256): password checks against /U, /O,
// /UE and /OE, the /Perms check, and new entries for a protected output. A password is hashed as
// its UTF-8 bytes as typed; opening also tries its SASLprep form, which some writers hash instead.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/security_state.h"

namespace folvex {

// The bytes of a password that these revisions hash: the UTF-8 bytes as typed, cut to at most 127
// bytes (at byte 127 even inside a character, as the other readers and writers cut them).
std::string Aes256PasswordBytes(std::string_view utf8);

// The forms of a typed password to try against a file's entries, in this order: its bytes as
// typed, then its SASLprep form when it has one that differs; both cut as Aes256PasswordBytes cuts.
std::vector<std::string> Aes256PasswordForms(std::string_view utf8);

// The 32-byte hash of a password (one of the forms above) with an 8-byte salt and, for owner
// entries, the 48 bytes of /U (userEntry empty otherwise): SHA-256 for revision 5, the iterated
// hash for 6.
std::vector<Byte> Aes256PasswordHash(int revision, std::string_view password, std::span<const Byte> salt,
                                     std::span<const Byte> userEntry);

// 1 when password (one form, used as given) opens the file as user or owner password; p.FileKey
// is then set.
int CheckAes256UserPassword(std::string_view password, SecurityParameters& p);
int CheckAes256OwnerPassword(std::string_view password, SecurityParameters& p);

// 1 when /Perms, decrypted with p.FileKey, carries p.Permissions and the "adb" mark.
int CheckPermsEntry(const SecurityParameters& p);

// Fills /U, /UE, /O, /OE and /Perms of revision 6 from the passwords (cut here), p.FileKey,
// p.Permissions and p.EncryptMetadata; salts come from saltSource (8 bytes each, 4 calls) and the
// last 4 bytes of /Perms from it too.
using SaltSource = std::function<void(std::span<Byte> bytes)>;
void MakeAes256Entries(std::string_view userPassword, std::string_view ownerPassword, SecurityParameters& p,
                       const SaltSource& saltSource);

// Every parameter of a new AES-256 (/V 5 /R 6) protected output: a new file identifier, file
// key, salts and entries. The key and salts are random, or, when SOURCE_DATE_EPOCH asks for
// reproducible output, derived from the passwords, permissions and identifier (such a file is
// then only as strong as its password against a guess that skips the slow hash).
void MakeAes256Parameters(std::string_view userPassword, std::string_view ownerPassword, int32_t permissions,
                          SecurityParameters& p);

}  // namespace folvex
