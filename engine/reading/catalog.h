// Catalog analysis: the catalog checks, the viewer settings taken over from the input, the page
// tree and, when outlines are kept, the outline records.
#pragma once

#include "engine/core/engine_state.h"

namespace folvex {

// Analyses slot's catalog (slot.CatalogNumber) and fills slot.PageList, slot.PageBoxes and
// slot.OutlineItems. Returns state.PageCount, or -1 with state.LastErrorCode set.
int AnalyzeCatalog(EngineState& state, DocumentSlot& slot);

}  // namespace folvex
