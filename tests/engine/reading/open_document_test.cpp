#include "engine/reading/open_document.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>

#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::PdfWriter;
using testing::RunCommand;
using testing::SimplePdf;
using testing::WriteTempFile;

// Opens path in a fresh slot; steps receives the progress reports.
int Open(EngineState& state, const std::string& path, std::vector<std::string>& steps,
         const DecryptDocument& decrypt = {}, int cancelAt = -1) {
  JobControl control;
  control.ProgressSink = [&](int percent, const std::string& label) {
    steps.push_back(std::to_string(percent) + " " + label);
    if (percent == cancelAt) control.CancelFlag = 3;
  };
  state.Control = &control;
  ResetDocumentState(state);
  PrepareDocumentSlots(state, 1);
  const int result = OpenDocument(state, 0, path, decrypt);
  state.Control = nullptr;
  return result;
}

std::string WithoutTable(const std::string& pdf) { return pdf.substr(0, pdf.find("xref\n")); }

// Writes the bytes qpdf makes of input with arguments; empty when qpdf fails or is missing.
std::string Qpdf(const std::string& name, const std::string& input, const std::string& arguments) {
  const std::string in = WriteTempFile(name + "-in.pdf", input), out = testing::TempDir() + "/" + name + ".pdf";
  if (RunCommand("qpdf --allow-weak-crypto " + arguments + " '" + in + "' '" + out + "' 2>/dev/null").ExitCode != 0) return "";
  return testing::ReadFile(out);
}

// The open sequence's stages and result for each kind of file, and what a page count makes of it.
TEST(OpenDocument, StagesAndResultsOfEachKindOfFile) {
  const std::string good = SimplePdf(3);
  const std::size_t firstObject = good.find("1 0 obj");
  std::string shifted = good;  // every object offset points 8 bytes early; the table itself is found
  const std::size_t startxref = good.rfind("startxref\n") + 10;
  shifted.replace(startxref, good.find('\n', startxref) - startxref, std::to_string(std::stoul(good.substr(startxref)) + 8));
  shifted.insert(firstObject, "% three\n");
  std::string looping = good;  // an update whose /Prev names itself: older objects are lost
  looping += "xref\n1 1\n" + std::string(10 - std::to_string(firstObject).size(), '0') + std::to_string(firstObject) +
             " 00000 n \ntrailer\n<< /Size 9 /Root 1 0 R /Prev " + std::to_string(good.size()) + " >>\nstartxref\n" +
             std::to_string(good.size()) + "\n%%EOF\n";
  std::string untyped = WithoutTable(SimplePdf(2));  // fails its analysis after the repair: not repaired twice
  untyped.replace(untyped.find("/Type /Catalog"), 14, "/Kind /Catalog");
  std::string mentions = WithoutTable(SimplePdf(4)) + "startxref\n9\n%%EOF\n";  // "/XRef" but no stream
  mentions.replace(mentions.find("/Type /Catalog"), 14, "/Type /Catalog /XRefNote 1");
  const std::string streams = Qpdf("streams", SimplePdf(5), "--object-streams=generate");
  const std::string r = "0 Reading", p = "4 Analyzing", a = "6 Analyzing", c = "5 Converting", f = "5 Repairing";
  struct Case {
    const char* Name;
    std::string Path;
    int Result;
    std::vector<std::string> Steps;
    int Count;  // CountPages's result
    int CancelAt = -1;
  };
  const Case cases[] = {
      {"classic", WriteTempFile("classic.pdf", good), 3, {r, p, a}, 3},
      {"no table", WriteTempFile("damaged.pdf", WithoutTable(SimplePdf(4))), 4, {r, p, f, a}, 4},
      {"stale offsets", WriteTempFile("shifted.pdf", shifted), 3, {r, p, a, f, a}, 3},
      {"looping update", WriteTempFile("looping.pdf", looping), 3, {r, p, a, f, a}, 3},
      {"untyped catalog", WriteTempFile("untyped.pdf", untyped), kOpenFailed, {r, p, f, a}, -1},
      {"mentions /XRef", WriteTempFile("mentions.pdf", mentions), 4, {r, p, c, f, a}, 4},
      {"text", WriteTempFile("notes.txt", "These are plain notes, not a PDF file at all.\n"), kOpenFailed, {r, p, f, f}, -1},
      {"absent", testing::TempDir() + "/absent.pdf", kOpenNotFound, {}, -2},
      {"folder", testing::TempDir(), kOpenNotFound, {}, -2},
      {"cancelled", WriteTempFile("cancel.pdf", good), kOpenCancelled, {r, p}, 3, 4},
      {"object streams", WriteTempFile("streams.pdf", streams), 5, {r, p, c, a}, 5},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.Name);
    if (k.Result == 5 && streams.empty()) continue;  // no qpdf
    EngineState state;
    std::vector<std::string> steps;
    EXPECT_EQ(Open(state, k.Path, steps, {}, k.CancelAt), k.Result);
    EXPECT_EQ(steps, k.Steps);
    if (k.Result > 0) {
      ASSERT_EQ(state.Slots.size(), 1u);
      EXPECT_EQ(state.Slots[0].PageList.size(), static_cast<std::size_t>(k.Result));
    } else {
      EXPECT_TRUE(state.Slots.empty()) << "a failed open releases the documents";
    }
    EngineState counting;
    EXPECT_EQ(CountPages(counting, k.Path), k.Count);
    EXPECT_TRUE(counting.Slots.empty()) << "counting leaves no document behind";
  }
  EngineState state;
  PrepareDocumentSlots(state, 1);
  EXPECT_EQ(OpenDocument(state, 1, WriteTempFile("slot.pdf", good), DecryptDocument{}), kOpenFailed);
  EXPECT_TRUE(state.Slots.empty());
}

TEST(OpenDocument, ProtectedFilesGoThroughTheSecuritySubsystem) {
  PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  w.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  w.Object(3, "<< /Type /Page >>");
  w.Object(4, "<< /Filter /Standard /V 1 /R 2 >>");
  w.Finish("/Size 5 /Root 1 0 R /Encrypt 4 0 R");
  const std::string path = WriteTempFile("protected.pdf", w.Bytes());
  // Damaged, the file shows its protection only after the repair: decrypted then, and rebuilt again.
  const std::string damaged = WriteTempFile(
      "protected-damaged.pdf", "junk\n" + WithoutTable(w.Bytes()) + w.Bytes().substr(w.Bytes().find("trailer")));
  int calls = 0;
  const DecryptDocument accept = [&](EngineState& s, DocumentSlot& slot) {
    ++calls;
    EXPECT_TRUE(s.EncryptRef.has_value());
    EXPECT_FALSE(slot.Image.Empty());
    return 0;
  };
  EngineState state;
  std::vector<std::string> steps;
  EXPECT_EQ(Open(state, path, steps), kOpenNoDecryption);
  EXPECT_EQ(Open(state, path, steps, [](EngineState&, DocumentSlot&) { return 4; }), 4);
  EXPECT_EQ(Open(state, damaged, steps), kOpenNoDecryption);
  for (const auto& [file, expected] : std::vector<std::pair<std::string, std::vector<std::string>>>{
           // A decrypted image is always rebuilt before it is analysed.
           {path, {"0 Reading", "4 Analyzing", "5 Repairing", "6 Analyzing"}},
           {damaged, {"0 Reading", "4 Analyzing", "5 Repairing", "5 Repairing", "6 Analyzing"}}}) {
    SCOPED_TRACE(file);
    steps.clear();
    calls = 0;
    EXPECT_EQ(Open(state, file, steps, accept), 1);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(steps, expected);
    EXPECT_EQ(CountPages(state, file), 1);
    EXPECT_TRUE(state.EncryptRef.has_value()) << "listed as protected";
  }
  // Protected, with a /Prev that leads nowhere: the table does not parse, so the file is repaired.
  std::string badPrev = w.Bytes();
  badPrev.replace(badPrev.find("/Encrypt 4 0 R"), 14, "/Encrypt 4 0 R /Prev 3");
  EXPECT_EQ(CountPages(state, WriteTempFile("protected-bad-prev.pdf", badPrev)), 1);
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
  const auto value = [&](const std::string& key, const std::string& until) {
    const std::size_t at = stream.find(key) + key.size() + 1;
    return stream.substr(at, stream.find_first_of(until, at) - at);
  };
  std::string text = streams.substr(0, startxref);
  const std::size_t xref = text.size();
  text += "xref\n";
  char line[32];
  for (const auto& [number, offset] : ObjectOffsets(streams)) {
    std::snprintf(line, sizeof line, "%d 1\n%010zu 00000 n \n", number, offset);
    text += line;
  }
  return text + "trailer\n<< /Size " + value("/Size", " />") + " /Root " + value("/Root", "R") + "R /XRefStm " +
         std::to_string(xrefStm) + extra + " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
}

// Page counts of protected and hybrid files written by qpdf, and the image handed to the security
// writer for each.
TEST(CountPages, ProtectedAndHybridFiles) {
  const std::string streams = Qpdf("count-streams", SimplePdf(5), "--object-streams=generate");
  if (streams.empty()) GTEST_SKIP() << "qpdf is not installed";
  const std::string protectedClassic =
      Qpdf("count-enc-classic", SimplePdf(4), "--object-streams=disable --encrypt user owner 128 --");
  const std::string protectedStreams =
      Qpdf("count-enc-streams", SimplePdf(4), "--object-streams=generate --encrypt user owner 128 --");
  PdfWriter classic;  // protected hybrid, its pages in the classic part
  classic.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  classic.Object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>");
  classic.Object(3, "<< /Type /Page >>");
  classic.Object(4, "<< /Type /Page >>");
  classic.Finish("/Size 5 /Root 1 0 R /XRefStm 12345 /Encrypt 9 0 R");
  struct Case {
    const char* Name;
    std::string Bytes;
    int Pages;  // -1: protected and uncounted (-1000)
    bool Protected;
    int Protect;  // ProtectImage's result with a writer that succeeds
  };
  const Case cases[] = {
      // The page tree lies in the object streams, which only the /XRefStm stream describes.
      {"hybrid", Hybrid(streams, ""), 5, false, 0},
      {"hybrid protected", Hybrid(streams, " /Encrypt 9999 0 R"), -1, true, 0},
      {"hybrid protected, pages classic", classic.Bytes(), 2, true, 0},
      {"protected classic", protectedClassic, 4, true, 0},
      {"protected streams", protectedStreams, -1, true, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string path = WriteTempFile("count-case.pdf", c.Bytes);
    EngineState state;
    EXPECT_EQ(CountPages(state, path), c.Pages);
    EXPECT_EQ(state.EncryptRef.has_value(), c.Protected);
    if (c.Pages < 0) {
      EXPECT_EQ(state.LastErrorCode, -1000);
    }
    FileImage image;
    std::size_t tableSize = 0;
    EXPECT_EQ(ProtectImage(state, path, {}, 0, false, image,
                           [&](EngineState&, FileImage& written, XrefTable& table, auto&&...) {
                             EXPECT_FALSE(written.Empty());
                             tableSize = table.size();
                             return 0;
                           }),
              c.Protect);
    if (c.Protect == 0) {
      EXPECT_GE(tableSize, 5u);
    }
  }
}

TEST(ProtectImage, HandsAClassicImageToTheWriter) {
  const std::string streams = Qpdf("protect-streams", SimplePdf(2), "--object-streams=generate");
  if (streams.empty()) GTEST_SKIP() << "qpdf is not installed";
  EngineState state;
  state.FileId[0] = 0x42;
  const Byte key[5] = {1, 2, 3, 4, 5};
  std::size_t tableSize = 0;
  Byte firstIdByte = 0;
  auto writer = [&](EngineState& s, FileImage& written, XrefTable& table, std::span<const Byte> given, int passThrough,
                    bool fromMemory) {
    tableSize = table.size();
    firstIdByte = s.FileId[0];
    EXPECT_FALSE(written.Empty());
    EXPECT_EQ(given.size(), 5u);
    EXPECT_EQ(passThrough, 9);
    EXPECT_FALSE(fromMemory);
    return 0;
  };
  FileImage image;
  for (const std::string& bytes : {streams, WithoutTable(SimplePdf(2))}) {  // converted, and repaired
    tableSize = 0;
    EXPECT_EQ(ProtectImage(state, WriteTempFile("protect-in.pdf", bytes), key, 9, false, image, writer), 0);
    EXPECT_GT(tableSize, 5u);
    EXPECT_EQ(firstIdByte, 0x42) << "the new file's identifier is kept";
    EXPECT_GT(state.ProtectCatalogNumber, 0);
  }
  EXPECT_EQ(ProtectImage(state, testing::TempDir() + "/absent.pdf", key, 0, false, image, writer), 7);
  EXPECT_EQ(ProtectImage(state, WriteTempFile("protect-plain.pdf", SimplePdf(1)), key, 0, false, image, {}), 6);
  // An in-memory image that is protected cannot be used.
  FileImage memory = testing::ImageOf(Qpdf("protect-mem", SimplePdf(1), "--object-streams=disable --encrypt u o 128 --"));
  EXPECT_EQ(ProtectImage(state, "", key, 0, true, memory, writer), 5);
}

}  // namespace
}  // namespace folvex
