// The texts the help service shows when a page cannot be opened.
#pragma once

namespace help_texts {

inline constexpr wchar_t Caption[] = L"Tavix";
inline constexpr wchar_t PageMissing[] = L"ﾍﾙﾌﾟﾌｧｲﾙ ";  // then the path
inline constexpr wchar_t PageMissingEnd[] = L" が見つかりません.";
inline constexpr wchar_t OpenFailed[] = L"ﾍﾙﾌﾟ ";  // then the path
inline constexpr wchar_t OpenFailedEnd[] = L" を開くことに失敗しました.";

}  // namespace help_texts
