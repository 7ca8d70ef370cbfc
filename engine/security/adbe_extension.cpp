#include "engine/security/adbe_extension.h"

#include "engine/reading/scanners.h"

namespace folvex {

namespace {

constexpr std::string_view kAdbeEntry = "/ADBE << /BaseVersion /1.7 /ExtensionLevel 8 >>";

const Byte* At(const std::string& out, std::size_t index) { return reinterpret_cast<const Byte*>(out.data()) + index; }

// The value behind key (whose slash is at key), with the whitespace before it skipped.
const Byte* ValueOf(const Byte* key, std::size_t keyLength, const Byte* end) {
  const Byte* value = key + keyLength;
  int error = 0;
  return SkipWhitespace(value, end, error) < 0 ? nullptr : value;
}

// Puts the /ADBE entry into the dictionary whose "<<" is at out[open].
void PutEntryInDictionary(std::string& out, std::size_t open) {
  const Byte* start = At(out, open + 2);
  const Byte* close = FindDictEnd(start, At(out, out.size()));
  if (close == nullptr) return;
  int error = 0;
  const Byte* key = FindKey("/ADBE", start, close, error);
  if (key == nullptr) {
    out.insert(open + 2, " " + std::string(kAdbeEntry) + " ");
    return;
  }
  const Byte* value = ValueOf(key, 5, close);
  if (value == nullptr) return;
  const Byte* valueEnd = value;
  if (close - value >= 2 && value[0] == '<' && value[1] == '<') {
    const Byte* inner = FindDictEnd(value + 2, close);
    if (inner == nullptr) return;
    valueEnd = inner + 2;
  } else {
    int number = 0, generation = 0;
    if (!ReadReference(valueEnd, close, number, generation, error)) return;
  }
  const auto from = static_cast<std::size_t>(key - At(out, 0));
  out.replace(from, static_cast<std::size_t>(valueEnd - key), kAdbeEntry);
}

}  // namespace

int ExtensionsObjectNumber(const Byte* body, const Byte* end) {
  if (end - body < 2 || body[0] != '<' || body[1] != '<') return 0;
  const Byte* close = FindDictEnd(body + 2, end);
  int error = 0;
  const Byte* key = close == nullptr ? nullptr : FindKey("/Extensions", body + 2, close, error);
  const Byte* value = key == nullptr ? nullptr : ValueOf(key, 11, close);
  int number = 0, generation = 0;
  if (value == nullptr || !ReadReference(value, close, number, generation, error)) return 0;
  return number;
}

void PutExtensionsInCatalog(std::string& out, std::size_t objectStart) {
  const std::size_t open = out.find("<<", objectStart);
  if (open == std::string::npos) return;
  const Byte* start = At(out, open + 2);
  const Byte* close = FindDictEnd(start, At(out, out.size()));
  if (close == nullptr) return;
  int error = 0;
  const Byte* key = FindKey("/Extensions", start, close, error);
  if (key == nullptr) {
    out.insert(open + 2, "\n/Extensions << " + std::string(kAdbeEntry) + " >>");
    return;
  }
  const Byte* value = ValueOf(key, 11, close);
  if (value != nullptr && close - value >= 2 && value[0] == '<' && value[1] == '<') {
    PutEntryInDictionary(out, static_cast<std::size_t>(value - At(out, 0)));
  }
}

void PutAdbeEntry(std::string& out, std::size_t objectStart) {
  const std::size_t open = out.find("<<", objectStart);
  if (open != std::string::npos) PutEntryInDictionary(out, open);
}

}  // namespace folvex
