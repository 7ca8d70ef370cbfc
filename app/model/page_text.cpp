#include "app/model/page_text.h"

namespace folvex {

PageState PageStateOf(int countResult, bool encrypted, int lastErrorCode) {
  if (countResult >= 0) return encrypted ? PageState::CountedEncrypted : PageState::Counted;
  if (countResult == -2) return PageState::NotFound;
  if (lastErrorCode == -1000) return PageState::EncryptedUncounted;
  return PageState::NotPdf;
}

std::string PageText(PageState state, int pageCount, bool japanese) {
  switch (state) {
    case PageState::Counted:
      return std::to_string(pageCount);
    case PageState::CountedEncrypted:
      return std::to_string(pageCount) + (japanese ? " 暗号化" : " Encrypted");
    case PageState::NotFound:
      return japanese ? "X 不明" : "X Not Found";
    case PageState::EncryptedUncounted:
      return japanese ? "暗号化" : "Encrypted";
    case PageState::NotPdf:
      break;
  }
  return japanese ? "X 未対応" : "X Not PDF?";
}

}  // namespace folvex
