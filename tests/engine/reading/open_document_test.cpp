#include "engine/reading/open_document.h"

#include <gtest/gtest.h>

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
