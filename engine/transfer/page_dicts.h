// Standalone copies of page dictionaries: inherited attributes written in, annotations and
// article beads left out.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "engine/core/engine_state.h"

namespace folvex {

// One copy per page of a document: the page's dictionary from "<<" to its last entry without the
// top-level /Annots and /B entries, one line per inherited attribute, then ">>\nendobj\n".
// std::string keeps a zero byte behind the text, as the scanners expect.
using PageDictCopies = std::vector<std::string>;

// Makes the copies of the first pageCount pages of slot into copies (resized to pageCount), or,
// when only is not empty, of those page indexes alone (the other entries stay empty). Returns 1,
// or 0 with LastErrorCode set (-1 when cancelled); copies made before a failure stay.
int BuildPageDicts(EngineState& state, const DocumentSlot& slot, int pageCount, PageDictCopies& copies,
                   std::span<const int> only = {});

}  // namespace folvex
