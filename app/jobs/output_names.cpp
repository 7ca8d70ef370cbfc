#include "app/jobs/output_names.h"

#include <algorithm>

#include "engine/core/path_text.h"

namespace folvex {

std::string SecurityOutputPath(const std::string& input, const std::string& folder, const char* suffix) {
  std::string name = input;
  if (!folder.empty()) {
    const auto fileName = std::find_if(input.rbegin(), input.rend(), IsPathSeparator).base();
    name = JoinedPath(folder, std::string_view(&*fileName, static_cast<std::size_t>(input.end() - fileName)));
  }
  if (EndsWithIgnoringCase(name, ".pdf")) name.resize(name.size() - 4);
  return name + suffix;
}

}  // namespace folvex
