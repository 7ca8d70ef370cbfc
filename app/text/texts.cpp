#include "app/text/texts.h"

#include <array>
#include <cstddef>

namespace folvex {

namespace {

struct TextRow {
  TextId Id;
  const char* English;
  const char* Japanese;
};

constexpr TextRow kTexts[] = {
    {TextId::PageEncryptedSuffix, " Encrypted", " 暗号化"},
    {TextId::PageNotFound, "X Not Found", "X 不明"},
    {TextId::PageEncrypted, "Encrypted", "暗号化"},
    {TextId::PageNotPdf, "X Not PDF?", "X 未対応"},

    {TextId::SetSecurityDone, "Done", "セキュリティ設定を完了しました"},
    {TextId::SetSecurityEncrypted, "File is Encrypted", "セキュリティ設定されたファイルです"},
    {TextId::SetSecurityEncryptedSome, "Some Files are Encrypted", "セキュリティ設定されていたファイルがありました"},
    {TextId::RemoveSecurityDone, "Done", "セキュリティ解除を完了しました"},
    {TextId::RemoveSecurityNotEncrypted, "File is Not Encrypted", "ファイルがセキュリティ設定されていません"},
    {TextId::RemoveSecurityNotEncryptedSome, "Some Files are Not Encrypted", "セキュリティ設定されていないファイルがありました"},
    {TextId::SecurityNotFound, "File Not Found", "ファイルが見つかりません"},
    {TextId::SecurityNotFoundSome, "Some Files Not Found", "見つからないファイルがありました"},
    {TextId::SecurityNotSaved, "File can't be Saved", "ファイルが保存できません"},
    {TextId::SecurityNotSavedSome, "Some Files can't be Saved", "保存できないファイルがありました"},
    {TextId::RemoveSecurityNotPermitted, "File is Not Permitted", "セキュリティ解除が許可されていません"},
    {TextId::RemoveSecurityNotPermittedSome, "Some Files are Not Permitted", "セキュリティ解除が許可されていないファイルがありました"},
    {TextId::SetSecurityFailed, "Failure - Set Security", "セキュリティ設定に失敗しました"},
    {TextId::SetSecurityFailedSome, "Failure (Some Files) - Set Security", "セキュリティ設定に失敗したファイルがあります"},
    {TextId::RemoveSecurityFailed, "Failure - Remove Security", "セキュリティ解除に失敗しました"},
    {TextId::RemoveSecurityFailedSome, "Failure (Some Files) - Remove Security", "セキュリティ解除に失敗したファイルがあります"},
    {TextId::SetSecurityCanceled, "Canceled", "セキュリティ設定操作がキャンセルされました"},
    {TextId::RemoveSecurityCanceled, "Canceled", "セキュリティ解除操作がキャンセルされました"},
    {TextId::SamePasswords, "If Owner Password is the same as User Password,\nOwner Password is Not setting.",
     "ユーザーパスワードと同じオーナーパスワードを入力すると、\nオーナーパスワード未設定とみなされます\nよろしいですか"},

    {TextId::ProgressReading, "Reading %d/%d", "読み込み中 %d/%d"},
    {TextId::ProgressAnalyzing, "Analyzing %d/%d", "解析中 %d/%d"},
    {TextId::ProgressWriting, "Writing %d/%d", "書き込み中 %d/%d"},
    {TextId::ExtractDone, "Done", "ページ抽出操作を完了しました"},
    {TextId::FileEncrypted, "This File is Encrypted", "ファイルが暗号化されています"},
    {TextId::ExtractFailed, "Failure - Page Extract", "ページ抽出操作に失敗しました"},
    {TextId::FileNotFound, "File Not Found", "ファイルが見つかりません"},
    {TextId::CannotSave, "Can't Save", "ファイルが保存できません"},
    {TextId::ExtractNotPermitted, "Extract is Not Permitted", "抽出操作が許可されていません"},
    {TextId::CliOutputIsInput, "The output file is an input file; choose another name.",
     "出力ファイルが入力ファイルと同じです。別の名前を指定してください。"},
    {TextId::CliSettingsUnreadable, "The settings file cannot be read:", "設定ファイルが読み込めません:"},
    {TextId::MergeDone, "Done", "ファイル結合操作を完了しました"},
    {TextId::MergeFailed, "Failure - Merge\n  ", "ファイル結合操作に失敗しました\n  "},
    {TextId::MergePasswordFailed, "Failure - Merge\n  ", "結合操作に失敗しました\n  "},
    {TextId::MergeNotPermitted, "Merge is Not Permitted\n  ", "結合操作が許可されていません\n  "},
    {TextId::MergeDifferentSecurity, "Some Files have Different Security\n  ", "セキュリティの異なるファイルがあります\n  "},
    {TextId::FileEncryptedAt, "This File is Encrypted\n  ", "ファイルが暗号化されています\n  "},
    {TextId::FileNotFoundAt, "File Not Found\n  ", "ファイルが見つかりません\n  "},
    {TextId::MergeError, "Error", "エラー"},

    {TextId::BadPageInput, "Bad Page Input\n  ", "ページの指定方法に誤りがあります\n  "},
    {TextId::OnlyOnePage, "This File has only 1 Page", "１ページからなるファイルです"},
    {TextId::Failure, "Failure", "操作できないファイル形式です"},
    {TextId::CantAllocateMemories, "Can't Allocate Memories", "メモリが確保できません"},

    {TextId::CliSamePasswordsRefused, "Give --same-passwords-ok to protect with equal passwords anyway.",
     "同じパスワードのまま設定するには --same-passwords-ok を指定してください。"},
    {TextId::CliPasswordPrompt, "Password: ", "パスワード: "},
    {TextId::CliNoPassword, "A password is needed: give --password or --password-file, or run on a terminal.",
     "パスワードが必要です。--password か --password-file を指定するか、端末から実行してください。"},
    {TextId::CliPasswordFileUnreadable, "The password file cannot be read.", "パスワードファイルを読み込めません。"},
    {TextId::CliFileNotPdfName, "The file name does not end in .pdf.", "ファイル名が .pdf で終わっていません。"},
    {TextId::CliOutputDirMissing, "The output folder does not exist.", "出力フォルダがありません。"},
    {TextId::CliRefusedUnreadable, "Its security dictionary cannot be read.", "セキュリティ辞書を読み込めません。"},
    {TextId::CliRefusedNotStandard, "Only the standard security handler is supported.",
     "標準セキュリティハンドラ以外には対応していません。"},
    {TextId::CliRefusedAes, "AES protection is not supported.", "AES による暗号化には対応していません。"},
    {TextId::CliRefusedRevision, "This revision of the standard security handler is not supported.",
     "この版の標準セキュリティハンドラには対応していません。"},
    {TextId::CliRefusedXrefStreams, "Protected files with cross-reference streams are not supported.",
     "クロスリファレンスストリームを持つ暗号化ファイルには対応していません。"},
    {TextId::CliWrongPassword, "The password given does not open the file.", "指定されたパスワードではファイルを開けません。"},
};

constexpr bool EveryTextInPlace() {
  for (std::size_t i = 0; i < std::size(kTexts); ++i) {
    if (static_cast<std::size_t>(kTexts[i].Id) != i) return false;
  }
  return true;
}
static_assert(EveryTextInPlace(), "the rows of kTexts follow the order of TextId");

}  // namespace

std::string_view Text(TextId id, bool japanese) {
  const TextRow& row = kTexts[static_cast<std::size_t>(id)];
  return japanese ? row.Japanese : row.English;
}

std::string FormatText(TextId id, bool japanese, int first, int second) {
  const std::string_view text = Text(id, japanese);
  std::string out;
  const std::array<int, 2> values{first, second};
  std::size_t next = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 'd' && next < values.size()) {
      out += std::to_string(values[next++]);
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace folvex
