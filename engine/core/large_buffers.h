// Storage for whole files and whole outputs.
#pragma once

#include <cstddef>

namespace folvex {

// Blocks of at least this size are allocated on their own (AllocateLargeBlock).
inline constexpr std::size_t kLargeBlockSize = std::size_t{4} << 20;

// A block of size bytes held apart from the heap: on Linux an anonymous mapping aligned to and
// advised for large pages, elsewhere a plain allocation. Tens of megabytes touched for the first
// time otherwise cost one page fault every 4 KiB, which is most of the time of loading a file.
// Returns nullptr when there is no memory for it; FreeLargeBlock takes the same size back.
void* AllocateLargeBlock(std::size_t size);
void FreeLargeBlock(void* block, std::size_t size) noexcept;

// Asks the system to back [data, data + length) with large pages where it can. Only advice:
// without it nothing changes but the speed.
void AdviseLargeBuffer(void* data, std::size_t length);

// Reserves capacity in a byte container and advises the new storage as above.
template <typename Container>
void ReserveLarge(Container& bytes, std::size_t capacity) {
  if (capacity <= bytes.capacity()) return;
  bytes.reserve(capacity);
  AdviseLargeBuffer(bytes.data(), bytes.capacity());
}

}  // namespace folvex
