// Finding the references in an object's text, with stream data stepped over.
#pragma once

#include "engine/core/document.h"
#include "engine/reading/stream_extent.h"

namespace folvex {

// What FindNextReference passed.
enum class ReferenceScan {
  Nothing,    // a token that is no reference; call again
  Reference,  // "n g R" (found is set); the cursor stands after the "R"
  ObjectEnd,  // the object's text ended ("endobj", or the header of the next object); the cursor
              // is the position where the object's text ends
  Failed,     // the range ended first (error set)
};

// Where the stream data of an object is measured: its dictionary and the document it lies in.
// Found, when given, receives the extent of a stream stepped over whose dictionary closes before
// its keyword "stream".
struct StreamContext {
  const Byte* Dictionary = nullptr;  // the object's first token (normally "<<"); null: no streams
  const FileImage* Image = nullptr;
  const XrefTable* Xref = nullptr;
  StreamExtent* Found = nullptr;
};

// A reference found: "n g R" from Start, or the value of a /Parent key (Parent set).
struct FoundReference {
  const Byte* Start = nullptr;
  int Number = 0;
  bool Parent = false;
};

// Passes at least one token of the text at cursor; a reference fills found. Stream data is never
// searched: "stream" moves the cursor past the matching "endstream" (FindStreamExtent). error is
// set with Failed.
ReferenceScan FindNextReference(const Byte*& cursor, const Byte* end, const StreamContext& stream,
                                FoundReference& found, int& error);


}  // namespace folvex
