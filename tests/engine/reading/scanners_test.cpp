#include "engine/reading/scanners.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/reading/file_image.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

// A text held as a file image (with its trailing zero byte), addressed by offsets.
struct Text {
  explicit Text(std::string_view bytes) : Bytes(bytes), Image(testing::ImageOf(bytes)) {}

  // Offset -1 stands for the end of the image.
  const Byte* At(long offset) const { return offset < 0 ? End() : Image.Begin() + offset; }
  const Byte* Find(std::string_view what) const { return At(static_cast<long>(Bytes.find(what))); }
  const Byte* FindLast(std::string_view what) const { return At(static_cast<long>(Bytes.rfind(what))); }
  const Byte* Begin() const { return Image.Begin(); }
  const Byte* End() const { return Image.End(); }
  long OffsetOf(const Byte* p) const { return p == nullptr ? -1 : static_cast<long>(p - Image.Begin()); }

  std::string Bytes;
  FileImage Image;
};

TEST(ReadIntegerTest, ValuesCodesAndCursor) {
  struct Case {
    const char* Bytes;
    long From;
    int Value, Error;
    long Cursor;  // where the cursor ends; -1 the end of the image, -2 not checked
    long long Offset = 0;  // what ReadOffset gives, when not Value
  };
  for (const Case& c : {Case{"007 12/Name 3]", 0, 7, 0, 3}, Case{"007 12/Name 3]", 3, 12, 0, 6},
                        Case{"  % 99 not this\r\n % nor 98\n 42 ", 0, 42, 0, 30},
                        Case{"startxref\n 4711", 9, 4711, 0, -1},  // digits up to the end of the image
                        Case{"  -5 ", 0, -1, -11, 2},               // behind the skipped whitespace
                        Case{"12.5 ", 0, -1, -13, -2}, Case{"12R ", 0, -1, -13, -2},
                        Case{" 123456789012345678901", 0, -1, -12, -2},  // over 20 digits up to the end
                        Case{" 00000000000000004711", 0, 4711, 0, -1},    // exactly 20 digits up to the end
                        // Past 2 GiB and 4 GiB: an object number saturates, an offset is read whole.
                        Case{"2147483748 0 R", 0, INT32_MAX, 0, 10, 2147483748},
                        Case{"4294967396 ", 0, INT32_MAX, 0, 10, 4294967396},
                        Case{"99999999999999999999 ", 0, INT32_MAX, 0, 20, kMaxReadOffset},
                        Case{"12  % trailing comment", -1, -1, -9, -2},
                        Case{"12  % trailing comment", 2, -1, -10, -2}}) {
    Text text(c.Bytes);
    const Byte* cursor = text.At(c.From);
    int error = 5;
    const Byte* offsetCursor = cursor;
    int offsetError = 5;
    EXPECT_EQ(ReadOffset(offsetCursor, text.End(), offsetError), c.Offset != 0 ? c.Offset : c.Value) << c.Bytes;
    EXPECT_EQ(ReadInteger(cursor, text.End(), error), c.Value) << c.Bytes << " from " << c.From;
    EXPECT_EQ(offsetCursor, cursor) << c.Bytes;
    EXPECT_EQ(offsetError, error) << c.Bytes;
    EXPECT_EQ(error, c.Error) << c.Bytes << " from " << c.From;
    if (c.Cursor != -2) {
      EXPECT_EQ(cursor, text.At(c.Cursor)) << c.Bytes << " from " << c.From;
    }
  }
}

TEST(FindKeywordBackwardTest, MatchesOnlyStandaloneKeywordsOutsideComments) {
  struct Case {
    const char* Bytes;
    long Lower, Upper;  // -1: the end of the image
    const char* Keyword;
    long Found;  // offset of the match, or -1 with Error
    int Error;
  };
  const char* xrefs = "xref\n0 1\nxref\n";
  for (const Case& c : {Case{"startxref\n1234%%EOF", 0, -1, "%%EOF", -1, -14},  // glued to the byte before
                        Case{"startxref\n1234\n%%EOF", 0, -1, "%%EOF", 15, 0},  // the upper bound is a delimiter
                        Case{"x\nstartxrefABC", 0, -1, "startxref", -1, -14},
                        Case{"startxref% note\n99\n", 0, -1, "startxref", 0, 0},
                        Case{"startxrefs\n99\n", 0, -1, "startxref", -1, -14},
                        Case{"trailer\n%%EOF\n% appended later %%EOF\n", 0, -1, "%%EOF", 8, 0},
                        Case{"% a %%EOF\n", 0, -1, "%%EOF", -1, -14},
                        Case{xrefs, 1, -1, "xref", 9, 0},  // the lower bound limits the search
                        Case{xrefs, 9, -1, "xref", 9, 0},  // a match at the lower bound needs no byte before
                        Case{"%xref\n", 1, -1, "xref", 1, 0},  // neither the byte before nor the comment check
                                                               // looks below the lower bound
                        Case{xrefs, 0, 3, "xref", -1, -14}, Case{xrefs, 0, -1, "", -1, -13}}) {
    Text text(c.Bytes);
    const Byte* position = text.At(c.Upper);
    int error = 0;
    const int result = FindKeywordBackward(text.At(c.Lower), position, c.Keyword, error);
    EXPECT_EQ(result, c.Found >= 0 ? 1 : 0) << c.Bytes << " / " << c.Keyword << " " << c.Lower << ".." << c.Upper;
    if (c.Found >= 0) {
      EXPECT_EQ(text.OffsetOf(position), c.Found) << c.Bytes;
    } else {
      EXPECT_EQ(error, c.Error) << c.Bytes;
    }
  }
}

TEST(FindDictEndTest, SkipsStringsNestedDictionariesAndComments) {
  for (const char* bytes : {"<< /T (a >> b) /N 1 >> 2 0 obj", "<< /R << /F 1 >> /X << /Y << >> >> >> 2 0 obj",
                            "<< /T (a \\) >> \\( b) >> 2 0 obj", "<< /T (nested (>>) parens) >> 2 0 obj",
                            "<< /N 1 % comment >>\n>> 2 0 obj", "<</A[1 2]/B{x}/C(y)>> 2 0 obj",
                            // hexadecimal strings glued to the closing brackets
                            "<< /Contents <FEFF 0041>>> 2 0 obj", "<< /V <>>> 2 0 obj", "<< /A << /B <00>>> >> 2 0 obj",
                            "<< /ID [<3C3E><3E3E>]>> 2 0 obj",
                            // literal strings glued to the name before them
                            "<< /T(a<b)>> 2 0 obj", "<< /T(>>)>> 2 0 obj", "<< /T(<<)>> 2 0 obj",
                            "<< /Title(100% done)\n/N 1 >> 2 0 obj",
                            // the first pass ends inside the comment; the second reads it as tokens
                            "<< /T (x)% c >>"}) {
    Text text(bytes);
    EXPECT_EQ(text.OffsetOf(FindDictEnd(text.Find("<<") + 2, text.End())), text.OffsetOf(text.FindLast(">>")))
        << bytes;
  }
  for (const char* bytes : {"<< /A 1 /B << /C 2 >>", "<< /T (never closed >>", "<< /H <0041", "<< /A 1 % >>"}) {
    Text text(bytes);
    EXPECT_EQ(FindDictEnd(text.Find("<<") + 2, text.End()), nullptr) << bytes;
  }
}

// Keys found at the outer level of a dictionary, ending at a delimiter; nested, quoted or commented
// ones are not keys.
TEST(FindKeyTest, FindsOuterLevelKeysEndingAtADelimiter) {
  struct Case {
    const char* Bytes;
    const char* Key;
    int Match = 1;  // 1: the last occurrence of the key, 0: the first, -1: none (with Error)
    int Error = 0;  // -1: any failure code
  };
  for (const Case& c : {Case{"<< /Resources << /Type /Font /Kids 1 >> /Type /Page >>", "/Type"},
                        Case{"<< /KidsX [ 1 0 R ] /Kids[ 2 0 R ] >>", "/Kids"}, Case{"<</Count 3/Kids 4>>", "/Kids"},
                        Case{"<</Kids(x)>>", "/Kids"}, Case{"<</Kids<</A 1>>>>", "/Kids"},
                        Case{"<</Kids%c\n1>>", "/Kids"}, Case{"<< /A 1 /Kids>>", "/Kids"},
                        Case{"<< /Names [ (a) 1 0 R /Target 2 ] >>", "/Target"},  // inside an outer array
                        Case{"<< /S /Type /Type /Page >>", "/Type", 0},            // a name value equal to the key
                        Case{"<< /T (a >> /Key b) /Key 1 >>", "/Key"}, Case{"<< /T (<<) /Key 1 >>", "/Key"},
                        Case{"<< /T (a \\) /Key) /Key 1 >>", "/Key"}, Case{"<< /T(>>)/Key 1 >>", "/Key"},
                        Case{"<< % /Key\n/Key 1 >>", "/Key"}, Case{"<< /T <3E3E> /Key 1 >>", "/Key"},
                        // keys glued to a hexadecimal string, as compact writers put them
                        Case{"<< /Size 4/Foo<AB>/Root 1 0 R >>", "/Root"},
                        Case{"<</O<8E7B 0a>/P -1340/R 3>>", "/P"}, Case{"<</ID[<01><02>]/Key 1>>", "/Key"},
                        Case{"<< /A <</B <CD>>>/Key 2 >>", "/Key"}, Case{"<< /A < /Key 1 >>", "/Key"},
                        // a key that fills the range, is glued to the next name, or follows a glued name
                        Case{"<</Kids>>", "/Kids"}, Case{"<</Type/Kids>>", "/Type"}, Case{"<</Type/Kids>>", "/Kids"},
                        Case{"<< /Resources << /Kids 1 >> /Type /Page >>", "/Kids", -1, -1},
                        Case{"<< /A <</Kids <AB>>> /Type /Page >>", "/Kids", -1, -1},
                        Case{"<< /A 1 >> /Kids 2 >>", "/Kids", -1, -1},  // behind the end of the dictionary
                        Case{"<< /A [ 1 ] >>", "/C", -1, -2}, Case{"<< /A 12345>>", "/C", -1, -3}}) {
    Text text(c.Bytes);
    int error = 5;
    const long expected = c.Match < 0 ? -1 : text.OffsetOf(c.Match == 0 ? text.Find(c.Key) : text.FindLast(c.Key));
    EXPECT_EQ(text.OffsetOf(FindKey(c.Key, text.Find("<<") + 2, text.FindLast(">>"), error)), expected) << c.Bytes;
    if (c.Error == -1) {
      EXPECT_LT(error, 0) << c.Bytes;
    } else {
      EXPECT_EQ(error, c.Error) << c.Bytes;
    }
  }
}

TEST(LocateObjectTest, HeaderFailures) {
  struct Case {
    const char* Bytes;
    long Offset;
    int Number;
    int Error;
  };
  for (const Case& c : {Case{"12 0 obj\n<< >>", 0, 13, -97},      // the header names another object
                        Case{"12 0 obj\n<< >>", 15, 12, -96},     // offset beyond the image
                        Case{"12 x obj\n<< >>", 0, 12, -98},
                        Case{"12 0", 0, 12, -99},
                        Case{"12 0 endobj\n<< >>", 0, 12, -100},
                        Case{"12 0 % c\nobj << >>", 0, 12, -100},  // no comments between the header words
                        Case{"12 0 obj\n % c\n", 0, 12, -101}}) {
    Text text(c.Bytes);
    int error = 0;
    EXPECT_EQ(LocateObject(text.Begin(), text.End(), c.Offset, c.Number, error), nullptr) << c.Bytes;
    EXPECT_EQ(error, c.Error) << c.Bytes << " at " << c.Offset;
  }
}

}  // namespace
}  // namespace folvex
