// The parts every extracted or merged file shares: the information dictionary, the catalog moved
// behind the pages, the cross-reference table and trailer, re-protection and the store.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "engine/core/engine_state.h"
#include "engine/reading/header_lines.h"
#include "engine/security/read_back.h"
#include "engine/transfer/page_objects.h"

namespace folvex {

// The catalog is object 1 and the information dictionary object 2; the page tree starts at 3.
constexpr int kCatalogNumber = 1;
constexpr int kInformationNumber = 2;

// LastErrorCode of a page copy that failed (WritePageObjects).
constexpr int kPageCopyFailed = -315;

// LastErrorCode of an output that cannot be stored, and of one that would replace an input.
constexpr int kOutputNotStored = -2000;
constexpr int kOutputReplacesInput = -2001;
// The output could not be put in place: not stored, replacing an input, or not reading back right.
inline bool IsOutputFailure(int code) { return code == kOutputNotStored || code == kOutputReplacesInput || IsReadBackFailure(code); }

// Appends object 2 with the creation date (14 digits) and the producer (a literal string's body).
void AppendInformationObject(TransferOutput& output, std::string_view creationDate, std::string_view producer);

// Appends the catalog (object 1). The catalog is made before the pages, since its open action
// names the first page, but stands behind them in the file, where its entries are added.
void AppendCatalogAtEnd(TransferOutput& output, const std::string& catalog);

// Writes the outline objects with write (given the text and offset table to fill and the first
// object number, returning the number of objects written) and, when there are any, puts them
// behind the catalog, whose /Outlines entry is appended first.
using OutlineObjectsWriter = std::function<int(std::string& text, std::vector<uint32_t>& offsets, int first)>;
void AppendOutlinesAfterCatalog(TransferOutput& output, const OutlineObjectsWriter& write);

// Appends the cross-reference table for objects 1 .. NextObjectNumber - 1 and the trailer.
// Returns false, appending nothing, when an object lies beyond kMaxTableOffset.
bool AppendXrefAndTrailer(TransferOutput& output);

// Makes the staged file of path before the file is built, so that an output that cannot be
// written is refused before the work. An unprotected output goes to it as it is built; a protected
// one is encrypted whole at the end, so it stays in memory. Returns false with LastErrorCode -2000
// when the staged file cannot be made.
bool StageOutput(EngineState& state, TransferOutput& output, std::optional<StagedFile>& file, const std::string& path,
                 bool protect);

// The finished bytes of a file built in memory: protected with the key and parameters in
// state.Security when protect is set (holder then owns them). Returns false with LastErrorCode set.
bool FinishInMemory(EngineState& state, TransferOutput& output, bool protect, FileImage& holder,
                    std::string_view& bytes);

// What a built file of pages pages must read back as; protected, with state.Security.
ExpectedOutput ExpectedBuiltFile(const EngineState& state, int pages, bool protect);

// Finishes the file (FinishInMemory, or the rest of a streamed output), reads it back and puts it
// in place, keeping an existing output as backupPath when that is not empty (backupMade tells).
// Returns 0, or sets LastErrorCode (-2000 when the file cannot be stored, a kReadBack code when it
// does not read back right) and returns -1.
int ProtectAndStore(EngineState& state, TransferOutput& output, bool protect, StagedFile& file, int pages,
                    const std::string& backupPath, bool& backupMade);

// The path of an output that would replace an input (or, with a backup, whose backup name names
// an input), or the empty string.
std::string OutputReplacingAnInput(const std::string& output, bool backup, const std::vector<std::string>& inputs);

}  // namespace folvex
