// The Page column text of the file list for the result of counting a file's pages.
#pragma once

#include <string>

namespace folvex {

enum class PageState { Counted, CountedEncrypted, NotFound, EncryptedUncounted, NotPdf };

// The state of a file after CountPages: its result, whether the trailer named /Encrypt, and
// LastErrorCode after a failure. Every result below 1 but -2 (not found) is a failure.
PageState PageStateOf(int countResult, bool encrypted, int lastErrorCode);

// "%d", "%d Encrypted", "X Not Found", "Encrypted", "X Not PDF?" (or their Japanese forms).
std::string PageText(PageState state, int pageCount, bool japanese);

}  // namespace folvex
