#include "engine/security/security_jobs.h"

#include <new>

#include "engine/core/file_identity.h"
#include "engine/core/output_file.h"
#include "engine/reading/file_image.h"
#include "engine/reading/open_document.h"
#include "engine/security/aes256_handler.h"
#include "engine/security/authenticate.h"
#include "engine/security/read_back.h"
#include "engine/security/rewrite.h"
#include "engine/security/standard_handler.h"

namespace folvex {

namespace {

// Stores image under output once it reads back as expected; an existing output is kept as its
// backup (FileBackUp) only then. Returns 0, or 8 with any previous output untouched.
int StoreOutput(EngineState& state, const std::string& output, const FileImage& image, ExpectedOutput expected) {
  SecurityJob& job = state.SecurityJobState;
  job.BackupMade = 0;
  StagedFile file(output);
  if (!file.IsOpen() || !file.Write({reinterpret_cast<const char*>(image.Begin()), image.Size()})) {
    return kSecurityOutputFailed;
  }
  StoreOptions options;
  if (job.FileBackUp) options.BackupPath = BackupName(output);
  int reason = 0;
  options.ReadBack = ReadBackOf(std::move(expected), &reason);
  if (file.Commit(options) != StoreResult::Done) {
    state.LastErrorCode = reason;
    return kSecurityOutputFailed;
  }
  job.BackupMade = file.BackupMade() ? 1 : 0;
  return kSecurityDone;
}

void ReportStep(EngineState& state, const char* english, const char* japanese, int index, int count, int percent) {
  state.ReportProgress(CountedLabel(std::string(english) + " ", index, count),
                       CountedLabel(std::string(japanese) + " ", index, count), percent);
}

int ProtectCopyAndStore(EngineState& state, SecurityFileRecord& record, FileImage& image, int index, int count);

int ProtectOne(EngineState& state, SecurityFileRecord& record, int index, int count) {
  SecurityJob& job = state.SecurityJobState;
  ReportStep(state, "Reading", "読み込み中", index, count, index * 100 / count);
  if (!FileOpensForReading(record.InputPath)) return kSecurityInputMissing;
  FileImage image;
  if (LoadFileImage(record.InputPath, image, state.LastErrorCode) == 0) return kSecurityFailed;
  if (state.Cancelled()) return kSecurityNotHandled;

  SecurityParameters& p = state.Security;
  p = SecurityParameters{};
  p.FilterName = "Standard";
  if (job.Aes256) {
    ReportStep(state, "Analyzing", "解析中", index, count, (200 * index + 100) / (2 * count));
    MakeAes256Parameters(job.OpenPassword, job.OwnerPassword, PermissionsFromSelection(job.PermissionSelection), p);
    return ProtectCopyAndStore(state, record, image, index, count);
  }
  p.EncryptVersion = 2;
  p.EncryptRevision = 3;
  p.KeyLength = 16;
  p.Permissions = PermissionsFromSelection(job.PermissionSelection);
  ReportStep(state, "Analyzing", "解析中", index, count, (200 * index + 100) / (2 * count));

  const auto owner = ComputeOwnerEntry(job.OwnerPassword, job.OpenPassword, 3, 16);
  p.OwnerEntry.assign(owner.begin(), owner.end());
  const auto id = NewFileId(state.Now());
  p.FileId.assign(id.begin(), id.end());
  p.EncryptMetadata = 1;
  const auto user = ComputeUserEntry(3, job.OpenPassword, p);
  p.UserEntry.assign(user.begin(), user.end());

  return ProtectCopyAndStore(state, record, image, index, count);
}

// What a copy must read back as: the input's pages, and, protected, the parameters and passwords
// it was protected with.
ExpectedOutput ExpectedCopy(const PageFacts& pages, const SecurityParameters* security,
                            std::vector<ExpectedPassword> passwords) {
  ExpectedOutput expected;
  expected.PageCount = pages.PageCount;
  expected.ListedPages = pages.ListedPages;
  if (security != nullptr) expected.Security = *security;
  expected.Passwords = std::move(passwords);
  return expected;
}

// Protects image with state.Security and stores it as the record's output.
int ProtectCopyAndStore(EngineState& state, SecurityFileRecord& record, FileImage& image, int index, int count) {
  const SecurityJob& job = state.SecurityJobState;
  const std::vector<Byte> key = state.Security.FileKey;
  PageFacts pages;
  const int transformed = TransformDocument(state, image, key, true, &pages);
  if (state.Cancelled()) return kSecurityNotHandled;
  if (transformed != 0) return transformed;

  ReportStep(state, "Writing", "書き込み中", index, count, (index + 1) * 100 / count);
  if (state.Cancelled()) return kSecurityNotHandled;
  const std::string& owner = job.OwnerPassword.empty() ? job.OpenPassword : job.OwnerPassword;
  return StoreOutput(state, record.OutputPath, image,
                     ExpectedCopy(pages, &state.Security, {{job.OpenPassword, false}, {owner, true}}));
}

int UnprotectOne(EngineState& state, SecurityFileRecord& record, int index, int count) {
  SecurityJob& job = state.SecurityJobState;
  state.LastErrorCode = 0;
  job.OutputEncrypted = 0;
  ReportStep(state, "Reading", "読み込み中", index, count, index * 100 / count);
  if (!FileOpensForReading(record.InputPath)) return kSecurityInputMissing;
  PrepareDocumentSlots(state, 1);
  DocumentSlot& slot = state.Slots[0];
  if (LoadFileImage(record.InputPath, slot.Image, state.LastErrorCode) == 0) return kSecurityFailed;
  if (state.Cancelled()) return kSecurityNotHandled;

  ReportStep(state, "Analyzing", "解析中", index, count, (200 * index + 100) / (2 * count));
  // A damaged file shows its /Encrypt only once it is rebuilt. A protected file with
  // cross-reference streams (-1000) is decrypted before it is converted.
  if (ReadClassicForm(state, slot) != 1) {
    if (state.Cancelled()) return kSecurityNotHandled;
    if (state.LastErrorCode != -1000) return kSecurityFailed;
  }
  if (!state.EncryptRef) return kSecurityWrongState;
  job.OutputEncrypted = 1;
  job.PasswordDialogMode = 1;
  PageFacts pages;
  const int authenticated = Authenticate(state, slot.Image, slot.Xref, &pages);
  if (state.Cancelled()) return kSecurityNotHandled;
  if (authenticated != 0) return authenticated;

  ReportStep(state, "Writing", "書き込み中", index, count, (index + 1) * 100 / count);
  if (state.Cancelled()) return kSecurityNotHandled;
  return StoreOutput(state, record.OutputPath, slot.Image, ExpectedCopy(pages, nullptr, {}));
}

using FileOperation = int (*)(EngineState&, SecurityFileRecord&, int, int);

int RunOne(FileOperation operation, EngineState& state, SecurityFileRecord& record, int index, int count) {
  state.SecurityJobState.LastRefusal = SecurityRefusal::None;
  state.SecurityJobState.LastPasswordFailure = PasswordFailure::None;
  int result = kSecurityFailed;
  try {
    result = operation(state, record, index, count);
  } catch (const std::bad_alloc&) {
    result = kSecurityFailed;
  }
  ReleaseDocuments(state);
  record.Result = result;
  record.ReadBackFailed = result == kSecurityOutputFailed && IsReadBackFailure(state.LastErrorCode);
  record.OutputTooLarge = result != kSecurityDone && state.LastErrorCode == kOutputTooLarge;
  record.Refusal = result == kSecurityUnsupported ? state.SecurityJobState.LastRefusal : SecurityRefusal::None;
  record.Password = state.SecurityJobState.LastPasswordFailure;
  return result;
}

// Before anything is written: an output (or its backup name) that is an input of the job, or
// that an earlier file of the job writes, fails its file; CollidesWith names the other file.
std::vector<bool> ClaimOutputs(const EngineState& state, std::vector<SecurityFileRecord>& records) {
  OutputClaims files;
  for (const SecurityFileRecord& record : records) files.AddInput(record.InputPath);
  std::vector<bool> refused(records.size(), false);
  for (std::size_t i = 0; i < records.size(); ++i) {
    SecurityFileRecord& record = records[i];
    record.Colliding = record.OutputPath;
    record.CollidesWith = files.Claim(record.OutputPath);
    if (record.CollidesWith.empty() && state.SecurityJobState.FileBackUp) {
      record.Colliding = BackupName(record.OutputPath);
      record.CollidesWith = files.Claim(record.Colliding);
    }
    refused[i] = !record.CollidesWith.empty();
    if (!refused[i]) record.Colliding.clear();
  }
  return refused;
}

int RunFiles(FileOperation operation, EngineState& state, std::vector<SecurityFileRecord>& records) {
  const int count = static_cast<int>(records.size());
  const std::vector<bool> refused = ClaimOutputs(state, records);
  int jobResult = kSecurityDone;
  bool cancelled = false;
  for (int index = 0; index < count; ++index) {
    SecurityFileRecord& record = records[static_cast<std::size_t>(index)];
    if (cancelled || state.Cancelled()) {
      cancelled = true;
      record.Result = kSecurityNotHandled;
      record.Refusal = SecurityRefusal::None;
      continue;
    }
    if (refused[static_cast<std::size_t>(index)]) {
      record.Result = kSecurityOutputFailed;
      if (jobResult == kSecurityDone) jobResult = kSecurityOutputFailed;
      continue;
    }
    state.InfoNumber = 0;
    const int result = RunOne(operation, state, record, index, count);
    if (state.Cancelled()) {
      cancelled = true;
      if (result != kSecurityDone) record.Result = kSecurityNotHandled;
    } else if (jobResult == kSecurityDone && result != kSecurityDone) {
      jobResult = result;
    }
  }
  return cancelled ? kSecurityJobCancelled : jobResult;
}

}  // namespace

int ProtectFile(EngineState& state, SecurityFileRecord& record, int index, int count) {
  return RunOne(ProtectOne, state, record, index, count);
}

int ProtectFiles(EngineState& state, std::vector<SecurityFileRecord>& records) {
  return RunFiles(ProtectOne, state, records);
}

int UnprotectFile(EngineState& state, SecurityFileRecord& record, int index, int count) {
  return RunOne(UnprotectOne, state, record, index, count);
}

int UnprotectFiles(EngineState& state, std::vector<SecurityFileRecord>& records) {
  return RunFiles(UnprotectOne, state, records);
}

}  // namespace folvex
