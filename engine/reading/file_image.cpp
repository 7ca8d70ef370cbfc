#include "engine/reading/file_image.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <new>

#include <sys/stat.h>

#include "engine/core/large_buffers.h"
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

long long FileSizeAt(const std::string& path) {
  std::FILE* file = OpenFile(path, "rb");
  if (file == nullptr) return -1;
  const long long length = FileLength(file);
  std::fclose(file);
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
  if (length < 20 || static_cast<unsigned long long>(length) >= SIZE_MAX / 2) {
    std::fclose(file);
    lastError = -2;
    return 0;
  }
  // One pass of the file's bytes into storage that is reserved (and advised for large pages)
  // and left unset before the bytes are read into it; the trailing zero byte is set after them.
  // The reserve leaves room for what a conversion to classic form appends (objects taken out of
  // object streams and a classic table): storage that is never written costs no memory.
  ImageBytes bytes;
  std::size_t read = 0;
  const auto size = static_cast<std::size_t>(length);
  try {
    ReserveLarge(bytes, size + 1 + size / 4 + 65536);
    bytes.resize(size + 1);
  } catch (const std::bad_alloc&) {
    std::fclose(file);
    lastError = -2;
    return 0;
  }
  while (read < size) {
    // In parts: some C libraries fail a single read of 4 GiB and more.
    const std::size_t part = std::min<std::size_t>(size - read, std::size_t{1} << 30);
    const std::size_t got = std::fread(bytes.data() + read, 1, part, file);
    if (got == 0) break;
    read += got;
  }
  std::fclose(file);
  if (read != size) {
    lastError = -2;
    return 0;
  }
  bytes[size] = 0;
  image.Storage = std::move(bytes);
  return 1;
}

}  // namespace folvex
