// Exit statuses of the folvex command: one per cause of failure, the same for every command.
#pragma once

namespace folvex::cli {

constexpr int kExitSuccess = 0;
constexpr int kExitUsage = 1;            // bad command line, pages the file does not have
constexpr int kExitNotFound = 2;         // a file named on the command line cannot be opened
constexpr int kExitUnreadable = 3;       // an input is not a readable PDF, or its protection is not handled
constexpr int kExitOutput = 4;           // an output cannot be written
constexpr int kExitCancelled = 5;        // Ctrl+C, or a closed prompt
constexpr int kExitPassword = 6;         // a protected input and no password that opens it as needed
constexpr int kExitInternal = 7;         // out of memory or another internal failure
constexpr int kExitNotPermitted = 8;     // the protection forbids the job and has no distinct owner password
constexpr int kExitWrongProtection = 9;  // protect: already protected; unprotect: not protected
constexpr int kExitDifferentSecurity = 10;  // merge: the inputs are not all protected alike

// The table in --help (and from there in the manual page). Several failed files: the highest.
constexpr const char* kExitCodeHelp =
    "Exit status (the same for every command; with several files, the highest):\n"
    "  0   success\n"
    "  1   bad command line: unknown command or option, bad value, pages the file does not have,\n"
    "      a file of one page to split or extract, equal or missing protect passwords\n"
    "  2   a file named on the command line cannot be opened (input, --settings, --password-file)\n"
    "  3   an input is not a readable PDF file, or its protection is not supported\n"
    "  4   an output cannot be written: missing or read-only folder, full disk, or it would\n"
    "      replace a file of the same job\n"
    "  5   cancelled (Ctrl+C)\n"
    "  6   a protected input and no usable password: none given, a wrong one, or the user\n"
    "      password where the owner password is needed\n"
    "  7   out of memory or another internal failure\n"
    "  8   not permitted: the protection forbids it and has no owner password distinct from\n"
    "      the user password\n"
    "  9   protect: a file is already protected; unprotect: a file is not protected\n"
    "  10  merge: the inputs are not all protected the same way\n";

}  // namespace folvex::cli
