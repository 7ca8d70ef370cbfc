// Classic cross-reference tables and trailers along the /Prev chain.
#pragma once

#include "engine/core/engine_state.h"

namespace folvex {

// Parses every classic section from the one "startxref" names back along /Prev into one table
// (newest definition wins) and sets the trailer values in state. Returns 1, or 0 with the code in
// state.LastErrorCode (also 0 when cancelled).
int ParseXrefChain(EngineState& state, const FileImage& image, XrefTable& table, int& catalogNumber,
                   int& catalogGeneration);

}  // namespace folvex
