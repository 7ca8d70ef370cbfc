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

// What FindObjectEnd learns about one object. A caller that keeps one ObjectScan for a whole image
// lets later calls reuse what earlier ones found about the rest of it.
struct ObjectScan {
  const Byte* ObjectEnd = nullptr;  // behind "endobj", or at the next object's header
  bool IsCatalog = false;           // the object holds the name /Catalog
  bool NamesStreamType = false;     // the object holds the name /ObjStm or /XRef
  bool EndobjMissing = false;       // the object ends where the next header starts a line
  const Byte* NoEndstreamFrom = nullptr;  // no "endstream" follows this position in the image
  bool UnclosedString = false;            // a literal string ran to the end of the image
};

// Finds the end of the object whose header is at position. Returns 0 or a negative code.
int FindObjectEnd(const Byte* position, const Byte* end, ObjectScan& scan);

}  // namespace folvex
