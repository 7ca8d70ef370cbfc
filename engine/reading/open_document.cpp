#include "engine/reading/open_document.h"

#include <cstring>
#include <new>
#include <optional>

#include "engine/reading/catalog.h"
#include "engine/reading/file_image.h"
#include "engine/reading/repair.h"
#include "engine/reading/xref.h"
#include "engine/reading/xref_streams.h"

namespace folvex {

void ResetDocumentState(EngineState& state) {
  state.Slots = {};
  state.PagesBoxTable = {};
  state.Job.InheritedOpenAction = kOpenActionNotLookedUp;
  if (!state.Settings.DispScale.empty() && state.Settings.DispScale[0] == 'O') state.Job.FitWindow = 0;
  state.ProgressFileIndex = 1;
  state.ProgressFileCount = 1;
}

void ReleaseDocuments(EngineState& state) {
  state.Slots = {};
  state.PagesBoxTable = {};
}

void PrepareDocumentSlots(EngineState& state, int count) {
  ReleaseDocuments(state);
  state.Slots.resize(static_cast<std::size_t>(count));
}

namespace {

void OneFileProgress(EngineState& state, OpenStage stage) {
  switch (stage) {
    case OpenStage::Reading: return state.ReportProgress("Reading", "読み込み中", 0);
    case OpenStage::Parsing: return state.ReportProgress("Analyzing", "解析中", 4);
    case OpenStage::Converting: return state.ReportProgress("Converting", "変換中", 5);
    case OpenStage::Repairing: return state.ReportProgress("Repairing", "修復中", 5);
    case OpenStage::Analyzing: return state.ReportProgress("Analyzing", "解析中", 6);
  }
}

// Reports a stage when the caller shows progress (progress not null).
void Report(const OpenProgress* progress, EngineState& state, OpenStage stage) {
  if (progress != nullptr && *progress) (*progress)(state, stage);
}

int ParseSlot(EngineState& state, DocumentSlot& slot) {
  int generation = 0;
  slot.Xref.clear();
  slot.HasXref = ParseXrefChain(state, slot.Image, slot.Xref, slot.CatalogNumber, generation) == 1;
  return slot.HasXref ? 1 : 0;
}

// How the slot's image came into classic form. An image that is only read takes the objects of
// its object streams appended; one that is rewritten whole takes them in place.
struct Rebuild {
  bool Repaired = false;
  ConversionLayout Layout = ConversionLayout::Appended;
};

// Converts or repairs the slot's image and parses it again, at most twice. A conversion that fails
// is followed by a repair, since a damaged file may hold "/XRef" without being convertible.
// Returns 1 when the last parse succeeded, 0 when it failed, -1000 when conversion found a
// protected file.
int RebuildAndParse(EngineState& state, DocumentSlot& slot, const OpenProgress* progress, Rebuild& rebuild) {
  bool parsed = false;
  bool conversionFailed = false;
  for (int round = 0; round < 2; ++round) {
    state.LastErrorCode = 0;
    const bool converting = state.NeedsConversion == 1 && !conversionFailed;
    Report(progress, state, converting ? OpenStage::Converting : OpenStage::Repairing);
    if (converting) {
      const int result = ConvertXrefStreams(state, slot.Image, slot.HasXref ? &slot.Xref : nullptr, nullptr, rebuild.Layout);
      if (result == -1000) {
        state.LastErrorCode = -1000;
        return -1000;
      }
      conversionFailed = result != 0;
    } else {
      RepairImage(state, slot.Image);
      rebuild.Repaired = true;
    }
    if (state.Cancelled()) return 0;
    parsed = ParseSlot(state, slot) == 1;
    if (parsed && state.NeedsConversion != 1) return 1;
  }
  return parsed ? 1 : 0;
}

int Analyze(EngineState& state, DocumentSlot& slot, const OpenProgress* progress) {
  Report(progress, state, OpenStage::Analyzing);
  return AnalyzeCatalog(state, slot);
}

// A table that parses can still be wrong: stale offsets, objects swapped, a /Prev chain that loops
// before the older sections. When the analysis of an image that was not repaired fails, the image
// is repaired once (this) and analysed again. Returns 1 when the repaired image parses.
int RepairAfterAnalysis(EngineState& state, DocumentSlot& slot, Rebuild& rebuild, const OpenProgress* progress) {
  Report(progress, state, OpenStage::Repairing);
  state.LastErrorCode = 0;
  rebuild.Repaired = true;
  if (RepairImage(state, slot.Image) != 0 || state.Cancelled()) return 0;
  return ParseSlot(state, slot) == 1 && state.NeedsConversion != 1 ? 1 : 0;
}

int AnalyzeWithRepair(EngineState& state, DocumentSlot& slot, Rebuild& rebuild, const OpenProgress* progress) {
  int pages = Analyze(state, slot, progress);
  if (pages >= 0 || state.Cancelled() || rebuild.Repaired) return pages;
  if (RepairAfterAnalysis(state, slot, rebuild, progress) != 1) return -1;
  return Analyze(state, slot, progress);
}

// Brings a loaded slot into classic form without decrypting. A protected file whose classic data
// parses is taken as it stands; a protected hybrid file cannot be converted without its key, so
// only its classic table is used (protectedHybrid). Returns 1, or 0 with LastErrorCode set.
int ReadClassicFormOf(EngineState& state, DocumentSlot& slot, Rebuild& rebuild, bool& protectedHybrid) {
  protectedHybrid = false;
  const bool parsed = ParseSlot(state, slot) == 1;
  if (parsed && state.NeedsConversion != 1) return 1;
  if (parsed && state.EncryptRef) {
    protectedHybrid = true;
    return 1;
  }
  return RebuildAndParse(state, slot, nullptr, rebuild) == 1 ? 1 : 0;
}

int OpenSlot(EngineState& state, int slotIndex, const std::string& path, const OpenOptions& options) {
  if (slotIndex < 0 || static_cast<std::size_t>(slotIndex) >= state.Slots.size()) {
    ReleaseDocuments(state);
    return kOpenFailed;
  }
  DocumentSlot& slot = state.Slots[static_cast<std::size_t>(slotIndex)];
  const OpenProgress oneFile = OneFileProgress;
  const OpenProgress* progress = options.Progress ? &options.Progress : &oneFile;
  const DecryptDocument& decrypt = options.Decrypt;
  auto end = [&](int result) {
    ReleaseDocuments(state);
    return result;
  };
  auto failed = [&](OpenStage stage) {
    state.OpenFailedStage = static_cast<int>(stage);
    return end(state.Cancelled() ? kOpenCancelled : kOpenFailed);
  };
  if (!FileOpensForReading(path)) return end(kOpenNotFound);

  Report(progress, state, OpenStage::Reading);
  if (LoadFileImage(path, slot.Image, state.LastErrorCode) == 0) return failed(OpenStage::Reading);
  if (state.Cancelled()) return end(kOpenCancelled);

  Report(progress, state, OpenStage::Parsing);
  const bool parsed = ParseSlot(state, slot) == 1;
  if (state.Cancelled()) return end(kOpenCancelled);
  Rebuild rebuild;
  bool decrypted = false;
  // Authenticates and decrypts the protected image, which is then always rebuilt and parsed again.
  // Returns 0, a result of decrypt, or -1 when the rebuild fails.
  auto decryptAndRebuild = [&]() {
    if (!decrypt) return kOpenNoDecryption;
    int result = decrypt(state, slot);
    // A table whose offsets are off (junk before the header, a stale update) may hide the
    // /Encrypt dictionary: the rebuilt image shows it.
    if (result != 0 && !rebuild.Repaired && state.SecurityJobState.LastRefusal == SecurityRefusal::Unreadable &&
        !state.Cancelled()) {
      state.LastErrorCode = 0;
      rebuild.Repaired = true;
      if (RepairImage(state, slot.Image) == 0 && ParseSlot(state, slot) == 1 && state.EncryptRef) {
        state.SecurityJobState.LastRefusal = SecurityRefusal::None;
        result = decrypt(state, slot);
      }
    }
    if (result != 0) return result;
    decrypted = true;
    if (state.Cancelled()) return kOpenCancelled;
    if (RebuildAndParse(state, slot, progress, rebuild) != 1) return -1;
    return 0;
  };
  // A damaged protected file shows its /Encrypt only once it is rebuilt.
  auto decryptWhenRevealed = [&]() { return state.EncryptRef && !decrypted ? decryptAndRebuild() : 0; };
  auto endAfterDecrypt = [&](int result) { return result == -1 ? failed(OpenStage::Repairing) : end(result); };

  // A file with cross-reference streams names its /Encrypt only in them.
  // The look leaves the trailer values of an unprotected file as they were.
  if (!state.EncryptRef && state.NeedsConversion == 1 && decrypt) {
    const auto fileId = state.FileId;
    const int fileIdLength = state.FileIdLength, infoNumber = state.InfoNumber, infoGeneration = state.InfoGeneration;
    XrefTable objects;
    if (ReadXrefStreamObjects(state, slot.Image, parsed ? &slot.Xref : nullptr, objects) != 0) state.EncryptRef.reset();
    if (!state.EncryptRef) {
      state.FileId = fileId;
      state.FileIdLength = fileIdLength;
      state.InfoNumber = infoNumber;
      state.InfoGeneration = infoGeneration;
    }
  }
  if (state.EncryptRef) {
    if (int result = decryptAndRebuild(); result != 0) return endAfterDecrypt(result);
  } else {
    if (options.CheckUnprotected) {
      if (int result = options.CheckUnprotected(state, slot); result != 0) return end(result);
    }
    if (!parsed || state.NeedsConversion == 1) {
      const int rebuilt = RebuildAndParse(state, slot, progress, rebuild);
      // A protected file with cross-reference streams is decrypted before it is converted.
      if (rebuilt == -1000 && state.EncryptRef && decrypt) {
        if (int result = decryptAndRebuild(); result != 0) return endAfterDecrypt(result);
      } else if (rebuilt != 1) {
        return failed(OpenStage::Repairing);
      }
      if (int result = decryptWhenRevealed(); result != 0) return endAfterDecrypt(result);
    }
  }

  int pages = Analyze(state, slot, progress);
  if (pages < 0 && !state.Cancelled() && !rebuild.Repaired) {
    if (RepairAfterAnalysis(state, slot, rebuild, progress) != 1) return failed(OpenStage::Analyzing);
    if (int result = decryptWhenRevealed(); result != 0) return endAfterDecrypt(result);
    pages = Analyze(state, slot, progress);
  }
  if (state.Cancelled()) return end(kOpenCancelled);
  if (pages < 0) return failed(OpenStage::Analyzing);
  return pages;
}

}  // namespace

int OpenDocument(EngineState& state, int slotIndex, const std::string& path, const OpenOptions& options) {
  try {
    return OpenSlot(state, slotIndex, path, options);
  } catch (const std::bad_alloc&) {
    ReleaseDocuments(state);
    state.LastErrorCode = kOpenNoMemory;
    return kOpenNoMemory;
  }
}

int ReadClassicForm(EngineState& state, DocumentSlot& slot) {
  Rebuild rebuild{false, ConversionLayout::InPlace};
  bool protectedHybrid = false;
  return ReadClassicFormOf(state, slot, rebuild, protectedHybrid);
}

PageFacts AnalyzePages(EngineState& state, DocumentSlot& slot, bool repaired) {
  const JobSettings job = state.Job;
  std::string dispScale("N");
  std::swap(dispScale, state.Settings.DispScale);
  state.Job.KeepOutlines = 0;
  int pages = Analyze(state, slot, nullptr);
  if (pages < 0 && !repaired && !state.Cancelled()) {
    // A table that parses can still miss objects (a /Prev chain that loops before the older
    // sections): the repaired table is taken when its pages can be walked, else the table stays.
    DocumentSlot before = slot;
    const auto encryptRef = state.EncryptRef;
    const auto fileId = state.FileId;
    const int fileIdLength = state.FileIdLength, infoNumber = state.InfoNumber, infoGeneration = state.InfoGeneration;
    Rebuild rebuild{false, ConversionLayout::InPlace};
    if (RepairAfterAnalysis(state, slot, rebuild, nullptr) == 1) pages = Analyze(state, slot, nullptr);
    if (pages >= 0 && state.InfoNumber == 0) {
      // A rebuilt trailer may not name the information dictionary; the parsed one did.
      state.InfoNumber = infoNumber;
      state.InfoGeneration = infoGeneration;
    } else if (pages < 0) {
      slot = std::move(before);
      state.EncryptRef = encryptRef;
      state.FileId = fileId;
      state.FileIdLength = fileIdLength;
      state.InfoNumber = infoNumber;
      state.InfoGeneration = infoGeneration;
      state.NeedsConversion = 0;
    }
  }
  PageFacts facts;
  if (pages >= 0) {
    facts.PageCount = state.PageCount;
    facts.ListedPages = slot.PageList.size();
  }
  std::swap(dispScale, state.Settings.DispScale);
  state.Job = job;
  state.LastErrorCode = 0;
  return facts;
}

int ReadClassicFormAndPages(EngineState& state, DocumentSlot& slot, PageFacts& facts) {
  Rebuild rebuild{false, ConversionLayout::InPlace};
  bool protectedHybrid = false;
  if (ReadClassicFormOf(state, slot, rebuild, protectedHybrid) != 1) return 0;
  // A hybrid file keeps its classic table: its objects are rewritten as that table lists them.
  facts = AnalyzePages(state, slot, rebuild.Repaired || protectedHybrid);
  return 1;
}

namespace {

// Counts the pages of a protected slot after decrypt: -1 when decryption or the count fails.
int CountDecrypted(EngineState& state, DocumentSlot& slot, const DecryptDocument& decrypt) {
  const std::optional<std::size_t> encryptRef = state.EncryptRef;
  state.LastErrorCode = 0;
  if (decrypt(state, slot) != 0) return -1;
  Rebuild rebuild;
  bool protectedHybrid = false;
  state.LastErrorCode = 0;
  if (ReadClassicFormOf(state, slot, rebuild, protectedHybrid) != 1) return -1;
  const int pages = AnalyzeWithRepair(state, slot, rebuild, nullptr);
  // The count is that of a protected file.
  state.EncryptRef = encryptRef;
  return pages;
}

}  // namespace

int CountPages(EngineState& state, const std::string& path, const DecryptDocument& decrypt) {
  try {
    state.Job.KeepOutlines = 0;
    ResetDocumentState(state);
    if (state.Control != nullptr) state.Control->CancelFlag = 0;
    if (!FileOpensForReading(path)) return -2;

    PrepareDocumentSlots(state, 1);
    DocumentSlot& slot = state.Slots[0];
    if (LoadFileImage(path, slot.Image, state.LastErrorCode) == 0) {
      ReleaseDocuments(state);
      return -1;
    }
    Rebuild rebuild;
    bool protectedHybrid = false;
    const bool classic = ReadClassicFormOf(state, slot, rebuild, protectedHybrid) == 1;
    const bool protectedStreams = !classic && state.LastErrorCode == -1000 && state.EncryptRef;
    if (!classic && !(protectedStreams && decrypt)) {
      ReleaseDocuments(state);
      return -1;
    }

    // The open action is not needed for a page count.
    std::string dispScale("N");
    std::swap(dispScale, state.Settings.DispScale);
    int pages = -1;
    if (protectedStreams) {
      pages = CountDecrypted(state, slot, decrypt);
    } else {
      pages = protectedHybrid ? AnalyzeCatalog(state, slot) : AnalyzeWithRepair(state, slot, rebuild, nullptr);
      if (pages < 0 && protectedHybrid && decrypt) {
        // The pages lie in the compressed part: counted once decrypted.
        // Parsed again first, since the analysis may have left the table.
        Rebuild again;
        bool hybrid = false;
        if (ReadClassicFormOf(state, slot, again, hybrid) == 1) pages = CountDecrypted(state, slot, decrypt);
      }
    }
    std::swap(dispScale, state.Settings.DispScale);
    ReleaseDocuments(state);
    // A protected file whose pages lie in its compressed part is protected and uncounted.
    if (pages < 0 && (protectedHybrid || protectedStreams)) state.LastErrorCode = -1000;
    return pages >= 0 && state.LastErrorCode == 0 ? state.PageCount : -1;
  } catch (const std::bad_alloc&) {
    ReleaseDocuments(state);
    return -10;
  }
}

static int PrepareAndProtect(EngineState& state, const std::string& path, std::span<const Byte> key, int passThrough,
                             bool fromMemory, FileImage& image, const SecurityWriter& writer) {
  if (!fromMemory) {
    if (!FileOpensForReading(path)) return 7;
    state.PageCount = 0;
    state.LastErrorCode = 0;
    if (LoadFileImage(path, image, state.LastErrorCode) == 0) return -1;
  }
  Byte keptId[16];
  std::memcpy(keptId, state.FileId.data(), sizeof keptId);

  XrefTable table;
  bool parsed = ParseXrefChain(state, image, table, state.ProtectCatalogNumber, state.ProtectCatalogGeneration) == 1;
  if (!parsed || state.NeedsConversion == 1) {
    state.LastErrorCode = 0;
    // A conversion that fails (the file is damaged, not protected) is followed by a repair.
    const int converted = state.NeedsConversion == 1 ? ConvertXrefStreams(state, image, parsed ? &table : nullptr) : 1;
    if (converted != 0 && converted != -1000) {
      state.LastErrorCode = 0;
      RepairImage(state, image);
    }
    const bool encryptedStreams = converted == -1000;
    table.clear();
    if (encryptedStreams ||
        ParseXrefChain(state, image, table, state.ProtectCatalogNumber, state.ProtectCatalogGeneration) != 1) {
      int result = encryptedStreams || state.LastErrorCode == -1000 ? 5 : 6;
      image = {};
      return result;
    }
  }
  if (state.EncryptRef && fromMemory) {
    image = {};
    return 5;
  }
  std::memcpy(state.FileId.data(), keptId, sizeof keptId);

  int written = writer ? writer(state, image, table, key, passThrough, fromMemory) : -1;
  if (written != 0) state.LastErrorCode = -1;
  return state.LastErrorCode == 0 ? 0 : 6;
}

int ProtectImage(EngineState& state, const std::string& path, std::span<const Byte> key, int passThrough,
                 bool fromMemory, FileImage& image, const SecurityWriter& writer) {
  try {
    return PrepareAndProtect(state, path, key, passThrough, fromMemory, image, writer);
  } catch (const std::bad_alloc&) {
    image = {};
    state.LastErrorCode = -2;
    return 6;
  }
}

}  // namespace folvex
