// Outline and named-destination analysis of an input document.
#pragma once

#include "engine/core/engine_state.h"

namespace folvex {

// Runs after the page walk when outlines are kept: collects slot.OutlineItems from the catalog
// dictionary [catalogStart, catalogEnd) with each destination resolved to a page index of
// slot.PageList. Returns state.PageCount, or -1 with state.LastErrorCode set.
int AnalyzeOutlines(EngineState& state, DocumentSlot& slot, const Byte* catalogStart, const Byte* catalogEnd);

}  // namespace folvex
