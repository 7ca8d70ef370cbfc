#include "engine/reading/open_document.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>

#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::HaveTool;
using testing::PdfWriter;
using testing::RunCommand;
using testing::SimplePdf;
using testing::WriteTempFile;

struct Recorded {
  JobControl Control;
  std::vector<std::string> Steps;
  Recorded() {
    Control.ProgressSink = [this](int percent, const std::string& label) {
      Steps.push_back(std::to_string(percent) + " " + label);
    };
  }
};

int Open(EngineState& state, const std::string& path, Recorded& recorded, const DecryptDocument& decrypt = {}) {
  state.Control = &recorded.Control;
  ResetDocumentState(state);
  PrepareDocumentSlots(state, 1);
  return OpenDocument(state, 0, path, decrypt);
}

std::string WithoutTable(const std::string& pdf) { return pdf.substr(0, pdf.find("xref\n")); }

TEST(OpenDocument, ProgressStagesOfEachKindOfFile) {
  EngineState state;
  Recorded classic;
  EXPECT_EQ(Open(state, WriteTempFile("classic.pdf", SimplePdf(3)), classic), 3);
  EXPECT_EQ(classic.Steps, (std::vector<std::string>{"0 Reading", "4 Analyzing", "6 Analyzing"}));
  ASSERT_EQ(state.Slots.size(), 1u);
  EXPECT_EQ(state.Slots[0].PageList.size(), 3u);

  Recorded damaged;
  EXPECT_EQ(Open(state, WriteTempFile("damaged.pdf", WithoutTable(SimplePdf(4))), damaged), 4);
  EXPECT_EQ(damaged.Steps,
            (std::vector<std::string>{"0 Reading", "4 Analyzing", "5 Repairing", "6 Analyzing"}));

  Recorded text;
  EXPECT_EQ(Open(state, WriteTempFile("notes.txt", "These are plain notes, not a PDF file at all.\n"), text), kOpenFailed);
  EXPECT_EQ(text.Steps, (std::vector<std::string>{"0 Reading", "4 Analyzing", "5 Repairing", "5 Repairing"}));
  EXPECT_TRUE(state.Slots.empty()) << "a failed open releases the documents";

  Recorded missing;
  EXPECT_EQ(Open(state, testing::TempDir() + "/absent.pdf", missing), kOpenNotFound);

  Recorded japanese;
  japanese.Control.Japanese = true;
  EXPECT_EQ(Open(state, WriteTempFile("classic-ja.pdf", SimplePdf(1)), japanese), 1);
  EXPECT_EQ(japanese.Steps[0], "0 読み込み中");
}

TEST(OpenDocument, CrossReferenceStreamsAreConvertedOnce) {
  if (!HaveTool("qpdf")) GTEST_SKIP() << "qpdf is not installed";
  std::string input = WriteTempFile("plain-for-streams.pdf", SimplePdf(5));
  std::string output = testing::TempDir() + "/streams.pdf";
  ASSERT_EQ(RunCommand("qpdf --object-streams=generate '" + input + "' '" + output + "'").ExitCode, 0);
  EngineState state;
  Recorded recorded;
  EXPECT_EQ(Open(state, output, recorded), 5);
  EXPECT_EQ(recorded.Steps,
            (std::vector<std::string>{"0 Reading", "4 Analyzing", "5 Converting", "6 Analyzing"}));
}

TEST(OpenDocument, ProtectedFilesGoThroughTheSecuritySubsystem) {
  PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  w.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  w.Object(3, "<< /Type /Page >>");
  w.Object(4, "<< /Filter /Standard /V 1 /R 2 >>");
  w.Finish("/Size 5 /Root 1 0 R /Encrypt 4 0 R");
  std::string path = WriteTempFile("protected.pdf", w.Bytes());

  EngineState state;
  Recorded without;
  EXPECT_EQ(Open(state, path, without), kOpenNoDecryption);

  Recorded with;
  int calls = 0;
  EXPECT_EQ(Open(state, path, with, [&](EngineState&, DocumentSlot& slot) {
              ++calls;
              EXPECT_FALSE(slot.Image.Empty());
              return 0;
            }),
            1);
  EXPECT_EQ(calls, 1);
  // A decrypted image is always rebuilt before it is analysed.
  EXPECT_EQ(with.Steps, (std::vector<std::string>{"0 Reading", "4 Analyzing", "5 Repairing", "6 Analyzing"}));

  Recorded refused;
  EXPECT_EQ(Open(state, path, refused, [](EngineState&, DocumentSlot&) { return 4; }), 4);

  // Damaged, the file shows its protection only after the repair: decrypted then, and rebuilt again.
  const std::string damaged = WriteTempFile("protected-damaged.pdf", "junk\n" + w.Bytes().substr(0, w.Bytes().find("xref")) +
                                                                         w.Bytes().substr(w.Bytes().find("trailer")));
  Recorded plain;
  EXPECT_EQ(Open(state, damaged, plain), kOpenNoDecryption);
  Recorded late;
  calls = 0;
  EXPECT_EQ(Open(state, damaged, late, [&](EngineState& s, DocumentSlot&) {
              ++calls;
              EXPECT_TRUE(s.EncryptRef.has_value());
              return 0;
            }),
            1);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(late.Steps,
            (std::vector<std::string>{"0 Reading", "4 Analyzing", "5 Repairing", "5 Repairing", "6 Analyzing"}));
  EXPECT_EQ(CountPages(state, damaged), 1);
  EXPECT_TRUE(state.EncryptRef.has_value()) << "listed as protected";
  // Protected, with a /Prev that leads nowhere: the table does not parse, so the file is repaired.
  std::string badPrev = w.Bytes();
  badPrev.replace(badPrev.find("/Encrypt 4 0 R"), 14, "/Encrypt 4 0 R /Prev 3");
  EXPECT_EQ(CountPages(state, WriteTempFile("protected-bad-prev.pdf", badPrev)), 1);
}

TEST(OpenDocument, CancelStopsTheSequence) {
  EngineState state;
  Recorded recorded;
  recorded.Control.ProgressSink = [&](int percent, const std::string&) {
    if (percent == 4) recorded.Control.CancelFlag = 3;
  };
  EXPECT_EQ(Open(state, WriteTempFile("cancel.pdf", SimplePdf(2)), recorded), kOpenCancelled);
  EXPECT_TRUE(state.Slots.empty());
}

TEST(CountPages, ResultsForEveryKindOfFile) {
  EngineState state;
  EXPECT_EQ(CountPages(state, WriteTempFile("count.pdf", SimplePdf(7))), 7);
  EXPECT_FALSE(state.EncryptRef.has_value());
  EXPECT_TRUE(state.Slots.empty()) << "counting leaves no document behind";
  EXPECT_EQ(CountPages(state, testing::TempDir() + "/nothing-here.pdf"), -2);
  EXPECT_EQ(CountPages(state, WriteTempFile("text.txt", "just some words in a text file\n")), -1);
  EXPECT_EQ(CountPages(state, WriteTempFile("short.pdf", "%PDF-1.4\n")), -1);
  EXPECT_EQ(CountPages(state, WriteTempFile("repairable.pdf", WithoutTable(SimplePdf(6)))), 6);
}

// Offsets of every "N 0 obj" that starts a line, by object number.
std::map<int, std::size_t> ObjectOffsets(const std::string& text) {
  std::map<int, std::size_t> offsets;
  static const std::regex header("(^|\n)(\\d+) 0 obj");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), header); it != std::sregex_iterator(); ++it) {
    offsets[std::stoi((*it)[2])] = static_cast<std::size_t>(it->position(2));
  }
  return offsets;
}

// Turns a file with a cross-reference stream into a hybrid file: a classic section lists the
// objects that stand in the file and names the stream with /XRefStm; extra goes to its trailer.
std::string Hybrid(const std::string& streams, const std::string& extra) {
  const std::size_t startxref = streams.rfind("startxref");
  const std::size_t xrefStm = std::stoul(streams.substr(startxref + 10));
  const std::string stream = streams.substr(xrefStm, streams.find("stream", xrefStm) - xrefStm);
  const std::string size = stream.substr(stream.find("/Size") + 6, stream.find_first_of(" />", stream.find("/Size") + 6) - stream.find("/Size") - 6);
  const std::string root = stream.substr(stream.find("/Root") + 6, stream.find(" R", stream.find("/Root")) + 2 - stream.find("/Root") - 6);
  std::string text = streams.substr(0, startxref);
  const std::size_t xref = text.size();
  text += "xref\n";
  char line[32];
  for (const auto& [number, offset] : ObjectOffsets(streams)) {
    std::snprintf(line, sizeof line, "%d 1\n%010zu 00000 n \n", number, offset);
    text += line;
  }
  text += "trailer\n<< /Size " + size + " /Root " + root + " /XRefStm " + std::to_string(xrefStm) + extra +
          " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return text;
}

TEST(CountPages, HybridFilesAndProtectedHybridFiles) {
  if (!HaveTool("qpdf")) GTEST_SKIP() << "qpdf is not installed";
  std::string input = WriteTempFile("hybrid-in.pdf", SimplePdf(5));
  std::string streams = testing::TempDir() + "/hybrid-streams.pdf";
  ASSERT_EQ(RunCommand("qpdf --object-streams=generate '" + input + "' '" + streams + "'").ExitCode, 0);
  const std::string bytes = testing::ReadFile(streams);
  EngineState state;
  // The page tree lies in the object streams, which only the /XRefStm stream describes.
  const std::string hybrid = WriteTempFile("hybrid.pdf", Hybrid(bytes, ""));
  ASSERT_EQ(testing::PdfinfoPages(hybrid), 5);
  EXPECT_EQ(CountPages(state, hybrid), 5);
  EXPECT_FALSE(state.EncryptRef.has_value());
  // Protected, the streams cannot be read without the key: protected and uncounted.
  EXPECT_EQ(CountPages(state, WriteTempFile("hybrid-protected.pdf", Hybrid(bytes, " /Encrypt 9999 0 R"))), -1);
  EXPECT_EQ(state.LastErrorCode, -1000);
  // Protected with its pages in the classic part: counted as it stands.
  PdfWriter classic;
  classic.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  classic.Object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>");
  classic.Object(3, "<< /Type /Page >>");
  classic.Object(4, "<< /Type /Page >>");
  classic.Finish("/Size 5 /Root 1 0 R /XRefStm 12345 /Encrypt 9 0 R");
  EXPECT_EQ(CountPages(state, WriteTempFile("hybrid-protected-classic.pdf", classic.Bytes())), 2);
  EXPECT_TRUE(state.EncryptRef.has_value());
}

// A table that parses but does not lead to the objects the reading needs: repaired once, then
// analysed again.
TEST(OpenDocument, StaleTablesAreRepairedAfterTheAnalysisFails) {
  const std::string good = SimplePdf(3);
  const std::size_t firstObject = good.find("1 0 obj");
  std::string shifted = good;  // every object offset points 8 bytes early; the table itself is found
  const std::size_t startxref = good.rfind("startxref\n") + 10;
  shifted.replace(startxref, good.find('\n', startxref) - startxref, std::to_string(std::stoul(good.substr(startxref)) + 8));
  shifted.insert(firstObject, "% three\n");
  std::string looping = good;                  // an update whose /Prev names itself: older objects are lost
  const std::size_t update = looping.size();
  looping += "xref\n1 1\n" + std::string(10 - std::to_string(firstObject).size(), '0') + std::to_string(firstObject) +
             " 00000 n \ntrailer\n<< /Size 9 /Root 1 0 R /Prev " + std::to_string(update) + " >>\nstartxref\n" +
             std::to_string(update) + "\n%%EOF\n";
  for (const std::string& bytes : {shifted, looping}) {
    EngineState state;
    Recorded recorded;
    EXPECT_EQ(Open(state, WriteTempFile("stale.pdf", bytes), recorded), 3);
    EXPECT_EQ(recorded.Steps, (std::vector<std::string>{"0 Reading", "4 Analyzing", "6 Analyzing", "5 Repairing",
                                                         "6 Analyzing"}));
    EXPECT_EQ(CountPages(state, WriteTempFile("stale.pdf", bytes)), 3);
  }
  // A file that fails its analysis after a repair is not repaired twice.
  std::string untyped = WithoutTable(SimplePdf(2));
  untyped.replace(untyped.find("/Type /Catalog"), 14, "/Kind /Catalog");
  EngineState state;
  Recorded once;
  EXPECT_EQ(Open(state, WriteTempFile("untyped.pdf", untyped), once), kOpenFailed);
  EXPECT_EQ(once.Steps, (std::vector<std::string>{"0 Reading", "4 Analyzing", "5 Repairing", "6 Analyzing"}));
}

// A damaged file that mentions /XRef is not convertible; the round after a failed conversion repairs.
TEST(OpenDocument, FailedConversionFallsBackToRepair) {
  std::string bytes = WithoutTable(SimplePdf(4)) + "startxref\n9\n%%EOF\n";
  bytes.replace(bytes.find("/Type /Catalog"), 14, "/Type /Catalog /XRefNote 1");
  EngineState state;
  Recorded recorded;
  EXPECT_EQ(Open(state, WriteTempFile("xref-mention.pdf", bytes), recorded), 4);
  EXPECT_EQ(recorded.Steps,
            (std::vector<std::string>{"0 Reading", "4 Analyzing", "5 Converting", "5 Repairing", "6 Analyzing"}));
  EXPECT_EQ(CountPages(state, WriteTempFile("xref-mention.pdf", bytes)), 4);
}

TEST(OpenDocument, FoldersAndBadSlotsFailWithoutThrowing) {
  EngineState state;
  Recorded recorded;
  EXPECT_EQ(Open(state, testing::TempDir(), recorded), kOpenNotFound);
  EXPECT_EQ(CountPages(state, testing::TempDir()), -2);
  state.Control = &recorded.Control;
  PrepareDocumentSlots(state, 1);
  EXPECT_EQ(OpenDocument(state, 1, WriteTempFile("slot.pdf", SimplePdf(1)), DecryptDocument{}), kOpenFailed);
  EXPECT_EQ(OpenDocument(state, -1, WriteTempFile("slot.pdf", SimplePdf(1)), DecryptDocument{}), kOpenFailed);
  EXPECT_TRUE(state.Slots.empty());
}

// Damaged real files that repair and the open sequence must read, and their protection kept.
TEST(CountPages, RealWorldDamagedFiles) {
  const std::string dir = testing::RealWorldDir() + "/";
  if (!std::filesystem::is_directory(dir)) GTEST_SKIP() << "no real-world files";
  struct RealCase {
    const char* File;
    int Pages;  // -1: not a PDF file Folvex can read
    bool Encrypted;
  };
  for (const RealCase& c : {RealCase{"qpdf__leading-junk.pdf", 30, true}, RealCase{"pdfjs__encrypted-attachment.pdf", 1, true},
                            RealCase{"qpdf__bad2.pdf", 1, false}, RealCase{"qpdf__bad11.pdf", 1, false},
                            RealCase{"pdfcpu__withOffsetStart.pdf", 1, false}, RealCase{"pdfjs__issue10438_reduced.pdf", 1, false},
                            RealCase{"qpdf__obj0.pdf", 1, false}, RealCase{"qpdf__append-xref-loop.pdf", 30, false},
                            RealCase{"pdfjs__issue7229.pdf", 2, false}, RealCase{"qpdf__bad34.pdf", 1, false},
                            RealCase{"qpdf__issue-99b.pdf", -1, false},
                            RealCase{"pdfjs__PDFBOX-4352-0.pdf", 1, false}, RealCase{"pdfjs__poppler-85140-0.pdf", -1, false}}) {
    if (!std::filesystem::exists(dir + c.File)) continue;
    EngineState state;
    EXPECT_EQ(CountPages(state, dir + c.File), c.Pages) << c.File;
    EXPECT_EQ(state.EncryptRef.has_value(), c.Encrypted) << c.File;
  }
}

TEST(CountPages, ProtectedFiles) {
  if (!HaveTool("qpdf")) GTEST_SKIP() << "qpdf is not installed";
  std::string input = WriteTempFile("to-protect.pdf", SimplePdf(4));
  std::string classic = testing::TempDir() + "/protected-classic.pdf";
  std::string streams = testing::TempDir() + "/protected-streams.pdf";
  ASSERT_EQ(RunCommand("qpdf --allow-weak-crypto --object-streams=disable --encrypt user owner 128 -- '" + input + "' '" + classic + "'").ExitCode, 0);
  ASSERT_EQ(RunCommand("qpdf --allow-weak-crypto --object-streams=generate --encrypt user owner 128 -- '" + input + "' '" + streams + "'").ExitCode, 0);
  EngineState state;
  EXPECT_EQ(CountPages(state, classic), 4);
  EXPECT_TRUE(state.EncryptRef.has_value());
  EXPECT_EQ(CountPages(state, streams), -1);
  EXPECT_EQ(state.LastErrorCode, -1000);
  // A protected file read from its path goes to the security writer; with streams it cannot.
  FileImage image;
  EXPECT_EQ(ProtectImage(state, classic, {}, 0, false, image, [](auto&&...) { return 0; }), 0);
  EXPECT_EQ(ProtectImage(state, streams, {}, 0, false, image, {}), 5);
}

TEST(ProtectImage, HandsAClassicImageToTheWriter) {
  if (!HaveTool("qpdf")) GTEST_SKIP() << "qpdf is not installed";
  std::string input = WriteTempFile("protect-in.pdf", SimplePdf(2));
  std::string streams = testing::TempDir() + "/protect-streams.pdf";
  ASSERT_EQ(RunCommand("qpdf --object-streams=generate '" + input + "' '" + streams + "'").ExitCode, 0);
  EngineState state;
  state.FileId[0] = 0x42;
  FileImage image;
  std::size_t tableSize = 0;
  Byte firstIdByte = 0;
  auto writer = [&](EngineState& s, FileImage& written, XrefTable& table, std::span<const Byte> key, int passThrough,
                    bool fromMemory) {
    tableSize = table.size();
    firstIdByte = s.FileId[0];
    EXPECT_FALSE(written.Empty());
    EXPECT_EQ(key.size(), 5u);
    EXPECT_EQ(passThrough, 9);
    EXPECT_FALSE(fromMemory);
    return 0;
  };
  const Byte key[5] = {1, 2, 3, 4, 5};
  EXPECT_EQ(ProtectImage(state, streams, key, 9, false, image, writer), 0);
  EXPECT_GT(tableSize, 5u);
  EXPECT_EQ(firstIdByte, 0x42) << "the new file's identifier is kept";
  EXPECT_GT(state.ProtectCatalogNumber, 0);

  tableSize = 0;  // a damaged file is repaired first
  EXPECT_EQ(ProtectImage(state, WriteTempFile("protect-damaged.pdf", WithoutTable(SimplePdf(2))), key, 9, false, image, writer), 0);
  EXPECT_GT(tableSize, 5u);
  EXPECT_EQ(ProtectImage(state, testing::TempDir() + "/absent.pdf", key, 0, false, image, writer), 7);
  // Without a writer nothing is written and the call fails.
  FileImage again;
  EXPECT_EQ(ProtectImage(state, input, key, 0, false, again, {}), 6);

  // An in-memory image that is protected cannot be used.
  std::string protectedPath = testing::TempDir() + "/protect-encrypted.pdf";
  ASSERT_EQ(RunCommand("qpdf --allow-weak-crypto --object-streams=disable --encrypt u o 128 -- '" + input + "' '" + protectedPath + "'").ExitCode, 0);
  FileImage memory = testing::ImageOf(testing::ReadFile(protectedPath));
  EXPECT_EQ(ProtectImage(state, "", key, 0, true, memory, writer), 5);
}

}  // namespace
}  // namespace folvex
