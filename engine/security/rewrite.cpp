#include "engine/security/rewrite.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "engine/core/document_texts.h"
#include "engine/core/large_buffers.h"
#include "engine/reading/header_lines.h"
#include "engine/reading/pdf_strings.h"
#include "engine/reading/repair.h"
#include "engine/reading/scanners.h"
#include "engine/reading/stream_extent.h"
#include "engine/reading/xref.h"
#include "engine/reading/open_document.h"
#include "engine/reading/xref_streams.h"
#include "engine/security/adbe_extension.h"
#include "engine/security/crypt_data.h"
#include "engine/security/crypt_filter_entries.h"
#include "engine/security/crypt_filters.h"
#include "engine/security/standard_handler.h"

namespace folvex {

namespace {

// Bytes [From, To) of a stream dictionary written as Text instead.
struct DictionaryEdit {
  const Byte* From;
  const Byte* To;
  std::string Text;
};

// The PDF implementation limit on indirect objects; a table that claims more is not written.
constexpr int kHighestWritableNumber = 8388607;

void AppendFormat(std::string& out, const char* format, ...) {
  char text[160];
  va_list arguments;
  va_start(arguments, format);
  const int length = std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  if (length > 0) out.append(text, static_cast<std::size_t>(std::min<int>(length, sizeof text - 1)));
}

void Append(std::string& out, const Byte* from, const Byte* to) {
  out.append(reinterpret_cast<const char*>(from), static_cast<std::size_t>(to - from));
}

std::string_view TokenAt(const Byte* p, const Byte* limit) {
  const Byte* q = p;
  while (q < limit && !IsDelimiter(*q)) ++q;
  return {reinterpret_cast<const char*>(p), static_cast<std::size_t>(q - p)};
}

// True when "number generation R" stands somewhere in [begin, end) other than as the value of an
// /Info or /Root key (the keys by which trailers and cross-reference streams name objects). A
// reference inside stream data counts too: that only keeps an object that could have gone.
bool ReferencedByAnObject(const Byte* begin, const Byte* end, int number, int generation) {
  for (const Byte* r = begin; r < end;) {
    r = static_cast<const Byte*>(std::memchr(r, 'R', static_cast<std::size_t>(end - r)));
    if (r == nullptr) return false;
    const Byte* p = r++;
    if (r < end && !IsDelimiter(*r)) continue;
    auto readBack = [&](long long& value) {
      const Byte* digitsEnd = p;
      while (p > begin && IsWhitespace(p[-1])) --p;
      if (p == digitsEnd) return false;
      digitsEnd = p;
      while (p > begin && IsDigit(p[-1]) && digitsEnd - p < 10) --p;
      if (p == digitsEnd || (p > begin && !IsDelimiter(p[-1]))) return false;
      value = 0;
      for (const Byte* d = p; d < digitsEnd; ++d) value = value * 10 + (*d - '0');
      return true;
    };
    long long foundGeneration = 0, foundNumber = 0;
    if (!readBack(foundGeneration) || !readBack(foundNumber)) continue;
    if (foundNumber != number || foundGeneration != generation) continue;
    while (p > begin && IsWhitespace(p[-1])) --p;
    if (p - begin >= 5 && (std::memcmp(p - 5, "/Info", 5) == 0 || std::memcmp(p - 5, "/Root", 5) == 0)) continue;
    return true;
  }
  return false;
}

// The trailer's information dictionary is made afresh in its place only when it is a plain
// dictionary that nothing but a trailer names; anything else is part of the document and stays.
bool InformationIsReplaceable(const FileImage& image, const XrefTable& table, int catalogNumber, int infoNumber,
                              int infoGeneration) {
  if (infoNumber == catalogNumber) return false;
  int error = 0;
  const std::int64_t offset = LookupObjectOffset(table, infoNumber, error);
  if (offset <= 0) return true;
  const Byte* body = LocateObject(image.Begin(), image.End(), offset, infoNumber, error);
  // An object that is not where the table says holds nothing to keep.
  if (body == nullptr) return true;
  if (!StartsWith(body, image.End(), "<<")) return false;
  const Byte* after = FindDictEnd(body + 2, image.End());
  if (after == nullptr) return false;
  after += 2;
  if (SkipWhitespace(after, image.End(), error) >= 0 && StartsWith(after, image.End(), "stream")) return false;
  return !ReferencedByAnObject(image.Begin(), image.End(), infoNumber, infoGeneration);
}

struct Rewriter {
  EngineState& State;
  const FileImage& Image;
  const Byte* Begin;
  const Byte* End;
  const XrefTable& Table;
  std::span<const Byte> FileKey;
  bool Protect;
  const std::unordered_set<int>* PlainObjects;  // objects that hold no protected data
  std::string Out;
  std::vector<Byte> Scratch;
  std::vector<Byte> Crypted;
  std::vector<Byte> StreamBytes;
  IvSequence Ivs = MakeIvSequence();
  std::unordered_map<int, long long> PendingLengths;  // length object -> the stream length it holds
  std::vector<long long> Offsets;                // every object offset, ascending

  int Fail(int code) {
    State.LastErrorCode = code;
    return code;
  }

  // bytes encrypted or decrypted in place under method.
  void CryptInPlace(CryptMethod method, const ObjectCrypt& key, std::vector<Byte>& bytes) {
    if (method == CryptMethod::Identity) return;
    CryptBytes(method, key, FileKey, Protect, bytes, Crypted, Ivs);
    bytes.swap(Crypted);
  }

  CryptMethod StringMethod(const ObjectCrypt& key) const {
    return PlainObjects != nullptr && PlainObjects->contains(key.Number) ? CryptMethod::Identity
                                                                         : State.Security.StringMethod;
  }

  // The start of the object that follows the one at offset, or the end of the image.
  const Byte* NextObjectStart(long long offset) const {
    auto next = std::upper_bound(Offsets.begin(), Offsets.end(), offset);
    return next == Offsets.end() ? End : Begin + *next;
  }

  // Copies the tokens from p up to limit with every string encrypted or decrypted under key. When
  // stopAtKeyword, stops at the keyword "endobj" or "stream" with p on it.
  int RewriteTokens(const Byte*& p, const Byte* limit, const ObjectCrypt& key, bool stopAtKeyword) {
    const CryptMethod method = StringMethod(key);
    while (p < limit) {
      const Byte c = *p;
      if (c == '(' || (c == '<' && !(p + 1 < limit && p[1] == '<'))) {
        const Byte* q = p;
        if (!DecodePdfString(q, limit, Scratch)) return Fail(kRewriteBadString);
        CryptInPlace(method, key, Scratch);
        if (c == '(') {
          AppendLiteralString(Out, Scratch);
        } else {
          AppendHexString(Out, Scratch);
        }
        p = q;
      } else if (c == '<' || (c == '>' && p + 1 < limit && p[1] == '>')) {
        Append(Out, p, p + 2);
        p += 2;
      } else if (c == '%') {
        const Byte* q = p;
        while (q < limit && !IsEndOfLine(*q)) ++q;
        Append(Out, p, q);
        p = q;
      } else if (c == '/') {
        const Byte* q = p + 1 + TokenAt(p + 1, limit).size();
        Append(Out, p, q);
        p = q;
      } else if (IsDelimiter(c)) {
        Out.push_back(static_cast<char>(c));
        ++p;
      } else {
        const std::string_view token = TokenAt(p, limit);
        if (stopAtKeyword && (token == "endobj" || token == "stream")) return 0;
        Out.append(token);
        p += token.size();
      }
    }
    return 0;
  }

  // True when the value of key in [start, end) is the name (with its slash).
  static bool HasName(const Byte* start, const Byte* end, std::string_view key, std::string_view name) {
    int error = 0;
    const Byte* found = FindKey(key, start, end, error);
    if (found == nullptr) return false;
    const Byte* p = found + key.size();
    if (SkipWhitespace(p, end, error) < 0) return false;
    return StartsWith(p, end, name) && (p + name.size() >= end || IsDelimiter(p[name.size()]));
  }

  bool IsMetadataStream(const Byte* start, const Byte* end) { return HasName(start, end, "/Type", "/Metadata"); }

  // How the data of the stream whose dictionary is [start, end) is protected.
  CryptMethod StreamMethod(const Byte* start, const Byte* end, const ObjectCrypt& key) {
    const SecurityParameters& p = State.Security;
    if (PlainObjects != nullptr && PlainObjects->contains(key.Number)) return CryptMethod::Identity;
    if (p.EncryptMetadata == 0 && IsMetadataStream(start, end)) return CryptMethod::Identity;
    if (p.EncryptVersion < 4) return p.StreamMethod;
    if (const std::string own = CryptFilterName(start, end); !own.empty()) return NamedFilterMethod(p, own);
    if (HasName(start, end, "/Type", "/EmbeddedFile")) return p.EmbeddedFileMethod;
    return p.StreamMethod;
  }

  int WriteStream(const Byte* body, const Byte* dictEnd, const Byte* keyword, const Byte* limit,
                  const ObjectCrypt& key) {
    StreamExtent extent;
    if (!FindStreamExtent(body, dictEnd, keyword, limit, &Image, &Table, extent)) return Fail(kRewriteNoLength);
    const Byte* dataStart = extent.Data;
    const long long declared = extent.Declared;
    const long long length = extent.Length();
    const int lengthObject = extent.LengthObject;
    int error = 0;
    if (FindKey("/XRef", body + 2, dictEnd, error) != nullptr) {
      // Cross-reference streams are never encrypted: copied as they are.
      Append(Out, body, extent.After);
      Out += "\nendobj\n";
      return 0;
    }
    // AES changes the length of the data: the new length is written directly.
    const CryptMethod method = StreamMethod(body + 2, dictEnd, key);
    StreamBytes.assign(dataStart, dataStart + length);
    if (length > 0) CryptInPlace(method, key, StreamBytes);
    const long long written = static_cast<long long>(StreamBytes.size());
    // The dictionary with the length of the data as written: a /Length that differs is replaced,
    // a missing one added. Data no longer encrypted loses the /Crypt filter that named its method.
    std::vector<DictionaryEdit> edits;
    if (extent.LengthValue == nullptr) {
      edits.push_back({dictEnd, dictEnd, "/Length " + std::to_string(written)});
    } else if (written != declared) {
      edits.push_back({extent.LengthValue, extent.LengthValueEnd, std::to_string(written)});
    }
    if (!Protect && State.Security.EncryptVersion >= 4) {
      for (const ByteRange& entry : CryptFilterEntries(body + 2, dictEnd)) edits.push_back({entry.From, entry.To, {}});
    }
    std::sort(edits.begin(), edits.end(), [](const auto& a, const auto& b) { return a.From < b.From; });
    const Byte* p = body;
    for (const DictionaryEdit& edit : edits) {
      if (RewriteTokens(p, edit.From, key, false) != 0) return State.LastErrorCode;
      Out += edit.Text;
      p = edit.To;
    }
    if (RewriteTokens(p, dictEnd + 2, key, false) != 0) return State.LastErrorCode;
    // Blanks or a lone CR after "stream" are not a line end every reader accepts: it is written as LF.
    Append(Out, dictEnd + 2, keyword + 6);
    Out += dataStart - keyword == 8 && keyword[6] == '\r' ? "\r\n" : "\n";
    if (lengthObject > 0 && written == declared) PendingLengths[lengthObject] = written;

    Append(Out, StreamBytes.data(), StreamBytes.data() + StreamBytes.size());
    if (written == 0 || (Out.back() != '\n' && Out.back() != '\r')) Out.push_back('\n');
    Out += "endstream\nendobj\n";
    return 0;
  }

  int WriteObject(const XrefEntry& entry) {
    int error = 0;
    const Byte* body = LocateObject(Begin, End, entry.Offset, entry.Number, error);
    if (body == nullptr) return Fail(kRewriteBadObject);
    const Byte* limit = NextObjectStart(entry.Offset);
    if (body > limit) limit = End;
    AppendFormat(Out, "%d %d obj\n", entry.Number, entry.Generation);
    if (auto pending = PendingLengths.find(entry.Number); pending != PendingLengths.end()) {
      AppendFormat(Out, "%lld\nendobj\n", pending->second);
      return 0;
    }
    const ObjectCrypt key = MakeObjectCrypt(FileKey, entry.Number, entry.Generation);
    if (StartsWith(body, limit, "<<")) {
      if (const Byte* dictEnd = FindDictEnd(body + 2, limit)) {
        const Byte* keyword = dictEnd + 2;
        if (SkipWhitespace(keyword, limit, error) >= 0 && StartsWith(keyword, limit, "stream") &&
            StreamDataStart(keyword, limit) != nullptr) {
          return WriteStream(body, dictEnd, keyword, limit, key);
        }
      }
    }
    const Byte* p = body;
    if (RewriteTokens(p, limit, key, true) != 0) return State.LastErrorCode;
    if (p < limit && !StartsWith(p, limit, "endobj")) return Fail(kRewriteBadObject);
    EndWithWhitespace(Out);
    Out += "endobj\n";
    return 0;
  }

  void WriteInformation(int number, int generation) {
    const XrefEntry entry{number, 0, generation, 'n'};
    const std::string date = CreationDateText(State.Now());
    const std::string producer = ProducerText();
    AppendFormat(Out, "%d %d obj\n", entry.Number, entry.Generation);
    if (!Protect) {
      Out += "<<\n/CreationDate (" + date + ")\n/Producer (" + producer + ")\n>>\nendobj\n";
      return;
    }
    const ObjectCrypt key = MakeObjectCrypt(FileKey, entry.Number, entry.Generation);
    const CryptMethod method = State.Security.StringMethod;
    Out += "<<\n/CreationDate ";
    Scratch.assign(date.begin(), date.end());
    CryptInPlace(method, key, Scratch);
    AppendLiteralString(Out, Scratch);
    Out += "\n/Producer ";
    const std::string literal = "(" + producer + ")";
    const Byte* p = reinterpret_cast<const Byte*>(literal.data());
    DecodePdfString(p, p + literal.size(), Scratch);
    CryptInPlace(method, key, Scratch);
    AppendLiteralString(Out, Scratch);
    Out += "\n>>\nendobj\n";
  }

  static const char* CfmName(CryptMethod method) {
    switch (method) {
      case CryptMethod::Rc4: return "/V2";
      case CryptMethod::Aes128: return "/AESV2";
      case CryptMethod::Aes256: return "/AESV3";
      case CryptMethod::Identity: break;
    }
    return "/None";
  }

  // /V 4 and 5: one crypt filter, StdCF, with the method of the streams (or of the strings when
  // streams are left plain), named by /StmF and /StrF unless they are Identity.
  void WriteCryptFilters(const SecurityParameters& p) {
    const CryptMethod method = p.StreamMethod != CryptMethod::Identity ? p.StreamMethod : p.StringMethod;
    AppendFormat(Out, "/CF <<\n/StdCF <<\n/AuthEvent /DocOpen\n/CFM %s\n/Length %d\n>>\n>>\n", CfmName(method),
                 method == CryptMethod::Aes256 ? 32 : p.KeyLength);
    auto filterName = [&](CryptMethod m) { return m == CryptMethod::Identity ? "/Identity" : "/StdCF"; };
    AppendFormat(Out, "/StmF %s\n/StrF %s\n", filterName(p.StreamMethod), filterName(p.StringMethod));
    if (p.EmbeddedFileMethod != p.StreamMethod) {
      AppendFormat(Out, "/EFF %s\n", filterName(p.EmbeddedFileMethod));
    }
  }

  void WriteEncryptDictionary(int number) {
    const SecurityParameters& p = State.Security;
    if (p.EncryptVersion >= 4) return WriteCryptFilterDictionary(number);
    AppendFormat(Out, "%d 0 obj\n<<\n/Filter /Standard\n/O ", number);
    AppendLiteralString(Out, p.OwnerEntry);
    Out += "\n/U ";
    AppendLiteralString(Out, p.UserEntry);
    AppendFormat(Out, "\n/P %d\n/V %d\n/R %d\n", p.Permissions, p.EncryptVersion, p.EncryptRevision);
    if (p.EncryptRevision == 3) AppendFormat(Out, "/Length %d\n", p.KeyLength * 8);
    if (p.EncryptRevision >= 3 && p.EncryptMetadata == 0) Out += "/EncryptMetadata false\n";
    Out += ">>\nendobj\n";
  }

  void WriteCryptFilterDictionary(int number) {
    const SecurityParameters& p = State.Security;
    AppendFormat(Out, "%d 0 obj\n<<\n/Filter /Standard\n/V %d\n/R %d\n/Length %d\n/P %d\n", number,
                 p.EncryptVersion, p.EncryptRevision, p.EncryptVersion == 5 ? 256 : p.KeyLength * 8, p.Permissions);
    WriteCryptFilters(p);
    Out += "/O ";
    AppendHexString(Out, p.OwnerEntry);
    Out += "\n/U ";
    AppendHexString(Out, p.UserEntry);
    if (p.EncryptVersion == 5) {
      Out += "\n/OE ";
      AppendHexString(Out, p.OwnerKeyEntry);
      Out += "\n/UE ";
      AppendHexString(Out, p.UserKeyEntry);
      Out += "\n/Perms ";
      AppendHexString(Out, p.PermsEntry);
    }
    Out += "\n";
    if (p.EncryptMetadata == 0) Out += "/EncryptMetadata false\n";
    Out += ">>\nendobj\n";
  }
};

// The header line (when sound; else "%PDF-" and its version) and the comment lines behind it.
int WriteHeader(Rewriter& writer) {
  const Byte* begin = writer.Image.Begin();
  const Byte* end = writer.Image.End();
  const Byte* first = begin;
  if (SkipWhitespace(first, end, writer.State.LastErrorCode) < 0) return writer.Fail(kRewriteNoHeader);
  writer.State.LastErrorCode = 0;
  HeaderLines header;
  const bool found = ReadHeaderLines(writer.Image, header) == 0 && begin + header.AfterFirst <= first;
  // An AES-256 copy is at least a PDF 1.7 file (with the extension its catalog declares).
  const bool aes256 = writer.Protect && writer.State.Security.EncryptVersion == 5;
  if (aes256 && (!found || HeaderVersion(writer.Image, header) < std::pair<long, long>{1, 7})) {
    writer.Out += kAes256HeaderLine;
    Append(writer.Out, found ? begin + header.AfterFirst : begin, first);
  } else if (found) {
    writer.Out += OutputHeaderLine(writer.Image, header);
    Append(writer.Out, begin + header.AfterFirst, first);
  } else {
    Append(writer.Out, begin, first);
  }
  return 0;
}

// The numbers of the copy: the objects of the table, then behind the highest the information
// dictionary when it cannot be made afresh in its place, then the /Encrypt dictionary.
struct NumberPlan {
  int InfoNumber = 0;
  int InfoGeneration = 0;
  bool InfoInPlace = true;
  int EncryptNumber = 0;
  int Size = 0;
};

NumberPlan PlanNumbers(const EngineState& state, const FileImage& image, const XrefTable& table, int catalogNumber,
                       int highest, bool protect) {
  NumberPlan plan;
  int next = highest + 1;
  plan.InfoNumber = state.InfoNumber;
  plan.InfoGeneration = state.InfoGeneration;
  plan.InfoInPlace = plan.InfoNumber <= 0 ||
                     InformationIsReplaceable(image, table, catalogNumber, plan.InfoNumber, plan.InfoGeneration);
  if (!plan.InfoInPlace) {
    plan.InfoNumber = next++;
    plan.InfoGeneration = 0;
  }
  plan.EncryptNumber = protect ? next++ : 0;
  plan.Size = next;
  return plan;
}

struct Written {
  long long Offset = -1;
  int Generation = 0;
};

void WriteTableAndTrailer(std::string& out, const std::vector<Written>& written, const NumberPlan& plan,
                          int catalogNumber, int catalogGeneration, bool infoWritten, const SecurityParameters* protection) {
  const long long xrefOffset = static_cast<long long>(out.size());
  out.reserve(out.size() + static_cast<std::size_t>(plan.Size) * 20 + 512);
  AppendFormat(out, "xref\n0 %d\n0000000000 65535 f \n", plan.Size);
  char line[] = "0000000000 00000 n \n";
  for (int number = 1; number < plan.Size; ++number) {
    const Written& entry = written[static_cast<std::size_t>(number)];
    if (entry.Offset < 0) {
      out += "0000000000 65535 f \n";
    } else if (entry.Generation >= 0 && entry.Generation <= 99999) {
      PutPaddedDecimal(line, 10, static_cast<std::uint64_t>(entry.Offset));
      PutPaddedDecimal(line + 11, 5, static_cast<std::uint64_t>(entry.Generation));
      out.append(line, sizeof line - 1);
    } else {
      AppendFormat(out, "%010lld %05d n \n", entry.Offset, entry.Generation);
    }
  }
  AppendFormat(out, "trailer\n<<\n/Size %d\n/Root %d %d R\n", plan.Size, catalogNumber, catalogGeneration);
  if (infoWritten) AppendFormat(out, "/Info %d %d R\n", plan.InfoNumber, plan.InfoGeneration);
  if (protection != nullptr) {
    AppendFormat(out, "/Encrypt %d 0 R\n/ID [", plan.EncryptNumber);
    AppendHexString(out, protection->FileId);
    AppendHexString(out, protection->FileId);
    out += "]\n";
  }
  AppendFormat(out, ">>\nstartxref\n%lld\n%%%%EOF\n", xrefOffset);
}

}  // namespace

int RewriteWithKey(EngineState& state, FileImage& image, const XrefTable& table, int catalogNumber,
                   std::span<const Byte> key, bool protect, const std::unordered_set<int>* plainObjects) {
  state.LastErrorCode = 0;
  Rewriter writer{state, image, image.Begin(), image.End(), table, key, protect, plainObjects, {}, {}, {}, {}, MakeIvSequence(), {}, {}};

  int highest = 0;
  for (const XrefEntry& entry : table) {
    highest = std::max(highest, entry.Number);
    if (entry.Type == 'n' && entry.Offset > 0) writer.Offsets.push_back(entry.Offset);
  }
  std::sort(writer.Offsets.begin(), writer.Offsets.end());
  if (highest >= kHighestWritableNumber) return writer.Fail(kRewriteTooManyObjects);

  ReserveLarge(writer.Out, image.Size() + image.Size() / 8 + 1024);
  if (WriteHeader(writer) != 0) return state.LastErrorCode;
  const NumberPlan plan = PlanNumbers(state, image, table, catalogNumber, highest, protect);

  std::vector<Written> written(static_cast<std::size_t>(plan.Size));
  int catalogGeneration = 0;
  bool infoWritten = false;
  // An AES-256 copy's catalog declares the extension (see adbe_extension.h), in the /Extensions
  // dictionary of its own object when it has one.
  const bool aes256 = protect && state.Security.EncryptVersion == 5;
  int extensionsNumber = 0;
  for (const XrefEntry& entry : table) {
    if (!aes256 || entry.Number != catalogNumber || entry.Type != 'n' || entry.Offset <= 0) continue;
    int error = 0;
    if (const Byte* body = LocateObject(writer.Begin, writer.End, entry.Offset, entry.Number, error)) {
      const Byte* limit = writer.NextObjectStart(entry.Offset);
      extensionsNumber = ExtensionsObjectNumber(body, body > limit ? writer.End : limit);
    }
  }
  for (const XrefEntry& entry : table) {
    if (state.Cancelled()) return writer.Fail(kRewriteCancelled);
    if (entry.Number == catalogNumber) catalogGeneration = entry.Generation;
    if (!protect && entry.Number == state.Security.EncryptObjectNumber) continue;
    if (entry.Number == 0 || entry.Offset == 0 || entry.Type != 'n') continue;
    const long long offset = static_cast<long long>(writer.Out.size());
    if (plan.InfoInPlace && entry.Number == plan.InfoNumber) {
      writer.WriteInformation(entry.Number, entry.Generation);
      infoWritten = true;
    } else if (writer.WriteObject(entry) != 0) {
      return state.LastErrorCode;
    } else if (aes256 && entry.Number == catalogNumber) {
      PutExtensionsInCatalog(writer.Out, static_cast<std::size_t>(offset));
    } else if (aes256 && entry.Number == extensionsNumber) {
      PutAdbeEntry(writer.Out, static_cast<std::size_t>(offset));
    }
    written[static_cast<std::size_t>(entry.Number)] = {offset, entry.Generation};
  }

  // Without its catalog the copy would be no document.
  if (catalogNumber < 1 || catalogNumber > highest || written[static_cast<std::size_t>(catalogNumber)].Offset < 0) {
    return writer.Fail(kRewriteNoCatalog);
  }
  if (!plan.InfoInPlace) {
    written[static_cast<std::size_t>(plan.InfoNumber)] = {static_cast<long long>(writer.Out.size()), 0};
    writer.WriteInformation(plan.InfoNumber, 0);
    infoWritten = true;
  }
  if (protect) {
    written[static_cast<std::size_t>(plan.EncryptNumber)] = {static_cast<long long>(writer.Out.size()), 0};
    writer.WriteEncryptDictionary(plan.EncryptNumber);
  }
  // Every object must lie within reach of the table's ten digits.
  if (static_cast<std::int64_t>(writer.Out.size()) > kMaxTableOffset) return writer.Fail(kOutputTooLarge);
  WriteTableAndTrailer(writer.Out, written, plan, catalogNumber, catalogGeneration, infoWritten,
                       protect ? &state.Security : nullptr);

  // The input goes before the copy, so that a large file is not held three times.
  image = FileImage{};
  ImageBytes bytes;
  ReserveLarge(bytes, writer.Out.size() + 1);
  AppendBytes(bytes, writer.Out.data(), writer.Out.size());
  std::string().swap(writer.Out);
  image = MakeFileImage(std::move(bytes));
  return 0;
}

namespace {

// Decrypts a protected file with cross-reference streams: its object streams are decrypted and
// taken apart by the conversion, then every other object is decrypted by the rewrite. Returns 0,
// or 6 with LastErrorCode set.
int DecryptXrefStreams(EngineState& state, DocumentSlot& slot, std::span<const Byte> key, PageFacts& pages) {
  int generation = 0;
  slot.HasXref = ParseXrefChain(state, slot.Image, slot.Xref, slot.CatalogNumber, generation) == 1;
  state.LastErrorCode = 0;
  ObjectStreamDecryption decryption;
  const std::vector<Byte> fileKey(key.begin(), key.end());
  const CryptMethod method = state.Security.StreamMethod;
  decryption.Decrypt = [fileKey, method](int number, int objectGeneration, std::span<const Byte> data,
                                          std::vector<Byte>& out) {
    IvSequence unused;
    CryptBytes(method, MakeObjectCrypt(fileKey, number, objectGeneration), fileKey, false, data, out, unused);
  };
  const int infoNumber = state.InfoNumber, infoGeneration = state.InfoGeneration;
  if (ConvertXrefStreams(state, slot.Image, slot.HasXref ? &slot.Xref : nullptr, &decryption) != 0) return 6;
  const int convertedInfo = state.InfoNumber, convertedInfoGeneration = state.InfoGeneration;
  if (ParseXrefChain(state, slot.Image, slot.Xref, slot.CatalogNumber, generation) != 1 || state.NeedsConversion == 1) {
    return 6;
  }
  // The converted trailer does not name the information dictionary; the sections did.
  state.InfoNumber = convertedInfo != 0 ? convertedInfo : infoNumber;
  state.InfoGeneration = convertedInfo != 0 ? convertedInfoGeneration : infoGeneration;
  pages = AnalyzePages(state, slot, false);
  if (state.InfoNumber == 0) {
    state.InfoNumber = convertedInfo != 0 ? convertedInfo : infoNumber;
    state.InfoGeneration = convertedInfo != 0 ? convertedInfoGeneration : infoGeneration;
  }
  int result = RewriteWithKey(state, slot.Image, slot.Xref, slot.CatalogNumber, key, false, &decryption.PlainObjects);
  if (result == kRewriteBadObject || result == kRewriteBadString || result == kRewriteNoLength ||
      result == kRewriteNoCatalog) {
    // Offsets a few bytes off, as some writers leave them, pass the conversion but not the
    // rewrite: the table is rebuilt from the objects of the converted image.
    state.LastErrorCode = 0;
    const int info = state.InfoNumber, infoGen = state.InfoGeneration;
    if (RepairImage(state, slot.Image) == 0 &&
        ParseXrefChain(state, slot.Image, slot.Xref, slot.CatalogNumber, generation) == 1) {
      if (state.InfoNumber == 0) {
        state.InfoNumber = info;
        state.InfoGeneration = infoGen;
      }
      result = RewriteWithKey(state, slot.Image, slot.Xref, slot.CatalogNumber, key, false, &decryption.PlainObjects);
    }
  }
  if (result != 0) {
    state.LastErrorCode = result == kRewriteCancelled || result == kOutputTooLarge ? result : -1;
    return 6;
  }
  return 0;
}

}  // namespace

int TransformDocument(EngineState& state, FileImage& image, std::span<const Byte> key, bool protect, PageFacts* facts) {
  PageFacts ignored;
  PageFacts& pages = facts != nullptr ? *facts : ignored;
  pages = PageFacts{};
  DocumentSlot slot;
  slot.Image = std::move(image);
  auto finish = [&](int result) {
    image = std::move(slot.Image);
    return result;
  };
  try {
    state.PageCount = 0;
    state.LastErrorCode = 0;
    state.InfoNumber = 0;
    state.InfoGeneration = 0;
    if (!protect) {
      int generation = 0;
      ParseXrefChain(state, slot.Image, slot.Xref, slot.CatalogNumber, generation);
      if (state.NeedsConversion == 1) return finish(DecryptXrefStreams(state, slot, key, pages));
      state.InfoNumber = 0;
      state.InfoGeneration = 0;
    }
    if (ReadClassicFormAndPages(state, slot, pages) != 1) return finish(state.LastErrorCode == -1000 ? 5 : 6);
    if (protect && state.EncryptRef) return finish(5);
    if (state.NeedsConversion == 1) return finish(5);  // protected with cross-reference streams
    int result = RewriteWithKey(state, slot.Image, slot.Xref, slot.CatalogNumber, key, protect);
    if (result == kRewriteBadObject || result == kRewriteBadString || result == kRewriteNoLength ||
        result == kRewriteNoCatalog) {
      // The table parsed but does not match the objects: rebuild the table from the objects.
      state.LastErrorCode = 0;
      const int infoNumber = state.InfoNumber, infoGeneration = state.InfoGeneration;
      if (RepairImage(state, slot.Image) == 0) {
        int catalogGeneration = 0;
        slot.Xref.clear();
        if (ParseXrefChain(state, slot.Image, slot.Xref, slot.CatalogNumber, catalogGeneration) == 1) {
          if (state.InfoNumber == 0) {
            state.InfoNumber = infoNumber;
            state.InfoGeneration = infoGeneration;
          }
          result = RewriteWithKey(state, slot.Image, slot.Xref, slot.CatalogNumber, key, protect);
        }
      }
    }
    if (result != 0) {
      state.LastErrorCode = result == kRewriteCancelled || result == kOutputTooLarge ? result : -1;
      return finish(6);
    }
    return finish(0);
  } catch (const std::bad_alloc&) {
    state.LastErrorCode = -1;
    return finish(-1);
  }
}

}  // namespace folvex
