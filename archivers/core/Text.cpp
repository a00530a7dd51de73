// Code-page conversions, the output buffer and the standard messages.
#include "archivers/core/ArcCore.h"

#include <algorithm>
#include <cwctype>

namespace arc {

std::wstring FromCodePage(const std::string& text, UINT codePage) {
  if (text.empty()) return {};
  int length = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring result(length, L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), result.data(), length);
  return result;
}

std::string ToCodePage(const std::wstring& text, UINT codePage, bool* lossy) {
  if (lossy) *lossy = false;
  if (text.empty()) return {};
  BOOL usedDefault = FALSE;
  bool utf = codePage == CP_UTF8;
  // No best fit: it turns "¥" into "\\" and "①" into "1", so a listed name
  // would read as another path. A character the code page lacks becomes '?',
  // which as a wildcard still selects the entry it came from.
  DWORD flags = utf ? 0 : WC_NO_BEST_FIT_CHARS;
  const char* fallback = utf ? nullptr : "?";
  int length = WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0, fallback,
                                   utf ? nullptr : &usedDefault);
  std::string result(length, '\0');
  WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()), result.data(), length, fallback,
                      utf ? nullptr : &usedDefault);
  if (lossy) *lossy = usedDefault != FALSE;
  return result;
}

std::wstring FromAnsi(const std::string& text) { return FromCodePage(text, CP_ACP); }
std::string ToAnsi(const std::wstring& text) { return ToCodePage(text, CP_ACP); }

void CopyAnsiField(char* field, size_t size, const std::string& text) {
  if (field == nullptr || size == 0) return;
  size_t limit = size - 1, length = 0;
  // Walk whole characters so that a double-byte character is never split.
  while (length < text.size()) {
    size_t step = IsDBCSLeadByte(static_cast<BYTE>(text[length])) && length + 1 < text.size() ? 2 : 1;
    if (length + step > limit) break;
    length += step;
  }
  std::copy(text.begin(), text.begin() + length, field);
  field[length] = '\0';
}

std::wstring Lower(std::wstring text) {
  if (!text.empty()) CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

std::wstring StandardMessage(int code) {
  switch (code) {
    case 0: return L"正常に終了しました。";
    case ERROR_DISK_SPACE: return L"ディスクの空き容量が足りません。";
    case ERROR_READ_ONLY: return L"読み出し専用ファイルのため書き込めません。";
    case ERROR_USER_SKIP: return L"処理をスキップしました。";
    case ERROR_UNKNOWN_TYPE: return L"未知の種類のファイルです。";
    case ERROR_METHOD: return L"扱えない圧縮方式です。";
    case ERROR_PASSWORD_FILE: return L"パスワードが必要なファイルです。";
    case ERROR_FILE_CRC: return L"CRC が一致しません。";
    case ERROR_FILE_OPEN: return L"ファイルを開けません。";
    case ERROR_MORE_FRESH: return L"より新しいファイルがあります。";
    case ERROR_NOT_EXIST: return L"ファイルが存在しません。";
    case ERROR_ALREADY_EXIST: return L"ファイルが既に存在します。";
    case ERROR_MAKEDIRECTORY: return L"フォルダを作成できません。";
    case ERROR_CANNOT_WRITE: return L"書き込みに失敗しました。";
    case ERROR_HUFFMAN_CODE: return L"圧縮データが壊れています。";
    case ERROR_HEADER_CRC: return L"ヘッダの CRC が一致しません。";
    case ERROR_HEADER_BROKEN: return L"ヘッダが壊れています。";
    case ERROR_ARC_FILE_OPEN: return L"書庫を開けません。";
    case ERROR_NOT_ARC_FILE: return L"書庫ではありません。";
    case ERROR_CANNOT_READ: return L"読み込みに失敗しました。";
    case ERROR_COMMAND_NAME: return L"コマンドが正しくありません。";
    case ERROR_ENOUGH_MEMORY: return L"メモリが足りません。";
    case ERROR_ALREADY_RUNNING: return L"既に実行中です。";
    case ERROR_USER_CANCEL: return L"処理を中止しました。";
    case ERROR_HARC_ISNOT_OPENED: return L"書庫が開かれていません。";
    case ERROR_NOT_SUPPORT: return L"サポートしていない機能です。";
    case ERROR_TMP_OPEN: return L"作業ファイルを作成できません。";
    case ERROR_LONG_FILE_NAME: return L"パスが長すぎるか深すぎます。";
    case ERROR_ARC_READ_ONLY: return L"読み出し専用の書庫は変更できません。";
    case ERROR_NOT_FIND_ARC_FILE: return L"書庫が見つかりません。";
    case ERROR_RESPONSE_READ: return L"レスポンスファイルを読めません。";
    case ERROR_NOT_FILENAME: return L"ファイル名が指定されていません。";
    case ERROR_TMP_COPY: return L"作業ファイルを書庫へ書き戻せません。";
    case ERROR_NOT_FIND_FILE: return L"ファイルが見つかりません。";
    case ERROR_MAKE_ARCHIVE: return L"書庫を作成できません。";
    case ERROR_UNEXPECTED_EOF: return L"書庫が途中で終わっています。";
    case ERROR_BROKEN_DATA: return L"データが壊れています。";
    case ERROR_INVALID_PATH: return L"不正なパスです。";
    case ERROR_TOO_BIG: return L"ファイルが大きすぎます。";
    default: return L"エラーが発生しました。";
  }
}

void Output::Message(int code, const std::wstring& detail) {
  wchar_t number[16];
  wsprintfW(number, L"[%04X] ", code);
  Line(number + StandardMessage(code) + (detail.empty() ? L"" : L" " + detail));
}

void Output::CopyTo(LPSTR buffer, DWORD size) const {
  if (buffer == nullptr || size == 0) return;
  CopyAnsiField(buffer, size, ToAnsi(text_));
}

}  // namespace arc
