// The list file handed to the splitter: a new file with a unique "~tpfd" name in the folder named
// by TMP, or "~tpfd" in the current directory when TMP is not set.
#pragma once

#include <optional>
#include <string>

namespace folvex {

// The folder the list file goes to and the splitter reads it from: TMP's value when set and not
// empty, else nothing (the current directory).
std::optional<std::string> SplitListFolder();

// Creates the list file with text. Returns its full path, or nothing when it cannot be created.
std::optional<std::string> CreateSplitListFile(const std::string& text);

// The part of a path after its last separator ('\', and '/' too).
std::string ListFileNameOf(const std::string& path);

// Where the splitter finds the list file of this name.
std::string SplitListPath(const std::string& name);

// Creates a file at path only when nothing is there yet; nothing when it exists or cannot be made.
// Per platform: the exclusive create of the C runtime.
bool CreateNewFileWith(const std::string& path, const std::string& text);

}  // namespace folvex
