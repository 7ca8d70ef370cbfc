#include "engine/security/crypt_filters.h"

#include "engine/reading/scanners.h"

namespace folvex {

namespace {

// The value behind key at the outer level of [start, end), after whitespace; null when absent.
const Byte* ValueAt(std::string_view key, const Byte* start, const Byte* end) {
  int error = 0;
  const Byte* found = FindKey(key, start, end, error);
  if (found == nullptr) return nullptr;
  const Byte* p = found + key.size();
  if (SkipWhitespace(p, end, error) < 0) return nullptr;
  return p;
}

// The name at p without its slash; empty when p holds no name.
std::string_view NameAt(const Byte* p, const Byte* end) {
  if (p == nullptr || p >= end || *p != '/') return {};
  const Byte* q = p + 1;
  while (q < end && !IsDelimiter(*q)) ++q;
  return {reinterpret_cast<const char*>(p + 1), static_cast<std::size_t>(q - p - 1)};
}

bool MethodOfCfm(std::string_view cfm, CryptMethod& method) {
  if (cfm.empty() || cfm == "None") {
    method = CryptMethod::Identity;
  } else if (cfm == "V2") {
    method = CryptMethod::Rc4;
  } else if (cfm == "AESV2") {
    method = CryptMethod::Aes128;
  } else if (cfm == "AESV3") {
    method = CryptMethod::Aes256;
  } else {
    return false;
  }
  return true;
}

// The method of the filter named by key (/StmF, /StrF, /EFF); fallback when the key is absent.
bool MethodOfKey(std::string_view key, const Byte* start, const Byte* end, const SecurityParameters& p,
                 CryptMethod fallback, CryptMethod& method) {
  const Byte* value = ValueAt(key, start, end);
  if (value == nullptr) {
    method = fallback;
    return true;
  }
  const std::string_view name = NameAt(value, end);
  if (name.empty()) return false;
  if (name == "Identity") {
    method = CryptMethod::Identity;
    return true;
  }
  for (const auto& [filterName, filterMethod] : p.NamedFilters) {
    if (filterName == name) {
      method = filterMethod;
      return true;
    }
  }
  return false;
}

}  // namespace

bool ReadCryptFilters(const Byte* start, const Byte* end, SecurityParameters& p) {
  p.NamedFilters.clear();
  if (const Byte* cf = ValueAt("/CF", start, end); cf != nullptr && StartsWith(cf, end, "<<")) {
    const Byte* cfEnd = FindDictEnd(cf + 2, end);
    if (cfEnd == nullptr) return false;
    const Byte* q = cf + 2;
    int error = 0;
    while (q < cfEnd) {
      if (SkipWhitespace(q, cfEnd, error) < 0 || q >= cfEnd) break;
      const std::string_view name = NameAt(q, cfEnd);
      if (name.empty()) return false;
      q += 1 + name.size();
      if (SkipWhitespace(q, cfEnd, error) < 0 || !StartsWith(q, cfEnd, "<<")) return false;
      const Byte* filterEnd = FindDictEnd(q + 2, cfEnd);
      if (filterEnd == nullptr) return false;
      CryptMethod method = CryptMethod::Identity;
      if (!MethodOfCfm(NameAt(ValueAt("/CFM", q + 2, filterEnd), filterEnd), method)) return false;
      p.NamedFilters.emplace_back(std::string(name), method);
      q = filterEnd + 2;
    }
  }
  if (!MethodOfKey("/StmF", start, end, p, CryptMethod::Identity, p.StreamMethod)) return false;
  if (!MethodOfKey("/StrF", start, end, p, CryptMethod::Identity, p.StringMethod)) return false;
  return MethodOfKey("/EFF", start, end, p, p.StreamMethod, p.EmbeddedFileMethod);
}

CryptMethod NamedFilterMethod(const SecurityParameters& p, std::string_view name) {
  if (name.empty() || name == "Identity") return CryptMethod::Identity;
  for (const auto& [filterName, method] : p.NamedFilters) {
    if (filterName == name) return method;
  }
  return CryptMethod::Identity;
}

}  // namespace folvex
