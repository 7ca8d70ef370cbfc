// Paths and names as text: the separators of both systems, joining a folder and a name, file
// names compared without regard to ASCII letter case, and the current folder.
#pragma once

#include <string>
#include <string_view>

namespace folvex {

// "/" and "\" separate folders on every system (Windows takes both).
inline bool IsPathSeparator(char c) { return c == '/' || c == '\\'; }

// folder and name with one separator between them: the folder's own kind ("\" when it holds one),
// none added after a folder that ends in one.
std::string JoinedPath(const std::string& folder, std::string_view name);

// The lower-case form of an ASCII letter; any other byte as it is.
inline char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether text starts or ends with lowerCase (given in lower case), ASCII letters in any case.
bool StartsWithIgnoringCase(std::string_view text, std::string_view lowerCase);
bool EndsWithIgnoringCase(std::string_view text, std::string_view lowerCase);

// The process's current folder, UTF-8.
std::string CurrentDirectory();

}  // namespace folvex
