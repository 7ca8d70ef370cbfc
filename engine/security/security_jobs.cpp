#include "engine/security/security_jobs.h"

#include <new>

#include "engine/core/output_file.h"
#include "engine/reading/file_image.h"
#include "engine/reading/open_document.h"
#include "engine/security/aes256_handler.h"
#include "engine/security/authenticate.h"
#include "engine/security/rewrite.h"
#include "engine/security/standard_handler.h"

namespace folvex {

namespace {

// Stores image under output: written whole to a temporary name beside it first, then the backup
// rule, then renamed. Returns 0, or 8 with the previous output (if any) back in place.
int StoreOutput(EngineState& state, const std::string& output, const FileImage& image) {
  SecurityJob& job = state.SecurityJobState;
  job.BackupMade = 0;
  std::string temporary = output + ".part";
  for (int k = 1; k < 100 && PathExists(temporary); ++k) temporary = output + ".part" + std::to_string(k);
  const std::string_view bytes(reinterpret_cast<const char*>(image.Begin()), image.Size());
  if (!WriteWholeFile(temporary, bytes)) {
    RemovePath(temporary);
    return kSecurityOutputFailed;
  }
  const std::string backup = BackupName(output);
  if (job.FileBackUp && PathExists(output)) {
    RemovePath(backup);
    if (!RenamePath(output, backup)) {
      RemovePath(temporary);
      return kSecurityOutputFailed;
    }
    job.BackupMade = 1;
  }
  if (!RenamePath(temporary, output)) {
    RemovePath(temporary);
    if (job.BackupMade) RenamePath(backup, output);
    return kSecurityOutputFailed;
  }
  return kSecurityDone;
}

std::string StepLabel(const char* word, int index, int count) {
  return std::string(word) + " " + std::to_string(index + 1) + "/" + std::to_string(count);
}

void ReportStep(EngineState& state, const char* english, const char* japanese, int index, int count, int percent) {
  state.ReportProgress(StepLabel(english, index, count), StepLabel(japanese, index, count), percent);
}

int ProtectAndStore(EngineState& state, SecurityFileRecord& record, FileImage& image, int index, int count);

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
    return ProtectAndStore(state, record, image, index, count);
  }
  p.EncryptVersion = 2;
  p.EncryptRevision = 3;
  p.KeyLength = 16;
  p.Permissions = PermissionsFromSelection(job.PermissionSelection);
  ReportStep(state, "Analyzing", "解析中", index, count, (200 * index + 100) / (2 * count));

  const auto owner = ComputeOwnerEntry(job.OwnerPassword, job.OpenPassword, 3, 16);
  p.OwnerEntry.assign(owner.begin(), owner.end());
  const auto id = NewFileId(CurrentDocumentTime());
  p.FileId.assign(id.begin(), id.end());
  p.EncryptMetadata = 1;
  const auto user = ComputeUserEntry(3, job.OpenPassword, p);
  p.UserEntry.assign(user.begin(), user.end());

  return ProtectAndStore(state, record, image, index, count);
}

// Protects image with state.Security and stores it as the record's output.
int ProtectAndStore(EngineState& state, SecurityFileRecord& record, FileImage& image, int index, int count) {
  const std::vector<Byte> key = state.Security.FileKey;
  const int transformed = TransformDocument(state, image, key, true);
  if (state.Cancelled()) return kSecurityNotHandled;
  if (transformed != 0) return transformed;

  ReportStep(state, "Writing", "書き込み中", index, count, (index + 1) * 100 / count);
  if (state.Cancelled()) return kSecurityNotHandled;
  return StoreOutput(state, record.OutputPath, image);
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
  const int authenticated = Authenticate(state, slot.Image, slot.Xref);
  if (state.Cancelled()) return kSecurityNotHandled;
  if (authenticated != 0) return authenticated;

  ReportStep(state, "Writing", "書き込み中", index, count, (index + 1) * 100 / count);
  if (state.Cancelled()) return kSecurityNotHandled;
  return StoreOutput(state, record.OutputPath, slot.Image);
}

using FileOperation = int (*)(EngineState&, SecurityFileRecord&, int, int);

int RunOne(FileOperation operation, EngineState& state, SecurityFileRecord& record, int index, int count) {
  state.SecurityJobState.LastRefusal = SecurityRefusal::None;
  int result = kSecurityFailed;
  try {
    result = operation(state, record, index, count);
  } catch (const std::bad_alloc&) {
    result = kSecurityFailed;
  }
  ReleaseDocuments(state);
  record.Result = result;
  record.Refusal = result == kSecurityUnsupported ? state.SecurityJobState.LastRefusal : SecurityRefusal::None;
  return result;
}

int RunFiles(FileOperation operation, EngineState& state, std::vector<SecurityFileRecord>& records) {
  const int count = static_cast<int>(records.size());
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
