#include "cli/console_job.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "app/text/texts.h"
#include "cli/failures.h"
#include "engine/core/open_file.h"
#include "engine/core/utf8.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/ioctl.h>
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

std::atomic<bool> PromptInterrupted{false};

extern "C" void OnPromptInterrupt(int) {
  PromptInterrupted.store(true);
  OnInterrupt(SIGINT);
}

bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
  return _isatty(_fileno(stream)) != 0;
#else
  return isatty(fileno(stream)) != 0;
#endif
}

// Columns of the terminal on stderr, COLUMNS when it does not say, else 80.
int TerminalColumns() {
#ifdef _WIN32
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) return info.srWindow.Right - info.srWindow.Left + 1;
#else
  winsize size{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
#endif
  if (const char* columns = std::getenv("COLUMNS")) {
    const int value = std::atoi(columns);
    if (value > 0) return value;
  }
  return 80;
}

// Columns a character takes: two for the wide scripts (CJK, kana, hangul, full-width forms).
int CharacterColumns(char32_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
                 (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6)
             ? 2
             : 1;
}

}  // namespace

std::string ProgressLine(int percent, std::string_view label, int columns) {
  percent = std::clamp(percent, 0, 100);
  const int room = std::max(columns - 1, 5);
  char number[8];
  std::snprintf(number, sizeof number, "%3d%%", percent);
  std::string line;
  // "[###   ] " takes a third of the room, at most 32 columns, when at least 10 are left for it.
  const int bar = std::min(room / 3, 32) - 3;
  if (bar >= 7) {
    const int filled = percent * bar / 100;
    line = "[" + std::string(static_cast<std::size_t>(filled), '#') + std::string(static_cast<std::size_t>(bar - filled), ' ') + "] ";
  }
  line += number;
  int used = static_cast<int>(line.size());
  if (used + 1 < room) {
    line += ' ';
    ++used;
    for (std::size_t i = 0; i < label.size();) {
      const Utf8Character character = FirstUtf8Character(label.substr(i));
      const std::size_t length = std::max<std::size_t>(character.Length, 1);  // a stray byte takes one column
      const int width = CharacterColumns(character.Code);
      if (used + width > room) break;
      line.append(label.substr(i, length));
      used += width;
      i += length;
    }
  }
  return line + std::string(static_cast<std::size_t>(room - used), ' ');
}

void AddPasswordOptions(CLI::App& command, PasswordOptions& options) {
  command.add_option("--password", options.Password, "Password that opens the protected inputs")
      ->each([&options](const std::string&) { options.PasswordGiven = true; });
  command.add_option("--password-file", options.PasswordFile, "File whose first line is the password (-: standard input)");
}

void AddOutputOptions(CLI::App& command, OutputOptions& options) {
  command.add_option("--output-dir", options.OutputDir, "Folder of the new files (default: beside each input)");
  command.add_flag("--backup", options.Backup, "Keep an existing output file as NAME.bak (other names: NAME.bak added)");
}

std::string PasswordBytes(const std::string& utf8, [[maybe_unused]] bool aes256) {
#ifdef _WIN32
  if (aes256) return utf8;
  const std::wstring wide = Utf8ToWide(utf8);
  const int size = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), ansi.data(), size, nullptr, nullptr);
  return ansi;
#else
  return utf8;
#endif
}

PromptResult PromptPassword(const std::string& prompt, std::string& password) {
  if (!IsTerminal(stdin)) return PromptResult::NoTerminal;
  password.clear();
  PromptInterrupted.store(false);
  // The prompt shows once the echo is off and Ctrl+C is caught, so that nothing typed after it is
  // echoed or lost.
  const auto showPrompt = [&prompt] {
    if (IsTerminal(stderr)) std::fputs("\r\033[K", stderr);  // over the progress bar
    std::fputs(prompt.c_str(), stderr);
    std::fflush(stderr);
  };
#ifdef _WIN32
  void (*previous)(int) = std::signal(SIGINT, OnPromptInterrupt);
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  GetConsoleMode(input, &mode);
  SavedConsoleMode = mode;
  EchoOff.store(true);
  SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  showPrompt();
  std::wstring line;
  wchar_t c = 0;
  DWORD read = 0;
  bool ended = false;
  while (!PromptInterrupted.load() && ReadConsoleW(input, &c, 1, &read, nullptr) && read == 1) {
    if (c == L'\r' || c == L'\n') {
      ended = true;
      break;
    }
    line.push_back(c);
  }
  // Ctrl+C ends the read before its handler has run on its own thread.
  for (int wait = 0; !ended && !PromptInterrupted.load() && wait < 20; ++wait) Sleep(10);
  SetConsoleMode(input, mode);
  EchoOff.store(false);
  std::signal(SIGINT, previous == SIG_ERR ? SIG_DFL : previous);
  password = WideToUtf8(line);
#else
  // Without SA_RESTART, so that Ctrl+C ends the read instead of waiting for the line.
  struct sigaction interrupt {}, previous {};
  interrupt.sa_handler = OnPromptInterrupt;
  sigemptyset(&interrupt.sa_mask);
  sigaction(SIGINT, &interrupt, &previous);
  termios saved{};
  const bool haveTerminal = tcgetattr(STDIN_FILENO, &saved) == 0;
  if (haveTerminal) {
    SavedTerminal = saved;
    EchoOff.store(true);
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  showPrompt();
  for (char c = 0; !PromptInterrupted.load();) {
    const ssize_t got = read(STDIN_FILENO, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0 || c == '\n') break;
    password.push_back(c);
  }
  if (haveTerminal) tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  EchoOff.store(false);
  sigaction(SIGINT, &previous, nullptr);
#endif
  std::fputc('\n', stderr);
  if (!PromptInterrupted.load()) return PromptResult::Answered;
  password.clear();
  return PromptResult::Cancelled;
}

PromptResult PromptNewPassword(const std::string& prompt, bool japanese, std::string& password, bool& mismatch) {
  mismatch = false;
  std::string again;
  PromptResult result = PromptPassword(prompt, password);
  if (result == PromptResult::Answered) result = PromptPassword(std::string(Text(TextId::CliPasswordAgain, japanese)), again);
  mismatch = result == PromptResult::Answered && again != password;
  return result;
}

bool ReadFirstLine(const std::string& path, std::string& line) {
  line.clear();
  if (path == "-") {
    std::getline(std::cin, line);
  } else {
    std::FILE* file = OpenFile(path, "rb");
    if (file == nullptr) return false;
    for (int c = std::fgetc(file); c != EOF && c != '\n'; c = std::fgetc(file)) line.push_back(static_cast<char>(c));
    std::fclose(file);
  }
  if (line.ends_with('\r')) line.pop_back();
  return true;
}

bool PasswordFileOpens(const PasswordOptions& options, bool japanese, std::ostream& err) {
  if (options.PasswordGiven || options.PasswordFile.empty() || options.PasswordFile == "-") return true;
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
    password = options.Password;
    return PasswordResult::Obtained;
  }
  if (!options.PasswordFile.empty()) {
    return ReadFirstLine(options.PasswordFile, password) ? PasswordResult::Obtained : PasswordResult::Unreadable;
  }
  switch (PromptPassword(std::string(Text(TextId::CliPasswordPrompt, japanese)), password)) {
    case PromptResult::Answered: return PasswordResult::Obtained;
    case PromptResult::Cancelled: return PasswordResult::Cancelled;
    case PromptResult::NoTerminal: break;
  }
  return PasswordResult::NoSource;
}

void RestoreTerminal() {
  if (!EchoOff.load()) return;
#ifdef _WIN32
  SetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), SavedConsoleMode);
#else
  tcsetattr(STDIN_FILENO, TCSANOW, &SavedTerminal);
#endif
}

ConsoleJob::ConsoleJob(JobControl& control, bool quiet, std::function<std::string(const std::string&)> relabel)
    : Control(control), Relabel(std::move(relabel)) {
  DrawsBar = !quiet && IsTerminal(stderr);
  if (DrawsBar) control.ProgressSink = [this](int percent, const std::string& label) { Draw(percent, label); };
  CancelTarget.store(&control.CancelFlag);
  PreviousInterrupt = std::signal(SIGINT, OnInterrupt);
}

void ConsoleJob::Draw(int percent, const std::string& label) {
  const auto now = std::chrono::steady_clock::now();
  if (Drawn && now - LastDraw < std::chrono::milliseconds(100)) return;
  Drawn = true;
  LastDraw = now;
  const std::string line = ProgressLine(percent, Relabel ? Relabel(label) : label, TerminalColumns());
  std::fputc('\r', stderr);
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}

ConsoleJob::~ConsoleJob() {
  Control.ProgressSink = nullptr;
  std::signal(SIGINT, PreviousInterrupt == SIG_ERR ? SIG_DFL : PreviousInterrupt);
  CancelTarget.store(nullptr);
  if (DrawsBar) {
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
  }
}

}  // namespace folvex::cli
