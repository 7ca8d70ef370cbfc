#include "engine/reading/open_document.h"

#include <cstring>
#include <new>

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

int ParseSlot(EngineState& state, DocumentSlot& slot) {
  int generation = 0;
  slot.Xref.clear();
  slot.HasXref = ParseXrefChain(state, slot.Image, slot.Xref, slot.CatalogNumber, generation) == 1;
  return slot.HasXref ? 1 : 0;
}

// Converts or repairs the slot's image and parses it again, at most twice. Returns 1 when the last
// parse succeeded, 0 when it failed, -1000 when conversion found a protected file.
int RebuildAndParse(EngineState& state, DocumentSlot& slot, bool reportProgress) {
  bool parsed = false;
  for (int round = 0; round < 2; ++round) {
    state.LastErrorCode = 0;
    bool converting = state.NeedsConversion == 1;
    if (reportProgress) {
      if (converting) {
        state.ReportProgress("Converting", "変換中", 5);
      } else {
        state.ReportProgress("Repairing", "修復中", 5);
      }
    }
    if (converting) {
      int result = ConvertXrefStreams(state, slot.Image, slot.HasXref ? &slot.Xref : nullptr);
      if (result == -1000) {
        state.LastErrorCode = -1000;
        return -1000;
      }
    } else {
      RepairImage(state, slot.Image);
    }
    if (state.Cancelled()) return 0;
    parsed = ParseSlot(state, slot) == 1;
    if (parsed && state.NeedsConversion != 1) return 1;
  }
  return parsed ? 1 : 0;
}

}  // namespace

int OpenDocument(EngineState& state, int slotIndex, const std::string& path, const DecryptDocument& decrypt) {
  DocumentSlot& slot = state.Slots.at(static_cast<std::size_t>(slotIndex));
  auto end = [&](int result) {
    ReleaseDocuments(state);
    return result;
  };
  if (!FileOpensForReading(path)) return end(kOpenNotFound);

  state.ReportProgress("Reading", "読み込み中", 0);
  if (LoadFileImage(path, slot.Image, state.LastErrorCode) == 0) return end(state.Cancelled() ? kOpenCancelled : kOpenFailed);
  if (state.Cancelled()) return end(kOpenCancelled);

  state.ReportProgress("Analyzing", "解析中", 4);
  bool parsed = ParseSlot(state, slot) == 1;
  if (state.Cancelled()) return end(kOpenCancelled);
  if (!parsed || state.NeedsConversion == 1 || state.EncryptRef) {
    if (state.EncryptRef) {
      if (!decrypt) return end(kOpenNoDecryption);
      int result = decrypt(state, slot);
      if (result != 0) return end(result);
      if (state.Cancelled()) return end(kOpenCancelled);
    }
    int rebuilt = RebuildAndParse(state, slot, true);
    if (state.Cancelled()) return end(kOpenCancelled);
    if (rebuilt != 1) return end(kOpenFailed);
  }

  state.ReportProgress("Analyzing", "解析中", 6);
  int pages = AnalyzeCatalog(state, slot);
  if (state.Cancelled()) return end(kOpenCancelled);
  if (pages < 0) return end(kOpenFailed);
  return pages;
}

int ReadClassicForm(EngineState& state, DocumentSlot& slot) {
  // A protected file whose classic data parses is taken as it stands: nothing is decrypted here.
  if (ParseSlot(state, slot) == 1 && state.NeedsConversion != 1) return 1;
  return RebuildAndParse(state, slot, false) == 1 ? 1 : 0;
}

int CountPages(EngineState& state, const std::string& path) {
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
    if (ReadClassicForm(state, slot) != 1) {
      ReleaseDocuments(state);
      return -1;
    }

    // The open action is not needed for a page count.
    std::string dispScale("N");
    std::swap(dispScale, state.Settings.DispScale);
    AnalyzeCatalog(state, slot);
    std::swap(dispScale, state.Settings.DispScale);
    ReleaseDocuments(state);
    return state.LastErrorCode == 0 ? state.PageCount : -1;
  } catch (const std::bad_alloc&) {
    ReleaseDocuments(state);
    return -10;
  }
}

int ProtectImage(EngineState& state, const std::string& path, std::span<const Byte> key, int passThrough,
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
    if (state.NeedsConversion == 1) {
      ConvertXrefStreams(state, image, parsed ? &table : nullptr);
    } else {
      RepairImage(state, image);
    }
    bool encryptedStreams = state.LastErrorCode == -1000;
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

}  // namespace folvex
