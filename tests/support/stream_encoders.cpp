#include "tests/support/stream_encoders.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>

namespace folvex::testing {

std::string Deflate(const std::string& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  std::string out(size, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
            static_cast<uLong>(data.size()), 9);
  out.resize(size);
  return out;
}

std::string AsciiHex(const std::string& data) {
  static const char* kDigits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : data) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
    if (out.size() % 60 == 0) out += '\n';
  }
  return out + ">";
}

std::string Ascii85(const std::string& data) {
  std::string out;
  for (std::size_t i = 0; i < data.size(); i += 4) {
    const std::size_t n = std::min<std::size_t>(4, data.size() - i);
    std::uint32_t group = 0;
    for (std::size_t k = 0; k < 4; ++k) group = group << 8 | (k < n ? static_cast<unsigned char>(data[i + k]) : 0);
    const bool zero = group == 0 && n == 4;
    char digits[5];
    for (int k = 4; k >= 0; --k, group /= 85) digits[k] = static_cast<char>('!' + group % 85);
    out += zero ? std::string("z") : std::string(digits, n + 1);
  }
  return out + "~>";
}

}  // namespace folvex::testing
