// The objects an object stream holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/core/bytes.h"

namespace folvex {

// One "number offset" pair of an object stream's index: the object's body starts at /First plus
// Offset in the decoded data.
struct ObjectStreamPair {
  int Number = 0;
  std::int64_t Offset = 0;
};

// Reads the count pairs at the start of an object stream's decoded data, whose objects begin at
// first. Objects lie in the order of their offsets, all inside the data. Returns 0, -53 (a number
// that cannot be read) or -54 (an offset that cannot be read, goes back or lies outside).
int ReadObjectStreamPairs(std::span<const Byte> data, std::int64_t first, std::int64_t count,
                          std::vector<ObjectStreamPair>& pairs);

// An object of an object stream: its number and its body as it stands in the decoded data.
struct ObjectStreamMember {
  int Number = 0;
  std::span<const Byte> Body;
};

// Takes apart the object stream whose "<<" is at dictionary: decodes its data (read by a direct
// /Length, or up to "endstream" when that does not fit) into decoded, within limit bytes, and
// lists its objects in index order. The members point into decoded. Returns 0, or a negative
// code when the object is no readable object stream.
int ReadObjectStreamMembers(const Byte* dictionary, const Byte* end, std::size_t limit, std::vector<Byte>& decoded,
                            std::vector<ObjectStreamMember>& members);

}  // namespace folvex
