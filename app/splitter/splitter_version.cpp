#include "app/splitter/splitter_version.h"

#include <array>
#include <cstdio>
#include <utility>

#include "engine/core/open_file.h"

namespace folvex {

namespace {

// Executable size in bytes and version of each release we know.
constexpr std::array<std::pair<std::uint64_t, int>, 12> kReleaseSizes{{
    {221184, 840},
    {225280, 850},
    {233472, 861},
    {249856, 900},
    {253952, 910},
    {266240, 940},
    {270336, 950},
    {274432, 960},
    {282624, 980},
    {286720, 981},
    {290816, 990},
    {307200, 1000},
}};

}  // namespace

std::uint64_t SplitterVersion1000Size() { return kReleaseSizes.back().first; }

int SplitterVersionOfSize(std::uint64_t size) {
  for (const auto& [releaseSize, version] : kReleaseSizes) {
    if (releaseSize == size) return version;
  }
  return size < SplitterVersion1000Size() ? 990 : kSplitterNewestVersion;
}

int ReadSplitterVersion(const std::string& path) {
  std::FILE* file = OpenFile(path, "rb");
  if (file == nullptr) return -1;
  std::uint64_t size = 0;
  char block[65536];
  for (std::size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;) size += got;
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  return failed ? -1 : SplitterVersionOfSize(size);
}

bool SplitterOpens(const std::string& path) {
  if (path.empty()) return false;
  std::FILE* file = OpenFile(path, "rb");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

}  // namespace folvex
