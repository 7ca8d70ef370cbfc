#include "engine/security/authenticate.h"

#include <new>

#include "engine/reading/pdf_strings.h"
#include "engine/reading/scanners.h"
#include "engine/reading/xref_streams.h"
#include "engine/security/aes256_handler.h"
#include "engine/security/crypt_filters.h"
#include "engine/security/rewrite.h"
#include "engine/security/standard_handler.h"

namespace folvex {

namespace {

// The value behind key in the dictionary [start, end), after whitespace; null when absent.
const Byte* ValueOf(std::string_view key, const Byte* start, const Byte* end) {
  int error = 0;
  const Byte* found = FindKey(key, start, end, error);
  if (found == nullptr) return nullptr;
  const Byte* p = found + key.size();
  if (SkipWhitespace(p, end, error) < 0) return nullptr;
  return p;
}

// Reads an optionally signed integer at p. Returns false when there is none.
bool ReadSignedInteger(const Byte* p, const Byte* end, long long& value) {
  bool negative = false;
  if (p < end && (*p == '-' || *p == '+')) {
    negative = *p == '-';
    ++p;
  }
  if (p >= end || !IsDigit(*p)) return false;
  long long result = 0;
  while (p < end && IsDigit(*p) && result < (1LL << 40)) result = result * 10 + (*p++ - '0');
  value = negative ? -result : result;
  return true;
}

// Reads the string entry key, at most longest bytes long.
int ReadEntry(std::string_view key, const Byte* start, const Byte* end, std::vector<Byte>& out,
              std::size_t longest = 32) {
  const Byte* value = ValueOf(key, start, end);
  if (value == nullptr || (*value != '(' && *value != '<')) return -105;
  if (!DecodePdfString(value, end, out) || out.size() > longest) return -106;
  return 0;
}

// The crypt filters of /V 4 and the AES-256 entries of /V 5 that are checked against a password.
// Returns 0, -109 (crypt filters that cannot be read) or a code of ReadEntry.
int ReadCryptEntries(const Byte* start, const Byte* end, SecurityParameters& security) {
  if (security.EncryptVersion != 4 && security.EncryptVersion != 5) return 0;
  if (!ReadCryptFilters(start, end, security)) return -109;
  if (security.EncryptVersion != 5) return 0;
  // Some writers pad /O and /U of these revisions to 127 bytes; the first 48 count.
  if (int code = ReadEntry("/O", start, end, security.OwnerEntry, 127); code != 0) return code;
  if (int code = ReadEntry("/U", start, end, security.UserEntry, 127); code != 0) return code;
  if (int code = ReadEntry("/OE", start, end, security.OwnerKeyEntry, 127); code != 0) return code;
  if (int code = ReadEntry("/UE", start, end, security.UserKeyEntry, 127); code != 0) return code;
  return ReadEntry("/Perms", start, end, security.PermsEntry, 127);
}

bool UsesAes256(const SecurityParameters& p) { return p.EncryptVersion == 5; }

// The password as given, and its PDFDocEncoding form when that differs; for AES-256, its UTF-8
// bytes as typed, then its SASLprep form when that differs.
std::vector<std::string> PasswordForms(const SecurityParameters& p, const std::string& password) {
  if (UsesAes256(p)) return Aes256PasswordForms(password);
  std::vector<std::string> forms{password};
  std::string converted;
  if (PasswordToPdfDocEncoding(password, converted) && converted != password) forms.push_back(converted);
  return forms;
}

struct PasswordCheck {
  bool User = false;
  bool Owner = false;
};

// Checks every form of password, as owner password first. FileKey is left from the check that
// succeeded; User tells whether the owner form also opens the file as user password.
PasswordCheck CheckPassword(EngineState& state, const std::string& password) {
  SecurityParameters& p = state.Security;
  const std::vector<std::string> forms = PasswordForms(p, password);
  const bool aes256 = UsesAes256(p);
  auto checkOwner = [&](const std::string& form) {
    return aes256 ? CheckAes256OwnerPassword(form, p) : CheckOwnerEntry(p.EncryptRevision, form, p);
  };
  auto checkUser = [&](const std::string& form) {
    return aes256 ? CheckAes256UserPassword(form, p) : CheckUserEntry(p.EncryptRevision, form, p);
  };
  for (const std::string& form : forms) {
    if (checkOwner(form) != 1) continue;
    const std::vector<Byte> key = p.FileKey;
    const bool user = checkUser(form) == 1;
    p.FileKey = key;
    return {user, true};
  }
  for (const std::string& form : forms) {
    if (checkUser(form) == 1) return {true, false};
  }
  return {};
}

// Some writers store an /O or /U of fewer than 32 bytes; other readers pad it with zero bytes,
// and so does this one.
void PadShortEntry(std::vector<Byte>& entry) {
  if (!entry.empty() && entry.size() < 32) entry.resize(32, 0);
}

int Refuse(EngineState& state, SecurityRefusal refusal) {
  state.SecurityJobState.LastRefusal = refusal;
  return 6;
}

}  // namespace

int CheckSupported(EngineState& state) {
  SecurityParameters& p = state.Security;
  if (p.FilterName != "Standard") return Refuse(state, SecurityRefusal::NotStandard);
  if (p.EncryptVersion <= 4) {
    PadShortEntry(p.OwnerEntry);
    PadShortEntry(p.UserEntry);
  }
  if (p.EncryptVersion == 4) {
    if (p.EncryptRevision != 4) return Refuse(state, SecurityRefusal::Aes);
    if (p.OwnerEntry.size() != 32 || p.UserEntry.size() != 32) return Refuse(state, SecurityRefusal::Unreadable);
    // AES-128 keys are 16 bytes whatever /Length says.
    const bool aes = p.StreamMethod == CryptMethod::Aes128 || p.StringMethod == CryptMethod::Aes128 ||
                     p.EmbeddedFileMethod == CryptMethod::Aes128;
    if (aes) p.KeyLength = 16;
    if (p.KeyLength < 5 || p.KeyLength > 16) return Refuse(state, SecurityRefusal::Unreadable);
    return 0;
  }
  if (p.EncryptVersion == 5) {
    if (p.EncryptRevision != 5 && p.EncryptRevision != 6) return Refuse(state, SecurityRefusal::Aes);
    if (p.OwnerEntry.size() < 48 || p.UserEntry.size() < 48 || p.OwnerKeyEntry.size() < 32 ||
        p.UserKeyEntry.size() < 32 || p.PermsEntry.size() < 16) {
      return Refuse(state, SecurityRefusal::Unreadable);
    }
    p.KeyLength = 32;
    return 0;
  }
  if (p.EncryptVersion != 1 && p.EncryptVersion != 2) return Refuse(state, SecurityRefusal::Version);
  if (p.EncryptRevision != 2 && p.EncryptRevision != 3) return Refuse(state, SecurityRefusal::Revision);
  if (p.OwnerEntry.size() != 32 || p.UserEntry.size() != 32) return Refuse(state, SecurityRefusal::Unreadable);
  if (p.EncryptRevision == 2) p.KeyLength = 5;
  if (p.KeyLength < 5 || p.KeyLength > 16) return Refuse(state, SecurityRefusal::Unreadable);
  return 0;
}

namespace {

// Asks for a password through the job control. Returns false when the user declines.
bool Prompt(EngineState& state, std::string& password) {
  password.clear();
  if (state.Control == nullptr || !state.Control->PasswordPrompt) return false;
  if (!state.Control->PasswordPrompt(password)) return false;
  state.SecurityJobState.RememberedPassword = password;
  return true;
}

// Finds a password under the policy. Returns 0 when state.Security.FileKey opens the file, or 4 or 9.
int FindPassword(EngineState& state) {
  const SecurityParameters& p = state.Security;
  SecurityJob& job = state.SecurityJobState;
  const bool modifyAllowed = (p.Permissions & 8) != 0 || (p.EncryptRevision >= 3 && (p.Permissions & 1024) != 0);
  constexpr int kAttempts = 3;
  job.LastPasswordFailure = PasswordFailure::NoMatch;

  if (modifyAllowed && job.PasswordDialogMode == 0) {
    if (const PasswordCheck empty = CheckPassword(state, ""); empty.User || empty.Owner) return 0;
    if (const PasswordCheck known = CheckPassword(state, job.RememberedPassword); known.User || known.Owner) return 0;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
      std::string typed;
      if (!Prompt(state, typed)) return 4;
      if (const PasswordCheck check = CheckPassword(state, typed); check.User || check.Owner) return 0;
    }
    return 4;
  }

  // From here on only the owner password opens the file.
  const auto ownerOutcome = [&job](const PasswordCheck& check) {
    if (check.User) job.LastPasswordFailure = check.Owner ? PasswordFailure::NoDistinctOwner : PasswordFailure::UserOnly;
    if (check.Owner) return check.User ? 9 : 0;
    return 4;
  };
  if (CheckPassword(state, "").Owner) {
    job.LastPasswordFailure = PasswordFailure::NoDistinctOwner;
    return 9;
  }
  if (!job.OwnerPassword.empty()) {
    if (const int outcome = ownerOutcome(CheckPassword(state, job.OwnerPassword)); outcome != 4) return outcome;
  }
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    std::string typed;
    if (!Prompt(state, typed)) return 4;
    if (const int outcome = ownerOutcome(CheckPassword(state, typed)); outcome != 4) return outcome;
  }
  return 4;
}

}  // namespace

int ReadEncryptDictionary(EngineState& state, const FileImage& image, const XrefTable& classicTable) {
  // With cross-reference streams the /Encrypt object (and /ID) is found through their sections.
  XrefTable streamObjects;
  const bool streams = state.NeedsConversion == 1 &&
                       ReadXrefStreamObjects(state, image, classicTable.empty() ? nullptr : &classicTable,
                                             streamObjects) == 0;
  const XrefTable& table = streams ? streamObjects : classicTable;
  int& error = state.LastErrorCode;
  error = 0;
  const Byte* begin = image.Begin();
  const Byte* end = image.End();
  if (!state.EncryptRef || *state.EncryptRef + 8 > image.Size()) return error = -121;
  const Byte* p = begin + *state.EncryptRef + 8;
  int number = 0, generation = 0;
  SecurityParameters& security = state.Security;
  security = SecurityParameters{};
  const Byte* body = p;
  if (SkipWhitespace(body, end, error) >= 0 && StartsWith(body, end, "<<")) {
    // Some writers put the dictionary itself into the trailer; there is no object to drop then.
    security.EncryptObjectNumber = 0;
  } else {
    if (!ReadReference(p, end, number, generation, error)) return error = -123;
    security.EncryptObjectNumber = number;
    const std::int64_t offset = LookupObjectOffset(table, number, error);
    if (offset <= 0) return error = -125;
    body = LocateObject(begin, end, offset, number, error);
    if (body == nullptr) return error = -125;
  }
  error = 0;
  if (!StartsWith(body, end, "<<")) return error = -103;
  const Byte* start = body + 2;
  const Byte* dictEnd = FindDictEnd(start, end);
  if (dictEnd == nullptr) return error = -104;

  const Byte* filter = ValueOf("/Filter", start, dictEnd);
  if (filter == nullptr || *filter != '/') return error = -107;
  const Byte* nameEnd = filter + 1;
  while (nameEnd < dictEnd && !IsDelimiter(*nameEnd)) ++nameEnd;
  if (nameEnd - filter - 1 > 20) return error = -107;
  security.FilterName.assign(reinterpret_cast<const char*>(filter + 1), static_cast<std::size_t>(nameEnd - filter - 1));

  long long value = 0;
  if (const Byte* v = ValueOf("/V", start, dictEnd); v != nullptr && ReadSignedInteger(v, dictEnd, value)) {
    security.EncryptVersion = static_cast<int>(value);
  }
  const Byte* revision = ValueOf("/R", start, dictEnd);
  if (revision == nullptr || !ReadSignedInteger(revision, dictEnd, value)) return error = -108;
  security.EncryptRevision = static_cast<int>(value);
  const Byte* permissions = ValueOf("/P", start, dictEnd);
  if (permissions == nullptr || !ReadSignedInteger(permissions, dictEnd, value)) return error = -108;
  // Some writers store /P as an unsigned 32-bit number.
  security.Permissions = static_cast<int32_t>(static_cast<uint32_t>(value));
  // /V 4 keys are 128 bits unless /Length says otherwise.
  security.KeyLength = security.EncryptVersion == 4 ? 16 : 5;
  if (const Byte* v = ValueOf("/Length", start, dictEnd); v != nullptr && ReadSignedInteger(v, dictEnd, value)) {
    if (value / 8 != 0) security.KeyLength = static_cast<int>(value / 8);
  }
  if (const Byte* v = ValueOf("/EncryptMetadata", start, dictEnd); v != nullptr && StartsWith(v, dictEnd, "false")) {
    security.EncryptMetadata = 0;
  }
  security.FileId.assign(state.FileId.begin(), state.FileId.begin() + state.FileIdLength);
  if (security.EncryptVersion == 5) return error = ReadCryptEntries(start, dictEnd, security);
  if (int code = ReadEntry("/O", start, dictEnd, security.OwnerEntry); code != 0) return error = code;
  if (int code = ReadEntry("/U", start, dictEnd, security.UserEntry); code != 0) return error = code;
  return error = ReadCryptEntries(start, dictEnd, security);
}

namespace {

// Reads and checks the /Encrypt dictionary. Returns 0 or 6 (LastRefusal says why).
int ReadSupported(EngineState& state, const FileImage& image, const XrefTable& table) {
  state.SecurityJobState.LastRefusal = SecurityRefusal::None;
  const int readCode = ReadEncryptDictionary(state, image, table);
  const bool read = readCode == 0;
  if (readCode == -109 && state.Security.FilterName == "Standard") return Refuse(state, SecurityRefusal::Aes);
  // A dictionary of another handler or version is named as such even when its entries do not fit ours.
  if (int refused = CheckSupported(state); refused != 0) {
    if (!read && state.Security.FilterName.empty()) state.SecurityJobState.LastRefusal = SecurityRefusal::Unreadable;
    return refused;
  }
  if (!read) return Refuse(state, SecurityRefusal::Unreadable);
  return 0;
}

// The permissions are also stored under the AES-256 file key; a /P that differs was changed
// afterwards. Returns 0 or 6.
int CheckPermissions(EngineState& state) {
  if (UsesAes256(state.Security) && CheckPermsEntry(state.Security) != 1) {
    return Refuse(state, SecurityRefusal::Unreadable);
  }
  return 0;
}

}  // namespace

int Authenticate(EngineState& state, FileImage& image, const XrefTable& table, PageFacts* pages) {
  if (int refused = ReadSupported(state, image, table); refused != 0) return refused;
  if (int found = FindPassword(state); found != 0) return found;
  if (int refused = CheckPermissions(state); refused != 0) return refused;
  const std::vector<Byte> key = state.Security.FileKey;
  return TransformDocument(state, image, key, false, pages);
}

DecryptDocument MakeCountDecryption() {
  return [](EngineState& state, DocumentSlot& slot) {
    if (int refused = ReadSupported(state, slot.Image, slot.Xref); refused != 0) return refused;
    const std::string& remembered = state.SecurityJobState.RememberedPassword;
    if (const PasswordCheck empty = CheckPassword(state, ""); !empty.User && !empty.Owner) {
      if (const PasswordCheck known = CheckPassword(state, remembered); !known.User && !known.Owner) return 4;
    }
    if (int refused = CheckPermissions(state); refused != 0) return refused;
    const std::vector<Byte> key = state.Security.FileKey;
    return TransformDocument(state, slot.Image, key, false);
  };
}

DecryptDocument MakeDecryptDocument() {
  return [](EngineState& state, DocumentSlot& slot) {
    SecurityJob& job = state.SecurityJobState;
    job.OutputEncrypted = 1;
    job.PasswordDialogMode = 0;
    const std::string kept = job.OwnerPassword;
    job.OwnerPassword = job.RememberedPassword;
    const int result = Authenticate(state, slot.Image, slot.Xref);
    job.OwnerPassword = kept;
    return result;
  };
}

SecurityWriter MakeSecurityWriter() {
  return [](EngineState& state, FileImage& image, XrefTable& table, std::span<const Byte> key, int,
            bool fromMemory) {
    return RewriteWithKey(state, image, table, state.ProtectCatalogNumber, key, fromMemory);
  };
}

}  // namespace folvex
