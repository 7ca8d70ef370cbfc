#include "cli/standard_streams.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include "app/text/texts.h"
#include "cli/failures.h"
#include "engine/core/open_file.h"
#include "engine/core/output_file.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace folvex::cli {

namespace {

namespace fs = std::filesystem;

constexpr const char* kInputName = "stdin.pdf";
constexpr const char* kOutputName = "stdout.pdf";

// The folder of the living StreamFiles and its files, kept as plain bytes for the signal handler.
char StreamPaths[3][4096];

std::string Utf8Of(const fs::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

fs::path PathOf(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

void SetStreamPath(int index, const std::string& path) {
  std::snprintf(StreamPaths[index], sizeof StreamPaths[index], "%s", path.c_str());
}

void SetBinary([[maybe_unused]] std::FILE* stream) {
#ifdef _WIN32
  _setmode(_fileno(stream), _O_BINARY);
#endif
}

bool StdinIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stdin)) != 0;
#else
  return isatty(STDIN_FILENO) != 0;
#endif
}

// Copies from one stream to the other; false when a read or a write failed.
bool Copy(std::FILE* from, std::FILE* to) {
  char buffer[1 << 16];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, from)) > 0;) {
    if (std::fwrite(buffer, 1, n, to) != n) return false;
  }
  return std::ferror(from) == 0 && std::fflush(to) == 0;
}

}  // namespace

StreamFiles::~StreamFiles() {
  if (Folder.empty()) return;
  std::error_code error;
  fs::remove_all(PathOf(Folder), error);
  for (char* path : StreamPaths) path[0] = 0;
}

bool StreamFiles::MakeFolder() {
  std::error_code error;
  const fs::path temporary = fs::temp_directory_path(error);
  if (error) return false;
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "folvex-%08x", static_cast<unsigned>(random()));
    const fs::path folder = temporary / name;
    if (!fs::create_directory(folder, error)) continue;
    fs::permissions(folder, fs::perms::owner_all, error);
    Folder = Utf8Of(folder);
    SetStreamPath(0, Folder);
    return true;
  }
  return false;
}

bool StreamFiles::Prepare(std::vector<std::string>& inputs, std::string& output, const PasswordOptions& password,
                          bool japanese, std::ostream& err) {
  const auto fromStdin = std::count(inputs.begin(), inputs.end(), "-");
  if (fromStdin > 1 || (fromStdin == 1 && password.PasswordFile == "-")) {
    ReportFailure(err, "-", TextId::CliStdinOnce, "", japanese);
    return false;
  }
  if (fromStdin == 0 && output != "-") return true;
  errno = 0;
  if (!MakeFolder()) {
    ReportFailure(err, "-", fromStdin == 1 ? TextId::CliStdinUnreadable : TextId::CliStdoutFailed,
                  SystemReason(errno != 0 ? errno : EIO), japanese);
    return false;
  }
  if (output == "-") {
    OutputFile = Folder + "/" + kOutputName;
    SetStreamPath(2, OutputFile);
    output = OutputFile;
  }
  if (fromStdin == 0) return true;

  // A terminal gives no PDF file: waiting for one would only look like a hang.
  if (StdinIsTerminal()) {
    ReportFailure(err, "-", TextId::CliStdinUnreadable, "", japanese);
    return false;
  }
  const std::string inputFile = Folder + "/" + kInputName;
  SetStreamPath(1, inputFile);
  errno = 0;
  std::FILE* file = OpenFile(inputFile, "wb");
  SetBinary(stdin);
  const bool copied = file != nullptr && Copy(stdin, file);
  if (file == nullptr || std::fclose(file) != 0 || !copied) {
    ReportFailure(err, "-", TextId::CliStdinUnreadable, SystemReason(errno != 0 ? errno : EIO), japanese);
    return false;
  }
  std::replace(inputs.begin(), inputs.end(), std::string("-"), inputFile);
  return true;
}

bool StreamFiles::Deliver(bool japanese, std::ostream& err) {
  if (OutputFile.empty()) return true;
  errno = 0;
  std::FILE* file = OpenFile(OutputFile, "rb");
  SetBinary(stdout);
#ifndef _WIN32
  // A reader that goes away makes the copy fail instead of ending the program with the files left.
  void (*previous)(int) = std::signal(SIGPIPE, SIG_IGN);
#endif
  const bool copied = file != nullptr && Copy(file, stdout);
#ifndef _WIN32
  std::signal(SIGPIPE, previous);
#endif
  if (file != nullptr) std::fclose(file);
  if (!copied) ReportFailure(err, "-", TextId::CliStdoutFailed, SystemReason(errno != 0 ? errno : EIO), japanese);
  return copied;
}

void RemoveStreamFilesNow() {
  std::remove(StreamPaths[1]);
  std::remove(StreamPaths[2]);
  std::remove(StreamPaths[0]);
}

}  // namespace folvex::cli
