#include "cli/info_command.h"

#include <algorithm>
#include <optional>

#include "app/model/page_text.h"
#include "app/text/texts.h"
#include "cli/exit_codes.h"
#include "cli/json_text.h"
#include "engine/core/engine_state.h"
#include "engine/reading/open_document.h"
#include "engine/security/authenticate.h"

namespace folvex::cli {

namespace {

struct FileFacts {
  int Result = 0;  // of CountPages
  PageState State = PageState::NotFound;
  bool Protected = false;
  bool StreamTooLarge = false;
};

FileFacts CountFile(const std::string& path, const std::string& password) {
  EngineState state;
  // A protected file with cross-reference streams is counted when the empty password (or the
  // one given) opens it.
  state.SecurityJobState.RememberedPassword = password;
  FileFacts facts;
  facts.Result = CountPages(state, path, MakeCountDecryption());
  facts.Protected = state.EncryptRef.has_value();
  facts.State = PageStateOf(facts.Result, facts.Protected, state.LastErrorCode);
  facts.StreamTooLarge = facts.Result < 0 && state.StreamLimitPassed;
  return facts;
}

// "RC4 40", "RC4 128", "AES 128" or "AES 256", as the file's /Encrypt dictionary gives it; no
// value when the dictionary cannot be read or names another handler.
std::optional<std::string> ProtectionMethod(const std::string& path) {
  EngineState state;
  std::optional<std::string> method;
  OpenOptions options;
  options.Decrypt = [&method](EngineState& s, DocumentSlot& slot) {
    if (ReadEncryptDictionary(s, slot.Image, slot.Xref) != 0 || CheckSupported(s) != 0) return 6;
    const SecurityParameters& p = s.Security;
    const CryptMethod used = p.StreamMethod != CryptMethod::Identity ? p.StreamMethod : p.StringMethod;
    if (used == CryptMethod::Aes256) method = "AES 256";
    if (used == CryptMethod::Aes128) method = "AES 128";
    if (used == CryptMethod::Rc4) method = "RC4 " + std::to_string(p.KeyLength * 8);
    return 6;  // the method is all that is wanted: the file is not decrypted
  };
  PrepareDocumentSlots(state, 1);
  OpenDocument(state, 0, path, options);
  ReleaseDocuments(state);
  return method;
}

// A short English reason for a file without a page count.
std::string ErrorText(const FileFacts& facts) {
  if (facts.StreamTooLarge) return "a compressed stream expands beyond the limit";
  if (facts.Result == -10) return "out of memory";
  switch (facts.State) {
    case PageState::NotFound: return "cannot be opened";
    case PageState::EncryptedUncounted: return "protected: its pages cannot be counted without the password";
    case PageState::NotPdf: return "not a PDF file that can be read";
    default: return "";
  }
}

void PrintJson(const std::string& path, const FileFacts& facts, std::ostream& out) {
  const bool counted = facts.State == PageState::Counted || facts.State == PageState::CountedEncrypted;
  const std::optional<std::string> method = facts.Protected ? ProtectionMethod(path) : std::nullopt;
  out << "{\"path\": " << JsonString(path) << ", \"pages\": " << (counted ? std::to_string(facts.Result) : "null")
      << ", \"protected\": " << (facts.Protected ? "true" : "false")
      << ", \"method\": " << (method ? JsonString(*method) : "null") << ", \"state\": {\"en\": "
      << JsonString(PageText(facts.State, facts.Result, false))
      << ", \"ja\": " << JsonString(PageText(facts.State, facts.Result, true))
      << "}, \"error\": " << (counted ? "null" : JsonString(ErrorText(facts))) << "}";
}

}  // namespace

CLI::App* AddInfoCommand(CLI::App& app, InfoCommandOptions& options) {
  CLI::App* command = app.add_subcommand("info", "Print each file's page count or why there is none");
  command->add_option("FILE", options.Files, "PDF files")->required();
  command->add_flag("--json", options.Json,
                    "One JSON array: per file its path, pages, protected, method, state {en, ja} and error");
  AddPasswordOptions(*command, options.Password);
  return command;
}

int RunInfo(const InfoCommandOptions& options, bool japanese, std::ostream& out, std::ostream& err) {
  std::string password;
  if ((options.Password.PasswordGiven || !options.Password.PasswordFile.empty()) &&
      ObtainPassword(options.Password, japanese, password) != PasswordResult::Obtained) {
    err << Text(TextId::CliPasswordFileUnreadable, japanese) << '\n';
    return kExitUsage;
  }
  int status = kExitSuccess;
  if (options.Json) out << '[';
  for (std::size_t i = 0; i < options.Files.size(); ++i) {
    const std::string& path = options.Files[i];
    const FileFacts facts = CountFile(path, password);
    if (options.Json) {
      out << (i == 0 ? "\n  " : ",\n  ");
      PrintJson(path, facts, out);
    } else {
      out << PageText(facts.State, facts.Result, japanese) << '\t' << path << '\n';
      if (facts.StreamTooLarge) err << path << ": " << Text(TextId::CliStreamTooLarge, japanese) << '\n';
    }
    if (facts.State == PageState::NotFound) status = std::max(status, kExitNotFound);
    if (facts.State == PageState::NotPdf || facts.State == PageState::EncryptedUncounted) {
      status = std::max(status, facts.Result == -10 ? kExitInternal : kExitUnreadable);
    }
  }
  if (options.Json) out << "\n]\n";
  out.flush();
  return status;
}

}  // namespace folvex::cli
