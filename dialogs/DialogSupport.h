// Small helpers the one-use dialogs share.
#pragma once

#include <windows.h>

#include <string>

inline std::wstring WindowTextOf(HWND window) {
  std::wstring text(GetWindowTextLengthW(window) + 1, L'\0');
  text.resize(GetWindowTextW(window, text.data(), static_cast<int>(text.size())));
  return text;
}

// Puts the window's centre over the area's: left = area left + (area width -
// window width) / 2, top likewise, each half rounded toward zero.
inline void CenterWindowOver(HWND window, const RECT& area) {
  RECT own{};
  GetWindowRect(window, &own);
  int left = area.left + ((area.right - area.left) - (own.right - own.left)) / 2;
  int top = area.top + ((area.bottom - area.top) - (own.bottom - own.top)) / 2;
  SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
