// The password dialog's texts in its two modes: remove (before and during Remove Security) and
// engine (when an extract or merge input needs a password).
#pragma once

#include <string>

#include "app/model/desktop.h"

namespace folvex {

struct PasswordDialogTexts {
  std::string Caption;
  std::string Prompt;
  std::string Note1;  // empty in the engine mode
  std::string Note2;
};

PasswordDialogTexts PasswordDialogTextsOf(PasswordDialogMode mode, bool japanese);

// The file name the dialog shows for path: in the remove mode path is the output, and its name's
// "-r.pdf" becomes ".pdf" (the input's name); in the engine mode path is the input.
std::string PasswordDialogFileName(PasswordDialogMode mode, const std::string& path);

}  // namespace folvex
