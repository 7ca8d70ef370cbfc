#include "engine/assembly/split.h"

#include <new>

#include "engine/assembly/document_skeleton.h"
#include "engine/assembly/extract.h"
#include "engine/assembly/output_settings.h"
#include "engine/core/output_file.h"
#include "engine/reading/file_image.h"
#include "engine/reading/open_document.h"
#include "engine/security/authenticate.h"
#include "engine/transfer/page_dicts.h"

namespace folvex {

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

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
                                 : (IsSeparator(job.OutputFolder.back()) ? job.OutputFolder : job.OutputFolder + "/");
  const std::string base = SplitBaseName(job.InputPath);
  const bool protect = state.SecurityJobState.OutputEncrypted != 0;
  const int n = static_cast<int>(pages.size());

  ExtractJob page;
  page.CreationDateText = job.CreationDateText;
  page.ProducerText = job.ProducerText;
  page.PageIndexList.resize(1);
  TransferOutput output;
  TransferWorkspace workspace;
  for (int k = 0; k < n; ++k) {
    if (state.Cancelled()) {
      outcome.Result = kSplitCancelled;
      return;
    }
    page.PageIndexList[0] = pages[static_cast<std::size_t>(k)];
    // Each page file takes its share of the bar, counted over the whole split.
    const TransferProgress progress{"Creating  Page:", "作成中  ページ:", 10 + 90 * k / n, 90 / n};
    if (BuildExtractedFile(state, slot, copies, page, progress, output, &workspace) != 1) {
      outcome.Result = state.Cancelled() ? kSplitCancelled : kSplitFailed;
      return;
    }
    const std::string path = SplitPageFilePath(folder, base, page.PageIndexList[0] + 1, outcome.PageCount);
    if (ProtectAndStore(state, output, protect, path) != 0) {
      outcome.Result = state.LastErrorCode == -2000 ? kSplitCannotCreate : kSplitFailed;
      return;
    }
    outcome.Written.push_back(path);
  }
  state.ReportProgress("Creating  Page:", "作成中  ページ:", 100);
  outcome.Result = kSplitDone;
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
  while (start > 0 && !IsSeparator(inputPath[start - 1])) --start;
  std::string name = inputPath.substr(start);
  if (name.size() > 4) {
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (tail == ".pdf") name.resize(name.size() - 4);
  }
  return name;
}

std::string SplitFolderOf(const std::string& inputPath) {
  std::size_t end = inputPath.size();
  while (end > 0 && !IsSeparator(inputPath[end - 1])) --end;
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
