// The texts the main window shows, except each command's own caption and hint
// (those are in its row, app/Commands.h). A text shown in several places is
// defined here once.
#pragma once

namespace texts {

// Menus: pop-up captions and the captions a menu place shows instead of the command's.
inline constexpr wchar_t MenuFile[] = L"ﾌｧｲﾙ(&F)";
inline constexpr wchar_t MenuReopen[] = L"開き直す(&R)";
inline constexpr wchar_t MenuEdit[] = L"編集(&E)";
inline constexpr wchar_t MenuSfx[] = L"自動解凍書庫作成";
inline constexpr wchar_t MenuView[] = L"表示(&V)";
inline constexpr wchar_t MenuToolBars[] = L"ﾂｰﾙﾊﾞｰ(&B)";
inline constexpr wchar_t MenuHelp[] = L"ﾍﾙﾌﾟ(&H)";
inline constexpr wchar_t MenuProperties[] = L"ﾌﾟﾛﾊﾟﾃｨ(&P)...";
inline constexpr wchar_t MenuPreviousFolder[] = L"前回のﾌｫﾙﾀﾞへ";
inline constexpr wchar_t MenuLargeIcons[] = L"大きなｱｲｺﾝ";
inline constexpr wchar_t MenuSmallIcons[] = L"小さなｱｲｺﾝ";
inline constexpr wchar_t MenuList[] = L"一覧表示";
inline constexpr wchar_t MenuReport[] = L"詳細表示";

// Bars and the list.
inline constexpr wchar_t CommandBarCaption[] = L"Tavixｺﾏﾝﾄﾞ";
inline constexpr wchar_t OptionsBarCaption[] = L"解凍時ｵﾌﾟｼｮﾝ";
inline constexpr wchar_t OptionsBarLabel[] = L"解凍時:  ";
inline constexpr wchar_t OptionExtractAll[] = L"全て解凍";
inline constexpr wchar_t OptionOverwrite[] = L"上書きする";
inline constexpr wchar_t OptionMakeFolder[] = L"ﾌｫﾙﾀﾞ作成";
inline constexpr wchar_t OptionNoFolders[] = L"ﾃﾞｲﾚｸﾄﾘ無効";
inline constexpr wchar_t OptionAbsolute[] = L"絶対";
inline constexpr wchar_t OptionRelative[] = L"相対";
inline constexpr wchar_t ColumnName[] = L"ﾌｧｲﾙ名";
inline constexpr wchar_t ColumnDate[] = L"日付";
inline constexpr wchar_t ColumnTime[] = L"時間";
inline constexpr wchar_t ColumnSize[] = L"ｻｲｽﾞ";
inline constexpr wchar_t ColumnCompressed[] = L"圧縮";
inline constexpr wchar_t ColumnFolder[] = L"ﾌｫﾙﾀﾞ名";

// Opening and listing archives.
inline constexpr wchar_t OpenTitle[] = L"書庫ファイルを開く";
// The open dialog's filter; "|" stands for the separators the dialog wants.
inline constexpr wchar_t OpenFilter[] =
    L"全てのｱｰｶｲﾌﾞ|*.LZH;*.EXE;*.ZIP;*.JAR;*.CAB;*.RAR;*.ARJ;*.TGZ;*.GZ;*.Z;*.TAR;*.TAZ;*.BZ2|"
    L"LZHﾌｧｲﾙ (*.LZH)|*.LZH|SFXﾌｧｲﾙ(*.EXE)|*.EXE|ZIPﾌｧｲﾙ(*.ZIP)|*.ZIP|ZIPﾌｧｲﾙ(*.JAR)|*.JAR|"
    L"CABﾌｧｲﾙ(*.CAB)|*.CAB|全てのﾌｧｲﾙ(*.*)|*.*";
inline constexpr wchar_t AskToSave[] = L"現在のファイルは変更されています.\n保存しますか";
inline constexpr wchar_t OpenFailed[] = L" を開くことに失敗しました: ";  // after the path
inline constexpr wchar_t Reading[] = L"ファイル情報を取得中...";
inline constexpr wchar_t ReadDone[] = L"ファイル情報を取得しました";
inline constexpr wchar_t ReadFailed[] = L"ファイル情報を取得出来ません";
inline constexpr wchar_t Cancelled[] = L"処理を強制中断しました.";
inline constexpr wchar_t TooManyEntries[] = L"書庫のファイルが多すぎます.\n\r最初の ";  // then the count
inline constexpr wchar_t TooManyEntriesEnd[] = L" 個だけを表示します. 書庫が壊れている可能性があります.";
inline constexpr wchar_t NotListed[] = L"書庫ファイル情報を取得できませんでした.\n\r";  // then the path
inline constexpr wchar_t NotListedEnd[] = L" はTavixでは操作出来ません.";
inline constexpr wchar_t SelectedEnd[] = L" 個のファイルを選択";  // after " count"
inline constexpr wchar_t FileWord[] = L"ﾌｧｲﾙ ";                   // then the path
inline constexpr wchar_t DoesNotExist[] = L" は存在しません.";
inline constexpr wchar_t FileNotFound[] = L"指定されたﾌｧｲﾙが見つかりません";

// Extraction.
inline constexpr wchar_t ExtractCaptionEnd[] = L" の解凍";  // after the archive path
inline constexpr wchar_t OutOfResources[] = L"ﾘｿｰｽが不足しています.";
inline constexpr wchar_t ExtractedEnd[] = L" 個のﾌｧｲﾙを解凍しました";  // after the count
inline constexpr wchar_t NothingSelected[] = L"解凍するﾌｧｲﾙが選択されていません.";
inline constexpr wchar_t ExtractingFrom[] = L"書庫から ";
inline constexpr wchar_t ExtractingEnd[] = L" 個のファイルを解凍中...";
inline constexpr wchar_t ExtractDone[] = L"ﾌｧｲﾙ解凍を実行しました";
inline constexpr wchar_t SkippedFiles[] = L"解凍がｽｷｯﾌﾟされたﾌｧｲﾙがありました.\r解凍しようとしたﾌｧｲﾙ数: ";
inline constexpr wchar_t ExtractedCount[] = L"実際に解凍したﾌｧｲﾙ数 : ";
inline constexpr wchar_t NoDestination[] = L"解凍先のﾌｫﾙﾀﾞが指定されていません.";
inline constexpr wchar_t ExtractError[] = L"解凍中にｴﾗｰが発生しました (ｴﾗｰｺｰﾄﾞ: ";  // then the code and ")."

// Start and close, general errors.
inline constexpr wchar_t DesktopFolder[] = L"\\ﾃﾞｽｸﾄｯﾌﾟ";  // under the Windows folder
inline constexpr wchar_t DeletingWorkFiles[] = L"作業ファイルを削除しています";
inline constexpr wchar_t OutOfMemory[] = L"ﾒﾓﾘが不足しています.";
inline constexpr wchar_t UnexpectedError[] = L"予期しないｴﾗｰが発生しました.";

// Viewing and opening entries.
inline constexpr wchar_t EntryNotOpened[] = L"を開くことに失敗しました.";  // after the entry's name
inline constexpr wchar_t NoApplication[] = L"このﾌｧｲﾙを開くｱﾌﾟﾘｹｰｼｮﾝはありません: ";  // then the error number
inline constexpr wchar_t CannotOpenFile[] = L"このﾌｧｲﾙを開く事に失敗しました: ";  // then the error number

// Creating archives, adding, deleting and Save As.
inline constexpr wchar_t AddTitle[] = L"書庫に追加するファイルの選択";
inline constexpr wchar_t AddFilter[] = L"全てのﾌｧｲﾙ(*.*)|*.*";
// The save-as dialog's filters, by the archive's type; AddFilter (every file) follows each.
inline constexpr wchar_t SaveAsLzhFilter[] = L"LHA書庫ﾌｧｲﾙ(*.LZH)|*.LZH|";
inline constexpr wchar_t SaveAsZipFilter[] = L"ZIP書庫ﾌｧｲﾙ(*.ZIP)|*.ZIP|ZIP書庫ﾌｧｲﾙ(*.JAR)|*.JAR|";
inline constexpr wchar_t SaveAsJarFilter[] = L"ZIP書庫ﾌｧｲﾙ(*.JAR)|*.JAR|ZIP書庫ﾌｧｲﾙ(*.ZIP)|*.ZIP|";
inline constexpr wchar_t SaveAsCabFilter[] = L"CAB書庫ﾌｧｲﾙ(*.CAB)|*.CAB|";
inline constexpr wchar_t AutoNameExists[] = L"は既に存在します.\r\nこのﾌｧｲﾙに追加しますか?";  // after the path
inline constexpr wchar_t NewArchiveNameCaption[] = L"新規書庫ﾌｧｲﾙ名";
inline constexpr wchar_t NewArchiveNamePrompt[] = L"書庫ﾌｧｲﾙ名を入力して下さい";
inline constexpr wchar_t AddingStart[] = L"書庫へ ";
inline constexpr wchar_t AddingEnd[] = L" 個のファイルを追加中...";
inline constexpr wchar_t AddFailed[] = L"ファイル追加に失敗しました";
inline constexpr wchar_t AddedEnd[] = L"個のファイルを追加しました";  // after " %d "
inline constexpr wchar_t CreateFailed[] = L"書庫ﾌｧｲﾙの作成に失敗しました.";
inline constexpr wchar_t DropReadOnly[] =
    L"編集可能状態でないためﾄﾞﾛｯﾌﾟ出来ません.\r\n編集状態にしてﾌｧｲﾙを受取りますか?";
inline constexpr wchar_t CannotAdd[] = L"この書庫はﾌｧｲﾙを追加することが出来ません.";
inline constexpr wchar_t DeleteAskStart[] = L"ファイル: ";
inline constexpr wchar_t DeleteAskEnd[] = L"を削除しますか.";
inline constexpr wchar_t DeletedEnd[] = L"個のファイルを削除しました";  // after " %d "
inline constexpr wchar_t DeleteFailed[] = L"ﾌｧｲﾙを削除出来ませんでした (ｴﾗｰｺｰﾄﾞ: ";  // then the code and ")."
inline constexpr wchar_t NoFilesLeftStart[] = L"ﾌｧｲﾙがなくなりましたので、";
inline constexpr wchar_t NoFilesLeftEnd[] = L"は削除されました.\r新規作成ﾓｰﾄﾞになります.";
inline constexpr wchar_t ButtonAll[] = L"全て";
inline constexpr wchar_t ButtonAbort[] = L"中止";
inline constexpr wchar_t ButtonCancel[] = L"ｷｬﾝｾﾙ";
inline constexpr wchar_t SaveExists[] = L"ファイルはすでに存在します.\n\r上書きしますか？";
// Save As refusals: the new archive stays in the work folder.
inline constexpr wchar_t SaveOntoItself[] = L"作業ﾌｫﾙﾀﾞの書庫そのものには保存出来ません.\r別の名前を指定して下さい.";
inline constexpr wchar_t SaveFailed[] = L" に保存出来ませんでした.\r書庫は作業ﾌｫﾙﾀﾞに残っています.\r\r";  // after the path, then the reason
// Self-extractors and mail.
inline constexpr wchar_t SfxFailed[] = L"SFX書庫の作成に失敗しました。";
inline constexpr wchar_t SfxMade[] = L"SFX書庫を作成しました。";
inline constexpr wchar_t SfxNotMade[] = L"SFX書庫を作成できませんでした。";
inline constexpr wchar_t SfxNotMadeDos16[] =
    L"SFX書庫を作成できませんでした。\n\rﾛﾝｸﾞﾈｰﾑ形式のﾃﾞｨﾚｸﾄﾘ情報が含まれて\n\rいる可能性があります.";
inline constexpr wchar_t MailSubject[] = L"ファイル送付:";
inline constexpr wchar_t MailFailed[] = L"送信に失敗しました";

}  // namespace texts
