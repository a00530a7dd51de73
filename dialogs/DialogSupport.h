// Small helpers the one-use dialogs share.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <optional>
#include <string>

inline std::wstring WindowTextOf(HWND window) {
  std::wstring text(GetWindowTextLengthW(window) + 1, L'\0');
  text.resize(GetWindowTextW(window, text.data(), static_cast<int>(text.size())));
  return text;
}

// Puts the window's centre over the area's: left = area left + (area width -
// window width) / 2, top likewise, each half rounded toward zero.
inline void CenterWindowOver(HWND window, const RECT& area, UINT flags = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE) {
  RECT own{};
  GetWindowRect(window, &own);
  int left = area.left + ((area.right - area.left) - (own.right - own.left)) / 2;
  int top = area.top + ((area.bottom - area.top) - (own.bottom - own.top)) / 2;
  SetWindowPos(window, nullptr, left, top, 0, 0, flags);
}

// The same over the dialog's owner, where it has one (from WM_INITDIALOG).
inline void CenterOverOwner(HWND dialog) {
  HWND owner = GetWindow(dialog, GW_OWNER);
  RECT area{};
  if (owner != nullptr && GetWindowRect(owner, &area)) CenterWindowOver(dialog, area, SWP_NOSIZE | SWP_NOZORDER);
}

// The module that holds the dialog templates: the one this code is linked into
// (a test program as well as Tavix.exe).
inline HINSTANCE DialogModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&DialogModule), &module);
  return module;
}

// A modeless dialog shown as a modal one: the owner is disabled, messages run
// until *result is set (a WM_QUIT ends it as Cancel and is posted again), then
// closing() runs while the dialog is still up. shown() runs once it is visible.
template <class Shown, class Closing>
int RunModal(HWND dialog, HWND owner, int* result, Shown shown, Closing closing) {
  *result = 0;
  bool ownerWasEnabled = owner != nullptr && IsWindowEnabled(owner);
  if (ownerWasEnabled) EnableWindow(owner, FALSE);
  ShowWindow(dialog, SW_SHOW);
  shown();
  MSG msg;
  while (*result == 0) {
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
      *result = IDCANCEL;
      break;
    }
    if (!IsDialogMessageW(dialog, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  closing();
  if (ownerWasEnabled) EnableWindow(owner, TRUE);
  ShowWindow(dialog, SW_HIDE);
  if (owner != nullptr) SetActiveWindow(owner);
  return *result;
}

// A modal dialog from this module's templates, its procedure given the object;
// IDOK or IDCANCEL (a failure to show counts as Cancel).
inline int ShowDialogBox(int templateId, HWND owner, DLGPROC proc, void* object) {
  INT_PTR result =
      DialogBoxParamW(DialogModule(), MAKEINTRESOURCEW(templateId), owner, proc, reinterpret_cast<LPARAM>(object));
  return result == IDOK ? IDOK : IDCANCEL;
}

// The object a dialog procedure serves: given with WM_INITDIALOG, kept in the
// window's DWLP_USER; nullptr for the messages that come before it.
template <class T>
T* DialogObject(HWND window, UINT message, LPARAM l) {
  if (message == WM_INITDIALOG) SetWindowLongPtrW(window, DWLP_USER, l);
  return reinterpret_cast<T*>(GetWindowLongPtrW(window, DWLP_USER));
}

// A list view in report mode with full-row selection, grid lines and these columns.
struct TListColumn {
  const wchar_t* caption;
  int width;
};
void SetListColumns(HWND list, std::initializer_list<TListColumn> columns);

// What a file dialog asks; a file name chosen, or nothing on Cancel.
struct TFileAsk {
  const wchar_t* title;
  const wchar_t* filter;  // "name\0masks\0" pairs
  const wchar_t* defaultExtension;
  std::wstring folder = {};    // where it starts; empty for the system's choice
  std::wstring proposed = {};  // the name it shows first
  DWORD flags = 0;
};
std::optional<std::wstring> AskFileName(HWND owner, bool save, const TFileAsk& ask);
