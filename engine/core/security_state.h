// The security values of one job: the standard-handler parameters of the file being protected or
// opened, and the user's choices and out-values of a set-security or remove-security job.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/core/bytes.h"

namespace folvex {

// How strings or streams are protected: no protection (the Identity crypt filter), RC4 under
// object keys (revisions 2 to 4), AES-128 under object keys (AESV2) or AES-256 under the file key
// (AESV3).
enum class CryptMethod : int { Identity = 0, Rc4, Aes128, Aes256 };

// Standard security handler values of one file, filled by ReadEncryptDictionary from an input or
// by ProtectFile for an output.
struct SecurityParameters {
  std::string FilterName;          // /Filter without its slash
  int EncryptVersion = 0;          // /V
  int EncryptRevision = 0;         // /R
  int KeyLength = 5;               // bytes: /Length / 8, 5 when absent or 0
  int32_t Permissions = 0;         // /P
  std::vector<Byte> OwnerEntry;    // /O (32 bytes when usable; 48 from revision 5)
  std::vector<Byte> UserEntry;     // /U (32 bytes when usable; 48 from revision 5)
  std::vector<Byte> OwnerKeyEntry; // /OE, revisions 5 and 6 (32 bytes)
  std::vector<Byte> UserKeyEntry;  // /UE, revisions 5 and 6 (32 bytes)
  std::vector<Byte> PermsEntry;    // /Perms, revisions 5 and 6 (16 bytes)
  // Revisions 2 and 3 (/V 1 and 2) use RC4 for everything; /V 4 and 5 name their methods through
  // /StmF, /StrF and /EFF.
  CryptMethod StreamMethod = CryptMethod::Rc4;
  CryptMethod StringMethod = CryptMethod::Rc4;
  CryptMethod EmbeddedFileMethod = CryptMethod::Rc4;
  std::vector<std::pair<std::string, CryptMethod>> NamedFilters;  // /CF: name -> method
  std::vector<Byte> FileId;        // the whole first /ID string, at most 100 bytes
  int EncryptMetadata = 1;         // 0 when /EncryptMetadata false
  std::vector<Byte> FileKey;       // KeyLength bytes after a password check or key computation
  int EncryptObjectNumber = 0;     // the input's /Encrypt object
};

// Why a protected input was refused (per-file result 6), for the caller's message.
enum class SecurityRefusal : int {
  None = 0,
  Unreadable,       // the /Encrypt dictionary is missing or malformed
  NotStandard,      // /Filter is not /Standard
  Aes,              // /V 4 or 5 with a crypt filter method or revision that cannot be read
  Version,          // another /V
  Revision,         // /R other than 2 and 3
  XrefStreams,      // protected and stored with cross-reference streams
};

// Why the last password search failed, for the caller's message.
enum class PasswordFailure : int {
  None = 0,
  NoMatch,          // no password tried opened the file
  UserOnly,         // a password opened it as its user password where the owner password is needed
  NoDistinctOwner,  // the owner password is needed, and it is empty or equal to the user password
};

// The user's inputs and the out-values of a security job. The passwords are bytes: UTF-8 as typed
// on Linux, the ANSI code page bytes on Windows (converted by the caller).
struct SecurityJob {
  std::string OpenPassword;        // set security: the user password
  std::string OwnerPassword;       // set security: the owner password; remove security: the password given
  int PermissionSelection = 0;     // 1 print, 2 modify, 4 copy, 8 add annotations
  bool FileBackUp = false;         // keep an overwritten output as NAME.bak
  bool Aes256 = false;             // set security: AES-256 (/V 5 /R 6, UTF-8 passwords) instead of RC4-128
  // The last password that opened a file. Job-scoped here; a caller that wants it to last for the
  // run copies it from one job's state into the next.
  std::string RememberedPassword;
  int PasswordDialogMode = 0;      // 1 during remove security, 0 during extract and merge
  int OutputEncrypted = 0;         // the output written is protected / the input was protected
  int BackupMade = 0;              // the output existed and was moved to its backup name
  SecurityRefusal LastRefusal = SecurityRefusal::None;
  PasswordFailure LastPasswordFailure = PasswordFailure::None;
};

}  // namespace folvex
