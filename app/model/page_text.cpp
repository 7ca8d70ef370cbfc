#include "app/model/page_text.h"

#include "app/text/texts.h"

namespace folvex {

PageState PageStateOf(int countResult, bool encrypted, int lastErrorCode) {
  // A count below 1 is a failure like any other: a file without pages is not a usable PDF file.
  if (countResult >= 1) return encrypted ? PageState::CountedEncrypted : PageState::Counted;
  if (countResult == -2) return PageState::NotFound;
  if (lastErrorCode == -1000) return PageState::EncryptedUncounted;
  return PageState::NotPdf;
}

std::string PageText(PageState state, int pageCount, bool japanese) {
  switch (state) {
    case PageState::Counted:
      return std::to_string(pageCount);
    case PageState::CountedEncrypted:
      return std::to_string(pageCount) + std::string(Text(TextId::PageEncryptedSuffix, japanese));
    case PageState::NotFound:
      return std::string(Text(TextId::PageNotFound, japanese));
    case PageState::EncryptedUncounted:
      return std::string(Text(TextId::PageEncrypted, japanese));
    case PageState::NotPdf:
      break;
  }
  return std::string(Text(TextId::PageNotPdf, japanese));
}

}  // namespace folvex
