// The security values of one job: the standard-handler parameters of the file being protected or
// opened, and the user's choices and out-values of a set-security or remove-security job.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/bytes.h"

namespace folvex {

// Standard security handler values of one file, filled by ReadEncryptDictionary from an input or
// by ProtectFile for an output.
struct SecurityParameters {
  std::string FilterName;          // /Filter without its slash
  int EncryptVersion = 0;          // /V
  int EncryptRevision = 0;         // /R
  int KeyLength = 5;               // bytes: /Length / 8, 5 when absent or 0
  int32_t Permissions = 0;         // /P
  std::vector<Byte> OwnerEntry;    // /O (32 bytes when usable)
  std::vector<Byte> UserEntry;     // /U (32 bytes when usable)
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
  Aes,              // /V 4 or 5: crypt filters (AES, or RC4 through a crypt filter)
  Version,          // another /V
  Revision,         // /R other than 2 and 3
  XrefStreams,      // protected and stored with cross-reference streams
};

// The user's inputs and the out-values of a security job. The passwords are bytes: UTF-8 as typed
// on Linux, the ANSI code page bytes on Windows (converted by the caller).
struct SecurityJob {
  std::string OpenPassword;        // set security: the user password
  std::string OwnerPassword;       // set security: the owner password; remove security: the password given
  int PermissionSelection = 0;     // 1 print, 2 modify, 4 copy, 8 add annotations
  bool FileBackUp = false;         // keep an overwritten output as NAME.bak
  // The last password that opened a file. Job-scoped here; a caller that wants it to last for the
  // run copies it from one job's state into the next.
  std::string RememberedPassword;
  int PasswordDialogMode = 0;      // 1 during remove security, 0 during extract and merge
  int OutputEncrypted = 0;         // the output written is protected / the input was protected
  int BackupMade = 0;              // the output existed and was moved to its backup name
  SecurityRefusal LastRefusal = SecurityRefusal::None;
};

}  // namespace folvex
