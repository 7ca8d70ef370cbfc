// The bytes folvex writes for a mid-size generated input, pinned by their SHA-256: speed work on
// loading, lookup and copying must leave every output byte as it was.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "tests/support/large_pdf.h"
#include "tests/support/oracles.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using namespace testing;

std::string Sha256Hex(const std::string& path) { return RunCommand("sha256sum " + Quoted(path)).Output.substr(0, 64); }

// The generated classic input and its copy with object and cross-reference streams. The copy is
// qpdf's work: its digest is pinned too, and the cases reading it are skipped when another qpdf
// writes it differently.
// Large is big enough that its outputs are written to their files in several parts.
struct Inputs {
  std::string Dir = TempDir() + "/unchanged", Classic = Dir + "/classic.pdf", Streams = Dir + "/streams.pdf", Large;
  bool StreamsAsRecorded = false;
};

constexpr const char* kStreamsInputDigest = "0a150d5faaf9171e6ac7628a42115d2e2e471a8a55d53fd30e2a529503935427";

const Inputs& MadeInputs() {
  static const Inputs inputs = [] {
    Inputs made;
    std::filesystem::create_directories(made.Dir);
    // Pages, outline items and filler bytes per page.
    WriteTempFile("unchanged/classic.pdf", LargePdf(LargePdfShape{300, 120, 100}));
    RunCommand("qpdf --object-streams=generate --deterministic-id " + Quoted(made.Classic) + " " + Quoted(made.Streams));
    made.StreamsAsRecorded = Sha256Hex(made.Streams) == kStreamsInputDigest;
    made.Large = WriteTempFile("unchanged/large.pdf", LargePdf(LargePdfShape{2000, 60, 2500}));
    return made;
  }();
  return inputs;
}

struct Case {
  const char* Name;
  // The folvex arguments: {classic}, {streams}, {large} and {dir} (the case's own output folder) are
  // replaced; a case may read what an earlier case wrote.
  const char* Arguments;
  const char* Output;  // relative to the case's folder
  bool ReadsStreams;
  const char* Digest;
};

const Case kCases[] = {
    {"extract-ranges-with-outlines", "extract {classic} 7-40,300-251,3 -o {dir}/out.pdf --outlines keep", "out.pdf",
     false, "2d6006b33918f98c692bf126f93441b7d373720d9157f884b83e1fd2781c81f4"},
    {"extract-all-reversed", "extract {classic} 300-1 -o {dir}/out.pdf", "out.pdf", false, "ec636ee86d502a4cbc642134d593e98d1d8bf544fe3d39cecf513023ad98be6b"},
    {"extract-from-object-streams", "extract {streams} 1-150 -o {dir}/out.pdf --outlines keep", "out.pdf", true, "a70c6db1bc6aa04dab165a020faa1029c0601ee5dae79eff4af3e245ca6b92f8"},
    {"merge-with-file-outlines",
     "merge {classic} {streams} {classic} -o {dir}/out.pdf --outlines keep --file-outlines", "out.pdf", true, "7dc274770bbd75b996768423fd141329526bb2897bb92cdb47d11c16b766a7e9"},
    {"merge-classic", "merge {classic} {classic} -o {dir}/out.pdf", "out.pdf", false, "42331cb21ba3def78604884c12afeabfb7f5fd762b939f72729f28249dcf5c2c"},
    {"protect-rc4", "protect {classic} --user-password u --owner-password o --allow print --rc4 --output-dir {dir}",
     "classic-s.pdf", false, "9985da443190c16616384a17d26f4c8f0718fa98b72f09ce7986142b1926072e"},
    {"protect-aes256", "protect {streams} --user-password u --owner-password o --aes256 --output-dir {dir}",
     "streams-s.pdf", true, "adca87c7d2eee472197524499bb9d5feb7fddc0904295a611f32154d5b9c24c8"},
    {"unprotect-rc4", "unprotect {root}/protect-rc4/classic-s.pdf --password o --output-dir {dir}", "classic-s-r.pdf",
     false, "ae6f6be0d2cbdab570d6d68c1e3de95692475a5ee8d1a936dbd8a87972c17051"},
    {"extract-written-in-parts", "extract {large} 2000-1 -o {dir}/out.pdf --outlines keep", "out.pdf", false, "8a42300d681d5fbc3bef471c4cc52f28f60201bfee326b48c5b1d7fa7b731e56"},
    {"merge-written-in-parts", "merge {large} {classic} {large} -o {dir}/out.pdf --outlines keep --file-outlines",
     "out.pdf", false, "fbdf25096235c718f9bf78ed69857455fd4439f9259b5232be94b3e64974f269"},
    {"extract-from-protected", "extract {root}/protect-rc4/classic-s.pdf 20-1 --password o -o {dir}/out.pdf",
     "out.pdf", false, "12a37231ef4d05b8c17cd51ed258644ff7ed0140d923fb6c97433932d283e628"},
};

// Runs the cases that read the object-stream input or not, in table order.
void RunCases(bool readingStreams) {
  const Inputs& inputs = MadeInputs();
  for (const Case& c : kCases) {
    if (c.ReadsStreams != readingStreams) continue;
    SCOPED_TRACE(c.Name);
    const std::string dir = inputs.Dir + "/" + c.Name;
    std::filesystem::create_directories(dir);
    std::string arguments = c.Arguments;
    for (const auto& [key, value] : {std::pair{"{classic}", Quoted(inputs.Classic)}, {"{streams}", Quoted(inputs.Streams)},
                                     {"{large}", Quoted(inputs.Large)}, {"{dir}", dir}, {"{root}", inputs.Dir}}) {
      for (std::size_t at; (at = arguments.find(key)) != std::string::npos;) arguments.replace(at, std::strlen(key), value);
    }
    const CommandResult run =
        RunCommand("SOURCE_DATE_EPOCH=1700000000 " + std::string(FOLVEX_CLI_PATH) + " " + arguments + " --quiet 2>&1");
    ASSERT_EQ(run.ExitCode, 0) << arguments << "\n" << run.Output;
    EXPECT_EQ(Sha256Hex(dir + "/" + c.Output), c.Digest) << c.Output;
  }
}

TEST(UnchangedOutputs, JobsOnTheClassicInputWriteTheRecordedBytes) { RunCases(false); }

TEST(UnchangedOutputs, JobsOnTheObjectStreamInputWriteTheRecordedBytes) {
  if (!HaveTool("qpdf")) GTEST_SKIP() << "qpdf is not installed";
  if (!MadeInputs().StreamsAsRecorded) GTEST_SKIP() << "this qpdf writes the object-stream input differently";
  RunCases(true);
}

}  // namespace
}  // namespace folvex
