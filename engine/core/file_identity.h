// Telling whether two paths name one file: by the file itself where it exists (device and inode;
// volume and file index on Windows), else by the normalised full path.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace folvex {

struct FileIdentity {
  bool Exists = false;
  std::uint64_t Device = 0;
  std::uint64_t Index = 0;
  std::string FullPath;  // when it does not exist: absolute, normalised, links of its folders followed

  bool operator==(const FileIdentity& other) const {
    return Exists == other.Exists && (Exists ? Device == other.Device && Index == other.Index : FullPath == other.FullPath);
  }
};

FileIdentity IdentityOf(const std::string& path);

// Outputs of one run checked against its inputs and against each other before anything is
// written. Add the inputs first; Claim then takes an output (or a backup name) for the run.
class OutputClaims {
 public:
  void AddInput(const std::string& path);
  // Takes path as a file this run writes. Returns the empty string, or the path of the input or
  // the earlier output it would replace.
  std::string Claim(const std::string& path);

 private:
  struct Entry {
    FileIdentity Identity;
    std::string Path;
  };
  std::vector<Entry> Inputs;
  std::vector<Entry> Outputs;
};

}  // namespace folvex
