// Reading PDF values as text: dictionaries split into entries, arrays into items, references
// followed through a document's cross-reference table. Every view points into the text it was
// read from.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/document.h"

namespace folvex {

struct DictEntry {
  std::string_view Key;    // the name with its slash
  std::string_view Value;  // the value's text, trimmed
};

// The entries of the dictionary at the start of text (after whitespace). False when text does
// not start with a whole dictionary.
bool ReadDictionary(std::string_view text, std::vector<DictEntry>& entries);
// The items of the array at the start of text (a reference "n g R" is one item).
bool ReadArray(std::string_view text, std::vector<std::string_view>& items);
// The value of key, or an empty view.
std::string_view ValueOf(const std::vector<DictEntry>& entries, std::string_view key);
// The object number of a value "n g R".
std::optional<int> ReferenceNumber(std::string_view value);
// The bytes of a literal or hexadecimal string value.
std::optional<std::string> StringBytes(std::string_view value);
// The value of object number in slot (its first value after the header), or an empty view when
// the object is absent or a stream (no value read here is ever one).
std::string_view ObjectValue(const DocumentSlot& slot, int number);
// value itself, or, for a reference, the value of the object it names (followed a few times).
std::string_view Resolved(const DocumentSlot& slot, std::string_view value);
// "n 0 R".
std::string ReferenceText(int number);

}  // namespace folvex
