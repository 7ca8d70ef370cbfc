#include "app/splitter/splitter_commands.h"

#include <optional>
#include <string>
#include <vector>

#include "app/session/command_ids.h"
#include "app/session/list_display.h"
#include "app/session/menu_state.h"
#include "app/splitter/split_list_file.h"
#include "app/splitter/splitter_protocol.h"
#include "app/splitter/splitter_version.h"
#include "app/text/texts.h"
#include "engine/core/output_file.h"
#include "engine/core/path_text.h"

namespace folvex {

namespace {

void Show(AppSession& session, Desktop& desktop, TextId text, MessageIcon icon, bool runMessage = false,
          bool onTop = false) {
  MessageRequest request;
  request.Text = std::string(Text(text, session.Japanese));
  request.Caption = runMessage ? "Tomlet" : "Folvex";
  request.Icon = icon;
  request.StayOnTop = onTop;
  desktop.ShowMessage(request);
}

// The split menu items and toolbar buttons as availability says.
void ShowSplitterControls(const AppSession& session, Desktop& desktop) {
  desktop.SetSplitterMenuItems(session.Splitter.Available);
  ShowListChange(session, desktop);
}

void MarkUnavailable(AppSession& session, Desktop& desktop) {
  session.Splitter.Available = false;
  ShowSplitterControls(session, desktop);
}

// Every launch first makes sure the executable is still there; when it is gone, the splitter is
// forgotten.
bool ExecutablePresent(AppSession& session, Desktop& desktop, TextId missingText) {
  if (SplitterOpens(session.Settings.Tomlet)) return true;
  Show(session, desktop, missingText, MessageIcon::Error);
  session.Settings.Tomlet.clear();
  MarkUnavailable(session, desktop);
  return false;
}

enum class LaunchOutcome { Started, NoListFile, ShellFailed };

LaunchOutcome Launch(AppSession& session, Desktop& desktop, SplitLaunch launch, const std::string& inputPath) {
  const int version = session.Splitter.Version;
  const std::string prefix = SplitterLanguagePrefix(session.Splitter.LanguageForced, session.Japanese);
  std::optional<std::string> listPath;
  std::string target = inputPath;
  if (UsesListFile(version)) {
    listPath = CreateSplitListFile(SplitListText(session.Settings.Output, inputPath));
    if (!listPath) return LaunchOutcome::NoListFile;
    target = ListFileNameOf(*listPath);
  }
  const std::string line = SplitterCommandLine(launch, version, prefix, target, session.Splitter.NotifyWindow);
  if (desktop.ShellLaunch(session.Settings.Tomlet, line)) return LaunchOutcome::Started;
  if (listPath) RemovePath(*listPath);
  return LaunchOutcome::ShellFailed;
}

// The selected rows a split can take, in list order.
std::vector<int> UsableSelectedRows(const FileList& list) {
  std::vector<int> rows;
  for (int row : SelectedRows(list)) {
    if (IsUsable(list.Rows[static_cast<std::size_t>(row)].Page)) rows.push_back(row);
  }
  return rows;
}

void EndRun(AppSession& session, Desktop& desktop) {
  session.Splitter.Run = 0;
  session.Splitter.RunFiles.clear();
  desktop.RefreshMenus();
  session.Splitter.DoneCount = 0;
}

bool SplitAllowed(const AppSession& session, int command) {
  return session.Splitter.Available && session.Splitter.Run == 0 && CommandEnabled(command, CurrentContext(session));
}

TextId OneFileFailureText(long status) {
  switch (status) {
    case 2: return TextId::SplitEncrypted;
    case 3: return TextId::SplitOnePage;
    case 4: return TextId::SplitCannotCreate;
    default: return TextId::SplitFailed;
  }
}

}  // namespace

void StartSplitter(AppSession& session, Desktop& desktop) {
  SplitterState& splitter = session.Splitter;
  const std::string& path = session.Settings.Tomlet;
  splitter.Version = path.empty() ? -1 : ReadSplitterVersion(path);
  splitter.Available = splitter.Version >= kSplitterMinimumVersion;
  ShowSplitterControls(session, desktop);
}

void RunGeneralSetting(AppSession& session, Desktop& desktop) {
  AppSettings& settings = session.Settings;
  GeneralSettingsValues values;
  values.OrgFileDelete = settings.OrgFileDelete;
  values.NewFileRecord = settings.NewFileRecord;
  values.NewFileOpen = settings.NewFileOpen;
  values.FileBackUp = settings.FileBackUp;
  values.PageDisp = settings.PageDisp;
  values.SplitterPath = settings.Tomlet;

  int acceptedVersion = -1;
  const auto validate = [&](const GeneralSettingsValues& typed) {
    // The switches are kept at every press of OK, even when the path keeps the dialog open.
    settings.OrgFileDelete = typed.OrgFileDelete;
    settings.NewFileRecord = typed.NewFileRecord;
    settings.NewFileOpen = typed.NewFileOpen;
    settings.FileBackUp = typed.FileBackUp;
    settings.PageDisp = typed.PageDisp;
    const std::string& path = typed.SplitterPath;
    if (path.empty()) return true;
    if (!EndsWithIgnoringCase(path, "tomlet.exe")) {
      Show(session, desktop, TextId::SplitterNotTomlet, MessageIcon::Error);
      return false;
    }
    const int version = ReadSplitterVersion(path);
    if (version < 0) {
      Show(session, desktop, TextId::SplitterNotFound, MessageIcon::Error);
      return false;
    }
    if (version < kSplitterMinimumVersion) {
      Show(session, desktop, TextId::SplitterVersionTooLow, MessageIcon::Information);
      return false;
    }
    if (version < kSplitterListFileVersion) Show(session, desktop, TextId::SplitterVersionOld, MessageIcon::Information);
    acceptedVersion = version;
    return true;
  };
  if (!desktop.EditGeneralSettings(values, validate)) return;

  settings.Tomlet = values.SplitterPath;
  if (settings.Tomlet.empty()) {
    session.Splitter.Available = false;
  } else {
    session.Splitter.Available = true;
    session.Splitter.Version = acceptedVersion;
  }
  ShowSplitterControls(session, desktop);
}

FileDialogRequest SplitterFileDialogRequest(bool japanese) {
  FileDialogRequest request;
  request.Title = std::string(Text(TextId::SplitterRefTitle, japanese));
  request.FilterName = "Tomlet.exe";
  request.FilterPattern = "Tomlet.exe";
  request.DefaultExtension = "exe";
  request.MustExist = true;
  return request;
}

void RunSplitPageInput(AppSession& session, Desktop& desktop) {
  if (!SplitAllowed(session, kCmdSplitPageInput)) return;
  const std::vector<int> rows = SelectedRows(session.List);
  if (rows.size() != 1) return;
  if (!ExecutablePresent(session, desktop, TextId::SplitterNotFound)) return;
  const std::string path = session.List.Rows[static_cast<std::size_t>(rows.front())].Path;
  if (Launch(session, desktop, SplitLaunch::PageInput, path) == LaunchOutcome::ShellFailed) {
    Show(session, desktop, TextId::SplitterCantFind, MessageIcon::Error);
  }
}

void RunSplitAll(AppSession& session, Desktop& desktop) {
  if (!SplitAllowed(session, kCmdSplitAll)) return;
  const std::vector<int> usable = UsableSelectedRows(session.List);
  if (usable.empty()) return;
  const ListCounts counts = CountRowClasses(session.List);

  if (session.Splitter.Version >= kSplitterRunVersion && counts.s > 1) {
    MessageRequest question;
    question.Text = std::string(Text(TextId::SplitAllQuestion, session.Japanese));
    question.Icon = MessageIcon::Question;
    question.Buttons = MessageButtons::YesNo;
    if (desktop.ShowMessage(question) != MessageAnswer::Yes) return;
    if (!ExecutablePresent(session, desktop, TextId::SplitterNotFound)) return;
    SplitterState& splitter = session.Splitter;
    splitter.RunFiles.clear();
    for (const int row : usable) splitter.RunFiles.push_back(session.List.Rows[static_cast<std::size_t>(row)].Path);
    splitter.Run = static_cast<int>(splitter.RunFiles.size());
    splitter.DoneCount = 0;
    const std::string first = splitter.RunFiles.front();
    const LaunchOutcome outcome = Launch(session, desktop, SplitLaunch::RunFile, first);
    desktop.RefreshMenus();
    if (outcome == LaunchOutcome::Started) return;
    if (outcome == LaunchOutcome::ShellFailed) {
      Show(session, desktop,
           UsesListFile(session.Splitter.Version) ? TextId::SplitterCantFindRun : TextId::SplitterCantFind,
           MessageIcon::Error);
    }
    EndRun(session, desktop);
    return;
  }

  if (!ExtractRuleMet(counts)) return;
  if (!ExecutablePresent(session, desktop, TextId::SplitterNotFoundOneFile)) return;
  if (Launch(session, desktop, SplitLaunch::AllPages, session.List.Rows[static_cast<std::size_t>(usable.front())].Path) ==
      LaunchOutcome::ShellFailed) {
    Show(session, desktop, TextId::SplitterCantFind, MessageIcon::Error);
  }
}

void HandleSplitterNotify(AppSession& session, Desktop& desktop, long status) {
  SplitterState& splitter = session.Splitter;
  splitter.DoneCount += 1;
  if (splitter.Run == 0) return;
  if (status == -2) {
    Show(session, desktop, TextId::SplitCanceled, MessageIcon::Information, true, true);
    EndRun(session, desktop);
    return;
  }
  if (status != 0 && status != 1 && splitter.Run > 0) splitter.Run = -splitter.Run;

  const auto next = static_cast<std::size_t>(splitter.DoneCount);
  if (next < splitter.RunFiles.size()) {
    const std::string path = splitter.RunFiles[next];
    switch (Launch(session, desktop, SplitLaunch::RunFile, path)) {
      case LaunchOutcome::Started:
        return;
      case LaunchOutcome::ShellFailed: {
        MessageRequest request;
        request.Text = std::string(Text(TextId::SplitterCantFindRun, session.Japanese));
        request.StayOnTop = true;
        desktop.ShowMessage(request);
        break;
      }
      case LaunchOutcome::NoListFile:
        break;
    }
    EndRun(session, desktop);
    return;
  }

  if (splitter.Run > 0) {
    Show(session, desktop, TextId::SplitDone, MessageIcon::Information, true, true);
  } else if (splitter.Run == -1) {
    Show(session, desktop, OneFileFailureText(status), MessageIcon::Error, true, true);
  } else {
    Show(session, desktop, TextId::SplitFailedSome, MessageIcon::Error, true, true);
  }
  EndRun(session, desktop);
}

}  // namespace folvex
