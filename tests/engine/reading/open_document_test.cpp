// Opening files whole: the load, and the open sequence's stages for each kind of file.
#include "engine/reading/open_document.h"

#include <gtest/gtest.h>

#include "engine/reading/file_image.h"
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
  std::string kidless = WithoutTable(SimplePdf(2));  // fails its analysis after the repair: not repaired twice
  kidless.replace(kidless.find("/Kids"), 5, "/Kidz");
  std::string mentions = WithoutTable(SimplePdf(4)) + "startxref\n9\n%%EOF\n";  // "/XRef" but no stream
  mentions.replace(mentions.find("/Type /Catalog"), 14, "/Type /Catalog /XRefNote 1");
  const std::string streams = Qpdf("streams", SimplePdf(5), "--object-streams=generate");
  // Cut in front of its cross-reference stream: the catalog and the page tree lie in object streams.
  const std::string streamsCut = streams.substr(0, streams.rfind("endobj", streams.rfind(" 0 obj")) + 7);
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
      {"page tree without kids", WriteTempFile("kidless.pdf", kidless), kOpenFailed, {r, p, f, a}, -1},
      {"mentions /XRef", WriteTempFile("mentions.pdf", mentions), 4, {r, p, c, f, a}, 4},
      {"text", WriteTempFile("notes.txt", "These are plain notes, not a PDF file at all.\n"), kOpenFailed, {r, p, f, f}, -1},
      {"absent", testing::TempDir() + "/absent.pdf", kOpenNotFound, {}, -2},
      {"folder", testing::TempDir(), kOpenNotFound, {}, -2},
      {"cancelled", WriteTempFile("cancel.pdf", good), kOpenCancelled, {r, p}, 3, 4},
      {"object streams", WriteTempFile("streams.pdf", streams), 5, {r, p, c, a}, 5},
      {"object streams, no table", WriteTempFile("streams-cut.pdf", streamsCut), 5, {r, p, f, a}, 5},
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

// Bytes that differ from position to position, so a slice read twice or left out shows.
std::string Patterned(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + i / 4093) % 251 + 1);
  return bytes;
}

// Loading whole files of the sizes where storage is advised for large pages: every byte in place
// and the zero byte behind them.
TEST(LoadFileImage, HoldsEveryByteFollowedByOneZero) {
  // The smallest file taken, and sizes on either side of the large-page boundaries.
  constexpr std::size_t kLargePage = std::size_t{2} << 20;
  for (std::size_t size : {std::size_t{20}, std::size_t{4096}, 2 * kLargePage - 1, 2 * kLargePage,
                           3 * kLargePage + 17}) {
    SCOPED_TRACE(size);
    const std::string bytes = Patterned(size);
    const std::string path = testing::WriteTempFile("image-" + std::to_string(size) + ".bin", bytes);
    FileImage image;
    int error = 99;
    ASSERT_EQ(LoadFileImage(path, image, error), 1);
    EXPECT_EQ(error, 0);
    ASSERT_EQ(image.Size(), size);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.Begin()), size), bytes);
    EXPECT_EQ(*image.End(), 0);
  }
}

}  // namespace
}  // namespace folvex
