#include "engine/core/large_buffers.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace folvex {

#if defined(__linux__) && defined(MADV_HUGEPAGE)
namespace {

constexpr std::uintptr_t kLargePage = 2u << 20;
constexpr std::uintptr_t kPage = 4096;

// The end of the heap part advised so far; 0 while the heap is not prepared. Growth of the heap
// beyond it is a new mapping that does not inherit the advice.
std::atomic<std::uintptr_t> heapAdvisedEnd{0};
// Holds the heap below its first large page; see PrepareHeapForLargeJobs. Volatile, as a block
// that is never read would be no block at all to the compiler.
void* volatile heapFiller = nullptr;

void AdviseRange(std::uintptr_t first, std::uintptr_t last) {
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

void AdviseHeapGrowth() {
  std::uintptr_t advised = heapAdvisedEnd.load();
  if (advised == 0) return;
  const std::uintptr_t end = reinterpret_cast<std::uintptr_t>(sbrk(0)) & ~(kPage - 1);
  if (end > advised && heapAdvisedEnd.compare_exchange_strong(advised, end)) AdviseRange(advised, end);
}

}  // namespace
#endif

void AdviseLargeBuffer([[maybe_unused]] void* data, [[maybe_unused]] std::size_t length) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  AdviseHeapGrowth();
  // Below two large pages there is nothing to gain.
  if (data == nullptr || length < 2 * kLargePage) return;
  const auto begin = reinterpret_cast<std::uintptr_t>(data);
  AdviseRange((begin + kPage - 1) & ~(kPage - 1), (begin + length) & ~(kPage - 1));
#endif
}

void PrepareHeapForLargeJobs() {
#if defined(__linux__) && defined(__GLIBC__) && defined(MADV_HUGEPAGE)
  constexpr std::size_t kGrowth = 64u << 20;
  if (mallopt(M_MMAP_THRESHOLD, 32 << 20) != 1 || mallopt(M_TOP_PAD, static_cast<int>(kGrowth)) != 1 ||
      mallopt(M_TRIM_THRESHOLD, 1 << 30) != 1) {
    return;
  }
  // A block larger than the heap's free top makes the heap grow now, by the block and the pad.
  constexpr std::size_t kBlock = 1u << 20;
  void* block = std::malloc(kBlock);
  if (block == nullptr) return;
  const auto at = reinterpret_cast<std::uintptr_t>(block);
  const auto end = reinterpret_cast<std::uintptr_t>(sbrk(0)) & ~(kPage - 1);
  std::free(block);
  // Only when the block came from the heap that ends at the break (not from a mapping, nor from
  // an allocator that replaces malloc).
  if (at >= end || end - at > kBlock + kGrowth + kLargePage) return;
  // Serving the block wrote the header of the free top behind it, before any advice; a large page
  // that already holds a small one stays small pages. So large pages start after that header.
  const std::uintptr_t first = (at + kBlock + kPage + kLargePage - 1) & ~(kLargePage - 1);
  if (first >= end) return;
  AdviseRange(first, end);
  heapAdvisedEnd.store(end);
  // The free top starts at the block again. A filler that is never freed, and never touched, takes
  // the stretch up to the first large page but its last small page, which keeps the top's header:
  // large buffers then start in large pages.
  heapFiller = std::malloc(first - at - kPage);
#endif
}

}  // namespace folvex
