#include "tests/support/pdf_writer.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>
#include <unistd.h>

namespace folvex::testing {

PdfWriter::PdfWriter(std::string_view version) {
  Text = "%PDF-" + std::string(version) + "\n%\xE2\xE3\xCF\xD3\n";
}

void PdfWriter::Object(int number, std::string_view body, int generation) {
  Pending[number] = {Text.size(), generation};
  Text += std::to_string(number) + " " + std::to_string(generation) + " obj\n";
  Text += body;
  Text += "\nendobj\n";
}

void PdfWriter::Stream(int number, std::string_view dictionaryEntries, std::string_view data) {
  Object(number, "<< " + std::string(dictionaryEntries) + " /Length " + std::to_string(data.size()) + " >>\nstream\n" +
                     std::string(data) + "\nendstream");
}

void PdfWriter::Raw(std::string_view bytes) { Text += bytes; }

void PdfWriter::Finish(std::string_view trailerEntries, std::string_view entryEnd) {
  std::size_t xref = Text.size();
  Text += "xref\n";
  if (LastXref < 0) Pending.emplace(0, std::make_pair(std::size_t{0}, 65535));
  auto it = Pending.begin();
  while (it != Pending.end()) {
    const int first = it->first;
    int count = 0;
    auto run = it;
    for (; run != Pending.end() && run->first == first + count; ++run) ++count;
    Text += std::to_string(first) + " " + std::to_string(count) + "\n";
    for (; it != run; ++it) {
      char entry[32];
      std::snprintf(entry, sizeof entry, "%010zu %05d %c", it->second.first, it->second.second, it->first == 0 ? 'f' : 'n');
      Text += std::string(entry) + std::string(entryEnd);
    }
  }
  Text += "trailer\n<< " + std::string(trailerEntries);
  if (LastXref >= 0) Text += " /Prev " + std::to_string(LastXref);
  Text += " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  LastXref = static_cast<long>(xref);
  Pending.clear();
}

std::string SimplePdf(int count) {
  PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  std::string kids;
  for (int i = 0; i < count; ++i) kids += std::to_string(4 + 2 * i) + " 0 R ";
  w.Object(2, "<< /Type /Pages /Kids [ " + kids + "] /Count " + std::to_string(count) +
                  " /MediaBox [0 0 612 792] /Resources << /Font << /F1 3 0 R >> >> >>");
  w.Object(3, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  for (int i = 0; i < count; ++i) {
    w.Object(4 + 2 * i, "<< /Type /Page /Parent 2 0 R /Contents " + std::to_string(5 + 2 * i) + " 0 R >>");
    w.Stream(5 + 2 * i, "", "BT /F1 24 Tf 72 700 Td (Page " + std::to_string(i + 1) + ") Tj ET");
  }
  w.Finish("/Size " + std::to_string(4 + 2 * count) + " /Root 1 0 R");
  return w.Bytes();
}

FileImage ImageOf(std::string_view bytes) {
  return MakeFileImage(std::vector<Byte>(bytes.begin(), bytes.end()));
}

std::string RealWorldDir() {
  const char* variable = std::getenv("FOLVEX_REALWORLD_DIR");
  return variable != nullptr ? variable : FOLVEX_SOURCE_DIR "/../shared/realworld/files";
}

std::string TempDir() {
  static std::string pattern = (std::filesystem::temp_directory_path() / "folvex-test-XXXXXX").string();
  static const std::string dir = mkdtemp(pattern.data()) != nullptr ? pattern : "/tmp";
  return dir;
}

std::string WriteTempFile(std::string_view name, std::string_view bytes) {
  const std::string path = TempDir() + "/" + std::string(name);
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

CommandResult RunCommand(const std::string& command) {
  CommandResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.Output.append(buffer, n);
  const int status = pclose(pipe);
  result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

bool HaveTool(const std::string& name) {
  return RunCommand("command -v " + name + " >/dev/null 2>&1").ExitCode == 0;
}

int PdfinfoPages(const std::string& path) {
  const std::string info = "\n" + RunCommand("pdfinfo '" + path + "' 2>/dev/null").Output;
  const std::size_t at = info.find("\nPages:");
  return at == std::string::npos ? -1 : std::stoi(info.substr(at + 7));
}

}  // namespace folvex::testing
