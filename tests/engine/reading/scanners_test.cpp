#include "engine/reading/scanners.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

// A text held as a file image (with its trailing zero byte), addressed by offsets.
struct Text {
  explicit Text(std::string_view bytes) : Bytes(bytes), Image(testing::ImageOf(bytes)) {}

  const Byte* At(std::size_t offset) const { return Image.Begin() + offset; }
  const Byte* Find(std::string_view what, std::size_t from = 0) const { return At(Bytes.find(what, from)); }
  const Byte* FindLast(std::string_view what) const { return At(Bytes.rfind(what)); }
  const Byte* Begin() const { return Image.Begin(); }
  const Byte* End() const { return Image.End(); }
  long OffsetOf(const Byte* p) const { return p == nullptr ? -1 : static_cast<long>(p - Image.Begin()); }

  std::string Bytes;
  FileImage Image;
};

// --- SkipWhitespace -------------------------------------------------------------------------------

TEST(SkipWhitespaceTest, CountsWhitespaceAndCommentsAndKeepsTheErrorOnSuccess) {
  Text text(" \t\r\n\f% one\r% two\n  x");
  const Byte* cursor = text.Begin();
  int error = 77;
  EXPECT_EQ(SkipWhitespace(cursor, text.End(), error), static_cast<int>(text.Bytes.size()) - 1);
  EXPECT_EQ(*cursor, 'x');
  EXPECT_EQ(error, 77);

  cursor = text.Find("x");
  EXPECT_EQ(SkipWhitespace(cursor, text.End(), error), 0);
  EXPECT_EQ(error, 77);
}

TEST(SkipWhitespaceTest, EndOfImageInWhitespaceOrComment) {
  Text blanks(" \n\t ");
  const Byte* cursor = blanks.Begin();
  int error = 0;
  EXPECT_EQ(SkipWhitespace(cursor, blanks.End(), error), -1);
  EXPECT_EQ(error, -154);
  EXPECT_EQ(cursor, blanks.End());

  Text comment("  % runs to the end");
  cursor = comment.Begin();
  error = 0;
  EXPECT_EQ(SkipWhitespace(cursor, comment.End(), error), -1);
  EXPECT_EQ(error, -155);
  EXPECT_EQ(cursor, comment.End());
}

// --- ReadInteger ----------------------------------------------------------------------------------

TEST(ReadIntegerTest, ReadsDecimalAndStopsAtTheDelimiter) {
  Text text("007 12/Name 3]");
  const Byte* cursor = text.Begin();
  int error = 5;
  EXPECT_EQ(ReadInteger(cursor, text.End(), error), 7);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(text.OffsetOf(cursor), 3);
  EXPECT_EQ(ReadInteger(cursor, text.End(), error), 12);
  EXPECT_EQ(*cursor, '/');
  cursor = text.Find("3]");
  EXPECT_EQ(ReadInteger(cursor, text.End(), error), 3);
  EXPECT_EQ(*cursor, ']');
}

TEST(ReadIntegerTest, SkipsLeadingWhitespaceAndComments) {
  Text text("  % 99 not this\r\n % nor 98\n 42 ");
  const Byte* cursor = text.Begin();
  int error = 0;
  EXPECT_EQ(ReadInteger(cursor, text.End(), error), 42);
  EXPECT_EQ(cursor, text.Find("42") + 2);
}

TEST(ReadIntegerTest, RejectsSignsFractionsAndAttachedLetters) {
  Text minus("  -5 ");
  const Byte* cursor = minus.Begin();
  int error = 0;
  EXPECT_EQ(ReadInteger(cursor, minus.End(), error), -1);
  EXPECT_EQ(error, -11);
  EXPECT_EQ(cursor, minus.Find("-"));  // behind the skipped whitespace

  Text fraction("12.5 ");
  cursor = fraction.Begin();
  EXPECT_EQ(ReadInteger(cursor, fraction.End(), error), -1);
  EXPECT_EQ(error, -13);

  Text letters("12R ");
  cursor = letters.Begin();
  EXPECT_EQ(ReadInteger(cursor, letters.End(), error), -1);
  EXPECT_EQ(error, -13);
}

TEST(ReadIntegerTest, DigitsRunningToTheEndOfTheImage) {
  Text text("startxref\n 4711");
  const Byte* cursor = text.Find("\n");
  int error = 0;
  EXPECT_EQ(ReadInteger(cursor, text.End(), error), 4711);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(cursor, text.End());

  // More than 20 bytes of digits up to the end is not a number.
  Text longRun(" 123456789012345678901");
  cursor = longRun.Begin();
  EXPECT_EQ(ReadInteger(cursor, longRun.End(), error), -1);
  EXPECT_EQ(error, -12);
}

TEST(ReadIntegerTest, EndOfImage) {
  Text text("12  % trailing comment");
  const Byte* cursor = text.End();
  int error = 0;
  EXPECT_EQ(ReadInteger(cursor, text.End(), error), -1);
  EXPECT_EQ(error, -9);

  cursor = text.At(2);
  EXPECT_EQ(ReadInteger(cursor, text.End(), error), -1);
  EXPECT_EQ(error, -10);
}

// --- FindKeywordBackward --------------------------------------------------------------------------

TEST(FindKeywordBackwardTest, KeywordGluedToTheByteBeforeIsNotFound) {
  Text text("startxref\n1234%%EOF");
  const Byte* position = text.End();
  int error = 0;
  EXPECT_EQ(FindKeywordBackward(text.Begin(), position, "%%EOF", error), 0);
  EXPECT_EQ(error, -14);
}

TEST(FindKeywordBackwardTest, UpperBoundCountsAsDelimiter) {
  Text text("startxref\n1234\n%%EOF");
  const Byte* position = text.End();
  int error = 0;
  ASSERT_EQ(FindKeywordBackward(text.Begin(), position, "%%EOF", error), 1);
  EXPECT_EQ(position, text.Find("%%EOF"));

  // A bound inside a longer word: "startxref" ends exactly at the bound.
  Text glued("x\nstartxrefABC");
  position = glued.Find("ABC");
  ASSERT_EQ(FindKeywordBackward(glued.Begin(), position, "startxref", error), 1);
  EXPECT_EQ(position, glued.Find("startxref"));
  // Without the bound the letters behind it disqualify the match.
  position = glued.End();
  EXPECT_EQ(FindKeywordBackward(glued.Begin(), position, "startxref", error), 0);
}

TEST(FindKeywordBackwardTest, ByteAfterMustBeWhitespaceOrPercent) {
  Text text("startxref% note\n99\n");
  const Byte* position = text.End();
  int error = 0;
  ASSERT_EQ(FindKeywordBackward(text.Begin(), position, "startxref", error), 1);
  EXPECT_EQ(position, text.Begin());

  Text longer("startxrefs\n99\n");
  position = longer.End();
  EXPECT_EQ(FindKeywordBackward(longer.Begin(), position, "startxref", error), 0);
  EXPECT_EQ(error, -14);
}

TEST(FindKeywordBackwardTest, MatchOnACommentLineIsSkipped) {
  Text text("trailer\n%%EOF\n% appended later %%EOF\n");
  const Byte* position = text.End();
  int error = 0;
  ASSERT_EQ(FindKeywordBackward(text.Begin(), position, "%%EOF", error), 1);
  EXPECT_EQ(position, text.Find("%%EOF"));

  // The same with the comment line directly at the lower bound and no earlier keyword.
  Text onlyComment("% a %%EOF\n");
  position = onlyComment.End();
  EXPECT_EQ(FindKeywordBackward(onlyComment.Begin(), position, "%%EOF", error), 0);
  EXPECT_EQ(error, -14);
}

TEST(FindKeywordBackwardTest, LowerBoundLimitsTheSearch) {
  Text text("xref\n0 1\nxref\n");
  const Byte* lower = text.At(1);
  const Byte* position = text.End();
  int error = 0;
  ASSERT_EQ(FindKeywordBackward(lower, position, "xref", error), 1);
  EXPECT_EQ(position, text.FindLast("xref"));

  // A match starting exactly at the lower bound needs no byte before it.
  lower = text.FindLast("xref");
  position = text.End();
  ASSERT_EQ(FindKeywordBackward(lower, position, "xref", error), 1);
  EXPECT_EQ(position, lower);

  // A range shorter than the keyword and an empty keyword.
  position = text.At(3);
  EXPECT_EQ(FindKeywordBackward(text.Begin(), position, "xref", error), 0);
  EXPECT_EQ(error, -14);
  position = text.End();
  EXPECT_EQ(FindKeywordBackward(text.Begin(), position, "", error), 0);
  EXPECT_EQ(error, -13);
}

// --- FindDictEnd ----------------------------------------------------------------------------------

// The ">>" closing the dictionary whose "<<" is the first one in text, as an offset (-1: none).
long DictEndOffset(const Text& text) {
  return text.OffsetOf(FindDictEnd(text.Find("<<") + 2, text.End()));
}

TEST(FindDictEndTest, SkipsStringsNestedDictionariesAndComments) {
  for (const char* bytes : {"<< /T (a >> b) /N 1 >> 2 0 obj",
                            "<< /R << /F 1 >> /X << /Y << >> >> >> 2 0 obj",
                            "<< /T (a \\) >> \\( b) >> 2 0 obj",
                            "<< /T (nested (>>) parens) >> 2 0 obj",
                            "<< /N 1 % comment >>\n>> 2 0 obj",
                            "<</A[1 2]/B{x}/C(y)>> 2 0 obj"}) {
    Text text(bytes);
    EXPECT_EQ(DictEndOffset(text), text.OffsetOf(text.FindLast(">>"))) << bytes;
  }
}

TEST(FindDictEndTest, HexStringGluedToTheClosingBrackets) {
  for (const char* bytes : {"<< /Contents <FEFF0041>>> 2 0 obj",
                            "<< /V <>>> 2 0 obj",
                            "<< /A << /B <00>>> >> 2 0 obj",
                            "<< /ID [<3C3E><3E3E>]>> 2 0 obj"}) {
    Text text(bytes);
    EXPECT_EQ(DictEndOffset(text), text.OffsetOf(text.FindLast(">>"))) << bytes;
  }
}

TEST(FindDictEndTest, MissingEndGivesNull) {
  for (const char* bytes : {"<< /A 1 /B << /C 2 >>", "<< /T (never closed >>", "<< /H <0041", "<< /A 1 % >>"}) {
    Text text(bytes);
    EXPECT_EQ(DictEndOffset(text), -1) << bytes;
  }
}

TEST(FindDictEndTest, SecondPassTakesACommentAtAStepStartAsTokens) {
  // The first pass runs into the end inside the comment; the repeated pass reads the comment's
  // bytes as tokens and stops at its ">>".
  Text text("<< /T (x)% c >>");
  EXPECT_EQ(DictEndOffset(text), text.OffsetOf(text.FindLast(">>")));
}

// A literal string glued to the name before it is still skipped as a string, so the brackets,
// "<", ">>" and "%" inside it do not end or derail the search.
TEST(FindDictEndTest, LiteralStringGluedToAName) {
  for (const char* bytes : {"<< /T(a<b)>> 2 0 obj", "<< /T(>>)>> 2 0 obj", "<< /T(<<)>> 2 0 obj",
                            "<< /Title(100% done)\n/N 1 >> 2 0 obj"}) {
    Text text(bytes);
    EXPECT_EQ(DictEndOffset(text), text.OffsetOf(text.FindLast(">>"))) << bytes;
  }
}

// --- FindKey --------------------------------------------------------------------------------------

// Offset of key in the dictionary between the first "<<" and the last ">>" of text (-1: not found,
// with the error in error).
long KeyOffset(const Text& text, std::string_view key, int& error) {
  return text.OffsetOf(FindKey(key, text.Find("<<") + 2, text.FindLast(">>"), error));
}

TEST(FindKeyTest, OnlyTheOuterLevelIsSearched) {
  Text text("<< /Resources << /Type /Font /Kids 1 >> /Type /Page >>");
  int error = 5;
  EXPECT_EQ(KeyOffset(text, "/Type", error), text.OffsetOf(text.FindLast("/Type")));
  EXPECT_EQ(error, 0);
  EXPECT_EQ(KeyOffset(text, "/Kids", error), -1);
}

TEST(FindKeyTest, KeyMustEndAtADelimiter) {
  Text text("<< /KidsX [ 1 0 R ] /Kids[ 2 0 R ] >>");
  int error = 0;
  EXPECT_EQ(KeyOffset(text, "/Kids", error), text.OffsetOf(text.Find("/Kids[")));

  for (const char* bytes : {"<</Count 3/Kids 4>>", "<</Kids(x)>>", "<</Kids<</A 1>>>>", "<</Kids%c\n1>>",
                            "<< /A 1 /Kids>>"}) {
    Text glued(bytes);
    EXPECT_EQ(KeyOffset(glued, "/Kids", error), glued.OffsetOf(glued.Find("/Kids"))) << bytes;
  }
}

TEST(FindKeyTest, KeysInsideArraysAtTheOuterLevelAreFound) {
  Text text("<< /Names [ (a) 1 0 R /Target 2 ] >>");
  int error = 0;
  EXPECT_EQ(KeyOffset(text, "/Target", error), text.OffsetOf(text.Find("/Target")));
  // A name value equal to the key is found as well.
  Text value("<< /S /Type /Type /Page >>");
  EXPECT_EQ(KeyOffset(value, "/Type", error), value.OffsetOf(value.Find("/Type")));
}

TEST(FindKeyTest, LiteralStringsAndCommentsAreSkipped) {
  for (const char* bytes : {"<< /T (a >> /Key b) /Key 1 >>", "<< /T (<<) /Key 1 >>", "<< /T (a \\) /Key) /Key 1 >>",
                            "<< /T(>>)/Key 1 >>", "<< % /Key\n/Key 1 >>", "<< /T <3E3E> /Key 1 >>"}) {
    Text text(bytes);
    int error = 0;
    EXPECT_EQ(KeyOffset(text, "/Key", error), text.OffsetOf(text.FindLast("/Key"))) << bytes;
  }
}

TEST(FindKeyTest, AbsentKeyCodes) {
  int error = 0;
  Text separator("<< /A [ 1 ] >>");
  EXPECT_EQ(KeyOffset(separator, "/C", error), -1);
  EXPECT_EQ(error, -2);

  Text token("<< /A 12345>>");
  EXPECT_EQ(KeyOffset(token, "/C", error), -1);
  EXPECT_EQ(error, -3);

  Text shortRange("/A");
  EXPECT_EQ(FindKey("/Long", shortRange.Begin(), shortRange.End(), error), nullptr);
  EXPECT_EQ(error, -2);
}

// --- LookupObjectOffset ---------------------------------------------------------------------------

TEST(LookupObjectOffsetTest, FindsByNumberWhateverTheType) {
  const XrefTable table = {{0, 0, 65535, 'f'}, {1, 15, 0, 'n'}, {2, 80, 0, 'n'}, {7, 400, 2, 'n'}, {9, 0, 1, 'f'}};
  int error = 3;
  EXPECT_EQ(LookupObjectOffset(table, 1, error), 15);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(LookupObjectOffset(table, 7, error), 400);
  EXPECT_EQ(LookupObjectOffset(table, 0, error), 0);
  EXPECT_EQ(LookupObjectOffset(table, 9, error), 0);
  EXPECT_EQ(error, 0);

  for (int absent : {3, 8, 10, -1}) {
    EXPECT_EQ(LookupObjectOffset(table, absent, error), -95) << absent;
    EXPECT_EQ(error, -95);
  }
  EXPECT_EQ(LookupObjectOffset(XrefTable{}, 1, error), -95);
}

// --- LocateObject ---------------------------------------------------------------------------------

TEST(LocateObjectTest, ReturnsTheFirstByteOfTheObjectBody) {
  testing::PdfWriter writer;
  const long first = static_cast<long>(writer.Offset());
  writer.Object(12, "<< /Type /Page >>");
  const long second = static_cast<long>(writer.Offset());
  writer.Raw("13 2 obj % a comment\r\n  [ 1 2 ]\nendobj\n");
  Text text(writer.Bytes());
  int error = 9;

  const Byte* body = LocateObject(text.Begin(), text.End(), first, 12, error);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(body, text.Find("<< /Type /Page"));

  body = LocateObject(text.Begin(), text.End(), second, 13, error);
  EXPECT_EQ(body, text.Find("[ 1 2 ]"));

  // Whitespace before the header, as left by an offset that points at the end of the previous line.
  body = LocateObject(text.Begin(), text.End(), second - 1, 13, error);
  EXPECT_EQ(body, text.Find("[ 1 2 ]"));
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
                        Case{"12 0 obj\n<< >>", -1, 12, -96},
                        Case{"12 0 obj\n<< >>", 14, 12, -97},     // offset at the end: no number
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
