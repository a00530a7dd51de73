// The texts the drivers give in their exceptions, for the window that shows
// them; those the engine gives too are in engine/EngineTexts.h.
#pragma once

namespace driver_texts {

// The formats, as messages name them.
inline constexpr wchar_t ArjFormat[] = L"ARJ 形式書庫";
inline constexpr wchar_t BgaFormat[] = L"BGA 形式書庫";
inline constexpr wchar_t CabFormat[] = L"CAB 形式書庫";
inline constexpr wchar_t LhaFormat[] = L"LHA 形式書庫";
inline constexpr wchar_t RarFormat[] = L"RAR 形式書庫";
inline constexpr wchar_t TarFormat[] = L"tar/tgz/taz/bz2 形式書庫";

// Files and libraries (FormatMessageText patterns).
inline constexpr wchar_t CannotOpen[] = L"%s を開けません。";
inline constexpr wchar_t CannotCreate[] = L"%s を作成できません。";
inline constexpr wchar_t CannotRead[] = L"%s を読み込めません。";
inline constexpr wchar_t CannotWrite[] = L"%s に書き込めません。";
inline constexpr wchar_t FormatNotBuiltIn[] = L"この形式の書庫を扱う機能が組み込まれていません。";
inline constexpr wchar_t EntryNotInLibrary[] = L"%0:s のエントリが DLL に見つかりませんでした。";  // the entry

// What a format needs.
inline constexpr wchar_t Bz2NoSfx[] = L"BZ2 形式書庫は自己解凍形式にできません。";
inline constexpr wchar_t TarSfxNeedsStub[] = L"tar/tgz 書庫からの自己解凍書庫の作成には kmtarsef.exe が必要です。";
inline constexpr wchar_t ZipExtractNeedsLibrary[] =
    L"ZIP 形式書庫の解凍には UNZIP32.DLL または QXZIP32.DLL が必要です。";
inline constexpr wchar_t ZipCreateNeedsLibrary[] = L"ZIP 形式書庫の作成には ZIP32J.DLL または QXZIP32.DLL が必要です。";
inline constexpr wchar_t ZipSfxNeedsLibrary[] = L"ZIP 形式書庫からの自己解凍書庫作成には ZIP32J.DLL が必要です。";
inline constexpr wchar_t ZipGuiSfxNeedsStub[] = L"zip 書庫からのWin32自己解凍書庫の作成には sfx32gui.dat が必要です。";
inline constexpr wchar_t ZipDosSfxNeedsStub[] = L"zip 書庫からのDOS自己解凍書庫の作成には sfx16.dat が必要です。";

}  // namespace driver_texts
