#include "engine/reading/file_image.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include <sys/stat.h>

#include "engine/core/open_file.h"

namespace folvex {

bool FileOpensForReading(const std::string& path) {
  std::FILE* file = OpenFile(path, "rb");
  if (file == nullptr) return false;
  // A folder opens for reading on some systems; it is not a file there either.
  struct stat status {};
  const bool isFile = fstat(fileno(file), &status) == 0 && !S_ISDIR(status.st_mode);
  std::fclose(file);
  return isFile;
}

static long long FileLength(std::FILE* file) {
#ifdef _WIN32
  if (_fseeki64(file, 0, SEEK_END) != 0) return -1;
  long long length = _ftelli64(file);
  _fseeki64(file, 0, SEEK_SET);
#else
  if (fseeko(file, 0, SEEK_END) != 0) return -1;
  long long length = ftello(file);
  fseeko(file, 0, SEEK_SET);
#endif
  return length;
}

int LoadFileImage(const std::string& path, FileImage& image, int& lastError) {
  lastError = 0;
  std::FILE* file = OpenFile(path, "rb");
  if (file == nullptr) {
    lastError = -1;
    return 0;
  }
  long long length = FileLength(file);
  // Offsets in the engine are 32-bit, as in the classic cross-reference format.
  if (length < 20 || length > 0x7FFFFFFE) {
    std::fclose(file);
    lastError = -2;
    return 0;
  }
  // Read in slices into reserved storage: growing the vector to its size first would write every
  // byte twice (zeros, then the file).
  std::vector<Byte> bytes;
  std::size_t read = 0;
  try {
    bytes.reserve(static_cast<std::size_t>(length) + 1);
    std::vector<Byte> slice(std::min<std::size_t>(static_cast<std::size_t>(length), 1 << 20));
    while (read < static_cast<std::size_t>(length)) {
      const std::size_t wanted = std::min(slice.size(), static_cast<std::size_t>(length) - read);
      const std::size_t got = std::fread(slice.data(), 1, wanted, file);
      if (got == 0) break;
      bytes.insert(bytes.end(), slice.begin(), slice.begin() + static_cast<std::ptrdiff_t>(got));
      read += got;
    }
  } catch (const std::bad_alloc&) {
    std::fclose(file);
    lastError = -2;
    return 0;
  }
  std::fclose(file);
  if (read != static_cast<std::size_t>(length)) {
    lastError = -2;
    return 0;
  }
  bytes.push_back(0);
  image.Storage = std::move(bytes);
  return 1;
}

}  // namespace folvex
