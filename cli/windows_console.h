// Standard output and error on a Windows console: the program's UTF-8 texts are written as UTF-16
// with WriteConsoleW, so Japanese texts and non-ASCII paths show whatever the console's code page
// is. Redirected output stays UTF-8 bytes.
#pragma once

namespace folvex::cli {

// Routes std::cout and std::cerr through the console when they are one; does nothing elsewhere.
void UseConsoleText();

}  // namespace folvex::cli
