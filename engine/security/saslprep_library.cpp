#include "engine/security/saslprep_library.h"

#ifdef _WIN32
#include <windows.h>

#include <climits>
#else
#include <idn-free.h>
#include <stringprep.h>
#endif

namespace folvex {

#ifdef _WIN32

namespace {

// RFC 3454 table C.1.2, mapped to SPACE first as libidn does (U+200B is also in table B.1).
bool IsNonAsciiSpace(wchar_t c) {
  return c == 0x00A0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200B) || c == 0x202F || c == 0x205F || c == 0x3000;
}

// RFC 3454 table B.1.
bool IsMappedToNothing(wchar_t c) {
  return c == 0x00AD || c == 0x034F || c == 0x1806 || (c >= 0x180B && c <= 0x180D) || (c >= 0x200B && c <= 0x200D) ||
         c == 0x2060 || (c >= 0xFE00 && c <= 0xFE0F) || c == 0xFEFF;
}

bool ToWide(std::string_view utf8, std::wstring& wide) {
  const int size = static_cast<int>(utf8.size());
  const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
  if (units <= 0) return false;
  wide.resize(static_cast<std::size_t>(units));
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), units) == units;
}

bool ToUtf8(const std::wstring& wide, std::string& utf8) {
  const int size = static_cast<int>(wide.size());
  const int bytes = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return false;
  utf8.resize(static_cast<std::size_t>(bytes));
  return WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), size, utf8.data(), bytes, nullptr,
                             nullptr) == bytes;
}

// NFKC; the first length is an estimate, a too small buffer is answered with a better one.
bool NormaliseKc(const std::wstring& in, std::wstring& out) {
  const int size = static_cast<int>(in.size());
  int length = NormalizeString(NormalizationKC, in.data(), size, nullptr, 0);
  for (int attempt = 0; attempt < 4 && length > 0; ++attempt) {
    out.resize(static_cast<std::size_t>(length));
    const int written = NormalizeString(NormalizationKC, in.data(), size, out.data(), length);
    if (written > 0) {
      out.resize(static_cast<std::size_t>(written));
      return true;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
    length = -written;
  }
  return false;
}

}  // namespace

bool SaslPrep(std::string_view utf8, std::string& out) {
  out.clear();
  if (utf8.empty()) return true;
  if (utf8.size() > INT_MAX / 4) return false;
  std::wstring typed;
  if (!ToWide(utf8, typed)) return false;
  std::wstring mapped;
  for (wchar_t c : typed) {
    if (IsNonAsciiSpace(c)) {
      mapped.push_back(L' ');
    } else if (!IsMappedToNothing(c)) {
      mapped.push_back(c);
    }
  }
  if (mapped.empty()) return true;
  std::wstring normalised;
  return NormaliseKc(mapped, normalised) && ToUtf8(normalised, out);
}

#else

bool SaslPrep(std::string_view utf8, std::string& out) {
  // libidn reads a C string; U+0000 is prohibited anyway.
  if (utf8.find('\0') != std::string_view::npos) return false;
  const std::string in(utf8);
  char* prepared = nullptr;
  const int result = stringprep_profile(in.c_str(), &prepared, "SASLprep", static_cast<Stringprep_profile_flags>(0));
  const bool done = result == STRINGPREP_OK && prepared != nullptr;
  if (done) out.assign(prepared);
  idn_free(prepared);
  return done;
}

#endif

}  // namespace folvex
