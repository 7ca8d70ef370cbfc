#include "cli/windows_console.h"

#ifdef _WIN32

#include <windows.h>

#include <iostream>
#include <streambuf>
#include <string>

namespace folvex::cli {

namespace {

// Bytes of a UTF-8 sequence that starts with lead (1 for a stray byte, which is passed on).
std::size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xF0 && lead < 0xF8) return 4;
  if (lead >= 0xE0) return lead < 0xF0 ? 3 : 1;
  if (lead >= 0xC0) return 2;
  return 1;
}

class ConsoleBuffer final : public std::streambuf {
 public:
  explicit ConsoleBuffer(HANDLE console) : Console(console) {}

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    Pending.push_back(traits_type::to_char_type(c));
    if (Pending.size() >= 4096 || c == '\n' || c == '\r') Flush();
    return c;
  }

  std::streamsize xsputn(const char* text, std::streamsize count) override {
    Pending.append(text, static_cast<std::size_t>(count));
    Flush();
    return count;
  }

  int sync() override {
    Flush();
    return 0;
  }

 private:
  // Writes every complete character; an incomplete sequence at the end waits for its rest.
  void Flush() {
    std::size_t complete = 0;
    while (complete < Pending.size()) {
      const std::size_t length = SequenceLength(static_cast<unsigned char>(Pending[complete]));
      if (complete + length > Pending.size()) break;
      complete += length;
    }
    if (complete == 0) return;
    const int size = static_cast<int>(complete);
    const int units = MultiByteToWideChar(CP_UTF8, 0, Pending.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(units > 0 ? units : 0), L'\0');
    if (units > 0) MultiByteToWideChar(CP_UTF8, 0, Pending.data(), size, wide.data(), units);
    DWORD written = 0;
    WriteConsoleW(Console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    Pending.erase(0, complete);
  }

  HANDLE Console;
  std::string Pending;
};

void Route(std::ostream& stream, DWORD handleId) {
  HANDLE handle = GetStdHandle(handleId);
  DWORD mode = 0;
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) return;
  stream.flush();
  // Never freed: the stream writes through it until the process ends.
  stream.rdbuf(new ConsoleBuffer(handle));
}

}  // namespace

void UseConsoleText() {
  Route(std::cout, STD_OUTPUT_HANDLE);
  Route(std::cerr, STD_ERROR_HANDLE);
}

}  // namespace folvex::cli

#else

namespace folvex::cli {

void UseConsoleText() {}

}  // namespace folvex::cli

#endif
