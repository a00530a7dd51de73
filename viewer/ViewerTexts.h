// The texts the viewer and its picture control show, except each command's
// own caption and hint (those are in its row, viewer/ViewerCommands.h). A
// text shown in several places is defined here once.
#pragma once

namespace viewer_texts {

// Menus and bars.
inline constexpr wchar_t MenuFile[] = L"ﾌｧｲﾙ(&F)";
inline constexpr wchar_t MenuEdit[] = L"編集(&E)";
inline constexpr wchar_t MenuSearch[] = L"検索(&S)";
inline constexpr wchar_t MenuJump[] = L"ｼﾞｬﾝﾌﾟ(&J)";
inline constexpr wchar_t MenuMark[] = L"ﾏｰｸ(&M)";
inline constexpr wchar_t MenuView[] = L"表示(&V)";
inline constexpr wchar_t MenuToolBars[] = L"ﾂｰﾙﾊﾞｰ(&T)";
inline constexpr wchar_t PopupJump[] = L"ｼﾞｬﾝﾌﾟ";
inline constexpr wchar_t PopupMark[] = L"ﾏｰｸ";
inline constexpr wchar_t ToolBarCaption[] = L"標準";

// Status panels.
inline constexpr wchar_t ColumnPrefix[] = L"桁:";
inline constexpr wchar_t LinePrefix[] = L"行:";
inline constexpr wchar_t MarkStatus[] = L"ﾏｰｸ ";
inline constexpr wchar_t JumpStatus[] = L"ｼﾞｬﾝﾌﾟ ";
inline constexpr wchar_t NotFoundSuffix[] = L"] は見つかりません.";

// Find, save, settings.
inline constexpr wchar_t FindDownCaption[] = L"下検索(&N)";
inline constexpr wchar_t NewFileName[] = L"新規";
inline constexpr wchar_t SaveAsTitle[] = L"名前を付けて保存";
inline constexpr wchar_t PropertiesSuffix[] = L" のプロパティ";
inline constexpr wchar_t DefaultEnvironment[] = L"Default";
// The six commands whose shortcuts the settings sheet edits, in its order.
inline constexpr const wchar_t* ShortCutLabels[] = {L"名前を付けて保存", L"コピー", L"検索",
                                                    L"次を検索", L"前を検索", L"印刷"};

// Errors.
inline constexpr wchar_t NoMemory[] = L"メモリを確保出来ませんでした.";
inline constexpr wchar_t TooLarge[] = L"ファイルが大きすぎるため表示できません (2GB以上).";
inline constexpr wchar_t JpegFailed[] = L"JPEG画像を読み込めませんでした (";
inline constexpr wchar_t EnvironmentNotSaved[] = L"環境設定を保存できませんでした.";

// Printing.
inline constexpr wchar_t PrintCaption[] = L"印刷";
inline constexpr wchar_t Printing[] = L"印刷中";
inline constexpr wchar_t MakingPreview[] = L"プレビューを作成中";
inline constexpr wchar_t NoPrinter[] = L"プリンタがインストールされていません。";
inline constexpr wchar_t NoTextArea[] = L"余白が大きすぎるため、本文を印刷する場所がありません。";
inline constexpr wchar_t PrintFailed[] = L"印刷できませんでした。";

// The picture control's error texts (the plug-ins' error codes 2-6, then the rest).
inline constexpr wchar_t PictureUnknownFormat[] = L"未知のフォーマット";
inline constexpr wchar_t PictureBroken[] = L"データが壊れている";
inline constexpr wchar_t PictureNoMemory[] = L"メモリーが確保出来ない";
inline constexpr wchar_t PictureMemoryError[] = L"メモリーエラー";
inline constexpr wchar_t PictureReadError[] = L"ファイルリードエラー";
inline constexpr wchar_t PictureOtherError[] = L"その他のエラー";
inline constexpr wchar_t PictureUnsupportedExtension[] = L"サポートされない拡張子";

}  // namespace viewer_texts
