// Whole-buffer zlib decompression.
#pragma once

#include <cstddef>
#include <vector>

#include "engine/core/bytes.h"

namespace folvex {

// Inflates source into destination. length holds the capacity on entry and the produced length on
// return. Returns 0, -1 (zlib would not initialise), -2 or -3 (no memory), -4 or -5 (corrupt or
// truncated data), -10 (destination too small).
int InflateBuffer(const Byte* source, std::size_t sourceLength, Byte* destination, std::size_t& length);

// Inflates source into out (replacing its contents), growing it as the data comes, in one pass.
// Returns the codes of InflateBuffer; -10 when the data would grow beyond limit bytes. With -5
// (data ending early) and -10, out keeps the bytes produced so far.
int InflateToVector(const Byte* source, std::size_t sourceLength, std::vector<Byte>& out, std::size_t limit);

}  // namespace folvex
