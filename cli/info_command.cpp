#include "cli/info_command.h"

#include <algorithm>

#include "app/model/page_text.h"
#include "app/text/texts.h"
#include "cli/exit_codes.h"
#include "engine/core/engine_state.h"
#include "engine/reading/open_document.h"
#include "engine/security/authenticate.h"

namespace folvex::cli {

int RunInfo(const std::vector<std::string>& paths, bool japanese, std::ostream& out, std::ostream& err) {
  int status = kExitSuccess;
  for (const std::string& path : paths) {
    EngineState state;
    // A protected file with cross-reference streams is counted when the empty password opens it.
    int result = CountPages(state, path, MakeCountDecryption());
    PageState pageState = PageStateOf(result, state.EncryptRef.has_value(), state.LastErrorCode);
    out << PageText(pageState, result, japanese) << '\t' << path << '\n';
    if (result < 0 && state.StreamLimitPassed) err << path << ": " << Text(TextId::CliStreamTooLarge, japanese) << '\n';
    if (pageState == PageState::NotFound) status = std::max(status, kExitNotFound);
    if (pageState == PageState::NotPdf || pageState == PageState::EncryptedUncounted) {
      status = std::max(status, result == -10 ? kExitInternal : kExitUnreadable);
    }
  }
  out.flush();
  return status;
}

}  // namespace folvex::cli
