// The texts the dialogs show, except those of their templates (the .rc
// files). A text shown in several places is defined here once.
#pragma once

namespace dialog_texts {

// Shared by several dialogs.
inline constexpr wchar_t ChooseBaseFolder[] = L"基準ﾃﾞｨﾚｸﾄﾘを選択";
inline constexpr wchar_t MessageCaption[] = L"Tavix";
inline constexpr wchar_t FileName[] = L"ファイル名";  // a column and a print field

// The folder browser.
inline constexpr wchar_t BrowseUpHint[] = L"一つ上のﾌｫﾙﾀﾞへ";
inline constexpr wchar_t BrowseNewFolderHint[] = L"新しいﾌｫﾙﾀﾞを作る";
inline constexpr wchar_t BrowseListHint[] = L"一覧表示";
inline constexpr wchar_t BrowseDetailsHint[] = L"詳細表示";
inline constexpr wchar_t BrowseNewFolderName[] = L"新しいﾌｫﾙﾀﾞ";
inline constexpr wchar_t BrowseFolderNotMade[] = L"ﾃﾞｨﾚｸﾄﾘの作成に失敗しました.";
inline constexpr wchar_t BrowseChooseSomething[] = L"ﾌｧｲﾙかﾌｫﾙﾀﾞを選択してください.";

// The extract dialog.
inline constexpr wchar_t ExtractUnexpectedError[] = L"予期しないｴﾗｰが発生しました.";
inline constexpr wchar_t ExtractChooseFolderPlace[] = L"ﾌｫﾙﾀﾞを作成する場所を選択してください.";
inline constexpr wchar_t ExtractMakeFolderTitle[] = L"フォルダ作成";
inline constexpr wchar_t ExtractMakeFolderPrompt[] = L"作成するフォルダ名";
inline constexpr wchar_t ExtractFolderWord[] = L"ﾌｫﾙﾀﾞ ";                       // then the path
inline constexpr wchar_t ExtractFolderNotMade[] = L" は作成出来ませんでした.";  // then the error number

// The editor's property sheet: its pages, then the rest.
inline constexpr wchar_t EditorPageEdit[] = L"編集";
inline constexpr wchar_t EditorPageView1[] = L"表示１";
inline constexpr wchar_t EditorPageView2[] = L"表示２";
inline constexpr wchar_t EditorPageColor[] = L"表示色";
inline constexpr wchar_t EditorPageWrap[] = L"ワードラップ";
inline constexpr wchar_t EditorReservedWords[] = L"予約語";  // the page and the caption of its messages
inline constexpr wchar_t EditorPageKeys[] = L"キーバインド";
inline constexpr wchar_t EditorOtherColor[] = L"その他...";
inline constexpr wchar_t EditorColumnFunction[] = L"機能";
inline constexpr wchar_t EditorColumnShortcut[] = L"ショートカット";
inline constexpr wchar_t EditorCannotRead[] = L" を読み込めません.";                  // after the path
inline constexpr wchar_t EditorWordsTooLarge[] = L" は予約語ﾘｽﾄとして大きすぎます.";  // after the path
inline constexpr wchar_t EditorCannotWrite[] = L" に書き込めません.";                 // after the path
inline constexpr wchar_t EditorLoadWordsTitle[] = L"予約語ﾘｽﾄの読み込み";
inline constexpr wchar_t EditorLoadWordsFilter[] =
    L"予約語ﾘｽﾄ(*.rsv)\0*.rsv\0ﾃｷｽﾄﾌｧｲﾙ(*.txt)\0*.txt\0全てのﾌｧｲﾙ(*.*)\0*.*\0";
inline constexpr wchar_t EditorSaveWordsTitle[] = L"予約語ﾌｧｲﾙの保存";
inline constexpr wchar_t EditorSaveWordsFilter[] = L"予約語ﾘｽﾄ(*.rsv)\0*.rsv\0全てのﾌｧｲﾙ(*.*)\0*.*\0";

// The table of environments per file.
inline constexpr wchar_t EnvBroken[] = L"環境ﾌｧｲﾙが異常です.";
inline constexpr wchar_t EnvTitle[] = L"ﾌｧｲﾙ毎の環境設定";
inline constexpr wchar_t EnvFreshFont[] = L"ＭＳ ゴシック";  // the font a new environment starts with
inline constexpr wchar_t EnvSaveTitle[] = L"環境設定ﾌｧｲﾙ保存";
inline constexpr wchar_t EnvLoadTitle[] = L"環境設定ﾌｧｲﾙ読込み";
inline constexpr wchar_t EnvFilter[] = L"環境設定ﾌｧｲﾙ(*.env)\0*.env\0全てのﾌｧｲﾙ(*.*)\0*.*\0";
inline constexpr wchar_t EnvColumnName[] = L"環境名";
inline constexpr wchar_t EnvColumnMasks[] = L"適用するﾌｧｲﾙの拡張子";
inline constexpr wchar_t EnvCannotWrite[] = L" に書き込めません";  // after the path
inline constexpr wchar_t EnvNameMissing[] = L"環境名を入力してください.";
inline constexpr wchar_t EnvFileUnusable[] = L"このﾌｧｲﾙは使用出来ません.";
inline constexpr wchar_t EnvTableFull[] = L"環境保存数が一杯のため保存出来ません.";
inline constexpr wchar_t EnvAskOverwrite[] = L" はすでに存在します.上書きしますか?";  // after the name
inline constexpr wchar_t EnvSheetCaption[] = L" の環境設定";                          // after the name
inline constexpr wchar_t EnvAskDelete[] = L" を削除しますか?";                        // after the name

// The option dialog's pages.
inline constexpr wchar_t OptionPageFolder[] = L"ﾌｫﾙﾀﾞ";
inline constexpr wchar_t OptionPageExtract[] = L"解凍";
inline constexpr wchar_t OptionPagePack[] = L"圧縮";
inline constexpr wchar_t OptionPageView[] = L"表示";
inline constexpr wchar_t OptionPageShell[] = L"ｼｪﾙ拡張";
inline constexpr wchar_t OptionPageTavix[] = L"Tavix拡張";
inline constexpr wchar_t OptionPageUnlha[] = L"Unlha";
inline constexpr wchar_t OptionPageToolBar[] = L"ﾂｰﾙﾊﾞｰ";

// The self-extractor wizard.
inline constexpr wchar_t SfxFilter[] =
    L"SFX定義ﾌｧｲﾙ(*.sfx)|*.sfx|全てのﾌｧｲﾙ(*.*)|*.*";  // "|" stands for the separators the dialog wants
inline constexpr wchar_t SfxColumnTitle[] = L"タイトル名";
inline constexpr wchar_t SfxRegGuideShown[] =
    L"ファイルの関連付け";  // the design-time text; the stored default differs
inline constexpr wchar_t SfxGroupGuideShown[] = L"スタートメニューへの登録";  // likewise
inline constexpr wchar_t SfxLoadTitle[] = L"SFXｳｨｻﾞｰﾄﾞ定義ﾌｧｲﾙの読込み";
inline constexpr wchar_t SfxSaveTitle[] = L"SFXｳｨｻﾞｰﾄﾞ定義ﾌｧｲﾙの保存";
inline constexpr wchar_t SfxCannotWrite[] = L" に書き込めませんでした。";  // after the path
inline constexpr wchar_t SfxCaption[] = L"SFX Wizard";
inline constexpr wchar_t SfxNoComma[] = L"「,」は使えません: ";                                   // then the field
inline constexpr wchar_t SfxOutsideFolder[] = L"展開先フォルダの外のファイルは指定できません: ";  // then the field
inline constexpr wchar_t SfxDefaultMessage[] = L" のインストールを開始します。";                  // after the title
inline constexpr wchar_t SfxDefaultFolderTitle[] = L" のインストール先";                          // after the title
inline constexpr wchar_t SfxDefaultDialogTitle[] = L" のインストール";                            // after the title
inline constexpr wchar_t SfxDefaultNotes[] = L" のﾌｧｲﾙ";                                          // after the title
inline constexpr wchar_t SfxNoTitleFolderTitle[] = L"ｱﾌﾟﾘｹｰｼｮﾝのｲﾝｽﾄｰﾙ先";
inline constexpr wchar_t SfxNoTitleDialogTitle[] = L"ｱﾌﾟﾘｹｰｼｮﾝのｲﾝｽﾄｰﾙ";
inline constexpr wchar_t SfxRegGuide[] = L"ﾌｧｲﾙの関連付け";
inline constexpr wchar_t SfxGroupGuide[] = L"ｽﾀｰﾄﾒﾆｭｰへの登録";

// Shell integration: what Explorer shows of Tavix.
inline constexpr wchar_t RegistryFailed[] = L"Regstry を操作出来ませんでした.";  // then the code
inline constexpr wchar_t LzhDescription[] = L"LHA書庫ﾌｧｲﾙ";
inline constexpr wchar_t ZipDescription[] = L"ZIP書庫ﾌｧｲﾙ";
inline constexpr wchar_t ExtractVerb[] = L"Tavixで解凍";
inline constexpr wchar_t PackShortcutName[] = L"Tavixで圧縮.lnk";
inline constexpr wchar_t OpenShortcutName[] = L"Tavixで開く.lnk";

// The editor's coloured elements, in the order of their numbers.
inline constexpr const wchar_t* EditorElements[] = {
    L"デフォルト",       L"1ﾊﾞｲﾄ文字",        L"2ﾊﾞｲﾄ文字", L"行コメント",    L"数値",       L"文字列",    L"シンボル",
    EditorReservedWords, L"Mailアドレス",     L"URL",       L"選択部分",      L"改行マーク", L"EOFマーク", L"TABマーク",
    L"全角スペース",     L"カーソル行の下線", L"括弧",      L"検索キーワード"};

// The colour choices, in the order of the palette's values.
inline constexpr const wchar_t* EditorColors[] = {L"黒",   L"暗赤", L"緑",   L"オリーブ", L"紺",     L"紫",
                                                  L"青緑", L"灰色", L"銀色", L"赤",       L"ライム", L"黄",
                                                  L"青",   L"赤紫", L"水色", L"白"};

// The six sample lines; the word "select" is the six bytes from offset 34.
inline constexpr wchar_t EditorSample[] =
    L"Text editor ｱｲｳｴｵ あいうえお\r\n"
    L"The select word is selected.\r\n"
    L"\tTab mark and // line comment\r\n"
    L"Number 0x1F 12345 (brackets) \"string\"\r\n"
    L"Reserved word: if else while return\r\n"
    L"mail: someone@example.com url: http://www.example.com/";

// The scroll-bar choices, in the order of their numbers.
inline constexpr const wchar_t* EditorScrollBars[] = {L"なし", L"縦ｽｸﾛｰﾙﾊﾞｰ", L"横ｽｸﾛｰﾙﾊﾞｰ", L"縦・横"};

// The print dialog's header and footer fields, in the order of their codes.
inline constexpr const wchar_t* PrintFields[] = {L"ページ番号",   FileName,  L"ファイル名（フルパス名）",
                                                 L"年月日と時刻", L"年月日", L"時刻"};

// The tool-bar page's lines: each button's caption and what it does, in the bar's order.
struct TCaptionText {
  const wchar_t* caption;
  const wchar_t* text;
};
inline constexpr wchar_t ToolSeparator[] = L"ｾﾊﾟﾚｰﾀ";
inline constexpr wchar_t ToolSeparatorText[] = L"ボタンとボタンのセパレータです.";
inline constexpr TCaptionText ToolButtons[] = {
    {L"新規作成", L"新しい書庫ﾌｧｲﾙを作成します."},
    {L"書庫を開く", L"書庫ﾌｧｲﾙを開きます."},
    {L"名前を付けて保存", L"新規作成した書庫に名前を付けて保存します."},
    {L"書庫のﾌﾟﾛﾊﾟﾃｨ", L"書庫の情報を表示します.編集可能な書庫の場合には、このﾀﾞｲｱﾛｸﾞで編集可能に出来ます."},
    {ToolSeparator, ToolSeparatorText},
    {L"ﾌｧｲﾙのｺﾋﾟｰ", L"現在選択中のﾌｧｲﾙをｺﾋﾟｰします.ｺﾋﾟｰしたﾌｧｲﾙはｴｸｽﾌﾟﾛｰﾗ上やﾃﾞｽｸﾄｯﾌﾟ上に貼付け出来ます."},
    {L"ﾌｧｲﾙの貼付け", L"ｴｸｽﾌﾟﾛｰﾗ上やﾃﾞｽｸﾄｯﾌﾟからｺﾋﾟｰしたﾌｧｲﾙを書庫に追加します.書庫は編集状態でなければなりません."},
    {ToolSeparator, ToolSeparatorText},
    {L"ﾌｧｲﾙを解凍する", L"開いている書庫内のﾌｧｲﾙを解凍します."},
    {L"ﾌｧｲﾙを追加する", L"開いている書庫へﾌｧｲﾙを追加します."},
    {L"ﾌｧｲﾙを削除する", L"選択している書庫内のﾌｧｲﾙを削除します."},
    {ToolSeparator, ToolSeparatorText},
    {L"ﾌｧｲﾙを閲覧する", L"選択している書庫内のﾌｧｲﾙを閲覧します."},
    {L"ﾌｧｲﾙを開く", L"選択している書庫内のﾌｧｲﾙを関連づけられたｱﾌﾟﾘｹｰｼｮﾝで開きます."},
    {L"ｲﾝｽﾄｰﾙ実行", L"書庫内のﾌｧｲﾙ全てを作業ﾌｫﾙﾀﾞに解凍して、Install.exeもしくはSetup.exeを実行します."},
    {L"SFXﾌｧｲﾙの作成", L"SFXﾌｧｲﾙの形式を選択して作成します."},
    {ToolSeparator, ToolSeparatorText},
    {L"Tavixの設定", L"Tavixの設定を行います."},
    {ToolSeparator, ToolSeparatorText},
    {L"表示ｱｲｺの設定", L"ﾌｧｲﾙの表示形式を切替えます."},
    {L"ﾍﾙﾌﾟ表示", L"ﾍﾙﾌﾟﾌｧｲﾙの最初のﾍﾟｰｼﾞを表示します."},
    {L"ﾍﾙﾌﾟの検索", L"ﾍﾙﾌﾟの検索ﾀﾞｲｱﾛｸﾞを表示します."},
    {ToolSeparator, ToolSeparatorText},
    {L"Tavixの終了", L"Tavixを終了します."},
};

}  // namespace dialog_texts
