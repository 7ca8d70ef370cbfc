// Outside programs as judges of written files: qpdf and pdftotext.
#pragma once

#include <string>

#include "tests/support/pdf_writer.h"

namespace folvex::testing {

struct QpdfCheck {
  bool Clean = false;   // exit status 0, no warnings, no errors
  std::string Output;   // stdout and stderr
};
// qpdf --check, with a password when one is given.
QpdfCheck CheckWithQpdf(const std::string& path, const std::string& password = "");

// The text pdftotext finds (with -upw password when one is given), or "<failed>".
std::string PdfText(const std::string& path, const std::string& password = "");

// Runs qpdf --allow-weak-crypto --encrypt USER OWNER ARGUMENTS -- input output. Returns true on success.
bool EncryptWithQpdf(const std::string& input, const std::string& output, const std::string& user,
                     const std::string& owner, const std::string& arguments);

// A value of qpdf --show-encryption ("R", "P"), or "" when absent.
std::string QpdfEncryptionValue(const std::string& path, const std::string& password, const std::string& key);

// The text pdftotext finds on one page (1-based), with -upw password when one is given.
std::string PageText(const std::string& path, int page, const std::string& password = "");

// Page outputPage of output shows page inputPage of input: the same pdftotext text and, when render
// is set, the same non-empty pdftoppm pixels, rendered small with annotations hidden since copied
// pages leave them out, unless annotations is set (the password opens both files for the text).
void ExpectSamePage(const std::string& output, int outputPage, const std::string& input, int inputPage,
                    const std::string& password = "", bool render = true, bool annotations = false);

// Runs the folvex command with arguments (already quoted), standard error joined to the output.
CommandResult Folvex(const std::string& arguments);

// The path quoted for a shell.
std::string Quoted(const std::string& path);

}  // namespace folvex::testing
