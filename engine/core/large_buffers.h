// Reserving storage for whole files and whole outputs.
#pragma once

#include <cstddef>

namespace folvex {

// Asks the system to back [data, data + length) with large pages where it can. Tens of
// megabytes touched for the first time otherwise cost one page fault every 4 KiB, which is
// most of the time of loading a file. Only advice: without it nothing changes but the speed.
void AdviseLargeBuffer(void* data, std::size_t length);

// Reserves capacity in a byte container and advises the new storage as above.
template <typename Container>
void ReserveLarge(Container& bytes, std::size_t capacity) {
  if (capacity <= bytes.capacity()) return;
  bytes.reserve(capacity);
  AdviseLargeBuffer(bytes.data(), bytes.capacity());
}

}  // namespace folvex
