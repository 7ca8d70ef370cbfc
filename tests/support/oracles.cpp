#include "tests/support/oracles.h"

#include <gtest/gtest.h>


#include "tests/support/pdf_writer.h"

namespace folvex::testing {

std::string Quoted(const std::string& path) {
  std::string quoted = "'";
  for (char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

QpdfCheck CheckWithQpdf(const std::string& path, const std::string& password) {
  const std::string option = password.empty() ? "" : "--password=" + Quoted(password) + " ";
  const CommandResult result = RunCommand("qpdf " + option + "--check " + Quoted(path) + " 2>&1");
  return {result.ExitCode == 0 && result.Output.find("WARNING") == std::string::npos &&
              result.Output.find("No syntax or stream encoding errors found") != std::string::npos,
          result.Output};
}

std::string PdfText(const std::string& path, const std::string& password) {
  const std::string option = password.empty() ? "" : "-upw " + Quoted(password) + " ";
  CommandResult result = RunCommand("pdftotext " + option + Quoted(path) + " - 2>/dev/null");
  return result.ExitCode == 0 ? result.Output : "<failed>";
}

bool EncryptWithQpdf(const std::string& input, const std::string& output, const std::string& user,
                     const std::string& owner, const std::string& arguments) {
  return RunCommand("qpdf --allow-weak-crypto --encrypt " + Quoted(user) + " " + Quoted(owner) + " " + arguments +
                    " -- " + Quoted(input) + " " + Quoted(output) + " >/dev/null 2>&1")
             .ExitCode == 0;
}

std::string QpdfEncryptionValue(const std::string& path, const std::string& password, const std::string& key) {
  const std::string shown = "\n" + RunCommand("qpdf --show-encryption --password=" + Quoted(password) + " " +
                                              Quoted(path) + " 2>/dev/null").Output;
  const std::size_t at = shown.find("\n" + key + " = ");
  return at == std::string::npos ? "" : shown.substr(at + key.size() + 4, shown.find('\n', at + 1) - at - key.size() - 4);
}

std::string PageText(const std::string& path, int page, const std::string& password) {
  const auto number = std::to_string(page);
  const std::string upw = password.empty() ? "" : " -upw " + Quoted(password);
  return RunCommand("pdftotext -q" + upw + " -f " + number + " -l " + number + " " + Quoted(path) + " -").Output;
}

void ExpectSamePage(const std::string& output, int outputPage, const std::string& input, int inputPage,
                    const std::string& password, bool render, bool annotations) {
  EXPECT_EQ(PageText(output, outputPage, password), PageText(input, inputPage, password))
      << input << " page " << inputPage;
  if (!render) return;
  const auto rendered = [annotations](const std::string& path, int page) {
    const auto number = std::to_string(page);
    return RunCommand(std::string("pdftoppm -q -r 24 ") + (annotations ? "" : "-hide-annotations ") + "-f " + number +
                      " -l " + number + " " + Quoted(path)).Output;
  };
  const std::string pixels = rendered(output, outputPage);
  EXPECT_FALSE(pixels.empty());
  EXPECT_TRUE(pixels == rendered(input, inputPage)) << input << " page " << inputPage << " renders differently";
}

CommandResult Folvex(const std::string& arguments) {
  return RunCommand(std::string(FOLVEX_CLI_PATH) + " " + arguments + " 2>&1 </dev/null");
}

}  // namespace folvex::testing
