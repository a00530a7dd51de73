#include "tests/dialogs/DialogDriver.h"

namespace {
struct Search {
  const std::wstring* caption;
  HWND found;
};
BOOL CALLBACK FindByCaption(HWND window, LPARAM l) {
  auto search = reinterpret_cast<Search*>(l);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
  wchar_t text[512];
  GetWindowTextW(window, text, 512);
  if (*search->caption == text) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

HWND WaitForWindow(const std::wstring& caption, int timeoutMs) {
  for (int waited = 0; waited < timeoutMs; waited += 20) {
    Search search{&caption, nullptr};
    EnumWindows(FindByCaption, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    Sleep(20);
  }
  return nullptr;
}

std::wstring MessageBoxText(HWND box) {
  wchar_t text[1024] = L"";
  GetDlgItemTextW(box, 0xFFFF, text, 1024);
  return text;
}

void TypeText(HWND edit, const std::wstring& text) {
  for (wchar_t c : text) SendMessageW(edit, WM_CHAR, c, 0);
}

void PressUntilGone(HWND dialog, int id) {
  for (int attempt = 0; attempt < 20 && IsWindow(dialog) && IsWindowVisible(dialog); ++attempt) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
    for (int wait = 0; wait < 50 && IsWindow(dialog) && IsWindowVisible(dialog); ++wait) Sleep(20);
  }
}
