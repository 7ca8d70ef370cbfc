#include "engine/reading/pdf_strings.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace folvex {

namespace {

int HexValue(Byte c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool DecodeLiteralString(const Byte*& cursor, const Byte* end, std::vector<Byte>& out) {
  const Byte* p = cursor + 1;
  int nesting = 1;
  auto put = [&](int c) { out.push_back(static_cast<Byte>(c)); };
  while (p < end) {
    Byte c = *p++;
    if (c == '\\') {
      if (p >= end) break;
      Byte e = *p++;
      switch (e) {
        case 'n': put('\n'); break;
        case 'r': put('\r'); break;
        case 't': put('\t'); break;
        case 'b': put('\b'); break;
        case 'f': put('\f'); break;
        case '\r':
          if (p < end && *p == '\n') ++p;
          break;
        case '\n': break;
        default:
          if (e >= '0' && e <= '7') {
            int value = e - '0';
            for (int k = 0; k < 2 && p < end && *p >= '0' && *p <= '7'; ++k) value = value * 8 + (*p++ - '0');
            put(value & 0xFF);
          } else {
            put(e);
          }
      }
    } else if (c == '\r') {
      if (p < end && *p == '\n') ++p;
      put('\n');
    } else if (c == '(') {
      ++nesting;
      put(c);
    } else if (c == ')') {
      if (--nesting == 0) {
        cursor = p;
        return true;
      }
      put(c);
    } else {
      put(c);
    }
  }
  return false;
}

bool DecodeHexString(const Byte*& cursor, const Byte* end, std::vector<Byte>& out) {
  const Byte* p = cursor + 1;
  int high = -1;
  while (p < end && *p != '>') {
    int digit = HexValue(*p++);
    if (digit < 0) continue;
    if (high < 0) {
      high = digit;
    } else {
      out.push_back(static_cast<Byte>(high * 16 + digit));
      high = -1;
    }
  }
  if (p >= end) return false;
  if (high >= 0) out.push_back(static_cast<Byte>(high * 16));
  cursor = p + 1;
  return true;
}

}  // namespace

bool DecodePdfString(const Byte*& cursor, const Byte* end, std::vector<Byte>& out) {
  out.clear();
  if (cursor >= end) return false;
  if (*cursor == '(') return DecodeLiteralString(cursor, end, out);
  if (*cursor == '<') return DecodeHexString(cursor, end, out);
  return false;
}

int DecodePdfString(const Byte*& cursor, const Byte* end, Byte* out, int capacity) {
  std::vector<Byte> decoded;
  if (!DecodePdfString(cursor, end, decoded)) return -1;
  const int length = std::min(static_cast<int>(std::min<std::size_t>(decoded.size(), INT32_MAX)), capacity);
  if (length > 0) std::memcpy(out, decoded.data(), static_cast<std::size_t>(length));
  return length;
}

void AppendLiteralString(std::string& out, std::span<const Byte> bytes) {
  out.push_back('(');
  for (Byte c : bytes) {
    if (c == '(' || c == ')' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  out.push_back(')');
}

void AppendHexString(std::string& out, std::span<const Byte> bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  out.push_back('<');
  for (Byte c : bytes) {
    out.push_back(kDigits[c >> 4]);
    out.push_back(kDigits[c & 15]);
  }
  out.push_back('>');
}

}  // namespace folvex
