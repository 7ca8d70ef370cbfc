// JSON string literals for `folvex info --json`.
#pragma once

#include <string>
#include <string_view>

namespace folvex::cli {

// text as a JSON string literal, quotes included. Quotes, backslashes and control characters are
// escaped; a byte that is not part of well-formed UTF-8 becomes \udcXX (XX the byte), the form
// Python's surrogateescape reads back to the same byte, so a script can still open such a path.
std::string JsonString(std::string_view text);

}  // namespace folvex::cli
