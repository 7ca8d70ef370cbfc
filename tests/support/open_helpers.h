// Loads test bytes into a document slot the way the open sequence does.
#pragma once

#include <memory>
#include <string>

#include "engine/core/engine_state.h"

namespace folvex::testing {

// A state with one slot holding bytes, parsed with ParseXrefChain (result in Parsed).
struct OpenedDocument {
  EngineState State;
  bool Parsed = false;
  DocumentSlot& Slot() { return State.Slots[0]; }
};

std::unique_ptr<OpenedDocument> OpenBytes(const std::string& bytes);

}  // namespace folvex::testing
