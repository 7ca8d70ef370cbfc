// The parts every extracted or merged file shares: the information dictionary, the catalog moved
// behind the pages, the cross-reference table and trailer, re-protection and the store.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "engine/core/engine_state.h"
#include "engine/transfer/page_objects.h"

namespace folvex {

// The catalog is object 1 and the information dictionary object 2; the page tree starts at 3.
constexpr int kCatalogNumber = 1;
constexpr int kInformationNumber = 2;

// Where the header lines of an input stand: the "%PDF-" line after any leading whitespace and,
// when the next line starts with "%", that comment line. Offsets from the image begin.
struct HeaderLines {
  std::size_t Start = 0;         // the "%PDF-"
  std::size_t FirstEnd = 0;      // the first line's end-of-line bytes
  std::size_t AfterFirst = 0;    // behind them
  std::size_t CommentEnd = 0;    // the comment line's end-of-line bytes (0: no comment line)
  std::size_t AfterComment = 0;  // behind them
};

// Errors of ReadHeaderLines.
constexpr int kBlankInput = -302;
constexpr int kNoHeader = -303;
constexpr int kHeaderRunsOut = -304;

// Returns 0, or one of the errors above.
int ReadHeaderLines(const FileImage& image, HeaderLines& lines);

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
void AppendXrefAndTrailer(TransferOutput& output);

// Sends an unprotected output to a staged file for path (made in file) as it is built, when that
// file can be opened; a protected one is encrypted whole at the end, so it stays in memory.
void StreamOutputTo(TransferOutput& output, std::optional<StagedFile>& file, const std::string& path, bool protect);

// Protects the finished file with the key and parameters in state.Security when protect is set,
// then stores it at path; a streamed output has its rest written to its file, which is then put in
// place. Returns 0, or sets LastErrorCode (-2000 when the file cannot be stored) and returns -1.
int ProtectAndStore(EngineState& state, TransferOutput& output, bool protect, const std::string& path);

}  // namespace folvex
