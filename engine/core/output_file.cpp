#include "engine/core/output_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/core/open_file.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace folvex {

namespace fs = std::filesystem;

namespace {

fs::path PathOf(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string Utf8Of(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// Files this large are flushed on a second thread while they are read back.
constexpr unsigned long long kFlushAside = 4ull << 20;

// The staging files of the living StagedFile objects, for RemoveStagedFilesNow. A slot is taken
// (1) while its path is copied in, then live (2); only live slots are removed.
struct StagedSlot {
  std::atomic<int> State{0};
  int Handle = -1;
  char Path[4096] = {};
};
StagedSlot StagedSlots[64];

int RegisterStaged(const std::string& path, int handle) {
  if (path.size() >= sizeof StagedSlots[0].Path) return -1;
  for (int i = 0; i < static_cast<int>(std::size(StagedSlots)); ++i) {
    int expected = 0;
    if (!StagedSlots[i].State.compare_exchange_strong(expected, 1)) continue;
    std::memcpy(StagedSlots[i].Path, path.c_str(), path.size() + 1);
    StagedSlots[i].Handle = handle;
    StagedSlots[i].State.store(2);
    return i;
  }
  return -1;
}

void UnregisterStaged(int slot) {
  if (slot >= 0) StagedSlots[slot].State.store(0);
}

// Holds back the termination signals of this thread while a staging file is created and
// registered: one that arrived during the creation would otherwise be handled before the file is
// known to RemoveStagedFilesNow.
class TerminationSignalsHeld {
 public:
#ifdef _WIN32
  TerminationSignalsHeld() = default;
#else
  TerminationSignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&held, signal);
    pthread_sigmask(SIG_BLOCK, &held, &Before);
  }
  ~TerminationSignalsHeld() { pthread_sigmask(SIG_SETMASK, &Before, nullptr); }

 private:
  sigset_t Before;
#endif
};

// A name no other process picks: the process, the time and a counter, mixed.
std::string StagingName() {
  static std::atomic<unsigned long long> counter{0};
  unsigned long long x = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
#ifdef _WIN32
  x ^= static_cast<unsigned long long>(GetCurrentProcessId()) << 32;
#else
  x ^= static_cast<unsigned long long>(getpid()) << 32;
#endif
  x += 0x9E3779B97F4A7C15ull * ++counter;
  x ^= x >> 31;
  x *= 0xBF58476D1CE4E5B9ull;
  x ^= x >> 29;
  char name[32];
  std::snprintf(name, sizeof name, ".folvex-%08llx.part", x & 0xFFFFFFFFull);
  return name;
}

// The file a path names once symbolic links are followed (the path itself for anything else).
std::string FollowLinks(const std::string& path) {
  fs::path current = PathOf(path);
  for (int hop = 0; hop < 40; ++hop) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(current, error)) || error) break;
    const fs::path target = fs::read_symlink(current, error);
    if (error) break;
    current = target.is_absolute() ? target : current.parent_path() / target;
  }
  return Utf8Of(current);
}

std::string FolderPart(const std::string& path) {
  const fs::path folder = PathOf(path).parent_path();
  return folder.empty() ? std::string(".") : Utf8Of(folder);
}

std::string Joined(const std::string& folder, const std::string& name) { return Utf8Of(PathOf(folder) / PathOf(name)); }

#ifdef _WIN32

std::wstring Wide(const std::string& path) { return Utf8ToWide(path); }

int CreateExclusive(const std::string& path) {
  return _wopen(Wide(path).c_str(), _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}
bool WriteAll(int handle, const char* data, std::size_t size) {
  while (size > 0) {
    const unsigned part = static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30));
    const int written = _write(handle, data, part);
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}
bool SyncHandle(int handle) { return _commit(handle) == 0; }
void CloseHandleOf(int handle) { _close(handle); }
bool Unlink(const char* path) { return DeleteFileW(Wide(path).c_str()) != 0; }

// An existing output that is read-only, or not a file.
bool RefusedOutput(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  return (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0;
}

bool ReadBackHandle(int handle, unsigned long long size, const ReadBackCheck& check) {
  std::vector<Byte> bytes;
  try {
    bytes.resize(static_cast<std::size_t>(size) + 1);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (_lseeki64(handle, 0, SEEK_SET) != 0) return false;
  std::size_t read = 0;
  while (read < size) {
    const unsigned part = static_cast<unsigned>(std::min<unsigned long long>(size - read, 1u << 30));
    const int got = _read(handle, bytes.data() + read, part);
    if (got <= 0) return false;
    read += static_cast<std::size_t>(got);
  }
  bytes[read] = 0;
  return check(std::span<const Byte>(bytes.data(), read));
}

StoreResult Rename(const std::string& from, const std::string& to, const std::string& backup, ReplaceRule rule,
                   bool& backupMade) {
  const std::wstring source = Wide(from), target = Wide(to);
  if (rule == ReplaceRule::Never) {
    if (MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) return StoreResult::Done;
    const DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? StoreResult::NameTaken
                                                                       : StoreResult::RenameFailed;
  }
  if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
    // One step that keeps the replaced file's attributes and, when asked, the file itself.
    if (!backup.empty()) DeleteFileW(Wide(backup).c_str());
    if (ReplaceFileW(target.c_str(), source.c_str(), backup.empty() ? nullptr : Wide(backup).c_str(),
                     REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
      backupMade = !backup.empty();
      return StoreResult::Done;
    }
    return StoreResult::RenameFailed;
  }
  return MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
             ? StoreResult::Done
             : StoreResult::RenameFailed;
}

void KeepPermissions(int, const std::string&) {}
void FlushFolder(const std::string&) {}
bool FlushFileSystem(const std::string&) { return false; }

#else

int CreateExclusive(const std::string& path) {
  return open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}
bool WriteAll(int handle, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = write(handle, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}
bool SyncHandle(int handle) { return fdatasync(handle) == 0; }
void CloseHandleOf(int handle) { close(handle); }
bool Unlink(const char* path) { return unlink(path) == 0; }

// An existing output its user may not write (also one whose every write bit is off, which the
// superuser could write), or that is not a regular file.
bool RefusedOutput(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return false;
  if (!S_ISREG(status.st_mode)) return true;
  return access(path.c_str(), W_OK) != 0 || (status.st_mode & 0222) == 0;
}

// A small file is read into a buffer; a large one is mapped with one zero page behind a size that
// fills its last page. Either way the bytes are followed by a zero byte.
bool ReadBackHandle(int handle, unsigned long long size, const ReadBackCheck& check) {
  static const Byte empty[1] = {0};
  if (size == 0) return check(std::span<const Byte>(empty, 0));
  if (size < (256u << 10)) {
    thread_local std::vector<Byte> buffer;
    buffer.resize(static_cast<std::size_t>(size) + 1);
    std::size_t read = 0;
    while (read < size) {
      const ssize_t got = pread(handle, buffer.data() + read, static_cast<std::size_t>(size) - read, static_cast<off_t>(read));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      read += static_cast<std::size_t>(got);
    }
    buffer[read] = 0;
    return check(std::span<const Byte>(buffer.data(), read));
  }
  const auto page = static_cast<unsigned long long>(sysconf(_SC_PAGESIZE));
  const auto mapped = static_cast<std::size_t>((size / page + 1) * page);
  void* area = mmap(nullptr, mapped, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (area == MAP_FAILED) return false;
  void* file = mmap(area, static_cast<std::size_t>(size), PROT_READ, MAP_SHARED | MAP_FIXED, handle, 0);
  bool passed = false;
  if (file != MAP_FAILED) passed = check(std::span<const Byte>(static_cast<const Byte*>(file), static_cast<std::size_t>(size)));
  munmap(area, mapped);
  return passed;
}

// Keeps a backup of an existing output: a second name for the same file where the file system
// has them, else a copy.
bool MakeBackup(const std::string& output, const std::string& backup) {
  unlink(backup.c_str());
  if (link(output.c_str(), backup.c_str()) == 0) return true;
  std::error_code error;
  return fs::copy_file(PathOf(output), PathOf(backup), fs::copy_options::overwrite_existing, error) && !error;
}

StoreResult Rename(const std::string& from, const std::string& to, const std::string& backup, ReplaceRule rule,
                   bool& backupMade) {
  if (rule == ReplaceRule::Never) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return StoreResult::Done;
    if (errno == EEXIST) return StoreResult::NameTaken;
    if (errno != EINVAL && errno != ENOSYS) return StoreResult::RenameFailed;
    // A file system without the exclusive rename: a second name is made exclusively.
    if (link(from.c_str(), to.c_str()) != 0) return errno == EEXIST ? StoreResult::NameTaken : StoreResult::RenameFailed;
    unlink(from.c_str());
    return StoreResult::Done;
  }
  if (!backup.empty() && access(to.c_str(), F_OK) == 0) backupMade = MakeBackup(to, backup);
  return rename(from.c_str(), to.c_str()) == 0 ? StoreResult::Done : StoreResult::RenameFailed;
}

// A replaced output keeps its permission bits.
void KeepPermissions(int handle, const std::string& output) {
  struct stat status {};
  if (stat(output.c_str(), &status) == 0) fchmod(handle, status.st_mode & 07777);
}

void FlushFolder(const std::string& folder) {
  const int handle = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (handle < 0) return;
  fsync(handle);
  close(handle);
}

bool FlushFileSystem(const std::string& folder) {
  const int handle = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (handle < 0) return false;
  const bool flushed = syncfs(handle) == 0;
  close(handle);
  return flushed;
}

#endif

}  // namespace

bool PathExists(const std::string& path) {
  std::error_code error;
  return fs::exists(PathOf(path), error);
}

void RemovePath(const std::string& path) {
  std::error_code error;
  fs::remove(PathOf(path), error);
}

std::string BackupName(const std::string& output) {
  const std::size_t dot = output.size() >= 4 ? output.size() - 4 : std::string::npos;
  const bool threeLetterEnding = dot != std::string::npos && output[dot] == '.' &&
                                 output.find_first_of("/\\.", dot + 1) == std::string::npos && dot > 0 &&
                                 output[dot - 1] != '/' && output[dot - 1] != '\\';
  return threeLetterEnding ? output.substr(0, dot) + ".bak" : output + ".bak";
}

StagedFile::StagedFile(const std::string& path) : Target(FollowLinks(path)) {
  if (RefusedOutput(Target)) return;
  const std::string folder = FolderPart(Target);
  [[maybe_unused]] const TerminationSignalsHeld held;
  for (int attempt = 0; attempt < 100 && Handle < 0; ++attempt) {
    const std::string name = Joined(folder, StagingName());
    Handle = CreateExclusive(name);
    if (Handle >= 0) {
      Staging = name;
    } else if (errno != EEXIST) {
      return;
    }
  }
  if (Handle >= 0) Registration = RegisterStaged(Staging, Handle);
}

StagedFile::~StagedFile() { Discard(); }

bool StagedFile::Write(std::string_view bytes) {
  if (Handle < 0 || Failed) return false;
  if (!WriteAll(Handle, bytes.data(), bytes.size())) Failed = true;
  Size += bytes.size();
  return !Failed;
}

bool StagedFile::FlushToDisk() { return Handle >= 0 && !Failed && SyncHandle(Handle); }

bool StagedFile::ReadBack(const ReadBackCheck& check) {
  if (!check) return true;
  return Handle >= 0 && !Failed && ReadBackHandle(Handle, Size, check);
}

StoreResult StagedFile::PutInPlace(const StoreOptions& options) {
  if (Staging.empty()) return StoreResult::CannotCreate;
  if (Failed) return StoreResult::WriteFailed;
  // Closed at the first attempt; a later one (under another name) renames the closed file.
  if (Handle >= 0) {
    if (options.Rule == ReplaceRule::Replace) KeepPermissions(Handle, Target);
    CloseHandleOf(Handle);
    Handle = -1;
  }
  const StoreResult result = Rename(Staging, Target, options.BackupPath, options.Rule, Backup);
  if (result == StoreResult::Done) {
    UnregisterStaged(Registration);
    Registration = -1;
    Staging.clear();
  }
  return result;
}

StoreResult StagedFile::Commit(const StoreOptions& options) {
  if (Handle < 0) return StoreResult::CannotCreate;
  if (Failed) return StoreResult::WriteFailed;
  bool flushed = false;
  bool readBack = false;
  if (Size >= kFlushAside && options.ReadBack) {
    std::thread flusher([this, &flushed] { flushed = FlushToDisk(); });
    readBack = ReadBack(options.ReadBack);
    flusher.join();
  } else {
    flushed = FlushToDisk();
    readBack = flushed && ReadBack(options.ReadBack);
  }
  if (!flushed) return StoreResult::WriteFailed;
  if (!readBack) return StoreResult::ReadBackFailed;
  const StoreResult result = PutInPlace(options);
  if (result == StoreResult::Done) FlushFolder(FolderPart(Target));
  return result;
}

void StagedFile::Discard() {
  if (Handle >= 0) {
    CloseHandleOf(Handle);
    Handle = -1;
  }
  if (!Staging.empty()) Unlink(Staging.c_str());
  UnregisterStaged(Registration);
  Registration = -1;
  Staging.clear();
}

StoreResult StoreFile(const std::string& path, std::string_view bytes, const StoreOptions& options) {
  StagedFile file(path);
  if (!file.IsOpen()) return StoreResult::CannotCreate;
  if (!file.Write(bytes)) return StoreResult::WriteFailed;
  return file.Commit(options);
}

void FlushFolderOf(const std::string& path) { FlushFolder(FolderPart(FollowLinks(path))); }

bool FlushFileSystemOf(const std::string& path) { return FlushFileSystem(FolderPart(FollowLinks(path))); }

void RemoveStagedFilesNow() {
  for (StagedSlot& slot : StagedSlots) {
    if (slot.State.load() != 2) continue;
#ifdef _WIN32
    // An open file cannot be deleted here: the job's handle goes first.
    _close(slot.Handle);
#endif
    Unlink(slot.Path);
  }
}

}  // namespace folvex
