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
    {TextId::OutputTooLarge,
     "The new file would pass 9,999,999,999 bytes, more than a PDF cross-reference table can address, so "
     "nothing was written.",
     "新しいファイルが 9,999,999,999 バイトを超え、PDF のクロスリファレンス表で扱えないため、何も書き込みませんでした。"},

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
    {TextId::CliWouldReplace, "Nothing was written: the new file would replace a file of this job.",
     "新しいファイルがこのジョブのファイルを置き換えてしまうため、何も書き込みませんでした。"},
    {TextId::CliReadBackFailed, "The new file did not read back as written, so it was not saved.",
     "新しいファイルが書いたとおりに読み戻せなかったため、保存しませんでした。"},
    {TextId::CliStreamTooLarge,
     "A compressed stream of the file expands beyond the limit (256 MiB for an object stream, 1 GiB for all of "
     "them), so the file is not read.",
     "ファイル内の圧縮ストリームが上限 (オブジェクトストリーム 1 つにつき 256 MiB、全体で 1 GiB) を超えて展開されるため、"
     "ファイルを読み込みません。"},

    {TextId::ColumnName, "Name", "ファイル名"},
    {TextId::ColumnPath, "Path", "パス名"},
    {TextId::ColumnDate, "Date", "日付"},
    {TextId::ColumnPage, "Page", "ページ数"},
    {TextId::DropNotPdfFile, "Not PDF File!\n\n ", "ＰＤＦファイルではありません\n\n "},
    {TextId::EditNotPdfFile, "Not PDF File", "ＰＤＦファイルではありません"},
    {TextId::EditNoFile, "No File\n", "ファイルが存在しません\n"},
    {TextId::RecordSelectFolder, "Select Folder", "PDFファイルのあるフォルダを選択してください"},
    {TextId::UndoPrefix, "Undo-", "元に戻す-"},
    {TextId::RedoPrefix, "Redo-", "やり直し-"},
    {TextId::LabelRecordFromFolder, "Record from Folder", "フォルダ指定登録"},
    {TextId::LabelDelete, "Delete", "削除"},
    {TextId::LabelEditFileName, "Edit File Name", "ファイル名編集"},
    {TextId::LabelArrayPathAll, "Array Path(All)", "パス名順（全）"},
    {TextId::LabelArrayFileAll, "Array File(All)", "ファイル名順（全）"},
    {TextId::LabelArrayDateAll, "Array Date(All)", "日付順（全）"},
    {TextId::LabelArrayPathSelect, "Array Path(Select)", "パス名順（選択）"},
    {TextId::LabelArrayFileSelect, "Array File(Select)", "ファイル名順（選択）"},
    {TextId::LabelArrayDateSelect, "Array Date(Select)", "日付順（選択）"},
    {TextId::LabelUpdate, "Update", "日付更新"},
    {TextId::LabelExtract, "(Extract)", "(抽出)"},
    {TextId::LabelMergeAll, "(Merge(All))", "(結合(全))"},
    {TextId::LabelMergeSelect, "(Merge(Select))", "(結合(選択))"},
    {TextId::LabelViewPageAll, "View Page(All)", "ページ数表示（全）"},
    {TextId::LabelViewPageSelect, "View Page(Select)", "ページ数表示（選択）"},
    {TextId::LabelArrayPageAll, "Array Page(All)", "ページ数順（全）"},
    {TextId::LabelArrayPageSelect, "Array Page(Select)", "ページ数順（選択）"},
    {TextId::LabelDrop, "Drop", "ドロップ"},
    {TextId::LabelDrag, "Drag", "ドラッグ"},
    {TextId::LabelSetSecurity, "Set Security", "セキュリティ設定"},
    {TextId::LabelRemoveSecurity, "Remove Security", "セキュリティ解除"},
    {TextId::LabelNothing, "X", "×"},
    {TextId::MenuFile, "&File", "ファイル(&F)"},
    {TextId::MenuEdit, "&Edit", "編集(&E)"},
    {TextId::MenuView, "&View", "表示(&V)"},
    {TextId::MenuArrayAll, "A&rray-All Files", "整列－全ファイル(&R)"},
    {TextId::MenuArraySelected, "Array-&Selected Files", "整列－選択ファイル(&S)"},
    {TextId::MenuPage, "&Page", "ページ数(&P)"},
    {TextId::MenuOperation, "&Operation", "操作(&O)"},
    {TextId::MenuSetting, "&Setting", "設定(&S)"},
    {TextId::MenuHelp, "&Help", "ヘルプ(&H)"},
    {TextId::ContextMenuPage, "&Page", "ページ数表示(&P)"},
    {TextId::ItemOpen, "&Open\tCtrl+O", "開く(&O)\tCtrl+O"},
    {TextId::ItemListFromFolder, "&List from Folder", "フォルダ指定で登録(&L)"},
    {TextId::ItemExit, "E&xit\tCtrl+E", "終了(&X)\tCtrl+E"},
    {TextId::ItemUndo, "&Undo\tCtrl+Z", "元に戻す(&U)\tCtrl+Z"},
    {TextId::ItemRedo, "&Redo\tCtrl+Y", "やり直し(&R)\tCtrl+Y"},
    {TextId::ItemEditFileName, "&Edit File Name", "ファイル名編集(&E)"},
    {TextId::ItemDelete, "&Delete\tDelete", "削除(&D)\tDelete"},
    {TextId::ItemSelectAll, "Select &All\tCtrl+A", "すべて選択(&A)\tCtrl+A"},
    {TextId::ItemArrayPath, "Path &Name", "パス名順(&N)"},
    {TextId::ItemArrayFile, "&File Name", "ファイル名順(&F)"},
    {TextId::ItemArrayDate, "&Date", "日付順(&D)"},
    {TextId::ItemArrayPage, "&Page", "ページ数順(&P)"},
    {TextId::ItemPageAll, "&All Files", "全ファイル(&A)"},
    {TextId::ItemPageSelected, "&Selected Files", "選択ファイル(&S)"},
    {TextId::ItemUpdate, "Up&date", "最新の日付に更新(&D)"},
    {TextId::ItemExtract, "E&xtract Pages", "ページ抽出(&X)"},
    {TextId::ItemMergeAll, "&Merge-All Files", "結合－全ファイル(&M)"},
    {TextId::ItemMergeSelected, "Merge-&Selected Files", "結合－選択ファイル(&S)"},
    {TextId::ItemSetSecurity, "S&et Security", "セキュリティ設定(&E)"},
    {TextId::ItemRemoveSecurity, "&Remove Security", "セキュリティ解除(&R)"},
    {TextId::ItemSplitAll, "Split(Tomlet)-&All Pages", "Tomletで全ページ分解(&A)"},
    {TextId::ItemSplitPageInput, "Split(Tomlet)-&Page Input", "Tomletでページ指定分解(&P)"},
    {TextId::ItemGeneralSetting, "&General Setting", "一般設定(&G)"},
    {TextId::ItemFileSetting, "&File Setting", "ファイル設定(&F)"},
    {TextId::ItemHelp, "&Help\tF1", "ヘルプを読む(&H)\tF1"},
    {TextId::ItemAbout, "&About Folvex", "バージョン情報(&A)"},
    {TextId::TipExtract, "Extract", "ページ抽出"},
    {TextId::TipMergeAll, "Merge-All", "全ファイル結合"},
    {TextId::TipMergeSelected, "Merge-Selected", "選択ファイル結合"},
    {TextId::TipSetSecurity, "Set Security", "セキュリティ設定"},
    {TextId::TipRemoveSecurity, "Remove Security", "セキュリティ解除"},
    {TextId::TipSplitAll, "Split(Tomlet)-All Pages", "Tomletで全ページ分解"},
    {TextId::TipSplitPageInput, "Split(Tomlet)-Page Input", "Tomletでページ指定分解"},
    {TextId::HelpOpen, "Open PDF File", "PDFファイルに関連付けられたアプリケーションでファイルを開きます"},
    {TextId::HelpListFromFolder, "Record All PDF Files from Folder", "フォルダを指定してフォルダ内のすべてのPDFファイルを登録します"},
    {TextId::HelpExit, "End", "Folvexを終了します"},
    {TextId::HelpUndo, "Undo Operation", "登録／編集操作を1回元に戻します"},
    {TextId::HelpRedo, "Redo Operation", "元に戻した操作をやり直します"},
    {TextId::HelpDelete, "Delete Selected Files", "選択したファイルを削除します"},
    {TextId::HelpSelectAll, "Select All Files", "すべてのファイルを選択します"},
    {TextId::HelpEditFileName, "Edit File Name(Path)", "ファイルのパス名を編集します"},
    {TextId::HelpArrayPathAll, "Array - All Files - Path Name", "すべてのファイルをパス名順に並べ替えます"},
    {TextId::HelpArrayFileAll, "Array - All Files - File Name", "すべてのファイルをファイル名順に並べ替えます"},
    {TextId::HelpArrayDateAll, "Array - All Files - File Time Stamp", "すべてのファイルを日付名順に並べ替えます"},
    {TextId::HelpArrayPathSelect, "Array - Selected Files - Path Name", "選択ファイルをパス名順に並べ替えます"},
    {TextId::HelpArrayFileSelect, "Array - Selected Files - File Name", "選択ファイルをファイル名順に並べ替えます"},
    {TextId::HelpArrayDateSelect, "Array - Selected Files - File Time Stamp", "選択ファイルを日付名順に並べ替えます"},
    {TextId::HelpUpdate, "Update All Files' Time Stamp", "すべてのファイルの日付を最新の日付に更新します"},
    {TextId::HelpExtract, "Extract Pages", "選択したファイルからページを抽出します"},
    {TextId::HelpMergeAll, "Merge All Files", "すべてのファイルを表示順に結合します"},
    {TextId::HelpMergeSelected, "Merge Selected Files", "選択ファイルを表示順に結合します"},
    {TextId::HelpGeneralSetting, "General Setting", "Folvexの操作に関する設定をおこないます"},
    {TextId::HelpHelp, "View Help File", "ヘルプファイルを表示します"},
    {TextId::HelpAbout, "About Folvex", "Folvexのバージョンを表示します"},
    {TextId::HelpPageAll, "View All Files' Page", "すべてのファイルのページ数を表示します"},
    {TextId::HelpPageSelected, "View Selected Files' Page", "選択ファイルのページ数を表示します"},
    {TextId::HelpArrayPageAll, "Array - All Files - Page", "すべてのファイルをページ数順に並べ替えます"},
    {TextId::HelpArrayPageSelect, "Array - Selected Files - Page", "選択ファイルをページ数順に並べ替えます"},
    {TextId::HelpSplitAll, "Split into Sigle Pages (Tomlet) - All Pages", "選択ファイルをTomletで全ページ分解します"},
    {TextId::HelpSplitPageInput, "Split into Sigle Pages (Tomlet) - Page Input", "選択ファイルをTomletでページ指定分解します"},
    {TextId::HelpFileSetting, "File Setting", "作成するPDFファイルの表示方法の設定をおこないます"},
    {TextId::HelpSetSecurity, "Create Security Set Files", "選択ファイルからパスワード設定／操作制限したファイルを作成します"},
    {TextId::HelpRemoveSecurity, "Create Security Removed Files", "選択ファイルからパスワード／操作制限を解除したファイルを作成します"},
    {TextId::StatusNormal, "You can drag PDF files into this window / in this window", "ウィンドウへのＰＤＦファイルドラッグ／ウィンドウ内でのドラッグ可能"},
    {TextId::StatusAll, "    all %d", "    全 %d"},
    {TextId::StatusSelected, "    %d / all %d", "    選 %d / 全 %d"},
    {TextId::HelpFileNotFound, "Help File Not Found", "ヘルプファイルの起動に失敗しました"},
    {TextId::ProgressTitleExtract, "Folvex - Extract", "Folvex ページ抽出"},
    {TextId::ProgressTitleMerge, "Folvex - Merge", "Folvex ファイル結合"},
    {TextId::ProgressTitleMergeSelected, "Folvex - Merge(Selected)", "Folvex 選択ファイル結合"},
    {TextId::ProgressTitleEncrypt, "Folvex - Security Setting", "Folvex セキュリティ設定"},
    {TextId::ProgressTitleDecrypt, "Folvex - Security Removine", "Folvex セキュリティ解除"},
    {TextId::SaveFileTitle, "Save As", "保存ファイル名を入力"},
    {TextId::PasswordRemoveCaption, "Remove Security", "セキュリティ解除"},
    {TextId::PasswordRemovePrompt, "Input Owner Password", "オーナーパスワードを入力してください"},
    {TextId::PasswordRemoveNote1, "* -r is added to the file name end,", "※保存ファイル名は元のファイル名末尾に"},
    {TextId::PasswordRemoveNote2, "  and it is saved.", "　-r が付加されます"},
    {TextId::PasswordEngineCaption, "Extract/Merge  Remove Security", "抽出/結合 セキュリティ解除"},
    {TextId::PasswordEnginePrompt, "Input Password", "パスワードを入力してください"},
    {TextId::SecuritySelectFolder, "Select Folder", "保存先フォルダの指定"},
    {TextId::CliRefusedCryptFilter, "This crypt filter method or revision of AES protection is not supported.",
     "この暗号フィルタ方式または AES 暗号化のリビジョンには対応していません。"},
    {TextId::SplitterNotTomlet, "Not Tomlet.exe", "Tomlet.exeではありません"},
    {TextId::SplitterNotFound, "Tomlet.exe Not Found", "Tomlet.exeが見つかりません"},
    {TextId::SplitterNotFoundOneFile, "Tomlet.exe Not Found", "Tomlet.exeが見つかりません."},
    {TextId::SplitterVersionTooLow, "Version is Too Low\nUse more than Ver1.00(Tomlet)",
     "Tomletのバージョンが低すぎます\nVer1.00以上を使用してください\n\n(使用しない場合｢Tomletの場所｣を空欄に)"},
    {TextId::SplitterVersionOld, "Use more than Ver1.00(Tomlet),\nSo All Function will be Available",
     "すべての機能を利用するには\nTomlet Ver1.00以上を使用してください"},
    {TextId::SplitterRefTitle, "Where is Tomlet.exe?", "Tomlet.exeの位置を指定"},
    {TextId::SplitterCantFind, "Can't Find Tomlet", "Tomletの起動に失敗しました"},
    {TextId::SplitterCantFindRun, "Can't Find Tomlet", "Tomletの連続起動に失敗しました"},
    {TextId::SplitAllQuestion, "Selected All Files are splited into Single Pages",
     "選択したすべてのファイルを\n1ページ1ファイルに分解しますか？"},
    {TextId::SplitCanceled, "Canceled", "分解操作がキャンセルされました"},
    {TextId::SplitDone, "Done", "分解操作完了"},
    {TextId::SplitEncrypted, "Can't Split\nThis PDF File is Encrypted", "内部が暗号化されているので\n本ソフトでは分解できません"},
    {TextId::SplitOnePage, "Can't Split\nThis PDF File has Only One Page", "これ以上分解できません"},
    {TextId::SplitCannotCreate, "Can't Create New Files", "分解ファイルを作成できません"},
    {TextId::SplitFailed, "Failed", "分解操作に失敗しました"},
    {TextId::SplitFailedSome, "Failure(Some Files)", "分解できなかったファイルがあります"},
    {TextId::TomletPageInputPrompt, "Pages to split, such as 1,3-5,12-9,20-", "分解するページ (例 1,3-5,12-9,20-)"},
    {TextId::TomletListFileUnreadable, "The list file cannot be read", "リストファイルを読み込めません"},
    {TextId::CliSplitDone, "%d page files written", "%d 個のページファイルを作成しました"},
    {TextId::ScaleNoSetting, "No Setting", "設定しない"},
    {TextId::ScaleSetScale, "Set Scale", "倍率指定"},
    {TextId::ScaleWidthAndHeight, "Adjust to Width and Hight", "幅と高さに合わせる"},
    {TextId::ScaleWidth, "Adjust to Width", "幅に合わせる"},
    {TextId::ScaleHeight, "Adjust to Hight", "高さに合わせる"},
    {TextId::ScaleInherit, "Inherit Original File's", "元のファイルを継承"},
    {TextId::LayoutNoSetting, "No Setting", "設定しない"},
    {TextId::LayoutSinglePage, "Single Page", "単一ページ"},
    {TextId::LayoutContinuous, "Continuous", "連続"},
    {TextId::LayoutOddLeft, "Oddnumbered Pages Left", "見開き(奇数ページ左)"},
    {TextId::LayoutOddRight, "Oddnumbered Pages Right", "見開き(奇数ページ右)"},
    {TextId::LayoutInherit, "Inherit Original File's", "元のファイルを継承"},
    {TextId::DirectionLeftToRight, "Left to Right", "左から右"},
    {TextId::DirectionRightToLeft, "Right to Left", "右から左"},
    {TextId::DirectionInherit, "Inherit Original File's", "元のファイルを継承"},
    {TextId::OutlineNotKeep, "Not Keep", "保持しない"},
    {TextId::OutlineKeep, "Keep", "保持する"},
    {TextId::OutlineKeepTop, "Keep & All Outline to Top Level", "保持してすべて最上位に"},
    {TextId::PanelNone, "Not Display Both", "両方表示しない"},
    {TextId::PanelOutline, "Display Outline", "しおりを表示"},
    {TextId::PanelOutlineElseThumbnail, "If Exist,Display Outline, else Thumbnail", "しおりがあれば表示、なければサムネイル"},
    {TextId::PanelOutlineElseNothing, "If Exist,Display Outline, else NOT", "しおりがあれば表示、なければ表示しない"},
    {TextId::PanelThumbnail, "Display Thumbnail", "サムネイルを表示"},
    {TextId::PanelInherit, "Inherit Original File's", "元のファイルを継承"},
    {TextId::EditRefTitle, "Open", "ファイルを参照"},
};

constexpr bool EveryTextInPlace() {
  for (std::size_t i = 0; i < std::size(kTexts); ++i) {
    if (static_cast<std::size_t>(kTexts[i].Id) != i) return false;
  }
  return true;
}
static_assert(EveryTextInPlace(), "the rows of kTexts follow the order of TextId");

}  // namespace

std::size_t TextCount() { return std::size(kTexts); }

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
