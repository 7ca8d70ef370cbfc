#include "engine/security/read_back.h"

#include <new>

#include "engine/reading/catalog.h"
#include "engine/reading/xref.h"
#include "engine/security/aes256_handler.h"
#include "engine/security/authenticate.h"
#include "engine/security/standard_handler.h"

namespace folvex {

namespace {

bool SameProtection(const SecurityParameters& read, const SecurityParameters& wanted) {
  return read.FilterName == wanted.FilterName && read.EncryptVersion == wanted.EncryptVersion &&
         read.EncryptRevision == wanted.EncryptRevision && read.Permissions == wanted.Permissions &&
         read.OwnerEntry == wanted.OwnerEntry && read.UserEntry == wanted.UserEntry &&
         read.OwnerKeyEntry == wanted.OwnerKeyEntry && read.UserKeyEntry == wanted.UserKeyEntry &&
         read.PermsEntry == wanted.PermsEntry && read.EncryptMetadata == wanted.EncryptMetadata &&
         read.FileId == wanted.FileId;
}

// Whether password opens the file described by p as user or owner password with key.
bool Unlocks(SecurityParameters p, const ExpectedPassword& password, const std::vector<Byte>& key) {
  p.KeyLength = static_cast<int>(key.size());
  int opened = 0;
  if (p.EncryptVersion == 5) {
    const std::string bytes = Aes256PasswordBytes(password.Password);
    opened = password.AsOwner ? CheckAes256OwnerPassword(bytes, p) : CheckAes256UserPassword(bytes, p);
  } else {
    opened = password.AsOwner ? CheckOwnerEntry(p.EncryptRevision, password.Password, p)
                              : CheckUserEntry(p.EncryptRevision, password.Password, p);
  }
  return opened == 1 && p.FileKey == key;
}

int Check(std::span<const Byte> bytes, const ExpectedOutput& expected) {
  EngineState state;
  DocumentSlot slot;
  slot.Image.View = bytes;
  int catalogGeneration = 0;
  if (ParseXrefChain(state, slot.Image, slot.Xref, slot.CatalogNumber, catalogGeneration) != 1 ||
      state.NeedsConversion != 0) {
    return kReadBackNoTable;
  }
  if (state.EncryptRef.has_value() != expected.Security.has_value()) return kReadBackProtection;
  if (expected.Security) {
    if (ReadEncryptDictionary(state, slot.Image, slot.Xref) != 0 || !SameProtection(state.Security, *expected.Security)) {
      return kReadBackProtection;
    }
    for (const ExpectedPassword& password : expected.Passwords) {
      if (!Unlocks(state.Security, password, expected.Security->FileKey)) return kReadBackPasswords;
    }
  }
  // An input whose pages could not be counted gives a copy that need not be counted either.
  if (expected.PageCount < 0) return 0;
  // As a page count reads it: no open action, no outlines.
  state.Settings.DispScale = "N";
  state.Job.KeepOutlines = 0;
  if (AnalyzeCatalog(state, slot) < 0) return kReadBackNoPages;
  if (state.PageCount != expected.PageCount || slot.PageList.size() != expected.ListedPages) {
    return kReadBackPageCount;
  }
  return 0;
}

}  // namespace

int CheckWrittenFile(std::span<const Byte> bytes, const ExpectedOutput& expected) {
  try {
    return Check(bytes, expected);
  } catch (const std::bad_alloc&) {
    return kReadBackNoPages;
  }
}

ReadBackCheck ReadBackOf(ExpectedOutput expected, int* reason) {
  return [expected = std::move(expected), reason](std::span<const Byte> bytes) {
    const int code = CheckWrittenFile(bytes, expected);
    if (reason != nullptr) *reason = code;
    return code == 0;
  };
}

}  // namespace folvex
