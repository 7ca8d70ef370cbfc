// Literal "(...)" and hexadecimal "<...>" strings: decoding to bytes and writing bytes back.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "engine/core/bytes.h"

namespace folvex {

// Decodes the literal or hexadecimal string at cursor into out (replaced) and moves the cursor
// behind it. Escapes, octal codes and line continuations are read; a CR or CRLF in a literal
// string reads as LF; a hexadecimal string ignores non-hex characters and takes an odd last digit
// as the high half. Returns false, with the cursor unmoved, when the text is not a whole string.
bool DecodePdfString(const Byte*& cursor, const Byte* end, std::vector<Byte>& out);

// The same into at most capacity bytes. Returns the number of bytes kept, or -1.
int DecodePdfString(const Byte*& cursor, const Byte* end, Byte* out, int capacity);

// Appends bytes as a literal string: "(", ")" and backslash escaped, LF as \n, CR as \r, every
// other byte as it is.
void AppendLiteralString(std::string& out, std::span<const Byte> bytes);
// Appends bytes as a hexadecimal string in upper-case digits.
void AppendHexString(std::string& out, std::span<const Byte> bytes);

}  // namespace folvex
