#include "engine/reading/catalog.h"

#include "engine/reading/outline.h"
#include "engine/reading/page_tree.h"
#include "engine/reading/scanners.h"

namespace folvex {

namespace {

struct CatalogReader {
  EngineState& State;
  const DocumentSlot& Slot;
  const Byte* Begin;
  const Byte* End;

  // The value behind key (after whitespace and comments), following one indirect reference to
  // the body of the object it names. Null when absent or unreadable.
  const Byte* ValueOf(const Byte* key, std::size_t keyLength) {
    int& error = State.LastErrorCode;
    const Byte* p = key + keyLength;
    if (SkipWhitespace(p, End, error) < 0) return nullptr;
    if (!IsDigit(*p)) return p;
    int number = 0, generation = 0;
    if (!ReadReference(p, End, number, generation, error)) return nullptr;
    std::int64_t offset = LookupObjectOffset(Slot.Xref, number, error);
    if (offset < 0) return nullptr;
    return LocateObject(Begin, End, offset, number, error);
  }

  // The dictionary [start, dictEnd) that is the value of key, direct or referenced.
  bool DictionaryOf(const Byte* key, std::size_t keyLength, const Byte*& start, const Byte*& dictEnd) {
    const Byte* p = ValueOf(key, keyLength);
    if (p == nullptr || !StartsWith(p, End, "<<")) return false;
    start = p + 2;
    dictEnd = FindDictEnd(start, End);
    return dictEnd != nullptr;
  }

  // After "[" of a destination array: steps over the first element (a page reference, a literal
  // string, a name or a hexadecimal string) and the whitespace behind it. view is the position
  // reached, or none found for any other first element. Returns false on a syntax failure.
  bool ViewPartOfDestination(const Byte* array, std::int64_t& view) {
    int& error = State.LastErrorCode;
    view = kOpenActionNoneFound;
    const Byte* p = array + 1;
    if (SkipWhitespace(p, End, error) < 0) return Fail(-122);
    int number = 0, generation = 0;
    if (IsDigit(*p)) {
      if (!ReadReference(p, End, number, generation, error)) return Fail(-123);
    } else if (*p == '(') {
      if (!SkipLiteralString(p, End)) return Fail(-124);
    } else if (*p == '<') {
      if (!SkipHexString(p, End)) return Fail(-124);
    } else if (*p == '/') {
      ++p;
      while (p < End && !IsDelimiter(*p)) ++p;
    } else {
      return true;
    }
    if (SkipWhitespace(p, End, error) < 0) return Fail(-125);
    view = p - Begin;
    return true;
  }

  bool Fail(int code) {
    State.LastErrorCode = code;
    return false;
  }

  // The opening view of the catalog's /OpenAction: the position of its view part, or none found.
  // Returns false on a syntax failure.
  bool ReadOpenAction(const Byte* catalogStart, const Byte* catalogEnd) {
    int& error = State.LastErrorCode;
    std::int64_t& openAction = State.Job.InheritedOpenAction;
    openAction = kOpenActionNoneFound;
    const Byte* key = FindKey("/OpenAction", catalogStart, catalogEnd, error);
    error = 0;
    if (key == nullptr) return true;
    const Byte* value = ValueOf(key, 11);
    if (value == nullptr) return Fail(-121);
    if (StartsWith(value, End, "<<")) {
      const Byte* dictEnd = FindDictEnd(value + 2, End);
      if (dictEnd == nullptr) return Fail(-114);
      const Byte* goTo = FindKey("/GoTo", value + 2, dictEnd, error);
      const Byte* d = goTo == nullptr ? nullptr : FindKey("/D", value + 2, dictEnd, error);
      error = 0;
      if (d == nullptr) return true;
      value = ValueOf(d, 2);
      if (value == nullptr) return Fail(-121);
    }
    if (*value != '[') return true;
    return ViewPartOfDestination(value, openAction);
  }

  // The name behind key, matched by its first bytes.
  bool NameStartsWith(const Byte* start, const Byte* dictEnd, std::string_view key, std::string_view name) {
    int& error = State.LastErrorCode;
    const Byte* k = FindKey(key, start, dictEnd, error);
    error = 0;
    if (k == nullptr) return false;
    const Byte* p = k + key.size();
    if (SkipWhitespace(p, End, error) < 0) {
      error = 0;
      return false;
    }
    return StartsWith(p, End, name);
  }

  // /ViewerPreferences, /PageLayout and /PageMode taken over where the job asks to keep the source's.
  void AdoptViewerSettings(const Byte* catalogStart, const Byte* catalogEnd, bool readOpenView) {
    int& error = State.LastErrorCode;
    JobSettings& job = State.Job;
    const Byte *prefsStart = nullptr, *prefsEnd = nullptr;
    const Byte* prefsKey = FindKey("/ViewerPreferences", catalogStart, catalogEnd, error);
    bool havePrefs = prefsKey != nullptr && DictionaryOf(prefsKey, 18, prefsStart, prefsEnd);
    error = 0;
    if (readOpenView && havePrefs && NameStartsWith(prefsStart, prefsEnd, "/FitWindow", "true")) job.FitWindow = 1;
    if (job.JobDirection == 2) {
      job.JobDirection = havePrefs && NameStartsWith(prefsStart, prefsEnd, "/Direction", "/R2L") ? 1 : 0;
    }
    if (job.JobPageLayout == 4) {
      job.JobPageLayout = NameStartsWith(catalogStart, catalogEnd, "/PageLayout", "/OneColumn")        ? 1
                          : NameStartsWith(catalogStart, catalogEnd, "/PageLayout", "/TwoColumnLeft")  ? 2
                          : NameStartsWith(catalogStart, catalogEnd, "/PageLayout", "/TwoColumnRight") ? 3
                          : NameStartsWith(catalogStart, catalogEnd, "/PageLayout", "/SinglePage")     ? 5
                                                                                                        : 0;
    }
    if (job.JobPageMode == 5) {
      job.JobPageMode = NameStartsWith(catalogStart, catalogEnd, "/PageMode", "/UseOutlines") ? 1
                        : NameStartsWith(catalogStart, catalogEnd, "/PageMode", "/UseThumbs") ? 3
                        : NameStartsWith(catalogStart, catalogEnd, "/PageMode", "/FullScreen") ? 4
                                                                                               : 0;
    }
  }
};

// The trailer's /Root is the catalog when it says so, and also when its /Type is missing or
// misspelt but it names the page tree with /Pages, as other readers take it. A page or a page-tree
// node named as the catalog stays the wrong kind. Returns 0 or the code of the check that fails.
int CheckCatalogType(const Byte* catalogStart, const Byte* catalogEnd, const Byte* end, int& error) {
  auto namesPageTree = [&] { return FindKey("/Pages", catalogStart, catalogEnd, error) != nullptr; };
  const Byte* type = FindKey("/Type", catalogStart, catalogEnd, error);
  if (type == nullptr) return namesPageTree() ? 0 : -115;
  const Byte* p = type + 5;
  if (SkipWhitespace(p, end, error) < 0) return -116;
  if (StartsWith(p, end, "/Catalog") && IsDelimiter(p[8])) return 0;
  const bool pageTreeKind = StartsWith(p, end, "/Page") && (IsDelimiter(p[5]) || (p[5] == 's' && IsDelimiter(p[6])));
  if (!pageTreeKind && namesPageTree()) return 0;
  return StartsWith(p, end, "/Catalog") ? -118 : -117;
}

}  // namespace

int AnalyzeCatalog(EngineState& state, DocumentSlot& slot) {
  int& error = state.LastErrorCode;
  error = 0;
  const Byte* begin = slot.Image.Begin();
  const Byte* end = slot.Image.End();
  auto fail = [&](int code) {
    error = code;
    return -1;
  };

  // Number 0 heads the free list; it never names an object.
  std::int64_t offset = slot.CatalogNumber < 1 ? -1 : LookupObjectOffset(slot.Xref, slot.CatalogNumber, error);
  if (offset < 0) return fail(-111);
  const Byte* p = LocateObject(begin, end, offset, slot.CatalogNumber, error);
  if (p == nullptr) return fail(-112);
  if (!StartsWith(p, end, "<<")) return fail(-113);
  const Byte* catalogStart = p + 2;
  const Byte* catalogEnd = FindDictEnd(catalogStart, end);
  if (catalogEnd == nullptr) return fail(-114);
  if (int code = CheckCatalogType(catalogStart, catalogEnd, end, error); code < 0) return fail(code);
  error = 0;

  CatalogReader reader{state, slot, begin, end};
  bool readOpenView = !state.Settings.DispScale.empty() && state.Settings.DispScale[0] == 'O' &&
                      state.Job.InheritedOpenAction == kOpenActionNotLookedUp;
  if (readOpenView && !reader.ReadOpenAction(catalogStart, catalogEnd)) return -1;
  reader.AdoptViewerSettings(catalogStart, catalogEnd, readOpenView);
  if (state.Cancelled()) return -1;

  if (WalkPageTree(state, slot, catalogStart, catalogEnd) < 0) return -1;
  if (state.Job.KeepOutlines == 0) return state.PageCount;
  return AnalyzeOutlines(state, slot, catalogStart, catalogEnd);
}

}  // namespace folvex
