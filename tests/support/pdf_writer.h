// A tiny PDF writer for tests: objects, classic cross-reference sections, trailers and
// incremental updates, written as plain text so a test can also damage or reshape them.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/document.h"

namespace folvex::testing {

class PdfWriter {
 public:
  // Starts a file with "%PDF-<version>" and a binary comment line.
  explicit PdfWriter(std::string_view version = "1.4");

  // Writes "number generation obj\n<body>\nendobj\n" and records its offset for the next section.
  void Object(int number, std::string_view body, int generation = 0);
  // Writes a stream object; /Length is filled in.
  void Stream(int number, std::string_view dictionaryEntries, std::string_view data);
  // Writes bytes as they are.
  void Raw(std::string_view bytes);
  // Makes room for a file of about size bytes at once (a large file is then never copied to grow).
  void Reserve(std::size_t size) { Text.reserve(size); }

  // Writes a cross-reference section for the objects written since the last section (consecutive
  // numbers form one subsection; the first section also lists object 0 as free), then the
  // trailer with the given entries, /Prev to the previous section, startxref and %%EOF.
  // entryEnd is the two bytes that end each 20-byte entry (" \n", "\r\n", " \r").
  void Finish(std::string_view trailerEntries, std::string_view entryEnd = " \n");

  std::size_t Offset() const { return Text.size(); }
  long LastXrefOffset() const { return LastXref; }
  const std::string& Bytes() const { return Text; }

 private:
  std::string Text;
  std::map<int, std::pair<std::size_t, int>> Pending;  // number -> offset, generation
  long LastXref = -1;
};

// A classic file with count pages under one /Pages root; page i shows the text "Page i".
std::string SimplePdf(int count);

FileImage ImageOf(std::string_view bytes);

// Writes bytes into a fresh file under the test temporary folder and returns its path.
std::string WriteTempFile(std::string_view name, std::string_view bytes);
std::string TempDir();
// The public corpus of real-world files: FOLVEX_REALWORLD_DIR, or shared/realworld/files beside the
// source tree. Tests skip when it is absent.
std::string RealWorldDir();
std::string ReadFile(const std::string& path);

struct CommandResult {
  int ExitCode = -1;
  std::string Output;  // stdout
};
// Runs a shell command and collects its standard output.
CommandResult RunCommand(const std::string& command);
// True when an outside program (qpdf, pdfinfo, gs, mutool) is on the PATH.
bool HaveTool(const std::string& name);
// Page count as pdfinfo reports it, or -1.
int PdfinfoPages(const std::string& path);

}  // namespace folvex::testing
