// The developer extension an AES-256 copy declares: AES-256 came to PDF 1.7 as Adobe's extension
// level 8, so readers of 1.7 learn from the catalog's /Extensions which handler they need.
#pragma once

#include <string>
#include <string_view>

#include "engine/core/bytes.h"

namespace folvex {

// The number of the object that holds the /Extensions dictionary of the catalog dictionary in
// [body, end) when it stands in an object of its own; 0 when it is direct or absent.
int ExtensionsObjectNumber(const Byte* body, const Byte* end);

// In the catalog written at out[objectStart...]: adds /Extensions << /ADBE ... >> when it has none,
// or puts the /ADBE entry into its direct /Extensions dictionary. Other entries are kept.
void PutExtensionsInCatalog(std::string& out, std::size_t objectStart);

// In the /Extensions dictionary written at out[objectStart...]: puts the /ADBE entry, replacing an
// /ADBE entry there.
void PutAdbeEntry(std::string& out, std::size_t objectStart);

// The header line of an AES-256 copy whose input's version is below 1.7.
constexpr std::string_view kAes256HeaderLine = "%PDF-1.7\n";

}  // namespace folvex
