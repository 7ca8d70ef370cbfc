// Set security and remove security over several files: the drivers and their per-file results.
#pragma once

#include <string>
#include <vector>

#include "engine/core/engine_state.h"

namespace folvex {

// Per-file results (SecurityFileRecord::Result) and job results of the security drivers.
enum SecurityResult : int {
  kSecurityDone = 0,              // the output was written
  kSecurityJobCancelled = 3,      // job result only: the job was cancelled
  kSecurityPasswordFailed = 4,    // the password prompt was declined, or three wrong passwords
  kSecurityWrongState = 5,        // protect: already protected; unprotect: not protected
  kSecurityUnsupported = 6,       // not readable as PDF, or a protection we do not handle (see Refusal)
  kSecurityInputMissing = 7,      // the input cannot be opened
  kSecurityOutputFailed = 8,      // the output cannot be created or written
  kSecurityNotPermitted = 9,      // removal needs an owner password that differs from the user password
  kSecurityFailed = -1,           // the input cannot be loaded or parsed, or memory ran out
  kSecurityNotHandled = -1000,    // the job was cancelled before this file was finished
};

// One input of a security job. The driver fills Result and Refusal.
struct SecurityFileRecord {
  std::string InputPath;
  std::string OutputPath;
  int Result = kSecurityNotHandled;
  SecurityRefusal Refusal = SecurityRefusal::None;  // why, when Result is kSecurityUnsupported
  PasswordFailure Password = PasswordFailure::None;  // why, when Result is kSecurityPasswordFailed or NotPermitted
  // When Result is kSecurityOutputFailed because the output (or its backup name, then in
  // Colliding) is an input of the job or the output of an earlier file: that file's path.
  // Nothing was written for this record then.
  std::string Colliding{};
  std::string CollidesWith{};
  // When Result is kSecurityOutputFailed because the written copy did not read back as it should.
  bool ReadBackFailed = false;
  // When the copy failed because it would place an object beyond kMaxTableOffset.
  bool OutputTooLarge = false;
};

// The inputs are in state.SecurityJobState: protect takes OpenPassword (user), OwnerPassword,
// PermissionSelection and FileBackUp; unprotect takes OwnerPassword (the password given; the
// prompt of state.Control asks when it does not do) and FileBackUp. Progress, cancel and the
// prompt go through state.Control. An output is replaced only once the new one is complete, and
// a failed or cancelled file leaves no output behind.

// Writes a protected copy of every record's input. Returns 0 when every file was written, the
// first nonzero per-file result otherwise, or kSecurityJobCancelled.
int ProtectFiles(EngineState& state, std::vector<SecurityFileRecord>& records);
// File index of count (progress "Reading 1/3" ...). Returns the per-file result.
int ProtectFile(EngineState& state, SecurityFileRecord& record, int index, int count);

// Writes an unprotected copy of every record's input; results as for ProtectFiles.
int UnprotectFiles(EngineState& state, std::vector<SecurityFileRecord>& records);
int UnprotectFile(EngineState& state, SecurityFileRecord& record, int index, int count);

}  // namespace folvex
