// Opens one of the program's dialogs in one language with values from the command line and prints
// what the dialog gave back, one "key=value" line each, so that a Wine session can drive the
// dialog with keys and check the answer.
//
//   dialog_preview NAME en|ja [key=value ...]
//   NAME: page-range, security, password, general, file-setting, edit-file-name, about, progress,
//         message
#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <thread>

#include "app/win32/dialogs.h"
#include "engine/core/open_file.h"

using namespace folvex;
using namespace folvex::win32;

namespace {

using Values = std::map<std::string, std::string>;

void Print(const std::string& key, const std::string& value) {
  const std::string line = key + "=" + value + "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}
void Print(const std::string& key, long long value) { Print(key, std::to_string(value)); }
void PrintFlag(const std::string& key, bool value) { Print(key, std::string(value ? "1" : "0")); }

std::string Get(const Values& values, const std::string& key, const std::string& fallback = "") {
  const auto found = values.find(key);
  return found == values.end() ? fallback : found->second;
}
int GetInt(const Values& values, const std::string& key, int fallback = 0) {
  const std::string text = Get(values, key);
  return text.empty() ? fallback : std::stoi(text);
}
bool GetBool(const Values& values, const std::string& key) { return GetInt(values, key) != 0; }

void PrintOptional(const std::optional<std::string>& answer, const std::string& key) {
  Print("result", std::string(answer ? "ok" : "cancel"));
  if (answer) Print(key, *answer);
}

void RunSecurity(bool japanese, const Values& in) {
  SecurityDialogValues values;
  values.OpenPassword = Get(in, "user");
  values.OwnerPassword = Get(in, "owner");
  values.Print = GetBool(in, "print");
  values.Modify = GetBool(in, "modify");
  values.Copy = GetBool(in, "copy");
  values.AddAnnotations = GetBool(in, "annotate");
  values.SaveInFolder = GetBool(in, "in-folder");
  values.OutputFolder = Get(in, "folder");
  const bool ok = ShowSecurityDialog(nullptr, japanese, values);
  Print("result", std::string(ok ? "ok" : "cancel"));
  Print("user", values.OpenPassword);
  Print("owner", values.OwnerPassword);
  PrintFlag("print", values.Print);
  PrintFlag("modify", values.Modify);
  PrintFlag("copy", values.Copy);
  PrintFlag("annotate", values.AddAnnotations);
  PrintFlag("in-folder", values.SaveInFolder);
  Print("folder", values.OutputFolder);
}

void RunGeneral(bool japanese, const Values& in) {
  GeneralSettingsValues values;
  values.OrgFileDelete = GetBool(in, "org-file-delete");
  values.NewFileRecord = GetBool(in, "new-file-record");
  values.NewFileOpen = GetBool(in, "new-file-open");
  values.FileBackUp = GetBool(in, "file-backup");
  values.PageDisp = GetBool(in, "page-disp");
  values.SplitterPath = Get(in, "splitter");
  // The first OK is refused when asked to, as an unusable splitter path would be.
  int refusals = GetInt(in, "refuse");
  const bool ok = ShowGeneralSettingDialog(nullptr, japanese, values, [&refusals](const GeneralSettingsValues& v) {
    Print("validate", v.SplitterPath);
    return refusals-- <= 0;
  });
  Print("result", std::string(ok ? "ok" : "cancel"));
  PrintFlag("org-file-delete", values.OrgFileDelete);
  PrintFlag("new-file-record", values.NewFileRecord);
  PrintFlag("new-file-open", values.NewFileOpen);
  PrintFlag("file-backup", values.FileBackUp);
  PrintFlag("page-disp", values.PageDisp);
  Print("splitter", values.SplitterPath);
}

void RunFileSetting(bool japanese, const Values& in) {
  OutputSettings settings;
  settings.DispScale = Get(in, "disp-scale", "N");
  settings.ScaleText = Get(in, "scale-text", "100");
  settings.PageLayout = GetInt(in, "page-layout");
  settings.Direction = GetInt(in, "direction");
  settings.OutlineKeepE = GetInt(in, "keep-e");
  settings.OutlineKeepM = GetInt(in, "keep-m");
  settings.OutlineKeepS = GetInt(in, "keep-s");
  settings.PageModeE = GetInt(in, "mode-e");
  settings.PageModeM = GetInt(in, "mode-m");
  settings.PageModeS = GetInt(in, "mode-s");
  settings.FileToOutline = GetInt(in, "file-to-outline");
  settings.OBold = GetInt(in, "bold");
  settings.OItalic = GetInt(in, "italic");
  settings.OColor = static_cast<uint32_t>(std::stoul(Get(in, "color", "0"), nullptr, 0));
  settings.ODown = GetInt(in, "down");
  settings.OOpen = GetInt(in, "open", 1);
  settings.KeepAnnots = GetInt(in, "keep-annots");
  const bool ok = ShowFileSettingDialog(nullptr, japanese, settings, GetInt(in, "splitter-version", 1000));
  Print("result", std::string(ok ? "ok" : "cancel"));
  Print("disp-scale", settings.DispScale);
  Print("scale-text", settings.ScaleText);
  Print("page-layout", settings.PageLayout);
  Print("direction", settings.Direction);
  Print("keep-e", settings.OutlineKeepE);
  Print("keep-m", settings.OutlineKeepM);
  Print("keep-s", settings.OutlineKeepS);
  Print("mode-e", settings.PageModeE);
  Print("mode-m", settings.PageModeM);
  Print("mode-s", settings.PageModeS);
  Print("file-to-outline", settings.FileToOutline);
  Print("bold", settings.OBold);
  Print("italic", settings.OItalic);
  Print("color", static_cast<long long>(settings.OColor));
  Print("down", settings.ODown);
  Print("open", settings.OOpen);
  Print("keep-annots", settings.KeepAnnots);
}

// A job of steps progress reports, delay milliseconds apart; it asks for a password first when
// asked to, and stops with 3 when cancelled.
void RunProgress(bool japanese, const Values& in) {
  const int steps = GetInt(in, "steps", 20);
  const int delay = GetInt(in, "delay", 100);
  const bool askPassword = GetBool(in, "ask-password");
  JobRequest request;
  request.Title = Get(in, "title", japanese ? "Folvex ページ抽出" : "Folvex - Extract");
  request.PasswordQuestion = [] { return PasswordRequest{PasswordDialogMode::Engine, "protected.pdf"}; };
  request.Run = [=](JobControl& control) {
    if (askPassword) {
      std::string password;
      const bool given = control.PasswordPrompt && control.PasswordPrompt(password);
      Print("password-result", std::string(given ? "ok" : "cancel"));
      if (given) Print("password", password);
    }
    for (int step = 1; step <= steps; ++step) {
      if (control.Cancelled()) {
        Print("cancelled-at", step);
        return 3;
      }
      control.ReportProgress("Writing " + std::to_string(step), "書き込み中 " + std::to_string(step),
                             step * 100 / steps);
      std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    }
    return 0;
  };
  Print("result", static_cast<long long>(ShowProgressDialog(nullptr, japanese, request)));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fputs("usage: dialog_preview NAME en|ja [key=value ...]\n", stderr);
    return 2;
  }
  InitCommonControls();
  const std::string name = WideToUtf8(argv[1]);
  const bool japanese = WideToUtf8(argv[2]) == "ja";
  Values in;
  for (int i = 3; i < argc; ++i) {
    const std::string pair = WideToUtf8(argv[i]);
    const auto equals = pair.find('=');
    if (equals != std::string::npos) in[pair.substr(0, equals)] = pair.substr(equals + 1);
  }

  if (name == "page-range") {
    PrintOptional(ShowPageRangeDialog(nullptr, japanese), "text");
  } else if (name == "security") {
    RunSecurity(japanese, in);
  } else if (name == "password") {
    const PasswordDialogMode mode = Get(in, "mode") == "remove" ? PasswordDialogMode::Remove : PasswordDialogMode::Engine;
    PrintOptional(ShowPasswordDialog(nullptr, japanese, PasswordRequest{mode, Get(in, "file")}), "password");
  } else if (name == "general") {
    RunGeneral(japanese, in);
  } else if (name == "file-setting") {
    RunFileSetting(japanese, in);
  } else if (name == "edit-file-name") {
    std::string folder = Get(in, "input-folder");
    PrintOptional(ShowEditFileNameDialog(nullptr, japanese, Get(in, "path"), folder), "path");
    Print("input-folder", folder);
  } else if (name == "about") {
    ShowAboutDialog(nullptr, japanese);
    Print("result", std::string("closed"));
  } else if (name == "progress") {
    RunProgress(japanese, in);
  } else if (name == "message") {
    MessageRequest request;
    request.Text = Get(in, "text", "Done");
    request.Icon = MessageIcon::Information;
    request.Buttons = Get(in, "buttons") == "yes-no" ? MessageButtons::YesNo : MessageButtons::Ok;
    if (Get(in, "default") == "second") request.DefaultButton = MessageDefaultButton::Second;
    const MessageAnswer answer = ShowMessageBox(nullptr, request);
    Print("result", std::string(answer == MessageAnswer::Yes  ? "yes"
                                : answer == MessageAnswer::No ? "no"
                                                              : "ok"));
  } else {
    std::fputs("unknown dialog\n", stderr);
    return 2;
  }
  return 0;
}
