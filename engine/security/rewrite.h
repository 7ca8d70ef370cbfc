// Rewriting a whole document with every string and stream encrypted or decrypted: the protected
// copy (with /Encrypt and /ID) and the unprotected copy (without them).
#pragma once

#include <span>
#include <unordered_set>

#include "engine/core/engine_state.h"
#include "engine/reading/open_document.h"

namespace folvex {

// LastErrorCode values of RewriteWithKey besides the ones it shares with the scanners.
constexpr int kRewriteNoHeader = -310;
constexpr int kRewriteNoLength = -311;      // a stream without a usable /Length and no "endstream"
constexpr int kRewriteBadString = -312;     // a string that does not close
constexpr int kRewriteBadObject = -313;     // an object that is not where the table says
constexpr int kRewriteTooManyObjects = -314;
constexpr int kRewriteNoCatalog = -316;       // the trailer's /Root names no object of the table
constexpr int kRewriteCancelled = -330;

// Rewrites image object by object in the order of table under key (the file key): strings and
// stream data through the methods of state.Security (RC4 or AES-128 under each object's key,
// AES-256 under the file key; the objects in plainObjects are copied as they are), the
// information dictionary made afresh, and a
// new table and trailer. Protect mode adds the /Encrypt dictionary of state.Security as the object
// after the highest number and the whole file identifier state.Security.FileId; unprotect mode
// drops object state.Security.EncryptObjectNumber. Numbers the table does not write are free
// entries. Returns 0 with image replaced, or the nonzero LastErrorCode with image untouched.
int RewriteWithKey(EngineState& state, FileImage& image, const XrefTable& table, int catalogNumber,
                   std::span<const Byte> key, bool protect, const std::unordered_set<int>* plainObjects = nullptr);

// Brings image into classic form with the table the reading path uses (converted or repaired
// when needed, repaired when the page tree cannot be walked through the table as parsed, repaired
// once more when an object is not where its table says) and rewrites it with RewriteWithKey.
// facts, when given, receives the pages of the input as a page count finds them. Returns 0 with
// image replaced, 5 (protect: the image is already protected; an image protected with
// cross-reference streams), 6 (cannot be read or rewritten) or -1 (memory). On failure image
// holds the input, possibly rebuilt.
int TransformDocument(EngineState& state, FileImage& image, std::span<const Byte> key, bool protect,
                      PageFacts* facts = nullptr);

}  // namespace folvex
