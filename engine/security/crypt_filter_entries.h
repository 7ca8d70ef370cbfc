// The entries by which a stream names its own crypt filter, to leave out of a copy whose data is
// no longer encrypted.
#pragma once

#include <string>
#include <vector>

#include "engine/core/bytes.h"

namespace folvex {

struct ByteRange {
  const Byte* From = nullptr;
  const Byte* To = nullptr;
};

// The parts of the stream dictionary [start, end) that name the stream's /Crypt filter: the
// /Crypt name heading a /Filter array with the first element of its /DecodeParms array, or the
// /Filter and /DecodeParms entries whole when /Crypt is the only filter. Empty when the stream
// has no /Crypt filter. The ranges come in file order and do not overlap.
std::vector<ByteRange> CryptFilterEntries(const Byte* start, const Byte* end);

// The name of the stream's own /Crypt filter: /Name of its decode parameters, "Identity" when they
// have none. Empty when the stream has no /Crypt filter.
std::string CryptFilterName(const Byte* start, const Byte* end);

}  // namespace folvex
