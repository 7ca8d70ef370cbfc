// Reading a written file back before it is called done: it must parse as it stands (no repair,
// no conversion, no decryption), its page tree must hold the pages the job wrote, and a protected
// file must open with the job's passwords and key.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/core/engine_state.h"
#include "engine/core/output_file.h"

namespace folvex {

// LastErrorCode-style reasons of CheckWrittenFile.
constexpr int kReadBackNoTable = -2002;     // the cross-reference data does not parse as written
constexpr int kReadBackNoPages = -2003;     // the catalog or the page tree cannot be walked
constexpr int kReadBackPageCount = -2004;   // other pages than the job wrote
constexpr int kReadBackProtection = -2005;  // protected where it should not be, or the other way
constexpr int kReadBackPasswords = -2006;   // the passwords do not open it with the job's key

inline bool IsReadBackFailure(int code) { return code <= kReadBackNoTable && code >= kReadBackPasswords; }

// A password the written file must accept, as user or as owner password.
struct ExpectedPassword {
  std::string Password;  // the bytes the entries were made from
  bool AsOwner = false;
};

struct ExpectedOutput {
  int PageCount = 0;              // the root /Count; -1: the pages need not be walkable
  std::size_t ListedPages = 0;    // the pages the tree lists
  // Protected outputs: the standard-handler values they must carry (the file identifier and the
  // file key included) and the passwords that must open them. Unset: not protected.
  std::optional<SecurityParameters> Security;
  std::vector<ExpectedPassword> Passwords;
};

// The page count and listed pages of a file as CountPages sees it, without repair. Returns 0, or
// one of the codes above.
int CheckWrittenFile(std::span<const Byte> bytes, const ExpectedOutput& expected);

// The check for StoreOptions::ReadBack; a failure leaves its code in *reason when given.
ReadBackCheck ReadBackOf(ExpectedOutput expected, int* reason = nullptr);

}  // namespace folvex
