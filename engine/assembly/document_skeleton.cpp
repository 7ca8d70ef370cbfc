#include "engine/assembly/document_skeleton.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "engine/assembly/output_settings.h"
#include "engine/core/file_identity.h"
#include "engine/core/output_file.h"
#include "engine/security/rewrite.h"

namespace folvex {

void AppendInformationObject(TransferOutput& output, std::string_view creationDate, std::string_view producer) {
  output.RecordOffset(kInformationNumber, output.Position());
  output.Text += "2 0 obj\n<<\n/CreationDate (D:";
  output.Text += creationDate;
  output.Text += ")\n/Producer (";
  output.Text += producer;
  output.Text += ")\n>>\nendobj\n";
}

void AppendCatalogAtEnd(TransferOutput& output, const std::string& catalog) {
  output.RecordOffset(kCatalogNumber, output.Position());
  output.Text += catalog;
}

void AppendOutlinesAfterCatalog(TransferOutput& output, const OutlineObjectsWriter& write) {
  std::string text;
  std::vector<uint32_t> offsets;
  const int first = output.NextObjectNumber;
  const int count = write(text, offsets, first);
  if (count <= 0) return;
  AppendCatalogEntry(output.Text, "/Outlines " + std::to_string(first) + " 0 R");
  const std::size_t base = output.Position();
  for (int number = first; number < first + count; ++number) {
    output.RecordOffset(number, base + offsets[static_cast<std::size_t>(number - 1)]);
  }
  output.Text += text;
  output.NextObjectNumber = first + count;
}

bool AppendXrefAndTrailer(TransferOutput& output) {
  const auto tooFar = [](std::int64_t offset) { return offset > kMaxTableOffset; };
  if (std::any_of(output.Offsets.begin(), output.Offsets.end(), tooFar)) return false;
  std::string& out = output.Text;
  const std::size_t xref = output.Position();
  const int size = output.NextObjectNumber;
  out.reserve(out.size() + static_cast<std::size_t>(size) * 20 + 128);
  out += "xref\n0 " + std::to_string(size) + "\n0000000000 65535 f \n";
  char entry[] = "0000000000 00000 n \n";
  for (int number = 1; number < size; ++number) {
    const auto index = static_cast<std::size_t>(number - 1);
    PutPaddedDecimal(entry, 10, index < output.Offsets.size() ? static_cast<std::uint64_t>(output.Offsets[index]) : 0);
    out.append(entry, sizeof entry - 1);
  }
  out += "trailer\n<<\n/Size " + std::to_string(size) + "\n/Info 2 0 R\n/Root 1 0 R\n";
  out += ">>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return true;
}

bool StageOutput(EngineState& state, TransferOutput& output, std::optional<StagedFile>& file, const std::string& path,
                 bool protect) {
  file.emplace(path);
  if (!file->IsOpen()) {
    state.LastErrorCode = -2000;
    return false;
  }
  if (!protect) output.File = &*file;
  return true;
}

bool FinishInMemory(EngineState& state, TransferOutput& output, bool protect, FileImage& holder,
                    std::string_view& bytes) {
  bytes = output.Text;
  if (!protect) return true;
  ImageBytes plain;
  plain.reserve(output.Text.size() + 1);
  AppendBytes(plain, output.Text.data(), output.Text.size());
  std::string().swap(output.Text);
  holder = MakeFileImage(std::move(plain));
  const std::vector<Byte> key = state.Security.FileKey;
  if (TransformDocument(state, holder, key, true) != 0) {
    if (state.LastErrorCode == 0) state.LastErrorCode = -1;
    return false;
  }
  bytes = std::string_view(reinterpret_cast<const char*>(holder.Begin()), holder.Size());
  return true;
}

ExpectedOutput ExpectedBuiltFile(const EngineState& state, int pages, bool protect) {
  ExpectedOutput expected;
  expected.PageCount = pages;
  expected.ListedPages = static_cast<std::size_t>(pages);
  if (protect) expected.Security = state.Security;
  return expected;
}

int ProtectAndStore(EngineState& state, TransferOutput& output, bool protect, StagedFile& file, int pages,
                    const std::string& backupPath, bool& backupMade) {
  backupMade = false;
  FileImage holder;
  std::string_view rest;
  if (output.File != nullptr) {
    rest = output.Text;
  } else if (!FinishInMemory(state, output, protect, holder, rest)) {
    return -1;
  }
  output.File = nullptr;
  int reason = 0;
  StoreOptions options;
  options.BackupPath = backupPath;
  options.ReadBack = ReadBackOf(ExpectedBuiltFile(state, pages, protect), &reason);
  const StoreResult stored = file.Write(rest) ? file.Commit(options) : StoreResult::WriteFailed;
  if (stored != StoreResult::Done) {
    state.LastErrorCode = stored == StoreResult::ReadBackFailed && reason != 0 ? reason : -2000;
    return -1;
  }
  backupMade = file.BackupMade();
  return 0;
}

std::string OutputReplacingAnInput(const std::string& output, bool backup, const std::vector<std::string>& inputs) {
  OutputClaims claims;
  for (const std::string& input : inputs) claims.AddInput(input);
  std::string replaced = claims.Claim(output);
  if (replaced.empty() && backup) replaced = claims.Claim(BackupName(output));
  return replaced;
}

}  // namespace folvex
