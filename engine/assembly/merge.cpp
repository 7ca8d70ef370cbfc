#include "engine/assembly/merge.h"

#include <algorithm>
#include <new>
#include <optional>

#include "engine/assembly/document_skeleton.h"
#include "engine/assembly/outline_objects.h"
#include "engine/assembly/output_settings.h"
#include "engine/assembly/page_tree_layout.h"
#include "engine/core/content_hash.h"
#include "engine/core/large_buffers.h"
#include "engine/reading/file_image.h"
#include "engine/reading/open_document.h"
#include "engine/security/authenticate.h"
#include "engine/transfer/kept_annotations.h"
#include "engine/transfer/page_dicts.h"
#include "engine/transfer/page_objects.h"

namespace folvex {

namespace {

// Driver codes of a merge.
constexpr int kSecurityDiffers = -3001;
constexpr int kLoadFailed = -12345;
constexpr int kRebuildFailed = -12346;
constexpr int kPagesUnreadable = -12347;
constexpr int kPagesRefused = -3002;

// The protection of the first protected input, which every later input must share.
struct SavedSecurity {
  std::string FilterName;
  int Version = 0, Revision = 0, KeyLength = 0;
  int32_t Permissions = 0;
  std::vector<Byte> Owner, User, FileId;

  static SavedSecurity Of(const SecurityParameters& p) {
    return {p.FilterName, p.EncryptVersion, p.EncryptRevision, p.KeyLength == 0 ? 5 : p.KeyLength,
            p.Permissions, p.OwnerEntry, p.UserEntry, p.FileId};
  }
  bool operator==(const SavedSecurity&) const = default;
};

// What the writing needs of an input's first two lines, taken while the input is open.
struct InputHeader {
  int Result = 0;                       // of ReadHeaderLines
  std::pair<long, long> Version{-1, -1};
  std::string FirstLine;                // behind "%PDF-", up to the end of the line (when sound)
  std::optional<std::string> Comment;   // the second line when it is a comment
};

InputHeader HeaderOf(const FileImage& image) {
  InputHeader header;
  HeaderLines lines;
  header.Result = ReadHeaderLines(image, lines);
  if (header.Result != 0) return header;
  header.Version = HeaderVersion(image, lines);
  const char* bytes = reinterpret_cast<const char*>(image.Begin());
  if (IsSoundHeader(image, lines)) {
    header.FirstLine.assign(bytes + lines.Start + 5, lines.FirstEnd - lines.Start - 5);
  } else {
    const std::string line = OutputHeaderLine(image, lines);  // "%PDF-M.m" and a line feed
    header.FirstLine = line.substr(5, line.size() - 6);
  }
  if (lines.CommentEnd != 0) header.Comment.emplace(bytes + lines.AfterFirst, lines.CommentEnd - lines.AfterFirst);
  return header;
}

// Opens the inputs, with the driver's progress and security checks. A merge holds one input's
// image at a time: the first pass opens each in order, takes its page count, header lines and
// page dictionary copies and lets its image go; the writing takes each up again when its pages
// are due.
class InputReader {
 public:
  InputReader(EngineState& state, MergeJob& job) : State(state), Job(job) {}

  // The first pass. Returns 0, or the failing file's driver code (LastErrorCode holds it too).
  // An input whose page dictionaries cannot be copied is reported only once every input has
  // opened: an input that does not open at all is named first.
  // pageLists receives each input's written pages (see MergeInput::PagesOfCount).
  int ReadAll(std::vector<int>& firstPage, std::vector<std::vector<int>>& pageLists,
              std::vector<PageDictCopies>& copies, std::vector<InputHeader>& headers) {
    const int n = static_cast<int>(Job.Inputs.size());
    int total = 0;
    int unreadablePages = -1;
    copies.resize(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
      if (State.Cancelled()) return 0;
      Job.JobResultIndex = i;
      Kept.emplace_back().JobBefore = State.Job;
      const int pages = ReadOne(i, n);
      if (pages < 0) return FailureCode;
      const auto index = static_cast<std::size_t>(i);
      MergeInput& input = Job.Inputs[index];
      input.PageCount = pages;
      input.Encrypted = Saved.has_value();
      std::vector<int>& written = pageLists.emplace_back(static_cast<std::size_t>(pages));
      for (int k = 0; k < pages; ++k) written[static_cast<std::size_t>(k)] = k;
      if (input.PagesOfCount && (!input.PagesOfCount(pages, written) || written.empty() ||
                                 std::ranges::any_of(written, [pages](int k) { return k < 0 || k >= pages; }))) {
        Fail(kPagesRefused);
        return kPagesRefused;
      }
      firstPage.push_back(total);
      total += static_cast<int>(written.size());
      DocumentSlot& slot = State.Slots[index];
      Kept[index].ImageSize = slot.Image.Size();
      Kept[index].JobAfter = State.Job;
      headers.push_back(HeaderOf(slot.Image));
      if (BuildPageDicts(State, slot, pages, copies[index]) != 1 && !State.Cancelled() && unreadablePages < 0) {
        unreadablePages = i;
      }
      KeepForReading(index, input.Path);
    }
    if (State.Cancelled()) return 0;
    if (unreadablePages >= 0) {
      Job.JobResultIndex = unreadablePages;
      return Fail(kPagesUnreadable);
    }
    return 0;
  }

  // Takes input i up again for the writing: it must be the file the first pass read, giving the
  // same image. An input kept for reading is read from its file again (see KeepForReading); any
  // other, or one whose file no longer matches, is opened again, without progress, with the job
  // settings it was first opened with (the first input's catalog fills some of them, and what is
  // filled decides whether a catalog is read again and so whether the file is repaired). Returns
  // 1, or 0 with LastErrorCode set and JobResultIndex naming the input (nothing when cancelled).
  int Reopen(int i) {
    const auto index = static_cast<std::size_t>(i);
    DocumentSlot& slot = State.Slots[index];
    if (Kept[index].ReadAgain && ReadFileAgain(index)) {
      State.Job = Kept[index].JobAfter;
      return 1;
    }
    slot = DocumentSlot{};
    State.Job = Kept[index].JobBefore;
    State.ProgressMuted = true;
    const int pages = ReadOne(i, static_cast<int>(Job.Inputs.size()));
    State.ProgressMuted = false;
    if (pages >= 0 && (pages != Job.Inputs[index].PageCount || !SameInput(index, State.Slots[index].Image))) {
      Fail(kLoadFailed);
    } else if (pages >= 0) {
      return 1;
    }
    if (!State.Cancelled()) Job.JobResultIndex = i;
    return 0;
  }

  // The sum of the opened inputs' image sizes.
  std::size_t TotalImageSize() const {
    std::size_t size = 0;
    for (const KeptInput& kept : Kept) size += kept.ImageSize;
    return size;
  }

 private:
  // The file's page count, or -1 with the driver code in FailureCode.
  int ReadOne(int i, int n) {
    SecurityResult = 0;
    OpenOptions options;
    options.Progress = [i, n](EngineState& state, OpenStage stage) {
      switch (stage) {
        case OpenStage::Reading:
          return state.ReportProgress(CountedLabel("Reading/Analyzing File:", i, n), CountedLabel("読み込み/解析中 ファイル:", i, n),
                                      8 * i / n);
        case OpenStage::Parsing:
          return state.ReportProgress(CountedLabel("Reading/Analyzing File:", i, n), CountedLabel("読み込み/解析中 ファイル:", i, n),
                                      (8 * i + 4) / n);
        case OpenStage::Converting:
          return state.ReportProgress(CountedLabel("Convert/Analyzing File:", i, n), CountedLabel("変換/解析中 ファイル:", i, n),
                                      8 * i / n);
        case OpenStage::Repairing:
          return state.ReportProgress(CountedLabel("Repair/Analyzing File:", i, n), CountedLabel("修復/解析中 ファイル:", i, n),
                                      8 * i / n);
        case OpenStage::Analyzing:
          return state.ReportProgress(CountedLabel("Reading/Analyzing File:", i, n), CountedLabel("読み込み/解析中 ファイル:", i, n),
                                      2 * i / n + 6);
      }
    };
    options.CheckUnprotected = [this](EngineState&, DocumentSlot&) {
      return SecurityResult = Saved.has_value() ? kSecurityDiffers : 0;
    };
    options.Decrypt = [this, i](EngineState& state, DocumentSlot& slot) { return Decrypt(state, slot, i); };

    const int pages = OpenDocument(State, i, Job.Inputs[static_cast<std::size_t>(i)].Path, options);
    if (State.Cancelled()) return Fail(0);
    if (SecurityResult != 0) return Fail(SecurityResult);
    if (pages == kOpenNotFound) return Fail(1);
    if (pages < 0) {
      if (State.LastErrorCode == -1000) return Fail(-1000);
      switch (static_cast<OpenStage>(State.OpenFailedStage)) {
        case OpenStage::Reading: return Fail(kLoadFailed);
        case OpenStage::Analyzing: return Fail(kPagesUnreadable);
        default: return Fail(kRebuildFailed);
      }
    }
    if (pages < 1) return Fail(kPagesUnreadable);
    return pages;
  }

  // The security step of a protected input: it must be the first input or share the first
  // protected input's parameters; then it is authenticated (the remembered password usually
  // opens the later ones without asking).
  int Decrypt(EngineState& state, DocumentSlot& slot, int i) {
    if (i > 0 && !Saved) return SecurityResult = kSecurityDiffers;
    if (Saved) {
      if (ReadEncryptDictionary(state, slot.Image, slot.Xref) != 0) return SecurityResult = -1;
      // Compared as the decryption takes them: an AES-128 key is 16 bytes whatever /Length says.
      if (CheckSupported(state) != 0 || !(SavedSecurity::Of(state.Security) == *Saved)) {
        return SecurityResult = kSecurityDiffers;
      }
    }
    // A protected input is told again by its bytes before decryption: the decrypted image holds
    // an information dictionary made afresh at each opening.
    LastProtectedImage = {ContentHash({slot.Image.Begin(), slot.Image.Size()}), slot.Image.Size()};
    const int result = MakeDecryptDocument()(state, slot);
    if (result == 9) return SecurityResult = 9;
    if (result == 4) return SecurityResult = 10;
    if (result != 0) return SecurityResult = -1;
    if (!Saved) Saved = SavedSecurity::Of(state.Security);
    return 0;
  }

  int Fail(int code) {
    if (code != 0) State.LastErrorCode = code;
    FailureCode = code;
    return -1;
  }

  // An unprotected input whose image begins with its file as it stands (a classic file, or one
  // whose object-stream objects were appended to it) is taken up again by reading the file and
  // appending the rest of the image, kept now (up to kMaxKeptRest bytes for all inputs): its
  // tables stay for the writing. Any other input lets everything go and is opened again. What is
  // kept tells the image again: the hash of its first FileSize bytes and the rest (a file read
  // again), or the hash of it all (an input opened again).
  void KeepForReading(std::size_t index, const std::string& path) {
    DocumentSlot& slot = State.Slots[index];
    KeptInput& kept = Kept[index];
    const long long fileSize = FileSizeAt(path);
    const std::size_t imageSize = slot.Image.Size();
    const bool fits = fileSize >= 0 && static_cast<unsigned long long>(fileSize) <= imageSize &&
                      KeptRest + (imageSize - static_cast<std::size_t>(fileSize)) <= kMaxKeptRest;
    kept.ReadAgain = !Saved && fits;
    if (Saved) kept.Protected = LastProtectedImage;
    kept.FileSize = kept.ReadAgain ? static_cast<std::size_t>(fileSize) : imageSize;
    const std::size_t size = kept.FileSize;
    kept.Hash = Saved ? 0 : ContentHash({slot.Image.Begin(), size});
    AppendBytes(kept.Rest, slot.Image.Begin() + size, imageSize - size);
    if (!kept.ReadAgain) {
      slot = DocumentSlot{};
      return;
    }
    KeptRest += imageSize - size;
    slot.Image = FileImage{};
  }

  // Reads input index's file into its slot and appends the kept rest. False when the file is not
  // the one the first pass read.
  bool ReadFileAgain(std::size_t index) {
    DocumentSlot& slot = State.Slots[index];
    const KeptInput& kept = Kept[index];
    int error = 0;
    if (LoadFileImage(Job.Inputs[index].Path, slot.Image, error) != 1 || slot.Image.Size() != kept.FileSize ||
        ContentHash({slot.Image.Begin(), slot.Image.Size()}) != kept.Hash) {
      return false;
    }
    const Byte zero = 0;
    slot.Image.Storage.pop_back();
    AppendBytes(slot.Image.Storage, kept.Rest.data(), kept.Rest.size());
    AppendBytes(slot.Image.Storage, &zero, 1);
    return true;
  }

  // Whether an input opened again gives the image the first pass saw: a protected input by its
  // bytes before decryption and its size after, any other by its image.
  bool SameInput(std::size_t index, const FileImage& image) const {
    const KeptInput& kept = Kept[index];
    if (image.Size() != kept.ImageSize) return false;
    if (kept.Protected.Size != 0) return LastProtectedImage == kept.Protected;
    return ContentHash({image.Begin(), kept.FileSize}) == kept.Hash &&
           std::equal(image.Begin() + kept.FileSize, image.End(), kept.Rest.begin(), kept.Rest.end());
  }

  EngineState& State;
  MergeJob& Job;
  int FailureCode = 0;
  std::optional<SavedSecurity> Saved;
  int SecurityResult = 0;
  struct ImageFingerprint {
    uint64_t Hash = 0;
    std::size_t Size = 0;
    bool operator==(const ImageFingerprint&) const = default;
  };
  // What the first pass keeps of an input: the image's size, the job settings before and after
  // its opening, whether its file gives its image again, and what tells the image (see
  // KeepForReading; Protected is the bytes before decryption, Size 0 for an unprotected input).
  struct KeptInput {
    std::size_t ImageSize = 0;
    JobSettings JobBefore;
    JobSettings JobAfter;
    bool ReadAgain = false;
    std::size_t FileSize = 0;
    uint64_t Hash = 0;
    ImageBytes Rest;
    ImageFingerprint Protected;
  };
  std::vector<KeptInput> Kept;
  std::size_t KeptRest = 0;
  ImageFingerprint LastProtectedImage;  // of the protected input decrypted last
  static constexpr std::size_t kMaxKeptRest = std::size_t{64} << 20;
};

struct Writer {
  EngineState& State;
  MergeJob& Job;
  InputReader& Reader;
  const std::vector<PageDictCopies>& Copies;
  const std::vector<InputHeader>& Headers;
  const std::vector<int>& FirstPage;
  const std::vector<std::vector<int>>& PageLists;
  TransferOutput Output;

  int Fail(int code) {
    State.LastErrorCode = code;
    return 0;
  }

  const DocumentSlot& Slot(std::size_t i) const { return State.Slots[i]; }

  // "%PDF-" and the rest of the first line of the input with the highest version (the first of
  // equal ones), then the first comment line found as the inputs' second line.
  int AppendHeader() {
    std::size_t newest = 0;
    for (std::size_t i = 0; i < Headers.size(); ++i) {
      if (Headers[i].Result != 0) {
        Job.JobResultIndex = static_cast<int>(i);
        return Fail(Headers[i].Result);
      }
      if (Headers[i].Version > Headers[newest].Version) newest = i;
    }
    Output.Text += "%PDF-";
    Output.Text += Headers[newest].FirstLine;
    Output.Text += '\n';
    for (const InputHeader& header : Headers) {
      if (!header.Comment) continue;
      Output.Text += *header.Comment;
      Output.Text += '\n';
      break;
    }
    return 1;
  }

  int Build() {
    const std::size_t n = Job.Inputs.size();
    const std::size_t size = Reader.TotalImageSize();
    // A merged file is its inputs plus a little: the margin keeps the text from moving once.
    ReserveLarge(Output.Text, Output.TextReserve(std::max<std::size_t>(size + size / 8, 32768)));
    if (AppendHeader() != 1) return 0;
    if (State.Cancelled() || Reader.Reopen(0) != 1) return 0;

    const int total = FirstPage.back() + static_cast<int>(PageLists.back().size());
    std::string catalog;
    if (AppendCatalogObject(catalog, State.Job, State.Settings.DispScale, FirstPageNumber(total), &Slot(0).Image) != 0) {
      return Fail(kInheritedDestinationUnterminated);
    }
    AppendInformationObject(Output, Job.CreationDateText, Job.ProducerText);
    PageTreeLayout tree;
    if (int result = LayOutPageTree(total, tree); result != 0) return Fail(result);
    AppendPagesObjects(Output, tree);
    Output.NextObjectNumber = tree.LastNumber + 1;

    const bool keepAnnotations = State.Settings.KeepAnnots != 0;
    FieldNames fieldNames;
    std::vector<std::vector<std::string>> formRoots(n);
    for (std::size_t i = 0; i < n; ++i) {
      if (i > 0 && Reader.Reopen(static_cast<int>(i)) != 1) return 0;
      const int first = FirstPage[i];
      const int count = static_cast<int>(PageLists[i].size());
      const auto progress = TransferProgress{CountedLabel("Creating  File:", static_cast<int>(i), static_cast<int>(n)) + " Page:",
                                             CountedLabel("作成中  ファイル:", static_cast<int>(i), static_cast<int>(n)) + " ページ:",
                                             10 + first * 90 / total, count * 90 / total};
      const std::vector<int>& pageIndex = PageLists[i];
      const auto slice = [&](const std::vector<int>& all) {
        return std::span<const int>(all).subspan(static_cast<std::size_t>(first), static_cast<std::size_t>(count));
      };
      const PageSelection selection{pageIndex, slice(tree.PageNumbers), slice(tree.ParentNumbers)};
      TransferWorkspace workspace;
      CopyExtras extras;
      if (keepAnnotations) extras = PlanKeptAnnotations(Slot(i), pageIndex, workspace, fieldNames, static_cast<int>(i) + 1);
      if (WritePageObjects(State, Slot(i), Copies[i], selection, progress, Output, &workspace,
                           keepAnnotations ? &extras : nullptr, &formRoots[i]) != 1) {
        if (State.Cancelled()) return 0;
        Job.JobResultIndex = static_cast<int>(i);
        return Fail(kPageCopyFailed);
      }
      KeepOutlineTextsOnly(State.Slots[i]);
    }

    AppendCatalogAtEnd(Output, catalog);
    std::vector<MergeOutlineFile> files;
    for (std::size_t i = 0; i < n; ++i) {
      const std::span<const int> written = Job.Inputs[i].PagesOfCount ? std::span<const int>(PageLists[i]) : std::span<const int>();
      files.push_back({&Slot(i), static_cast<int>(PageLists[i].size()), FirstPage[i], Job.Inputs[i].Path, written});
    }
    const MergeOutlineOptions options = MakeMergeOutlineOptions(State.Job, State.Settings);
    AppendViewerEntries(Output.Text, State.Job, State.Settings.DispScale, MergeHasOutlineEntries(options, files));
    if (const std::string form = AcroFormEntry(formRoots); !form.empty()) AppendCatalogEntry(Output.Text, form);
    AppendOutlinesAfterCatalog(Output, [&](std::string& text, std::vector<uint32_t>& offsets, int first) {
      return AppendMergeOutlines(text, offsets, first, options, files, tree.PageNumbers);
    });

    State.ReportProgress("Creating  Page:", "作成中  ページ:", 100);
    if (!AppendXrefAndTrailer(Output)) return Fail(kOutputTooLarge);
    return State.Cancelled() ? 0 : 1;
  }
};

int ResultOf(EngineState& state, int code) {
  if (state.Cancelled()) return kMergeCancelled;
  switch (code) {
    case 1: return kMergeInputMissing;
    case 9: return kMergeNotPermitted;
    case 10: return kMergePasswordFailed;
    case kSecurityDiffers: return kMergeDifferentSecurity;
    case kPagesRefused: return kMergeBadPages;
    default: return kMergeFailed;
  }
}

int Merge(EngineState& state, MergeJob& job) {
  PrepareJobSettings(state, JobOperation::Merge);
  state.EncryptRef.reset();
  state.SecurityJobState.OutputEncrypted = 0;
  ResetDocumentState(state);
  job.JobResultIndex = -1;
  state.LastErrorCode = 0;
  state.SecurityJobState.BackupMade = 0;
  const int n = static_cast<int>(job.Inputs.size());
  if (n == 0) {
    state.LastErrorCode = kLoadFailed;
    return kMergeFailed;
  }
  std::vector<std::string> paths;
  for (int i = 0; i < n; ++i) {
    paths.push_back(job.Inputs[static_cast<std::size_t>(i)].Path);
    if (!FileOpensForReading(paths.back())) {
      state.LastErrorCode = 1;
      job.JobResultIndex = i;
      return kMergeInputMissing;
    }
  }
  if (!OutputReplacingAnInput(job.OutputPath, job.Backup, paths).empty()) {
    state.LastErrorCode = kOutputReplacesInput;
    return kMergeOutputFailed;
  }
  state.ProgressFileCount = n;
  PrepareDocumentSlots(state, n);

  std::vector<int> firstPage;
  std::vector<std::vector<int>> pageLists;
  std::vector<PageDictCopies> copies;
  std::vector<InputHeader> headers;
  InputReader reader(state, job);
  if (int code = reader.ReadAll(firstPage, pageLists, copies, headers); code != 0 || state.Cancelled()) {
    ReleaseDocuments(state);
    return ResultOf(state, code);
  }

  // From here on a failure names an input only when one is at fault.
  job.JobResultIndex = -1;
  int total = 0;
  for (const std::vector<int>& written : pageLists) total += static_cast<int>(written.size());

  const bool protect = state.SecurityJobState.OutputEncrypted != 0;
  Writer writer{state, job, reader, copies, headers, firstPage, pageLists, {}};
  std::optional<StagedFile> file;
  bool backupMade = false;
  const bool stored = StageOutput(state, writer.Output, file, job.OutputPath, protect) && writer.Build() == 1 &&
                      ProtectAndStore(state, writer.Output, protect, *file, total,
                                      job.Backup ? BackupName(job.OutputPath) : "", backupMade) == 0;
  ReleaseDocuments(state);
  if (!stored) {
    if (state.Cancelled()) return kMergeCancelled;
    return IsOutputFailure(state.LastErrorCode) ? kMergeOutputFailed : kMergeFailed;
  }
  state.SecurityJobState.BackupMade = backupMade ? 1 : 0;
  job.JobResultIndex = total;
  return kMergeDone;
}

}  // namespace

int RunMerge(EngineState& state, MergeJob& job) {
  try {
    return Merge(state, job);
  } catch (const std::bad_alloc&) {
    ReleaseDocuments(state);
    state.LastErrorCode = -300;
    return kMergeFailed;
  }
}

}  // namespace folvex
