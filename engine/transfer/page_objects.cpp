#include "engine/transfer/page_objects.h"

#include <charconv>
#include <cstring>
#include <new>
#include <optional>
#include <unordered_map>

#include "engine/reading/scanners.h"
#include "engine/transfer/collect_objects.h"

namespace folvex {

bool TransferOutput::RecordOffset(int number, std::size_t offset) {
  if (number < 1) return false;
  const auto slot = static_cast<std::size_t>(number - 1);
  if (Offsets.size() <= slot) Offsets.resize(slot + 1, 0);
  Offsets[slot] = static_cast<std::int64_t>(offset);
  return true;
}

void TransferOutput::WriteFinishedPart() {
  if (File == nullptr || Text.size() < kPartSize) return;
  File->Write(Text);
  Written += Text.size();
  Text.clear();
}

namespace {

constexpr std::string_view kEndObj = "endobj\n";

// Where a text of CopyExtras ends before its closing "endobj".
const Byte* TextBodyEnd(const std::string& text) {
  const std::size_t size = text.ends_with(kEndObj) ? text.size() - kEndObj.size() : text.size();
  return reinterpret_cast<const Byte*>(text.data()) + size;
}

void AppendNumberReference(std::string& out, int number) {
  char text[16];
  char* at = std::to_chars(text, text + 11, number).ptr;
  std::memcpy(at, " 0 R", 4);
  out.append(text, at + 4);
}

// The label of the collecting step: the English label's first word becomes "Analyzing" while
// objects are collected, the Japanese one's 作成 becomes 解析.
std::string AnalyzingForm(std::string label, bool japanese) {
  if (!japanese) return label.size() >= 9 ? "Analyzing" + label.substr(9) : label;
  const std::string creating = "作成", analyzing = "解析";
  if (auto at = label.find(creating); at != std::string::npos) label.replace(at, creating.size(), analyzing);
  return label;
}

class PageWriter {
 public:
  PageWriter(EngineState& state, const Collection& collection, const std::vector<int>& renumber, TransferOutput& output)
      : State(state), Found(collection), Renumber(renumber), Out(output) {}

  // Copies [from, to) with the references of chain replaced; parentNumber replaces /Parent
  // values (0: the value's own target, renumbered).
  void CopyRewritten(const Byte* from, const Byte* to, ReferenceChain chain, int parentNumber) {
    CopyRewritten(Out.Text, from, to, chain, parentNumber);
  }

  void CopyRewritten(std::string& out, const Byte* from, const Byte* to, ReferenceChain chain, int parentNumber) {
    const Byte* position = from;
    for (uint32_t r = chain.Head; r != kNoRecord; r = Found.Records[r].Next) {
      const ReferenceRecord& record = Found.Records[r];
      if (record.Start < position || record.End > to) continue;
      out.append(reinterpret_cast<const char*>(position), record.Start - position);
      if (record.Parent && parentNumber > 0) {
        AppendNumberReference(out, parentNumber);
      } else {
        const int number = record.Target == kUnlistedTarget ? -1 : Renumber[record.Target];
        if (number >= 0) {
          AppendNumberReference(out, number);
        } else {
          out += "null";
        }
      }
      position = record.End;
    }
    out.append(reinterpret_cast<const char*>(position), to - position);
  }

  int WritePage(const std::string& copy, const std::string* entries, const CollectedPage& page, int number,
               int parentNumber) {
    const std::size_t mark = Out.Position();
    const Byte* text = reinterpret_cast<const Byte*>(copy.data());
    const Byte* end = text + copy.size();
    const Byte* open = text;
    int ignored = 0;
    if (SkipWhitespace(open, end, ignored) < 0 || !StartsWith(open, end, "<<")) return Fail(-232);
    const Byte* close = FindDictEnd(open + 2, end);
    if (close == nullptr) return Fail(-232);
    Out.Text += std::to_string(number);
    Out.Text += " 0 obj\n";
    CopyRewritten(text, close, page.References, parentNumber);
    if (entries != nullptr && !entries->empty()) {
      EndWithWhitespace(Out.Text);
      const Byte* from = reinterpret_cast<const Byte*>(entries->data());
      CopyRewritten(from, TextBodyEnd(*entries), page.References, parentNumber);
    }
    if (!page.HasParent) {
      // A page without /Parent would not belong to the output's page tree.
      EndWithWhitespace(Out.Text);
      Out.Text += "/Parent ";
      AppendNumberReference(Out.Text, parentNumber);
      Out.Text += '\n';
    }
    Out.Text += ">>\nendobj\n";
    return Out.RecordOffset(number, mark) ? 1 : Fail(-318);
  }

  int WriteObject(const CollectedObject& object) {
    const std::size_t mark = Out.Position();
    if (object.BodyEnd == nullptr) return Fail(-331);
    const int number = Renumber[object.Index];
    Out.Text += std::to_string(number);
    Out.Text += " 0 obj\n";
    if (object.StreamFixed) {
      const Byte* valueStart = object.LengthValue != nullptr ? object.LengthValue : object.DictionaryEnd;
      const Byte* valueEnd = object.LengthValue != nullptr ? object.LengthValueEnd : object.DictionaryEnd;
      CopyRewritten(object.Body, valueStart, object.References, 0);
      Out.Text += object.LengthValue != nullptr ? "" : "/Length ";
      Out.Text += std::to_string(object.TrueLength);
      CopyRewritten(valueEnd, object.Keyword, object.References, 0);
      Out.Text += "stream\n";
      Out.Text.append(reinterpret_cast<const char*>(object.Data), object.BodyEnd - object.Data);
    } else {
      CopyRewritten(object.Body, object.BodyEnd, object.References, 0);
    }
    Out.Text += "endobj\n";
    return Out.RecordOffset(number, mark) ? 1 : Fail(-334);
  }

 private:
  int Fail(int code) {
    State.LastErrorCode = code;
    return 0;
  }

  EngineState& State;
  const Collection& Found;
  const std::vector<int>& Renumber;
  TransferOutput& Out;
};

// Puts the renumber entries a call has set back to -1 when it ends, however it ends.
class RenumberReset {
 public:
  explicit RenumberReset(std::vector<int>& renumber) : Renumber(renumber) {}
  ~RenumberReset() {
    for (uint32_t index : Set) Renumber[index] = -1;
  }
  RenumberReset(const RenumberReset&) = delete;
  RenumberReset& operator=(const RenumberReset&) = delete;
  void Assign(uint32_t index, int number) {
    Renumber[index] = number;
    Set.push_back(index);
  }

 private:
  std::vector<int>& Renumber;
  std::vector<uint32_t> Set;
};

// The table indexes of the document's pages (those with a number of their own).
void MarkPages(const DocumentSlot& slot, std::vector<char>& isPage) {
  if (isPage.size() == slot.Xref.size()) return;
  isPage.assign(slot.Xref.size(), 0);
  for (const PageEntry& page : slot.PageList) {
    if (page.DirectOffset >= 0) continue;
    if (const long index = XrefIndexOf(slot.Xref, page.Number); index >= 0) isPage[static_cast<std::size_t>(index)] = 1;
  }
}

// The lookup tables of extras: every added number gets an index after the document's table.
struct ExtrasIndex {
  std::unordered_map<uint32_t, const std::string*> Texts;
  std::unordered_map<int, uint32_t> Added;
  std::vector<std::pair<uint32_t, int>> Aliases;  // index, listing

  ExtrasIndex(const DocumentSlot& slot, const CopyExtras& extras) {
    auto next = static_cast<uint32_t>(slot.Xref.size());
    for (const auto& [number, text] : extras.Objects) {
      long index = XrefIndexOf(slot.Xref, number);
      if (index < 0) {
        index = next++;
        Added.emplace(number, static_cast<uint32_t>(index));
      }
      Texts.emplace(static_cast<uint32_t>(index), &text);
    }
    for (const auto& [number, listing] : extras.PageAliases) {
      Added.emplace(number, next);
      Aliases.emplace_back(next++, listing);
    }
  }
};

int WriteAll(EngineState& state, const DocumentSlot& slot, std::span<const std::string> copies,
             const PageSelection& selection, const TransferProgress& progress, TransferOutput& output,
             TransferWorkspace& workspace, const CopyExtras* extras, std::vector<std::string>* rewrittenRoots) {
  state.LastErrorCode = 0;
  const int n = static_cast<int>(selection.PageIndex.size());

  // The selected pages keep the numbers the writer gave them; a page listed twice is known by
  // the number of its first listing.
  std::vector<int>& renumber = workspace.Renumber;
  std::optional<ExtrasIndex> index;
  ExtraTexts extra;
  if (extras != nullptr) {
    index.emplace(slot, *extras);
    MarkPages(slot, workspace.IsPage);
    extra = {extras->PageEntries, extras->Roots, &index->Texts, &index->Added, &workspace.IsPage};
  }
  if (renumber.size() < slot.Xref.size() + extra.AddedCount()) renumber.resize(slot.Xref.size() + extra.AddedCount(), -1);
  RenumberReset reset(renumber);
  if (index) {
    for (const auto& [at, listing] : index->Aliases) {
      if (listing < 0 || listing >= n) {
        state.LastErrorCode = -215;
        return 0;
      }
      reset.Assign(at, selection.PageNumber[static_cast<std::size_t>(listing)]);
    }
  }
  for (int k = 0; k < n; ++k) {
    const int page = selection.PageIndex[static_cast<std::size_t>(k)];
    if (page < 0 || static_cast<std::size_t>(page) >= slot.PageList.size()) {
      state.LastErrorCode = -215;
      return 0;
    }
    // A page written directly in /Kids has no number that anything could refer to.
    if (slot.PageList[static_cast<std::size_t>(page)].DirectOffset >= 0) continue;
    const long index = XrefIndexOf(slot.Xref, slot.PageList[static_cast<std::size_t>(page)].Number);
    if (index < 0) {
      state.LastErrorCode = -161;
      return 0;
    }
    if (renumber[static_cast<std::size_t>(index)] < 0) {
      reset.Assign(static_cast<uint32_t>(index), selection.PageNumber[static_cast<std::size_t>(k)]);
    }
  }

  const std::string analyzingEnglish = AnalyzingForm(progress.English, false);
  const std::string analyzingJapanese = AnalyzingForm(progress.Japanese, true);
  Collection collection;
  const WalkProgress walkProgress = [&](int k, int count) {
    state.ReportProgress(CountedLabel(analyzingEnglish, k, count), CountedLabel(analyzingJapanese, k, count),
                         progress.Base + static_cast<int>((int64_t{progress.Span} * k * 75 / 90) / count));
  };
  if (CollectObjects(state, slot, copies, selection.PageIndex, renumber, walkProgress, collection,
                     workspace.Visited, extra) < 0) {
    state.LastErrorCode = -216;
    return 0;
  }

  int next = output.NextObjectNumber;
  for (const CollectedObject& object : collection.Objects) reset.Assign(object.Index, next++);

  PageWriter writer(state, collection, renumber, output);
  std::size_t firstObject = 0;
  for (int k = 0; k < n; ++k) {
    if (state.Cancelled()) return 0;
    state.ReportProgress(CountedLabel(progress.English, k, n), CountedLabel(progress.Japanese, k, n),
                         progress.Base + (progress.Span * 75) / 90 +
                             static_cast<int>((int64_t{progress.Span} * k * 15 / 90) / n));
    const auto listing = static_cast<std::size_t>(k);
    const CollectedPage& page = collection.Pages[listing];
    const std::string& copy = copies[static_cast<std::size_t>(selection.PageIndex[listing])];
    const std::string* entries = listing < extra.PageEntries.size() ? &extra.PageEntries[listing] : nullptr;
    if (writer.WritePage(copy, entries, page, selection.PageNumber[listing], selection.ParentNumber[listing]) != 1) {
      return 0;
    }
    for (; firstObject < page.ObjectsEnd; ++firstObject) {
      if (state.Cancelled()) return 0;
      if (writer.WriteObject(collection.Objects[firstObject]) != 1) return 0;
    }
    output.WriteFinishedPart();
    output.NextObjectNumber = next;
  }
  for (; firstObject < collection.Objects.size(); ++firstObject) {
    if (state.Cancelled()) return 0;
    if (writer.WriteObject(collection.Objects[firstObject]) != 1) return 0;
  }
  if (rewrittenRoots != nullptr) {
    rewrittenRoots->clear();
    for (std::size_t j = 0; j < extra.Roots.size(); ++j) {
      const std::string& root = extra.Roots[j];
      writer.CopyRewritten(rewrittenRoots->emplace_back(), reinterpret_cast<const Byte*>(root.data()), TextBodyEnd(root),
                           collection.Pages[static_cast<std::size_t>(n) + j].References, 0);
    }
  }
  output.WriteFinishedPart();
  output.NextObjectNumber = next;
  return state.Cancelled() ? 0 : 1;
}

}  // namespace

int WritePageObjects(EngineState& state, const DocumentSlot& slot, std::span<const std::string> copies,
                     const PageSelection& selection, const TransferProgress& progress, TransferOutput& output,
                     TransferWorkspace* workspace, const CopyExtras* extras, std::vector<std::string>* rewrittenRoots) {
  try {
    TransferWorkspace local;
    return WriteAll(state, slot, copies, selection, progress, output, workspace != nullptr ? *workspace : local,
                    extras, rewrittenRoots);
  } catch (const std::bad_alloc&) {
    state.LastErrorCode = -228;
    return 0;
  }
}

}  // namespace folvex
