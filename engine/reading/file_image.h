// Loading a whole input file into memory.
#pragma once

#include <string>

#include "engine/core/document.h"

namespace folvex {

// Reads the whole file at path. Returns 1, or 0 with lastError -1 (cannot open) or -2 (shorter
// than 20 bytes, no memory, short read).
int LoadFileImage(const std::string& path, FileImage& image, int& lastError);

// The size of the file at path, or -1 when it cannot be opened.
long long FileSizeAt(const std::string& path);

// True when the file at path can be opened for reading.
bool FileOpensForReading(const std::string& path);

}  // namespace folvex
