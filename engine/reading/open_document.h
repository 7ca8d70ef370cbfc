// Opening an input: load, parse, convert or repair, analyse. Document slots and their release.
#pragma once

#include <functional>
#include <span>
#include <string>

#include "engine/core/engine_state.h"

namespace folvex {

// Sets every document global to empty without regard to what it held, before a new job.
void ResetDocumentState(EngineState& state);
// Frees every slot and the engine's other per-job buffers.
void ReleaseDocuments(EngineState& state);
// Releases what is held and makes count empty slots.
void PrepareDocumentSlots(EngineState& state, int count);

// The security subsystem's part of the open sequence: authenticates a protected input and replaces
// slot.Image by its decrypted form. Returns 0, or the security subsystem's result code.
using DecryptDocument = std::function<int(EngineState& state, DocumentSlot& slot)>;

// Results of OpenDocument besides the page count.
constexpr int kOpenFailed = -1;
constexpr int kOpenCancelled = -3;
constexpr int kOpenNotFound = -2;
// A protected input and no security subsystem to open it with.
constexpr int kOpenNoDecryption = -4;
// Memory ran out (also left in LastErrorCode).
constexpr int kOpenNoMemory = -10;

// The stages of the open sequence, reported to the driver's progress.
enum class OpenStage { Reading, Parsing, Converting, Repairing, Analyzing };
using OpenProgress = std::function<void(EngineState& state, OpenStage stage)>;

struct OpenOptions {
  // Authenticates and decrypts a protected input.
  DecryptDocument Decrypt;
  // Called once the first parse shows a file without /Encrypt, before any conversion or repair
  // (a merge checks there that its inputs agree on their protection). 0 goes on.
  DecryptDocument CheckUnprotected;
  // Empty: the one-file labels "Reading", "Analyzing", "Converting", "Repairing".
  OpenProgress Progress;
};

// Runs the open sequence for slot slotIndex (made by PrepareDocumentSlots) with its progress
// stages. Returns the page count, kOpenFailed with the failing step's code in LastErrorCode (-1000
// for a protected file with cross-reference streams), kOpenCancelled, kOpenNotFound, kOpenNoMemory,
// the result of decrypt when it fails, or kOpenNoDecryption. A file whose analysis fails before
// any repair is repaired once and analysed again.
// On kOpenFailed, state.OpenFailedStage names the stage that failed: Reading (the load),
// Repairing (conversion or repair), Analyzing (the catalog and page tree).
int OpenDocument(EngineState& state, int slotIndex, const std::string& path, const OpenOptions& options);
inline int OpenDocument(EngineState& state, int slotIndex, const std::string& path, const DecryptDocument& decrypt) {
  return OpenDocument(state, slotIndex, path, OpenOptions{decrypt, {}, {}});
}

// The page count of the file at path (0 or more), -2 when it cannot be opened, -10 without
// memory, -1 for every other failure (LastErrorCode -1000: protected with cross-reference
// streams, and decrypt is empty or fails). A protected file whose pages cannot be counted without
// decryption (cross-reference streams) is decrypted with decrypt when given. After a success,
// state.EncryptRef tells whether the file is protected.
int CountPages(EngineState& state, const std::string& path, const DecryptDocument& decrypt = {});

// Brings a loaded slot into classic form without decrypting: parse, then convert or repair and
// parse again (at most twice) when needed. The objects of object streams take their streams'
// places, so that the image can be rewritten whole. A protected hybrid file keeps the table of its classic
// section, since its streams cannot be converted without the key. Returns 1, or 0 with
// LastErrorCode set (-1000 for a protected file with cross-reference streams).
int ReadClassicForm(EngineState& state, DocumentSlot& slot);

// What the pages of a slot come to as a page count finds them.
struct PageFacts {
  int PageCount = -1;          // the root /Count; -1 when the pages cannot be walked
  std::size_t ListedPages = 0;  // the pages the tree lists
};

// ReadClassicForm, then the analysis of a page count (no open action, no outlines; the job
// settings are left as they were), repaired once when the analysis of a table that was not
// repaired fails, as the open sequence does: the table is then the one the reading path uses.
// Returns 1 (facts set, PageCount -1 when even the repaired pages cannot be walked), or 0 as
// ReadClassicForm.
int ReadClassicFormAndPages(EngineState& state, DocumentSlot& slot, PageFacts& facts);
// The analysis alone, for a slot that is in classic form (repaired tells whether it was rebuilt).
PageFacts AnalyzePages(EngineState& state, DocumentSlot& slot, bool repaired);

// The security writer called by ProtectImage with the image prepared in classic form, its table
// and ProtectCatalogNumber/Generation in state. Returns 0 on success.
using SecurityWriter = std::function<int(EngineState& state, FileImage& image, XrefTable& table,
                                         std::span<const Byte> key, int passThrough, bool fromMemory)>;

// Prepares a file (path) or an in-memory image (fromMemory) for the security writer and runs it.
// image is in/out: the (possibly rebuilt) image returns to the caller. Returns 0, 5 (protected
// and unusable), 6 (failure), 7 (cannot open the file) or -1 (cannot load it).
int ProtectImage(EngineState& state, const std::string& path, std::span<const Byte> key, int passThrough,
                 bool fromMemory, FileImage& image, const SecurityWriter& writer);

}  // namespace folvex
