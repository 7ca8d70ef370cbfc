#include "cli/json_text.h"

#include <cstdio>

#include "engine/core/utf8.h"

namespace folvex::cli {

namespace {

void AppendUnicodeEscape(std::string& out, unsigned value) {
  char escape[8];
  std::snprintf(escape, sizeof escape, "\\u%04x", value);
  out += escape;
}

}  // namespace

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  while (!text.empty()) {
    const auto lead = static_cast<unsigned char>(text[0]);
    const std::size_t length = FirstUtf8Character(text).Length;
    if (length == 0) {
      AppendUnicodeEscape(out, 0xDC00 + lead);
      text.remove_prefix(1);
      continue;
    }
    if (lead == '"' || lead == '\\') {
      out += '\\';
      out += static_cast<char>(lead);
    } else if (lead < 0x20 || lead == 0x7F) {
      AppendUnicodeEscape(out, lead);
    } else {
      out.append(text.substr(0, length));
    }
    text.remove_prefix(length);
  }
  return out + '"';
}

}  // namespace folvex::cli
