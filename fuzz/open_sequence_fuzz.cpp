// Arbitrary bytes through the whole open sequence: parse, convert or repair, catalog, page tree
// and outline analysis with every inherited viewer setting; then every page copied with its
// annotations kept.
#include <cstddef>
#include <cstdint>
#include <new>

#include "engine/core/engine_state.h"
#include "engine/reading/catalog.h"
#include "engine/reading/open_document.h"
#include "engine/transfer/kept_annotations.h"
#include "engine/transfer/page_dicts.h"

namespace {

// Copies every page, then the first page again, keeping annotations, as an extract would.
void CopyPages(folvex::EngineState& state, const folvex::DocumentSlot& slot) {
  using namespace folvex;
  const int count = state.PageCount;
  PageDictCopies copies;
  if (BuildPageDicts(state, slot, count, copies) != 1) return;
  std::vector<int> pages, numbers, parents;
  for (int k = 0; k <= count; ++k) {
    pages.push_back(k % count);
    numbers.push_back(10 + k);
    parents.push_back(2);
  }
  TransferWorkspace workspace;
  FieldNames names;
  const CopyExtras extras = PlanKeptAnnotations(slot, pages, workspace, names, 2);
  TransferOutput output;
  output.NextObjectNumber = 11 + count;
  std::vector<std::string> roots;
  const PageSelection selection{pages, numbers, parents};
  if (WritePageObjects(state, slot, copies, selection, TransferProgress{}, output, &workspace, &extras, &roots) == 1) {
    AcroFormEntry(std::span(&roots, 1));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace folvex;
  if (size < 20) return 0;
  EngineState state;
  state.Settings.DispScale = "O";
  state.Job.KeepOutlines = 1;
  state.Job.JobDirection = 2;
  state.Job.JobPageLayout = 4;
  state.Job.JobPageMode = 5;
  ResetDocumentState(state);
  PrepareDocumentSlots(state, 1);
  DocumentSlot& slot = state.Slots[0];
  slot.Image = MakeFileImage(std::vector<Byte>(data, data + size));
  if (ReadClassicForm(state, slot) == 1 && AnalyzeCatalog(state, slot) > 0 && state.PageCount <= 64) {
    CopyPages(state, slot);
  }
  ReleaseDocuments(state);
  return 0;
}
