// The parts every extracted or merged file shares: the information dictionary, the catalog moved
// behind the pages, the cross-reference table and trailer, re-protection and the store.
#pragma once

#include <string>
#include <string_view>

#include "engine/core/engine_state.h"
#include "engine/transfer/page_objects.h"

namespace folvex {

// The catalog is object 1 and the information dictionary object 2; the page tree starts at 3.
constexpr int kCatalogNumber = 1;
constexpr int kInformationNumber = 2;

// Appends object 2 with the creation date (14 digits) and the producer (a literal string's body).
void AppendInformationObject(TransferOutput& output, std::string_view creationDate, std::string_view producer);

// Moves the catalog (object 1, written just before object 2) behind everything written so far and
// corrects the offsets of the objects that moved up.
void MoveCatalogToEnd(TransferOutput& output);

// Appends the cross-reference table for objects 1 .. NextObjectNumber - 1 and the trailer.
void AppendXrefAndTrailer(TransferOutput& output);

// Protects the finished file with the key and parameters in state.Security when protect is set,
// then stores it at path. Returns 0, or sets LastErrorCode (-2000 when the file cannot be
// stored) and returns -1.
int ProtectAndStore(EngineState& state, TransferOutput& output, bool protect, const std::string& path);

}  // namespace folvex
