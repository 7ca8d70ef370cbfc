#include "engine/core/termination.h"

#include <atomic>
#include <csignal>

#include "engine/core/output_file.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace folvex {

namespace {

std::atomic<void (*)()> Restore{nullptr};

void CleanUp() {
  RemoveStagedFilesNow();
  if (void (*restore)() = Restore.load()) restore();
}

extern "C" void OnSignal(int signal) {
  CleanUp();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

#ifdef _WIN32
// Ctrl+C comes as SIGINT; every other console event ends the process once this returns.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT) CleanUp();
  return FALSE;
}
#endif

}  // namespace

void CleanUpOnTermination(void (*restore)()) {
  Restore.store(restore);
#ifdef _WIN32
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
#else
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, OnSignal);
#endif
}

}  // namespace folvex
