// The texts the widgets show. A text shown in several places is defined here once.
#pragma once

namespace widget_texts {

// The shell views.
inline constexpr wchar_t ColumnName[] = L"名前";
inline constexpr wchar_t ColumnSize[] = L"ｻｲｽﾞ";
inline constexpr wchar_t ColumnType[] = L"種類";
inline constexpr wchar_t ColumnModified[] = L"更新日時";
inline constexpr wchar_t Desktop[] = L"ﾃﾞｽｸﾄｯﾌﾟ";  // also the desktop node's "path"

// Searching the text.
inline constexpr wchar_t SearchTextMissing[] = L"検索文字列がありません.";
inline constexpr wchar_t SearchTextHasLineBreak[] = L"検索文字列に改行は使えません.";
inline constexpr wchar_t BadRegex[] = L"正規表現が正しくありません (";  // then the position
inline constexpr wchar_t BadRegexAt[] = L" 文字目): ";                  // then the library's words
inline constexpr wchar_t RegexTooComplex[] = L"正規表現の照合が複雑すぎるため, 検索を中止しました.";
inline constexpr wchar_t RegexFailed[] = L"正規表現の照合に失敗しました.";

}  // namespace widget_texts
