#include "engine/assembly/split.h"

#include <memory>
#include <new>

#include "engine/assembly/document_skeleton.h"
#include "engine/assembly/extract.h"
#include "engine/assembly/output_settings.h"
#include "engine/core/output_file.h"
#include "engine/reading/file_image.h"
#include "engine/reading/open_document.h"
#include "engine/security/authenticate.h"
#include "engine/transfer/page_dicts.h"
#include "engine/core/path_text.h"

namespace folvex {

namespace {

int DigitsOf(int value) {
  int digits = 1;
  while (value >= 10) {
    value /= 10;
    ++digits;
  }
  return digits;
}

std::string Padded(int number, int width) {
  std::string text = std::to_string(number);
  if (static_cast<int>(text.size()) < width) text.insert(0, static_cast<std::size_t>(width) - text.size(), '0');
  return text;
}

int ResultOfOpenFailure(EngineState& state, int decryptResult) {
  if (state.Cancelled()) return kSplitCancelled;
  // A protected file the password prompt could not open, or one that forbids extraction.
  if (decryptResult == kExtractPasswordFailed || decryptResult == kExtractNotPermitted) return kSplitEncrypted;
  if (state.LastErrorCode == -1000) return kSplitEncrypted;
  return kSplitFailed;
}

// Page files that are complete and read back, waiting to be put in place: they are flushed to the
// disk together (one commit of their file system), then each takes the first free name of its
// page (never replacing a file), then the folder is flushed once. Flushing every small file on its
// own would cost a disk commit each.
class PendingPageFiles {
 public:
  PendingPageFiles(const std::string& folder, const std::string& base, int pageCount)
      : Folder(folder), Base(base), PageCount(pageCount) {}

  bool Full() const { return Files.size() >= 64 || Bytes >= (std::size_t{32} << 20); }

  void Add(std::unique_ptr<StagedFile> file, int number, std::size_t size) {
    Files.push_back({std::move(file), number});
    Bytes += size;
  }

  // Returns true, or false with LastErrorCode -2000 at the first file that cannot be put in place
  // (the ones before it are in place, the ones after it are dropped).
  bool PutInPlace(EngineState& state, std::vector<std::string>& written) {
    bool stored = true;
    if (!Files.empty() && !FlushFileSystemOf(Files.front().File->TargetPath())) {
      for (Pending& pending : Files) stored = stored && pending.File->FlushToDisk();
    }
    for (Pending& pending : Files) {
      if (!stored) break;
      StoreOptions options;
      options.Rule = ReplaceRule::Never;
      StoreResult result = StoreResult::NameTaken;
      for (int attempt = 0; attempt < 1000 && result == StoreResult::NameTaken; ++attempt) {
        pending.File->Retarget(SplitPageFilePath(Folder, Base, pending.Number, PageCount));
        result = pending.File->PutInPlace(options);
      }
      stored = result == StoreResult::Done;
      if (stored) written.push_back(pending.File->TargetPath());
    }
    if (!Files.empty()) FlushFolderOf(Files.front().File->TargetPath());
    Files.clear();
    Bytes = 0;
    if (!stored) state.LastErrorCode = kOutputNotStored;
    return stored;
  }

 private:
  struct Pending {
    std::unique_ptr<StagedFile> File;
    int Number = 0;
  };
  std::string Folder;
  std::string Base;
  int PageCount = 0;
  std::vector<Pending> Files;
  std::size_t Bytes = 0;
};

// Builds the page file of one listing and stages it: complete and read back. Returns 1, 0 on a
// failure of the build (LastErrorCode) or cancel, -1 when the file cannot be stored (-2000 or a
// read-back code).
int StagePageFile(EngineState& state, const DocumentSlot& slot, const PageDictCopies& copies, const ExtractJob& page,
                  const TransferProgress& progress, TransferOutput& output, TransferWorkspace& workspace,
                  bool protect, const std::string& path, std::unique_ptr<StagedFile>& file) {
  if (BuildExtractedFile(state, slot, copies, page, progress, output, &workspace) != 1) return 0;
  FileImage holder;
  std::string_view bytes;
  if (!FinishInMemory(state, output, protect, holder, bytes)) return 0;
  file = std::make_unique<StagedFile>(path);
  int reason = 0;
  if (!file->IsOpen() || !file->Write(bytes) ||
      !file->ReadBack(ReadBackOf(ExpectedBuiltFile(state, 1, protect), &reason))) {
    state.LastErrorCode = reason != 0 ? reason : kOutputNotStored;
    return -1;
  }
  return 1;
}

// Writes the chosen pages of the document open in slot 0.
void WritePages(EngineState& state, const SplitJob& job, const std::vector<int>& pages, SplitOutcome& outcome) {
  const DocumentSlot& slot = state.Slots[0];
  PageDictCopies copies;
  state.ReportProgress("Analyzing", "解析中", 8);
  if (BuildPageDicts(state, slot, outcome.PageCount, copies, pages) != 1) {
    outcome.Result = state.Cancelled() ? kSplitCancelled : kSplitFailed;
    return;
  }
  const std::string folder = job.OutputFolder.empty()
                                 ? SplitFolderOf(job.InputPath)
                                 : (IsPathSeparator(job.OutputFolder.back()) ? job.OutputFolder : job.OutputFolder + "/");
  const std::string base = SplitBaseName(job.InputPath);
  const bool protect = state.SecurityJobState.OutputEncrypted != 0;
  const int n = static_cast<int>(pages.size());

  ExtractJob page;
  page.CreationDateText = job.CreationDateText;
  page.ProducerText = job.ProducerText;
  page.PageIndexList.resize(1);
  TransferOutput output;
  TransferWorkspace workspace;
  PendingPageFiles pending(folder, base, outcome.PageCount);
  // Whatever ends the loop, the complete page files are put in place.
  auto finish = [&](int result) {
    const bool stored = pending.PutInPlace(state, outcome.Written);
    outcome.Result = !stored && result != kSplitCancelled ? kSplitCannotCreate : result;
  };
  for (int k = 0; k < n; ++k) {
    if (state.Cancelled()) return finish(kSplitCancelled);
    const int number = pages[static_cast<std::size_t>(k)] + 1;
    page.PageIndexList[0] = number - 1;
    if (job.PageFileStarted) job.PageFileStarted(k, n);
    // Each page file takes its share of the bar, counted over the whole split.
    const TransferProgress progress{"Creating  Page:", "作成中  ページ:", 10 + 90 * k / n, 90 / n};
    std::unique_ptr<StagedFile> file;
    const std::string path = SplitPageFilePath(folder, base, number, outcome.PageCount);
    const int staged = StagePageFile(state, slot, copies, page, progress, output, workspace, protect, path, file);
    if (staged == 0) return finish(state.Cancelled() ? kSplitCancelled : kSplitFailed);
    if (staged < 0) return finish(kSplitCannotCreate);
    const std::size_t size = static_cast<std::size_t>(file->WrittenSize());
    pending.Add(std::move(file), number, size);
    if (pending.Full() && !pending.PutInPlace(state, outcome.Written)) {
      outcome.Result = kSplitCannotCreate;
      return;
    }
  }
  state.ReportProgress("Creating  Page:", "作成中  ページ:", 100);
  finish(kSplitDone);
}

void Split(EngineState& state, const SplitJob& job, SplitOutcome& outcome) {
  // The split's own outline and page-mode settings take the extract's place.
  state.Settings.OutlineKeepE = state.Settings.OutlineKeepS;
  state.Settings.PageModeE = state.Settings.PageModeS;
  PrepareJobSettings(state, JobOperation::Extract);
  int decryptResult = 0;
  const int opened = OpenCopyInput(state, job.InputPath, decryptResult);
  if (state.Cancelled() || decryptResult != 0 || opened < 0) {
    outcome.Result = opened == kOpenNotFound && decryptResult == 0 ? kSplitInputMissing
                                                                   : ResultOfOpenFailure(state, decryptResult);
    return;
  }
  outcome.PageCount = state.PageCount;
  if (state.PageCount < 1) {
    outcome.Result = kSplitFailed;
    return;
  }
  if (state.PageCount == 1) {
    outcome.Result = kSplitOnePage;
    return;
  }
  std::vector<int> pages;
  if (job.ChoosePages) {
    std::optional<std::vector<int>> chosen = job.ChoosePages(state.PageCount);
    if (!chosen) {
      outcome.Result = kSplitCancelled;
      return;
    }
    pages = std::move(*chosen);
  } else {
    pages.resize(static_cast<std::size_t>(state.PageCount));
    for (int i = 0; i < state.PageCount; ++i) pages[static_cast<std::size_t>(i)] = i;
  }
  for (int index : pages) {
    if (index < 0 || index >= state.PageCount) {
      state.LastErrorCode = -1;
      outcome.Result = kSplitBadPages;
      return;
    }
  }
  if (pages.empty()) {
    outcome.Result = kSplitBadPages;
    return;
  }
  WritePages(state, job, pages, outcome);
}

}  // namespace

std::string SplitBaseName(const std::string& inputPath) {
  std::size_t start = inputPath.size();
  while (start > 0 && !IsPathSeparator(inputPath[start - 1])) --start;
  std::string name = inputPath.substr(start);
  // A name that is only ".pdf" keeps it.
  if (name.size() > 4 && EndsWithIgnoringCase(name, ".pdf")) name.resize(name.size() - 4);
  return name;
}

std::string SplitFolderOf(const std::string& inputPath) {
  std::size_t end = inputPath.size();
  while (end > 0 && !IsPathSeparator(inputPath[end - 1])) --end;
  return inputPath.substr(0, end);
}

std::string SplitPageFilePath(const std::string& folder, const std::string& baseName, int number, int pageCount) {
  const std::string stem = folder + baseName + "_" + Padded(number, DigitsOf(pageCount));
  std::string path = stem + ".pdf";
  for (int copy = 2; PathExists(path); ++copy) path = stem + " (" + std::to_string(copy) + ").pdf";
  return path;
}

SplitOutcome RunSplit(EngineState& state, const SplitJob& job) {
  SplitOutcome outcome;
  try {
    Split(state, job, outcome);
  } catch (const std::bad_alloc&) {
    state.LastErrorCode = -300;
    outcome.Result = kSplitFailed;
  }
  ReleaseDocuments(state);
  return outcome;
}

}  // namespace folvex
