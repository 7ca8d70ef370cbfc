#include "tests/support/pdf_writer.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
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
  std::string body = "<< " + std::string(dictionaryEntries) + " /Length " + std::to_string(data.size()) +
                     " >>\nstream\n" + std::string(data) + "\nendstream";
  Object(number, body);
}

void PdfWriter::Raw(std::string_view bytes) { Text += bytes; }

static std::string Entry(std::size_t offset, int generation, char type, std::string_view entryEnd) {
  char line[32];
  std::snprintf(line, sizeof line, "%010zu %05d %c", offset, generation, type);
  return std::string(line) + std::string(entryEnd);
}

void PdfWriter::Finish(std::string_view trailerEntries, std::string_view entryEnd) {
  std::size_t xref = Text.size();
  Text += "xref\n";
  if (LastXref < 0) Pending.emplace(0, std::make_pair(std::size_t{0}, 65535));
  auto it = Pending.begin();
  while (it != Pending.end()) {
    auto run = it;
    int first = it->first;
    int count = 0;
    while (run != Pending.end() && run->first == first + count) {
      ++run;
      ++count;
    }
    Text += std::to_string(first) + " " + std::to_string(count) + "\n";
    for (; it != run; ++it) {
      bool free = it->first == 0;
      Text += Entry(it->second.first, it->second.second, free ? 'f' : 'n', entryEnd);
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
  static const std::string dir = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "folvex-test-XXXXXX").string();
    char* made = mkdtemp(pattern.data());
    return std::string(made != nullptr ? made : "/tmp");
  }();
  return dir;
}

std::string WriteTempFile(std::string_view name, std::string_view bytes) {
  std::string path = TempDir() + "/" + std::string(name);
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

CommandResult RunCommand(const std::string& command) {
  CommandResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.Output.append(buffer, n);
  int status = pclose(pipe);
  result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

bool HaveTool(const std::string& name) {
  return RunCommand("command -v " + name + " >/dev/null 2>&1").ExitCode == 0;
}

int PdfinfoPages(const std::string& path) {
  CommandResult r = RunCommand("pdfinfo '" + path + "' 2>/dev/null");
  std::istringstream lines(r.Output);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("Pages:", 0) == 0) return std::stoi(line.substr(6));
  }
  return -1;
}

}  // namespace folvex::testing
