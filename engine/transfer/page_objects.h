// Appending chosen pages, and every object they reach, to an output file under new numbers.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/core/engine_state.h"
#include "engine/core/output_file.h"

namespace folvex {

// The output file being built: its bytes in file order, the offset of every object (entry m - 1
// for object m) and the next free object number. With a File, the finished leading part of the
// bytes goes there between objects and only the rest stays in Text.
struct TransferOutput {
  std::string Text;
  std::vector<std::int64_t> Offsets;
  int NextObjectNumber = 1;
  StagedFile* File = nullptr;
  std::size_t Written = 0;  // bytes already in File
  static constexpr std::size_t kPartSize = std::size_t{1} << 20;

  // The file offset of the next byte appended to Text.
  std::size_t Position() const { return Written + Text.size(); }
  // The storage Text needs for a file of about size bytes.
  std::size_t TextReserve(std::size_t size) const { return File == nullptr ? size : std::min(size, 2 * kPartSize); }
  // Records that object number starts at offset. Returns false for a number below 1.
  bool RecordOffset(int number, std::size_t offset);
  // Moves Text to File once it holds a few megabytes. Called only between whole objects.
  void WriteFinishedPart();
};

// The pages to copy from one document, in output order: each listing's page index, its object
// number in the output and the number of the /Pages node that lists it.
struct PageSelection {
  std::span<const int> PageIndex;
  std::span<const int> PageNumber;
  std::span<const int> ParentNumber;
};

// The progress label ("Creating  Page:" and its Japanese form, ending where the "k/n" count goes)
// and the part of the bar the copy may use.
struct TransferProgress {
  std::string English;
  std::string Japanese;
  int Base = 10;
  int Span = 90;
};

// Tables indexed by the entries of one document's cross-reference table, kept by a caller that
// writes that document's pages in many small calls (split), so that a call costs nothing in the
// size of the document. Between calls every entry holds its initial value.
struct TransferWorkspace {
  std::vector<int> Renumber;  // -1
  std::vector<char> Visited;  // 0
  std::vector<char> IsPage;   // by table index, made when a copy with extras first needs it
  // For kept annotations, read once: the named destinations (name bytes -> destination value) and
  // the page index of each page object number.
  bool AnnotationTablesRead = false;
  std::unordered_map<std::string, std::string> NamedDestinations;
  std::unordered_map<int, int> PageOfNumber;
};

// What a copy writes beyond the pages' own objects (kept annotations). Texts end with "endobj\n".
struct CopyExtras {
  // Per listing, entries added to its page dictionary (empty: none).
  std::vector<std::string> PageEntries;
  // Object texts by number: a number of the document writes that text in place of its object, a
  // number above the document's highest adds an object.
  std::map<int, std::string> Objects;
  // Numbers above the document's highest that stand for the page of a listing (number -> listing).
  std::map<int, int> PageAliases;
  // Texts whose references are collected like a page's; they come back rewritten (rewrittenRoots).
  std::vector<std::string> Roots;
};

// Collects and numbers what the selected pages reach (the pages keep their numbers, every other
// object takes the next free number in first-visit order), then appends per listing its page
// object and the objects first reached from it, with every reference rewritten: to the new
// number, to "null" for an absent object, and for /Parent to the listing's /Pages node (in a
// page) or to the new number of its target or "null" (in any other object). copies holds the
// page dictionary copies indexed by page index. With extras, the document's pages that are not
// selected are never entered (references to them become null), and the objects the roots reach are
// written after the last page. Returns 1, or 0 on failure (LastErrorCode) or cancel.
int WritePageObjects(EngineState& state, const DocumentSlot& slot, std::span<const std::string> copies,
                     const PageSelection& selection, const TransferProgress& progress, TransferOutput& output,
                     TransferWorkspace* workspace = nullptr, const CopyExtras* extras = nullptr,
                     std::vector<std::string>* rewrittenRoots = nullptr);

}  // namespace folvex
