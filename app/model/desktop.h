// The seam between the application's logic and the window system. The logic (file list
// commands, jobs, security jobs, the splitter launch) asks for everything it needs from the user or
// the screen through this interface; the Win32 program implements it with real windows and
// dialogs, tests with a scripted fake. Every string is UTF-8.
//
// It sits in app/model, the lowest layer of the application, so that app/commands, app/jobs and
// app/splitter all reach it without depending on one another; the model itself never calls it.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "engine/core/job_control.h"
#include "engine/core/job_settings.h"

namespace folvex {

enum class MessageIcon { Information, Error, Question };
enum class MessageButtons { Ok, OkCancel, YesNo };
enum class MessageAnswer { Ok, Cancel, Yes, No };
// The button Enter presses: the first (Ok, Yes), or the second (Cancel, No) for a question whose
// Yes should not be taken by accident.
enum class MessageDefaultButton { First, Second };

struct MessageRequest {
  std::string Text;
  std::string Caption = "Folvex";  // the splitter's run messages use "Tomlet"
  MessageIcon Icon = MessageIcon::Error;
  MessageButtons Buttons = MessageButtons::Ok;
  MessageDefaultButton DefaultButton = MessageDefaultButton::First;
  bool StayOnTop = false;  // kept above every other window (the splitter run's messages)
};

// A file-open or file-save dialog. Empty texts leave the system's defaults.
struct FileDialogRequest {
  std::string Title;
  std::string FilterName;        // "pdf(*.pdf)", "Tomlet.exe"
  std::string FilterPattern;     // "*.pdf", "Tomlet.exe"
  std::string DefaultExtension;  // "pdf", "exe"
  std::string InitialFolder;
  std::string InitialName;
  bool MustExist = false;           // open: only existing files
  bool AskBeforeOverwrite = false;  // save: ask before replacing an existing file
};

// The values of the security dialog, in and out (the dialog edits a copy and returns it on OK).
struct SecurityDialogValues {
  std::string OpenPassword;   // at most 31 characters
  std::string OwnerPassword;  // at most 31 characters
  bool Print = false;
  bool Modify = false;
  bool Copy = false;
  bool AddAnnotations = false;
  bool SaveInFolder = false;  // bSecFolder
  std::string OutputFolder;
};

enum class PasswordDialogMode { Engine = 0, Remove = 1 };

struct PasswordRequest {
  PasswordDialogMode Mode = PasswordDialogMode::Engine;
  std::string FileName;  // shown under the prompt
};

// The switches and the splitter path of the General Setting dialog. Validating the splitter path
// belongs to the logic: the dialog calls Validate on OK and stays open while it answers false.
struct GeneralSettingsValues {
  bool OrgFileDelete = true;
  bool NewFileRecord = true;
  bool NewFileOpen = false;
  bool FileBackUp = false;
  bool PageDisp = false;
  std::string SplitterPath;
};

// A document job run behind the modal progress dialog: Run is called once on the worker thread
// with the job's control (cancel flag, progress label and sink, password prompt) and its result is
// the dialog's result.
struct JobRequest {
  int JobKind = 0;             // 0 extract, 1 merge, 2 set security, 3 remove security
  std::string OperationWord;   // "Extract", "Merge", "Merge(S)", "Encrypt", "Decrypt"
  std::string Title;           // the dialog's caption in the interface language
  std::function<int(JobControl& control)> Run;
  // What the password dialog shows when the driver asks for a password; called while the driver
  // waits for the answer. Empty: the engine mode without a file name.
  std::function<PasswordRequest()> PasswordQuestion;
};

// What the toolbar shows besides its fixed buttons.
struct ToolbarState {
  std::string UndoTooltip;
  std::string RedoTooltip;
  bool SplitButtonsVisible = false;
};

class Desktop {
 public:
  virtual ~Desktop() = default;

  // Message box brought to the foreground.
  virtual MessageAnswer ShowMessage(const MessageRequest& request) = 0;

  // Common dialogs and the folder browser; nothing when the user cancels.
  virtual std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) = 0;
  virtual std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) = 0;
  virtual std::optional<std::string> BrowseForFolder(const std::string& title, const std::string& initialFolder) = 0;

  // The program's own dialogs, data in and data out; nothing (or false) when cancelled.
  virtual std::optional<std::string> AskPageRanges() = 0;
  virtual bool EditSecurity(SecurityDialogValues& values) = 0;
  virtual std::optional<std::string> AskPassword(const PasswordRequest& request) = 0;
  virtual bool EditGeneralSettings(GeneralSettingsValues& values,
                                   const std::function<bool(const GeneralSettingsValues&)>& validate) = 0;
  virtual bool EditFileSettings(OutputSettings& settings) = 0;
  // The Edit File Name dialog, starting with path; its browse button reads and updates inputFolder.
  virtual std::optional<std::string> EditFileName(const std::string& path, std::string& inputFolder) = 0;
  virtual void ShowAbout() = 0;

  // The shell: open a file with its associated program, start a program with parameters. True on
  // success.
  virtual bool ShellOpen(const std::string& path) = 0;
  virtual bool ShellLaunch(const std::string& program, const std::string& parameters) = 0;

  // Runs the job behind the modal progress dialog and returns its result. The dialog starts the
  // worker (StartJobWorker of app/jobs) when it opens and closes when the worker has finished;
  // the control's password prompt asks AskPassword with the request's PasswordQuestion.
  virtual int RunJob(const JobRequest& request) = 0;

  // The main window: the list has changed (redraw it from the model), a row to scroll into view,
  // the keyboard focus to the list, the status bar text, the wait cursor, the foreground.
  virtual void ListChanged() = 0;
  virtual void ScrollRowIntoView(int row) = 0;
  virtual void FocusList() = 0;
  virtual void SetStatusText(const std::string& text) = 0;
  virtual void SetWaitCursor(bool on) = 0;
  virtual void BringToForeground() = 0;

  // Menu and toolbar: re-evaluate the menu's enabled items, show or hide the split items, update
  // the toolbar's tooltips and split buttons.
  virtual void RefreshMenus() = 0;
  virtual void SetSplitterMenuItems(bool present) = 0;
  virtual void RefreshToolbar(const ToolbarState& state) = 0;
};

}  // namespace folvex
