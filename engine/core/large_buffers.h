// Reserving storage for whole files and whole outputs.
#pragma once

#include <cstddef>

namespace folvex {

// Asks the system to back [data, data + length) with large pages where it can. Tens of
// megabytes touched for the first time otherwise cost one page fault every 4 KiB, which is
// most of the time of loading a file. Only advice: without it nothing changes but the speed.
// The heap, when prepared below, is advised again up to its current end.
void AdviseLargeBuffer(void* data, std::size_t length);

// Once, at the start of a program that runs jobs on large files: lets the heap serve blocks of
// up to 32 MiB, grow 64 MiB at a time and keep what it freed, and advises it as above. The tables
// of a job (object entries, page lists, renumbering maps) are then backed by large pages too.
// Does nothing where the C library or the system does not allow it.
void PrepareHeapForLargeJobs();

// Reserves capacity in a byte container and advises the new storage as above.
template <typename Container>
void ReserveLarge(Container& bytes, std::size_t capacity) {
  if (capacity <= bytes.capacity()) return;
  bytes.reserve(capacity);
  AdviseLargeBuffer(bytes.data(), bytes.capacity());
}

}  // namespace folvex
