// Recognising the companion splitter's release from its executable.
#pragma once

#include <cstdint>
#include <string>

namespace folvex {

constexpr int kSplitterMinimumVersion = 860;   // below: not usable
constexpr int kSplitterRunVersion = 910;       // several files in one run
constexpr int kSplitterListFileVersion = 1000; // list-file command lines, the first to carry output options
                                                // (the File Setting dialog's split row)
constexpr int kSplitterNewestVersion = 99999;

// The release a size in bytes belongs to: a listed release size gives its version; any other size
// is 990 below the size of release 1000 and 99999 from it on (a newer or rebuilt splitter).
int SplitterVersionOfSize(std::uint64_t size);

// The size of the executable of release 1000, the smallest size taken for the newest splitter.
std::uint64_t SplitterVersion1000Size();

// The version of the executable at path, or -1 when it cannot be opened for reading.
int ReadSplitterVersion(const std::string& path);

// True when the file at path opens for reading.
bool SplitterOpens(const std::string& path);

}  // namespace folvex
