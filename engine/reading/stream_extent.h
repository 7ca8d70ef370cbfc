// Where a stream's data lies and whether its /Length tells the truth: the one rule that the page
// walk, the page copy and the security rewrite share.
#pragma once

#include "engine/core/document.h"

namespace folvex {

struct StreamExtent {
  const Byte* DictionaryEnd = nullptr;   // the ">>" of the stream's dictionary
  const Byte* Keyword = nullptr;         // "stream"
  const Byte* Data = nullptr;            // the first data byte
  const Byte* DataEnd = nullptr;         // behind the last data byte
  const Byte* After = nullptr;           // behind "endstream"
  long long Declared = -1;               // the /Length value; -1 when missing, negative or unreadable
  const Byte* LengthValue = nullptr;     // the first byte of the /Length value (null: no /Length key)
  const Byte* LengthValueEnd = nullptr;  // behind the value
  int LengthObject = 0;                  // the object an indirect /Length names

  long long Length() const { return DataEnd - Data; }
  bool LengthIsTrue() const { return Declared == Length(); }
  // "stream" followed by CR LF or LF alone, as every reader takes it.
  bool KeywordLineIsPlain() const {
    return (Data - Keyword == 7 && Keyword[6] == '\n') || (Data - Keyword == 8 && Keyword[6] == '\r' && Keyword[7] == '\n');
  }
};

// Where the data of the keyword "stream" at p begins: behind blanks and one line end (CR LF, LF
// or CR). Null when the keyword is followed by neither.
const Byte* StreamDataStart(const Byte* keyword, const Byte* end);

// The extent of the stream whose dictionary runs from dictionary ("<<") to dictEnd (its ">>")
// and whose keyword "stream" stands at keyword. The data is /Length bytes long when "endstream"
// follows them (after whitespace); otherwise it ends at the line end in front of the first
// "endstream" behind its start. An indirect /Length is read through table in image (both may be
// null: then only a direct /Length counts). False when there is no data start or no "endstream"
// before end.
bool FindStreamExtent(const Byte* dictionary, const Byte* dictEnd, const Byte* keyword, const Byte* end,
                      const FileImage* image, const XrefTable* table, StreamExtent& extent);

}  // namespace folvex
