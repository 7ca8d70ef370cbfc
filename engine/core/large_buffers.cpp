#include "engine/core/large_buffers.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace folvex {

void AdviseLargeBuffer([[maybe_unused]] void* data, [[maybe_unused]] std::size_t length) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  // Below two large pages there is nothing to gain.
  constexpr std::uintptr_t kLargePage = 2u << 20;
  constexpr std::uintptr_t kPage = 4096;
  if (data == nullptr || length < 2 * kLargePage) return;
  const auto begin = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (begin + kPage - 1) & ~(kPage - 1);
  const std::uintptr_t last = (begin + length) & ~(kPage - 1);
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}

}  // namespace folvex
