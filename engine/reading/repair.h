// Rebuilding a file whose cross-reference data is missing or damaged.
#pragma once

#include "engine/core/engine_state.h"

namespace folvex {

// Scans image for indirect objects and rebuilds it with a fresh table and trailer. Returns 0, or a
// negative code with the image unchanged.
int RepairImage(EngineState& state, FileImage& image);

// Finds the next object header "n g obj" from position; headerStart is its first digit.
// Returns 0 or a negative code.
int FindObjectHeader(const Byte* position, const Byte* end, const Byte*& headerStart);

// Finds the end of the object whose header is at position; objectEnd is behind "endobj".
// isCatalog tells whether the object holds the name /Catalog. Returns 0 or a negative code.
int FindObjectEnd(const Byte* position, const Byte* end, const Byte*& objectEnd, bool& isCatalog);

}  // namespace folvex
