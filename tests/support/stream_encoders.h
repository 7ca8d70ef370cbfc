// Encoders that make filtered stream data for tests: Flate, ASCIIHex and ASCII85.
#pragma once

#include <string>

namespace folvex::testing {

std::string Deflate(const std::string& data);
// Upper-case digits, a line break every 60 digits, closed by ">".
std::string AsciiHex(const std::string& data);
// Groups of five, "z" for four zero bytes, closed by "~>".
std::string Ascii85(const std::string& data);

}  // namespace folvex::testing
