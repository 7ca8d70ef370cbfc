// Exit statuses of the folvex command, one per failure kind.
#pragma once

namespace folvex::cli {

constexpr int kExitSuccess = 0;
constexpr int kExitUsage = 1;         // bad command line
constexpr int kExitNotFound = 2;      // an input file cannot be opened
constexpr int kExitUnreadable = 3;    // an input is not a readable PDF (or protected and unreadable)
constexpr int kExitOutput = 4;        // an output file cannot be created
constexpr int kExitCancelled = 5;     // the job was cancelled (Ctrl+C)
constexpr int kExitPassword = 6;      // a protected input and no usable password
constexpr int kExitInternal = 7;      // out of memory or another internal failure
constexpr int kExitNotPermitted = 8;  // removing a protection needs a distinct owner password
constexpr int kExitWrongProtection = 9;  // protect: already protected; unprotect: not protected
constexpr int kExitDifferentSecurity = 10;  // merge: the inputs are not all protected alike

constexpr const char* kExitCodeHelp =
    "Exit status:\n"
    "  0  success\n"
    "  1  bad command line (split: also bad pages, or a file of one page)\n"
    "  2  an input file cannot be opened\n"
    "  3  an input is not a readable PDF file\n"
    "  4  an output file cannot be created (split: a page file)\n"
    "  5  cancelled\n"
    "  6  a protected input and no usable password (split: also when extraction is not permitted)\n"
    "  7  out of memory or another internal failure\n"
    "  8  the protection may not be removed (no distinct owner password)\n"
    "  9  protect: a file is already protected; unprotect: a file is not protected\n"
    "  10 merge: the inputs are not all protected the same way\n";

}  // namespace folvex::cli
