#include "cli/console_job.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>

#include "app/text/texts.h"
#include "cli/failures.h"
#include "engine/core/open_file.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <termios.h>
#include <unistd.h>
#endif

namespace folvex::cli {

namespace {

std::atomic<std::atomic<int>*> CancelTarget{nullptr};

// The terminal's settings while a prompt has turned its echo off, for RestoreTerminal.
std::atomic<bool> EchoOff{false};
#ifdef _WIN32
DWORD SavedConsoleMode = 0;
#else
termios SavedTerminal{};
#endif

extern "C" void OnInterrupt(int) {
  if (std::atomic<int>* flag = CancelTarget.load()) flag->store(3);
}

bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
  return _isatty(_fileno(stream)) != 0;
#else
  return isatty(fileno(stream)) != 0;
#endif
}

void DrawBar(int percent, const std::string& label) {
  const int width = 30;
  const int filled = std::clamp(percent, 0, 100) * width / 100;
  std::fprintf(stderr, "\r[%s%s] %3d%% %-40.40s", std::string(static_cast<std::size_t>(filled), '#').c_str(),
               std::string(static_cast<std::size_t>(width - filled), ' ').c_str(), percent, label.c_str());
  std::fflush(stderr);
}

}  // namespace

void AddPasswordOptions(CLI::App& command, PasswordOptions& options) {
  command.add_option("--password", options.Password, "Password that opens the protected inputs")
      ->each([&options](const std::string&) { options.PasswordGiven = true; });
  command.add_option("--password-file", options.PasswordFile, "File whose first line is the password");
}

void AddOutputOptions(CLI::App& command, OutputOptions& options) {
  command.add_option("--output-dir", options.OutputDir, "Folder of the new files (default: beside each input)")
      ->check(CLI::ExistingDirectory);
  command.add_flag("--backup", options.Backup, "Keep an existing output file as NAME.bak");
  command.add_flag("--quiet", options.Quiet, "No progress bar and no closing message");
}

std::string PasswordBytes(const std::string& utf8) {
#ifdef _WIN32
  const std::wstring wide = Utf8ToWide(utf8);
  const int size = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), ansi.data(), size, nullptr, nullptr);
  return ansi;
#else
  return utf8;
#endif
}

bool PromptPassword(const std::string& prompt, std::string& password) {
  if (!IsTerminal(stdin)) return false;
  std::fputs(prompt.c_str(), stderr);
  std::fflush(stderr);
#ifdef _WIN32
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  GetConsoleMode(input, &mode);
  SavedConsoleMode = mode;
  EchoOff.store(true);
  SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  std::wstring line;
  wchar_t c = 0;
  DWORD read = 0;
  while (ReadConsoleW(input, &c, 1, &read, nullptr) && read == 1 && c != L'\r' && c != L'\n') line.push_back(c);
  SetConsoleMode(input, mode);
  EchoOff.store(false);
  password = WideToUtf8(line);
#else
  termios saved{};
  const bool haveTerminal = tcgetattr(STDIN_FILENO, &saved) == 0;
  if (haveTerminal) {
    SavedTerminal = saved;
    EchoOff.store(true);
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  std::getline(std::cin, password);
  if (haveTerminal) tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  EchoOff.store(false);
#endif
  std::fputc('\n', stderr);
  return true;
}

bool PasswordFileOpens(const PasswordOptions& options, bool japanese, std::ostream& err) {
  if (options.PasswordGiven || options.PasswordFile.empty()) return true;
  std::FILE* file = OpenFile(options.PasswordFile, "rb");
  if (file != nullptr) {
    std::fclose(file);
    return true;
  }
  ReportFailure(err, options.PasswordFile, TextId::CliPasswordFileUnreadable, InputReason(options.PasswordFile), japanese);
  return false;
}

PasswordResult ObtainPassword(const PasswordOptions& options, bool japanese, std::string& password) {
  if (options.PasswordGiven) {
    password = PasswordBytes(options.Password);
    return PasswordResult::Obtained;
  }
  if (!options.PasswordFile.empty()) {
    std::FILE* file = OpenFile(options.PasswordFile, "rb");
    if (file == nullptr) return PasswordResult::Unreadable;
    std::string line;
    for (int c = std::fgetc(file); c != EOF && c != '\n' && c != '\r'; c = std::fgetc(file)) line.push_back(static_cast<char>(c));
    std::fclose(file);
    password = PasswordBytes(line);
    return PasswordResult::Obtained;
  }
  std::string typed;
  if (!PromptPassword(std::string(Text(TextId::CliPasswordPrompt, japanese)), typed)) return PasswordResult::NoSource;
  password = PasswordBytes(typed);
  return PasswordResult::Obtained;
}

void RestoreTerminal() {
  if (!EchoOff.load()) return;
#ifdef _WIN32
  SetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), SavedConsoleMode);
#else
  tcsetattr(STDIN_FILENO, TCSANOW, &SavedTerminal);
#endif
}

ConsoleJob::ConsoleJob(JobControl& control, bool quiet) {
  DrawsBar = !quiet && IsTerminal(stderr);
  if (DrawsBar) control.ProgressSink = DrawBar;
  CancelTarget.store(&control.CancelFlag);
  PreviousInterrupt = std::signal(SIGINT, OnInterrupt);
}

ConsoleJob::~ConsoleJob() {
  std::signal(SIGINT, PreviousInterrupt == SIG_ERR ? SIG_DFL : PreviousInterrupt);
  CancelTarget.store(nullptr);
  if (DrawsBar) {
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
  }
}

}  // namespace folvex::cli
