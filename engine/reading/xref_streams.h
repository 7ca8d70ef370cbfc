// Rewriting a file that uses cross-reference streams and object streams into a classic image.
#pragma once

#include "engine/core/engine_state.h"

namespace folvex {

// Returned (and left in LastErrorCode) when the job is cancelled during a conversion.
constexpr int kConvertCancelled = -59;

// Converts image in place. classicTable is the table already parsed from a hybrid file's classic
// section (null when there is none). Returns 0, or a negative code with the image unchanged;
// -1000 when the file is encrypted.
int ConvertXrefStreams(EngineState& state, FileImage& image, const XrefTable* classicTable);

}  // namespace folvex
