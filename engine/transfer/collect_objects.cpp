#include "engine/transfer/collect_objects.h"

#include <algorithm>

#include "engine/reading/scanners.h"
#include "engine/transfer/references.h"

namespace folvex {

long XrefIndexOf(const XrefTable& table, int number) {
  // Tables mostly list every number from their first on: then the entry sits at its distance.
  if (!table.empty() && number >= table.front().Number) {
    const auto guess = static_cast<std::size_t>(number) - static_cast<std::size_t>(table.front().Number);
    if (guess < table.size() && table[guess].Number == number && (guess == 0 || table[guess - 1].Number != number)) {
      return static_cast<long>(guess);
    }
  }
  auto found = std::lower_bound(table.begin(), table.end(), number,
                                [](const XrefEntry& entry, int n) { return entry.Number < n; });
  if (found == table.end() || found->Number != number) return -1;
  return found - table.begin();
}

namespace {

// A text being scanned: a listing's page copy (Page >= 0) or a collected object.
struct Frame {
  long Page = -1;
  std::size_t Object = 0;
  const Byte* Cursor = nullptr;
  const Byte* End = nullptr;
  StreamContext Stream;
};

void Append(Collection& collection, ReferenceChain& chain, const ReferenceRecord& record) {
  const auto index = static_cast<uint32_t>(collection.Records.size());
  collection.Records.push_back(record);
  if (chain.Head == kNoRecord) {
    chain.Head = index;
  } else {
    collection.Records[chain.Tail].Next = index;
  }
  chain.Tail = index;
}

class Walk {
 public:
  Walk(EngineState& state, const DocumentSlot& slot, const std::vector<int>& renumber, Collection& collection,
       std::vector<char>& visited, const ExtraTexts& extra)
      : State(state), Slot(slot), Renumber(renumber), Out(collection), Visited(visited), Extra(extra) {}
  ~Walk() {
    for (uint32_t index : Touched) Visited[index] = 0;
  }
  Walk(const Walk&) = delete;
  Walk& operator=(const Walk&) = delete;

  // Walks from the copy of one listing. Returns 1, or 0 with the error set.
  int FromPage(long listing, const std::string& copy) {
    const Byte* text = reinterpret_cast<const Byte*>(copy.data());
    Stack.push_back(Frame{listing, 0, text, text + copy.size(), StreamContext{}});
    while (!Stack.empty()) {
      Frame& frame = Stack.back();
      FoundReference found;
      StreamExtent stream;
      frame.Stream.Found = &stream;
      const ReferenceScan scan = FindNextReference(frame.Cursor, frame.End, frame.Stream, found, State.LastErrorCode);
      if (scan == ReferenceScan::Failed) return 0;
      if (stream.After != nullptr && frame.Page < 0 && (!stream.LengthIsTrue() || !stream.KeywordLineIsPlain())) {
        CollectedObject& object = Out.Objects[frame.Object];
        object.StreamFixed = true;
        object.LengthValue = stream.LengthValue;
        object.LengthValueEnd = stream.LengthValueEnd;
        object.DictionaryEnd = stream.DictionaryEnd;
        object.Keyword = stream.Keyword;
        object.Data = stream.Data;
        object.TrueLength = stream.Length();
      }
      if (scan == ReferenceScan::Nothing) continue;
      if (scan == ReferenceScan::ObjectEnd) {
        if (frame.Page < 0) Out.Objects[frame.Object].BodyEnd = frame.Cursor;
        Stack.pop_back();
        continue;
      }
      if (Record(frame, found.Start, found.Number, found.Parent) != 1) return 0;
    }
    return 1;
  }

 private:
  ReferenceChain& ChainOf(const Frame& frame) {
    return frame.Page >= 0 ? Out.Pages[static_cast<std::size_t>(frame.Page)].References
                           : Out.Objects[frame.Object].References;
  }

  long IndexOf(int number) const {
    const long index = XrefIndexOf(Slot.Xref, number);
    if (index >= 0 || Extra.AddedIndex == nullptr) return index;
    const auto added = Extra.AddedIndex->find(number);
    return added == Extra.AddedIndex->end() ? -1 : static_cast<long>(added->second);
  }

  const std::string* TextOf(std::size_t index) const {
    if (Extra.Texts == nullptr) return nullptr;
    const auto found = Extra.Texts->find(static_cast<uint32_t>(index));
    return found == Extra.Texts->end() ? nullptr : found->second;
  }

  // Records the reference the frame's cursor has just passed and enters its object when it is new.
  int Record(const Frame& frame, const Byte* start, int number, bool parent) {
    const long index = IndexOf(number);
    ReferenceRecord record;
    record.Start = start;
    record.End = frame.Cursor;
    record.Parent = parent;
    if (parent) {
      record.Target = index < 0 ? kUnlistedTarget : static_cast<uint32_t>(index);
      Append(Out, ChainOf(frame), record);
      if (frame.Page >= 0) Out.Pages[static_cast<std::size_t>(frame.Page)].HasParent = true;
      return 1;
    }
    // A number the table does not list names the null object.
    if (index < 0) {
      Append(Out, ChainOf(frame), record);
      return 1;
    }
    record.Target = static_cast<uint32_t>(index);
    Append(Out, ChainOf(frame), record);
    const auto i = static_cast<std::size_t>(index);
    if (Visited[i] != 0 || Renumber[i] >= 0) return 1;
    if (Extra.IsPage != nullptr && i < Extra.IsPage->size() && (*Extra.IsPage)[i] != 0) return 1;
    Visited[i] = 1;
    Touched.push_back(static_cast<uint32_t>(i));
    if (const std::string* text = TextOf(i)) {
      const Byte* body = reinterpret_cast<const Byte*>(text->data());
      CollectedObject object;
      object.Index = record.Target;
      object.Body = body;
      Out.Objects.push_back(object);
      Stack.push_back(Frame{-1, Out.Objects.size() - 1, body, body + text->size(), StreamContext{}});
      return 1;
    }
    if (i >= Slot.Xref.size()) return 1;
    const XrefEntry& entry = Slot.Xref[i];
    // A free entry, or an in-use entry at offset 0, names no object: references to it become null.
    if (entry.Type == 'f' || entry.Offset == 0) return 1;
    const Byte* body = LocateObject(Slot.Image.Begin(), Slot.Image.End(), entry.Offset, number, State.LastErrorCode);
    if (body == nullptr) {
      State.LastErrorCode = -1;
      return 0;
    }
    CollectedObject object;
    object.Index = record.Target;
    object.Body = body;
    Out.Objects.push_back(object);
    Stack.push_back(Frame{-1, Out.Objects.size() - 1, body, Slot.Image.End(),
                          StreamContext{body, &Slot.Image, &Slot.Xref}});
    return 1;
  }

  EngineState& State;
  const DocumentSlot& Slot;
  const std::vector<int>& Renumber;
  Collection& Out;
  std::vector<char>& Visited;
  const ExtraTexts& Extra;
  std::vector<uint32_t> Touched;  // the entries of Visited to clear again
  std::vector<Frame> Stack;
};

}  // namespace

long CollectObjects(EngineState& state, const DocumentSlot& slot, std::span<const std::string> copies,
                    std::span<const int> pageIndex, const std::vector<int>& renumber, const WalkProgress& progress,
                    Collection& collection, std::vector<char>& visited, const ExtraTexts& extra) {
  collection = Collection{};
  collection.Pages.resize(pageIndex.size() + extra.Roots.size());
  // A page commonly refers to its contents, its parent and a few resources: room for that much
  // saves the copies of growing the tables page by page.
  collection.Records.reserve(4 * pageIndex.size());
  collection.Objects.reserve(2 * pageIndex.size());
  if (visited.size() < slot.Xref.size() + extra.AddedCount()) visited.resize(slot.Xref.size() + extra.AddedCount(), 0);
  Walk walk(state, slot, renumber, collection, visited, extra);
  const int n = static_cast<int>(pageIndex.size());
  for (int k = 0; k < n; ++k) {
    if (state.Cancelled()) {
      state.LastErrorCode = 0;
      return -1;
    }
    if (progress) progress(k, n);
    const int page = pageIndex[static_cast<std::size_t>(k)];
    if (page < 0 || static_cast<std::size_t>(page) >= copies.size() || static_cast<std::size_t>(page) >= slot.PageList.size()) {
      state.LastErrorCode = -202;
      return -1;
    }
    const std::string& copy = copies[static_cast<std::size_t>(page)];
    if (copy.empty()) {
      state.LastErrorCode = -227;
      return -1;
    }
    state.LastErrorCode = 0;
    const std::string* entries = static_cast<std::size_t>(k) < extra.PageEntries.size()
                                     ? &extra.PageEntries[static_cast<std::size_t>(k)] : nullptr;
    if (walk.FromPage(k, copy) != 1 || (entries != nullptr && !entries->empty() && walk.FromPage(k, *entries) != 1)) {
      if (state.LastErrorCode == 0) state.LastErrorCode = -1;
      return -1;
    }
    collection.Pages[static_cast<std::size_t>(k)].ObjectsEnd = collection.Objects.size();
  }
  for (std::size_t j = 0; j < extra.Roots.size(); ++j) {
    const std::size_t at = pageIndex.size() + j;
    if (walk.FromPage(static_cast<long>(at), extra.Roots[j]) != 1) {
      if (state.LastErrorCode == 0) state.LastErrorCode = -1;
      return -1;
    }
    collection.Pages[at].ObjectsEnd = collection.Objects.size();
  }
  if (state.Cancelled()) {
    state.LastErrorCode = 0;
    return -1;
  }
  state.LastErrorCode = 0;
  return static_cast<long>(collection.Objects.size());
}

}  // namespace folvex
