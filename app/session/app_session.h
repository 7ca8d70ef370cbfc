// What the application holds for the life of the main window: the file list, its history, the
// settings, the sort toggles and the companion splitter's state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/session/menu_state.h"
#include "app/session/job_drivers.h"
#include "app/model/file_list.h"
#include "app/model/history.h"
#include "app/model/list_order.h"
#include "app/model/settings_file.h"

namespace folvex {

struct SplitterState {
  bool Available = false;
  int Version = -1;
  int Run = 0;  // nonzero while a run over several files is active
  // The files of the current run, taken from the selection at its start: the selection may change
  // while the run goes on.
  std::vector<std::string> RunFiles;
  int DoneCount = 0;              // notices received in the current run
  bool LanguageForced = false;    // "/jp" or "/us" was given; passed on to the splitter
  std::uint64_t NotifyWindow = 0; // the main window's handle, given to the splitter in decimal
};

// The passwords of the run; never saved. OpenPassword and OwnerPassword are the security dialog's
// (OwnerPassword also takes every text typed in the password dialog); RememberedPassword is the
// last password that opened a protected input, handed from one job to the next.
struct RunPasswords {
  std::string OpenPassword;
  std::string OwnerPassword;
  std::string RememberedPassword;
};

struct AppSession {
  bool Japanese = false;  // the interface language; also List.Japanese
  std::string StartDirectory;
  FileList List;
  History Undo;
  AppSettings Settings;
  SortToggles Sort;
  SplitterState Splitter;
  PageCounter Counter = CountPagesOfFile;
  RunPasswords Passwords;
  JobDrivers Drivers;
};

// A session for the interface language, started in startDirectory, with the history allocated
// (or switched off when it cannot be) and the built-in settings.
void StartSession(AppSession& session, bool japanese, const std::string& startDirectory);

// The counts and counters the enabling rules read, as they are now.
CommandContext CurrentContext(const AppSession& session);

}  // namespace folvex
