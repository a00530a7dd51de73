#include "tests/dialogs/DialogDriver.h"

#include "../support/XInput.h"

#include <gtest/gtest.h>

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

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  for (int waited = 0; waited < timeoutMs; waited += 20) {
    if (condition()) return true;
    Sleep(20);
  }
  return condition();
}

std::wstring WinPath(const std::string& unixPath) {
  std::wstring path = L"Z:";
  for (char c : unixPath) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  return path;
}

namespace {
struct OtherSearch {
  HWND except;
  HWND found;
};
BOOL CALLBACK FindOtherDialog(HWND window, LPARAM l) {
  auto search = reinterpret_cast<OtherSearch*>(l);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t className[64] = L"";
  GetClassNameW(window, className, 64);
  if (process == GetCurrentProcessId() && window != search->except && IsWindowVisible(window) &&
      std::wstring(className) == L"#32770") {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}
struct TextSearch {
  const std::wstring* text;
  HWND found;
};
BOOL CALLBACK FindText(HWND window, LPARAM l) {
  auto search = reinterpret_cast<TextSearch*>(l);
  wchar_t text[512] = L"";
  GetWindowTextW(window, text, 512);
  if (*search->text == text) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

HWND WaitForOtherDialog(HWND except, int timeoutMs) {
  for (int waited = 0; waited < timeoutMs; waited += 20) {
    OtherSearch search{except, nullptr};
    EnumWindows(FindOtherDialog, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    Sleep(20);
  }
  return nullptr;
}

HWND FindChildByText(HWND parent, const std::wstring& text) {
  TextSearch search{&text, nullptr};
  EnumChildWindows(parent, FindText, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring ScreenshotFolder() {
  std::wstring folder = WinPath(TAVIX_BINARY_DIR) + L"\\screenshots";
  CreateDirectoryW(folder.c_str(), nullptr);
  folder += L"\\dialogs";
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

int ShowWithUser(const std::wstring& caption, const std::function<int()>& show,
                 const std::function<void(HWND)>& user) {
  TUserThread thread([&] {
    HWND window = WaitForWindow(caption);
    if (window == nullptr) {
      ADD_FAILURE() << "the dialog did not appear";
      return;
    }
    PointAt(window);
    user(window);
    if (IsWindow(window) && IsWindowVisible(window)) PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
  });
  return show();
}

std::wstring Text(HWND window) {
  std::wstring text(GetWindowTextLengthW(window) + 1, L'\0');
  text.resize(GetWindowTextW(window, text.data(), static_cast<int>(text.size())));
  return text;
}
