// The texts the engine gives in its exceptions, for the window that shows
// them. A text used in several places, drivers included, is defined here once.
#pragma once

namespace engine_texts {

// Telling what an archive or its format cannot do.
inline constexpr wchar_t FormatNotIdentified[] = L"書庫の形式を特定できませんでした。";
inline constexpr wchar_t FormatUnknown[] = L"書庫の形式を判別できません。";
inline constexpr wchar_t CannotCreate[] = L"この形式では書庫ファイルの作成をサポートしておりません。";
inline constexpr wchar_t CannotDelete[] = L"この形式の書庫ではファイルの削除をサポートしておりません。";
inline constexpr wchar_t CannotUpdate[] = L"この形式の書庫では書庫の更新をサポートしておりません。";
inline constexpr wchar_t CannotMakeSfx[] = L"この形式では自己解凍書庫の作成をサポートしておりません。";
inline constexpr wchar_t CannotExtractToMemory[] = L"この形式ではメモリへの展開をサポートしておりません。";
inline constexpr wchar_t CannotCheck[] = L"この形式では書庫チェック機能をサポートしておりません。";

// Libraries, files and folders (FormatMessageText patterns).
inline constexpr wchar_t LibraryNeeded[] = L"%0:s を扱うには %1:s が 必要です。";         // the format, the library
inline constexpr wchar_t EntryNotFound[] = L"%0:s に %1:s のエントリが見つかりません。";  // the library, the entry
inline constexpr wchar_t CannotWriteResponseFile[] = L"レスポンスファイル %s に書き込めません。";
inline constexpr wchar_t CannotEnterFolder[] = L"フォルダ %s に移動できません。";
inline constexpr wchar_t BadDate[] = L"日付の指定 '%s' は正しい日付ではありません。";

}  // namespace engine_texts
