// Arbitrary bytes through the whole open sequence: parse, convert or repair, catalog, page tree
// and outline analysis with every inherited viewer setting.
#include <cstddef>
#include <cstdint>
#include <new>

#include "engine/core/engine_state.h"
#include "engine/reading/catalog.h"
#include "engine/reading/open_document.h"

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
  if (ReadClassicForm(state, slot) == 1) AnalyzeCatalog(state, slot);
  ReleaseDocuments(state);
  return 0;
}
