#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace folvex::cli {

// Prints one line per file: its Page text, a tab, the path. Returns the exit status.
int RunInfo(const std::vector<std::string>& paths, bool japanese, std::ostream& out, std::ostream& err);

}  // namespace folvex::cli
