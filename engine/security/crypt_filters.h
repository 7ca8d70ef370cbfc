// The crypt filters of a /V 4 or /V 5 /Encrypt dictionary: /CF, /StmF, /StrF and /EFF.
#pragma once

#include "engine/core/bytes.h"
#include "engine/core/security_state.h"

namespace folvex {

// Reads the methods of the dictionary [start, end) into p.StreamMethod, StringMethod,
// EmbeddedFileMethod and p.NamedFilters. Returns false when a filter named there is missing or
// uses an unknown method.
bool ReadCryptFilters(const Byte* start, const Byte* end, SecurityParameters& p);

// The method of a stream's own /Crypt filter named name ("Identity" when no name is given).
CryptMethod NamedFilterMethod(const SecurityParameters& p, std::string_view name);

}  // namespace folvex
