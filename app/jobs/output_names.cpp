#include "app/jobs/output_names.h"

#include <algorithm>
#include <cctype>

namespace folvex {

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace

std::string SecurityOutputPath(const std::string& input, const std::string& folder, const char* suffix) {
  std::string name = input;
  if (!folder.empty()) {
    const auto fileName = std::find_if(input.rbegin(), input.rend(), IsSeparator).base();
    name = folder;
    if (!IsSeparator(name.back())) name += folder.find('\\') != std::string::npos ? '\\' : '/';
    name.append(fileName, input.end());
  }
  std::string tail = name.size() >= 4 ? name.substr(name.size() - 4) : std::string();
  std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (tail == ".pdf") name.resize(name.size() - 4);
  return name + suffix;
}

}  // namespace folvex
