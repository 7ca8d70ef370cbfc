// Every user-visible text of the program, in English and Japanese, looked up by the interface
// language from one table.
#pragma once

#include <string>
#include <string_view>

namespace folvex {

enum class TextId {
  // Page column of the file list (and `folvex info`)
  PageEncryptedSuffix,
  PageNotFound,
  PageEncrypted,
  PageNotPdf,
  // Security jobs: the overall result, one file / several files
  SetSecurityDone,
  SetSecurityEncrypted,
  SetSecurityEncryptedSome,
  RemoveSecurityDone,
  RemoveSecurityNotEncrypted,
  RemoveSecurityNotEncryptedSome,
  SecurityNotFound,
  SecurityNotFoundSome,
  SecurityNotSaved,
  SecurityNotSavedSome,
  RemoveSecurityNotPermitted,
  RemoveSecurityNotPermittedSome,
  SetSecurityFailed,
  SetSecurityFailedSome,
  RemoveSecurityFailed,
  RemoveSecurityFailedSome,
  SetSecurityCanceled,
  RemoveSecurityCanceled,
  SamePasswords,
  // Progress labels of the security jobs (%d/%d: file and count)
  ProgressReading,
  ProgressAnalyzing,
  ProgressWriting,
  // Extract and merge results
  ExtractDone,
  FileEncrypted,
  ExtractFailed,
  FileNotFound,
  CannotSave,
  ExtractNotPermitted,
  CliOutputIsInput,
  CliSettingsUnreadable,
  MergeDone,
  MergeFailed,
  MergePasswordFailed,
  MergeNotPermitted,
  MergeDifferentSecurity,
  FileEncryptedAt,
  FileNotFoundAt,
  MergeError,
  // Page-range input of the Extract command
  BadPageInput,
  OnlyOnePage,
  Failure,
  CantAllocateMemories,
  // The command line's own texts
  CliSamePasswordsRefused,
  CliPasswordPrompt,
  CliNoPassword,
  CliPasswordFileUnreadable,
  CliFileNotPdfName,
  CliOutputDirMissing,
  CliRefusedUnreadable,
  CliRefusedNotStandard,
  CliRefusedAes,
  CliRefusedRevision,
  CliRefusedXrefStreams,
  CliWrongPassword,
};

// The text in the interface language.
std::string_view Text(TextId id, bool japanese);

// The text with its "%d" fields filled in order.
std::string FormatText(TextId id, bool japanese, int first, int second = 0);

}  // namespace folvex
