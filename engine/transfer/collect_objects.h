// Which objects a set of pages reaches, and where their references stand.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/core/engine_state.h"

namespace folvex {

constexpr uint32_t kNoRecord = UINT32_MAX;
// Target of a reference to a number the cross-reference table does not list (the null object).
constexpr uint32_t kUnlistedTarget = UINT32_MAX - 1;

// One reference occurrence in a scanned text: the text "n g R" from Start to End.
struct ReferenceRecord {
  uint32_t Target = kUnlistedTarget;  // index of the referenced object in the table
  const Byte* Start = nullptr;
  const Byte* End = nullptr;
  uint32_t Next = kNoRecord;          // the next record of the same text
  bool Parent = false;                // the value of a /Parent key: recorded, never followed
};

// The records of one text in text order.
struct ReferenceChain {
  uint32_t Head = kNoRecord;
  uint32_t Tail = kNoRecord;
};

// An object reached from the pages, in first-visit order.
struct CollectedObject {
  uint32_t Index = 0;           // its entry in the cross-reference table
  const Byte* Body = nullptr;   // first token after the header
  const Byte* BodyEnd = nullptr;  // where "endobj" (or the next object's header) stands
  ReferenceChain References;
  // A stream whose /Length does not give the length of its data, or whose keyword "stream" is not
  // followed by a plain line end, is copied with the true length (in place of the value, or
  // added when LengthValue is null) and "stream" and a line feed before its data.
  bool StreamFixed = false;
  const Byte* LengthValue = nullptr;
  const Byte* LengthValueEnd = nullptr;
  const Byte* DictionaryEnd = nullptr;
  const Byte* Keyword = nullptr;
  const Byte* Data = nullptr;
  long long TrueLength = -1;
};

// One listing of the selection: its page dictionary copy's references and the objects first
// reached from it (Objects[previous listing's ObjectsEnd, ObjectsEnd)).
struct CollectedPage {
  ReferenceChain References;
  bool HasParent = false;
  std::size_t ObjectsEnd = 0;
};

struct Collection {
  std::vector<ReferenceRecord> Records;
  std::vector<CollectedObject> Objects;
  std::vector<CollectedPage> Pages;
};

// What a copy walks beside the page dictionary copies (kept annotations). Every text ends with
// "endobj".
struct ExtraTexts {
  // Per listing, entries of its page dictionary (empty: none).
  std::span<const std::string> PageEntries;
  // Texts walked after the last listing; collection.Pages holds their records from the listings'
  // count on.
  std::span<const std::string> Roots;
  // Objects walked and written from a text of their own, by table index. Indexes from the table's
  // size on are added objects, known by the numbers of AddedIndex.
  const std::unordered_map<uint32_t, const std::string*>* Texts = nullptr;
  const std::unordered_map<int, uint32_t>* AddedIndex = nullptr;
  // Table indexes of the document's pages: a page not numbered for the copy is never entered.
  const std::vector<char>* IsPage = nullptr;
  std::size_t AddedCount() const { return AddedIndex == nullptr ? 0 : AddedIndex->size(); }
};

// Called before each listing k of n is walked.
using WalkProgress = std::function<void(int k, int n)>;

// Walks depth first from each listed page's dictionary copy (copies indexed by page index) over
// every reference, in text order, into collection. Objects whose renumber entry is already set
// (the selected pages) are recorded but never entered: each is written from its own copy. Objects
// listed as free or at offset 0 are absent. visited has one zero per table entry and is all zeros
// again on return (it is the caller's so that walks of a few pages cost nothing in the size of the
// table). Returns the number of objects collected, or -1 with LastErrorCode set (0 when cancelled).
// renumber has an entry for every table index and added object.
long CollectObjects(EngineState& state, const DocumentSlot& slot, std::span<const std::string> copies,
                    std::span<const int> pageIndex, const std::vector<int>& renumber, const WalkProgress& progress,
                    Collection& collection, std::vector<char>& visited, const ExtraTexts& extra = {});

// Index of number in the table, or -1.
long XrefIndexOf(const XrefTable& table, int number);

}  // namespace folvex
