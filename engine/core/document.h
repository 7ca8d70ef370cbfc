// The data a job holds for each opened input document.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <utility>
#include <vector>

#include "engine/core/bytes.h"
#include "engine/core/large_buffers.h"

namespace folvex {

// The allocator of file images: blocks of kLargeBlockSize and more are held apart from the heap
// (AllocateLargeBlock), and a resize leaves new bytes as they come. A whole file is read or
// written into its storage at once, so zero-filling it first would only cost a pass over memory.
template <typename T>
struct ImageAllocator {
  using value_type = T;
  ImageAllocator() = default;
  template <typename U>
  ImageAllocator(const ImageAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    if (n * sizeof(T) < kLargeBlockSize) return std::allocator<T>().allocate(n);
    void* block = AllocateLargeBlock(n * sizeof(T));
    if (block == nullptr) throw std::bad_alloc();
    return static_cast<T*>(block);
  }
  void deallocate(T* block, std::size_t n) noexcept {
    if (n * sizeof(T) < kLargeBlockSize) return std::allocator<T>().deallocate(block, n);
    FreeLargeBlock(block, n * sizeof(T));
  }
  template <typename U>
  void construct(U* place) noexcept {
    ::new (static_cast<void*>(place)) U;
  }
  template <typename U, typename... Args>
  void construct(U* place, Args&&... args) {
    ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
  }
  template <typename U>
  bool operator==(const ImageAllocator<U>&) const noexcept {
    return true;
  }
};
using ImageBytes = std::vector<Byte, ImageAllocator<Byte>>;

// Appends length bytes with memcpy, also when the storage moves: the vector's own range insert
// and growth would copy ImageBytes byte by byte.
inline void AppendBytes(ImageBytes& bytes, const void* from, std::size_t length) {
  if (length == 0) return;
  const std::size_t at = bytes.size();
  if (bytes.capacity() - at < length) {
    ImageBytes larger;
    larger.reserve(std::max(at + length, 2 * bytes.capacity()));
    larger.resize(at + length);
    if (at != 0) std::memcpy(larger.data(), bytes.data(), at);
    std::memcpy(larger.data() + at, from, length);
    bytes.swap(larger);
    return;
  }
  bytes.resize(at + length);
  std::memcpy(bytes.data() + at, from, length);
}

// A whole file in memory. The storage always holds one zero byte after the last byte of the file,
// so a scanner that looks at *End() reads a zero. An image can instead view bytes owned elsewhere
// (a file mapped for reading back), which are followed by a zero byte too; it is then only read.
struct FileImage {
  ImageBytes Storage;  // file bytes followed by one zero byte
  std::span<const Byte> View{};

  const Byte* Begin() const { return View.data() != nullptr ? View.data() : Storage.data(); }
  const Byte* End() const { return Begin() + Size(); }
  std::size_t Size() const {
    if (View.data() != nullptr) return View.size();
    return Storage.empty() ? 0 : Storage.size() - 1;
  }
  bool Empty() const { return Size() == 0; }
};

// Takes the bytes of a file and adds the trailing zero byte.
inline FileImage MakeFileImage(ImageBytes bytes) {
  bytes.push_back(0);
  FileImage image;
  image.Storage = std::move(bytes);
  return image;
}
inline FileImage MakeFileImage(std::span<const Byte> bytes) {
  ImageBytes copy;
  copy.reserve(bytes.size() + 1);
  AppendBytes(copy, bytes.data(), bytes.size());
  return MakeFileImage(std::move(copy));
}

// One line of the cross-reference table: ascending and unique by Number.
struct XrefEntry {
  int Number = 0;
  std::int64_t Offset = 0;  // byte offset; for a free entry the value of its first field
  int Generation = 0;
  char Type = 'n';     // 'n' or 'f'
};
using XrefTable = std::vector<XrefEntry>;

// Inheritable page attributes, as bits of InheritFlags and as indexes into the source numbers.
enum InheritBit : int { kInheritResources = 1, kInheritMediaBox = 2, kInheritCropBox = 4, kInheritRotate = 8 };
enum InheritSource : int { kSourceResources = 0, kSourceMediaBox = 1, kSourceCropBox = 2, kSourceRotate = 3 };

// One page of the page list, in document order.
struct PageEntry {
  int Number = 0;
  int Generation = 0;
  int Need = 0;                      // InheritFlags bits the page must take from an ancestor
  std::array<int, 4> Sources{};      // node numbers for /Resources, /MediaBox, /CropBox, /Rotate (when Need != 0)
  std::int64_t DirectOffset = -1;    // a page written directly in its parent's /Kids: the offset of its "<<"
};

struct PageBox {
  std::array<float, 4> Box{};
};

// A /Pages node that carries a direct /MediaBox array.
struct PagesBoxEntry {
  int Node = 0;
  std::array<float, 4> Box{};
};

// One node of an input's outline tree. Positions are byte offsets from the image begin.
struct OutlineItem {
  int32_t TitleLength = 0;
  std::int64_t TitlePosition = 0;
  int32_t Level = 0;
  int32_t PageIndex = -1;
  int32_t ViewLength = 0;
  std::int64_t ViewPosition = 0;
  int32_t Children = 0;
  int32_t Count = 0;
  int32_t ColourLength = 0;
  std::int64_t ColourPosition = 0;
  int32_t Flags = 0;
};

// Everything one opened input owns from its load to ReleaseDocuments.
struct DocumentSlot {
  FileImage Image;
  XrefTable Xref;
  bool HasXref = false;
  int CatalogNumber = -1;
  std::vector<PageEntry> PageList;
  std::vector<OutlineItem> OutlineItems;
  std::vector<PageBox> PageBoxes;
};

}  // namespace folvex
