// Names of the files the security jobs write.
#pragma once

#include <string>

namespace folvex {

// The input's name with its ".pdf" replaced by suffix ("-s.pdf", "-r.pdf"), beside the input or in
// folder when one is given (joined by a backslash when the folder has one, else by a slash). A name
// without ".pdf" keeps all of it.
std::string SecurityOutputPath(const std::string& input, const std::string& folder, const char* suffix);

}  // namespace folvex
