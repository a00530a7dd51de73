// A program that pastes files as others do: asks the clipboard for its file
// list, one request per opening of the clipboard, at most as often as its
// second argument says, and stops at the first answer. Writes to the file of
// its first argument (UTF-8 lines): "empty <n>" (requests answered with
// nothing), "effect <value>" (Preferred DropEffect, -1 without), then each
// name as DragQueryFile reads it.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
  std::string result(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, result.data(), static_cast<int>(result.size()), nullptr, nullptr);
  result.pop_back();
  return result;
}

bool OpenClipboardPatiently() {
  for (int i = 0; i < 500; ++i) {
    if (OpenClipboard(nullptr)) return true;
    Sleep(10);
  }
  return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 1;
  int requests = _wtoi(argv[2]);
  std::string out;
  int empty = 0;
  bool answered = false;
  for (int i = 0; i < requests && !answered; ++i) {
    if (!OpenClipboardPatiently()) return 2;
    if (HANDLE data = GetClipboardData(CF_HDROP)) {
      answered = true;
      long effect = -1;
      if (HANDLE effectData = GetClipboardData(RegisterClipboardFormatW(L"Preferred DropEffect"))) {
        if (auto* value = static_cast<DWORD*>(GlobalLock(effectData))) {
          effect = static_cast<long>(*value);
          GlobalUnlock(effectData);
        }
      }
      out += "effect " + std::to_string(effect) + "\n";
      auto drop = static_cast<HDROP>(data);
      UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
      for (UINT n = 0; n < count; ++n) {
        UINT length = DragQueryFileW(drop, n, nullptr, 0);
        std::wstring name(length + 1, L'\0');
        DragQueryFileW(drop, n, name.data(), length + 1);
        name.resize(length);
        out += Utf8(name) + "\n";
      }
    } else {
      ++empty;
    }
    CloseClipboard();
  }
  out = "empty " + std::to_string(empty) + "\n" + out;
  HANDLE file = CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 3;
  DWORD written = 0;
  WriteFile(file, out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
  CloseHandle(file);
  return 0;
}
