// A fast 64-bit fingerprint of a byte range, to tell whether bytes read twice are the same.
// Not for security: it only has to tell apart a file from the same file changed.
#pragma once

#include <cstdint>
#include <span>

#include "engine/core/bytes.h"

namespace folvex {

uint64_t ContentHash(std::span<const Byte> bytes);

}  // namespace folvex
