#include "engine/assembly/extract.h"

#include <algorithm>
#include <new>
#include <optional>

#include "engine/assembly/document_skeleton.h"
#include "engine/assembly/outline_objects.h"
#include "engine/assembly/output_settings.h"
#include "engine/assembly/page_tree_layout.h"
#include "engine/core/large_buffers.h"
#include "engine/reading/file_image.h"
#include "engine/reading/open_document.h"
#include "engine/security/authenticate.h"
#include "engine/transfer/kept_annotations.h"
#include "engine/transfer/page_dicts.h"
#include "engine/transfer/page_objects.h"

namespace folvex {

namespace {


struct Writer {
  EngineState& State;
  const DocumentSlot& Slot;
  const PageDictCopies& Copies;
  const ExtractJob& Job;
  const TransferProgress& Progress;
  TransferOutput& Output;
  TransferWorkspace* Workspace;

  int Fail(int code) {
    State.LastErrorCode = code;
    return 0;
  }

  // Builds the whole file in memory. Returns 1, or 0 (failure with LastErrorCode, or cancel).
  int Build() {
    const FileImage& image = Slot.Image;
    const int n = static_cast<int>(Job.PageIndexList.size());
    const std::size_t size = image.Size();
    const std::size_t average = size / static_cast<std::size_t>(std::max(State.PageCount, 1));
    const std::size_t estimate = std::min(2 * average * static_cast<std::size_t>(n), size + size / 8);
    ReserveLarge(Output.Text, Output.TextReserve(std::max<std::size_t>(estimate, 32768)));

    // The input's own header line (when sound) and comment line, with anything before them.
    HeaderLines header;
    if (int result = ReadHeaderLines(image, header); result != 0) return Fail(result);
    Output.Text = OutputHeaderLine(image, header);
    if (header.CommentEnd != 0) {
      Output.Text.append(reinterpret_cast<const char*>(image.Begin()) + header.AfterFirst,
                         header.AfterComment - header.AfterFirst);
    }
    if (State.Cancelled()) return 0;

    std::string catalog;
    if (AppendCatalogObject(catalog, State.Job, State.Settings.DispScale, FirstPageNumber(n), &image) != 0) {
      return Fail(kInheritedDestinationUnterminated);
    }
    AppendInformationObject(Output, Job.CreationDateText, Job.ProducerText);

    PageTreeLayout tree;
    if (int result = LayOutPageTree(n, tree); result != 0) return Fail(result);
    AppendPagesObjects(Output, tree);

    Output.NextObjectNumber = tree.LastNumber + 1;
    const PageSelection selection{Job.PageIndexList, tree.PageNumbers, tree.ParentNumbers};
    TransferWorkspace local;
    TransferWorkspace& workspace = Workspace != nullptr ? *Workspace : local;
    const bool keepAnnotations = State.Settings.KeepAnnots != 0;
    CopyExtras extras;
    if (keepAnnotations) {
      FieldNames names;
      extras = PlanKeptAnnotations(Slot, Job.PageIndexList, workspace, names, 0);
    }
    std::vector<std::string> roots;
    if (WritePageObjects(State, Slot, Copies, selection, Progress, Output, &workspace,
                         keepAnnotations ? &extras : nullptr, &roots) != 1) {
      if (State.Cancelled()) return 0;
      return Fail(kPageCopyFailed);
    }

    AppendCatalogAtEnd(Output, catalog);
    const bool outlines = ExtractHasOutlineEntries(State.Job, Slot.OutlineItems, Job.PageIndexList);
    AppendViewerEntries(Output.Text, State.Job, State.Settings.DispScale, outlines);
    if (const std::string form = AcroFormEntry(std::span(&roots, 1)); !form.empty()) {
      AppendCatalogEntry(Output.Text, form);
    }
    AppendOutlinesAfterCatalog(Output, [&](std::string& text, std::vector<uint32_t>& offsets, int first) {
      return AppendExtractOutlines(text, offsets, first, State.Job, Slot, Job.PageIndexList, tree.PageNumbers);
    });

    State.ReportProgress(Progress.English, Progress.Japanese, Progress.Base + Progress.Span);
    if (!AppendXrefAndTrailer(Output)) return Fail(kOutputTooLarge);
    return State.Cancelled() ? 0 : 1;
  }
};

int ExtractOpened(EngineState& state, const ExtractJob& job) {
  const int pageCount = state.PageCount;
  if (pageCount < 1) return kExtractFailed;
  if (pageCount == 1) return kExtractOnePage;
  if (job.PagesOfCount) {
    ExtractJob counted = job;
    counted.PagesOfCount = nullptr;
    if (!job.PagesOfCount(pageCount, counted.PageIndexList)) {
      state.LastErrorCode = -1;
      return kExtractPageBeyondEnd;
    }
    return ExtractOpened(state, counted);
  }
  for (int index : job.PageIndexList) {
    if (index < 0 || index >= pageCount) {
      state.LastErrorCode = -1;
      return kExtractPageBeyondEnd;
    }
  }
  if (job.PageIndexList.empty()) {
    state.LastErrorCode = -1;
    return kExtractPageBeyondEnd;
  }
  const DocumentSlot& slot = state.Slots[0];
  PageDictCopies copies;
  state.ReportProgress("Analyzing", "解析中", 8);
  // Only the selected pages' copies are ever read.
  if (BuildPageDicts(state, slot, pageCount, copies, job.PageIndexList) != 1) {
    return state.Cancelled() ? kExtractCancelled : kExtractFailed;
  }
  if (state.Cancelled()) return kExtractCancelled;

  const bool protect = state.SecurityJobState.OutputEncrypted != 0;
  TransferOutput output;
  std::optional<StagedFile> file;
  if (!StageOutput(state, output, file, job.OutputPath, protect)) return kExtractOutputFailed;
  const TransferProgress progress{"Creating  Page:", "作成中  ページ:", 10, 90};
  if (BuildExtractedFile(state, slot, copies, job, progress, output) != 1) {
    return state.Cancelled() ? kExtractCancelled : kExtractFailed;
  }
  bool backupMade = false;
  const int pages = static_cast<int>(job.PageIndexList.size());
  if (ProtectAndStore(state, output, protect, *file, pages, job.Backup ? BackupName(job.OutputPath) : "", backupMade) != 0) {
    if (state.Cancelled()) return kExtractCancelled;
    return IsOutputFailure(state.LastErrorCode) ? kExtractOutputFailed : kExtractFailed;
  }
  state.SecurityJobState.BackupMade = backupMade ? 1 : 0;
  // Once stored, the file is there: a cancel that comes now is too late.
  return kExtractDone;
}

int Extract(EngineState& state, const ExtractJob& job) {
  PrepareJobSettings(state, JobOperation::Extract);
  state.SecurityJobState.BackupMade = 0;
  if (FileOpensForReading(job.InputPath) && !OutputReplacingAnInput(job.OutputPath, job.Backup, {job.InputPath}).empty()) {
    state.LastErrorCode = kOutputReplacesInput;
    return kExtractOutputFailed;
  }
  int decryptResult = 0;
  const int opened = OpenCopyInput(state, job.InputPath, decryptResult);
  if (state.Cancelled()) {
    ReleaseDocuments(state);
    return kExtractCancelled;
  }
  if (decryptResult != 0) {
    ReleaseDocuments(state);
    return decryptResult == kExtractPasswordFailed || decryptResult == kExtractNotPermitted ? decryptResult
                                                                                           : kExtractFailed;
  }
  if (opened == kOpenNotFound) return kExtractInputMissing;
  if (opened < 0) return kExtractFailed;
  const int result = ExtractOpened(state, job);
  ReleaseDocuments(state);
  return result;
}

}  // namespace

int OpenCopyInput(EngineState& state, const std::string& path, int& decryptResult) {
  state.EncryptRef.reset();
  state.SecurityJobState.OutputEncrypted = 0;
  ResetDocumentState(state);
  decryptResult = 0;
  if (!FileOpensForReading(path)) return kOpenNotFound;
  state.PageCount = 0;
  state.LastErrorCode = 0;
  PrepareDocumentSlots(state, 1);
  // The decryption step's result shares OpenDocument's result with the page count.
  const DecryptDocument decrypt = [&decryptResult](EngineState& s, DocumentSlot& slot) {
    s.SecurityJobState.OutputEncrypted = 1;
    s.SecurityJobState.PasswordDialogMode = 0;
    decryptResult = MakeDecryptDocument()(s, slot);
    return decryptResult;
  };
  return OpenDocument(state, 0, path, decrypt);
}

int BuildExtractedFile(EngineState& state, const DocumentSlot& slot, const PageDictCopies& copies,
                       const ExtractJob& job, const TransferProgress& progress, TransferOutput& output,
                       TransferWorkspace* workspace) {
  StagedFile* const file = output.File;
  output = TransferOutput{};
  output.File = file;
  Writer writer{state, slot, copies, job, progress, output, workspace};
  return writer.Build();
}

int RunExtract(EngineState& state, const ExtractJob& job) {
  try {
    return Extract(state, job);
  } catch (const std::bad_alloc&) {
    ReleaseDocuments(state);
    state.LastErrorCode = -300;
    return kExtractFailed;
  }
}

}  // namespace folvex
