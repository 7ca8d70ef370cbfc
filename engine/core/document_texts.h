// The texts every writer puts into a new file's information dictionary, and the time they come from.
#pragma once

#include <string>

namespace folvex {

// "Folvex Ver 1.061" as the body of a literal string in UTF-16BE with a byte-order mark: every
// code unit as two octal escapes, high byte first ("\376\377\0\106\0\157...").
std::string ProducerText();

// The moment a job's texts are made from: the local time, or, when SOURCE_DATE_EPOCH is set to a
// number of seconds, that moment in UTC, so that the same input gives the same bytes.
struct DocumentTime {
  int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};
DocumentTime CurrentDocumentTime();

// The time as "%04d%02d%02d%02d%02d%02d" (14 digits).
std::string CreationDateText(const DocumentTime& time);
inline std::string CreationDateText() { return CreationDateText(CurrentDocumentTime()); }

}  // namespace folvex
