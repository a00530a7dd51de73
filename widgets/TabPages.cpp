#include "widgets/TabPages.h"

#include <commctrl.h>

void TTabPages::Create(HWND dialog, int tabsId, HINSTANCE module, std::span<const TPageDef> pages, DLGPROC pageProc,
                       LPARAM param) {
  dialog_ = dialog;
  tabs_ = GetDlgItem(dialog, tabsId);
  for (size_t i = 0; i < pages.size(); ++i) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(pages[i].caption);
    TabCtrl_InsertItem(tabs_, static_cast<int>(i), &item);
  }
  // The display area lies below however many rows of tabs the control needs.
  RECT area{};
  GetWindowRect(tabs_, &area);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&area), 2);
  TabCtrl_AdjustRect(tabs_, FALSE, &area);
  pages_.clear();
  for (const TPageDef& def : pages) {
    HWND page = CreateDialogParamW(module, MAKEINTRESOURCEW(def.templateId), dialog, pageProc, param);
    SetWindowPos(page, tabs_, area.left, area.top, area.right - area.left, area.bottom - area.top, SWP_NOACTIVATE);
    pages_.push_back(page);
  }
}

void TTabPages::Show(int index) {
  if (index < 0 || index >= Count()) return;
  current_ = index;
  TabCtrl_SetCurSel(tabs_, index);
  for (int i = 0; i < Count(); ++i) ShowWindow(pages_[i], i == index ? SW_SHOW : SW_HIDE);
}

void TTabPages::Turn(int step) {
  if (Count() > 0) Show(((current_ + step) % Count() + Count()) % Count());
}

HWND TTabPages::Item(int id) const {
  for (HWND page : pages_)
    if (HWND item = GetDlgItem(page, id)) return item;
  return GetDlgItem(dialog_, id);
}

bool TTabPages::Notified(const NMHDR* header) {
  if (header->hwndFrom != tabs_ || header->code != TCN_SELCHANGE) return false;
  Show(TabCtrl_GetCurSel(tabs_));
  return true;
}

namespace {
TPageTurnKeys* innermost = nullptr;
}

TPageTurnKeys::TPageTurnKeys(std::function<void(int step)> turn) : turn_(std::move(turn)), outer_(innermost) {
  hook_ = SetWindowsHookExW(WH_MSGFILTER, Filter, nullptr, GetCurrentThreadId());
  innermost = this;
}

TPageTurnKeys::~TPageTurnKeys() {
  if (hook_) UnhookWindowsHookEx(hook_);
  innermost = outer_;
}

LRESULT CALLBACK TPageTurnKeys::Filter(int code, WPARAM wParam, LPARAM lParam) {
  auto* message = reinterpret_cast<MSG*>(lParam);
  if (code == MSGF_DIALOGBOX && innermost != nullptr && message->message == WM_KEYDOWN &&
      message->wParam == VK_TAB && (GetKeyState(VK_CONTROL) & 0x8000)) {
    innermost->turn_((GetKeyState(VK_SHIFT) & 0x8000) ? -1 : 1);
    return 1;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
