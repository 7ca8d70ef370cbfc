#include "engine/core/large_buffers.h"

#include <cstdint>
#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace folvex {

#if defined(__linux__) && defined(MADV_HUGEPAGE)
namespace {

constexpr std::uintptr_t kLargePage = 2u << 20;
constexpr std::uintptr_t kPage = 4096;

std::size_t MappedLength(std::size_t size) { return (size + kPage - 1) & ~(kPage - 1); }

}  // namespace

void* AllocateLargeBlock(std::size_t size) {
  if (size == 0 || size > SIZE_MAX - 2 * kLargePage) return nullptr;
  // Mapped one large page longer, then cut to start on a large-page boundary, so that the block
  // is large pages from its first byte.
  const std::size_t length = MappedLength(size);
  void* mapped = mmap(nullptr, length + kLargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  const auto begin = reinterpret_cast<std::uintptr_t>(mapped);
  const std::uintptr_t first = (begin + kLargePage - 1) & ~(kLargePage - 1);
  if (first > begin) munmap(mapped, first - begin);
  const std::uintptr_t tail = begin + length + kLargePage - (first + length);
  if (tail > 0) munmap(reinterpret_cast<void*>(first + length), tail);
  madvise(reinterpret_cast<void*>(first), length, MADV_HUGEPAGE);
  return reinterpret_cast<void*>(first);
}

void FreeLargeBlock(void* block, std::size_t size) noexcept {
  if (block != nullptr) munmap(block, MappedLength(size));
}

void AdviseLargeBuffer(void* data, std::size_t length) {
  // Below two large pages there is nothing to gain.
  if (data == nullptr || length < 2 * kLargePage) return;
  const auto begin = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (begin + kPage - 1) & ~(kPage - 1);
  const std::uintptr_t last = (begin + length) & ~(kPage - 1);
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

#else

void* AllocateLargeBlock(std::size_t size) { return size == 0 ? nullptr : std::malloc(size); }

void FreeLargeBlock(void* block, std::size_t) noexcept { std::free(block); }

void AdviseLargeBuffer(void*, std::size_t) {}

#endif

}  // namespace folvex
