// Standard input and output as files of extract and merge: an input "-" is standard input, read
// whole into a file before the job starts; an output "-" is written to a file, checked like any
// output, and only then copied to standard output. Both files lie in a private temporary folder
// that goes when the job ends, and on Ctrl+C or a signal.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/console_job.h"

namespace folvex::cli {

class StreamFiles {
 public:
  StreamFiles() = default;
  ~StreamFiles();
  StreamFiles(const StreamFiles&) = delete;
  StreamFiles& operator=(const StreamFiles&) = delete;

  // Replaces an input "-" by the file holding standard input and an output "-" by the file the
  // new file is written to. False, after saying why, for two inputs "-", an input "-" with
  // --password-file -, or standard input that cannot be read.
  bool Prepare(std::vector<std::string>& inputs, std::string& output, const PasswordOptions& password,
               bool japanese, std::ostream& err);

  // After a job that wrote its file: copies it to standard output when the output was "-".
  // False, after saying why, when the copy failed.
  bool Deliver(bool japanese, std::ostream& err);

 private:
  bool MakeFolder();

  std::string Folder;
  std::string OutputFile;  // empty unless the output is standard output
};

// Removes the files of the living StreamFiles. For a signal handler.
void RemoveStreamFilesNow();

}  // namespace folvex::cli
