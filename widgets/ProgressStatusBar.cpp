#include "widgets/ProgressStatusBar.h"

#include <commctrl.h>

#include <algorithm>

void TProgressStatusBar::Create(HWND parent, UINT id, const std::vector<int>& widths, int progressPanel,
                                const std::vector<int>& ownerDrawn) {
  widths_ = widths;
  progressPanel_ = progressPanel;
  ownerDrawn_ = ownerDrawn;
  window_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0,
                            parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                            GetModuleHandleW(nullptr), nullptr);
  std::vector<int> edges;
  int right = 0;
  for (int width : widths_) edges.push_back(right += width);
  // The last panel takes what is left of the window's width.
  if (!edges.empty()) edges.back() = -1;
  SendMessageW(window_, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
  for (int panel : ownerDrawn_) SendMessageW(window_, SB_SETTEXTW, panel | SBT_OWNERDRAW, 0);
  if (progressPanel_ >= 0) {
    progress_ = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE | PBS_SMOOTH, 0, 0, 0, 0,
                                window_, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(progress_, PBM_SETRANGE32, 0, 100);
    PlaceProgress();
  }
}

void TProgressStatusBar::SetText(int panel, const std::wstring& text) {
  if (std::find(ownerDrawn_.begin(), ownerDrawn_.end(), panel) != ownerDrawn_.end()) return;
  if (holding_ && panel >= 0 && panel < static_cast<int>(widths_.size())) {
    heldTexts_[panel] = text;
    held_[panel] = true;
    return;
  }
  SendMessageW(window_, SB_SETTEXTW, panel, reinterpret_cast<LPARAM>(text.c_str()));
}

void TProgressStatusBar::HoldTexts(bool hold) {
  holding_ = hold;
  heldTexts_.resize(widths_.size());
  held_.resize(widths_.size(), false);
  if (!hold) Flush();
}

void TProgressStatusBar::Flush() {
  for (size_t panel = 0; panel < held_.size(); ++panel) {
    if (!held_[panel]) continue;
    held_[panel] = false;
    SendMessageW(window_, SB_SETTEXTW, panel, reinterpret_cast<LPARAM>(heldTexts_[panel].c_str()));
  }
  if (heldProgress_ >= 0 && progress_) SendMessageW(progress_, PBM_SETPOS, heldProgress_, 0);
  heldProgress_ = -1;
}

std::wstring TProgressStatusBar::Text(int panel) const {
  if (panel >= 0 && panel < static_cast<int>(held_.size()) && held_[panel]) return heldTexts_[panel];
  LRESULT length = LOWORD(SendMessageW(window_, SB_GETTEXTLENGTHW, panel, 0));
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  SendMessageW(window_, SB_GETTEXTW, panel, reinterpret_cast<LPARAM>(text.data()));
  text.resize(wcslen(text.c_str()));
  return text;
}

void TProgressStatusBar::SetProgress(int percent) {
  if (!progress_) return;
  if (holding_) heldProgress_ = std::clamp(percent, 0, 100);
  else SendMessageW(progress_, PBM_SETPOS, std::clamp(percent, 0, 100), 0);
}

int TProgressStatusBar::Progress() const {
  if (heldProgress_ >= 0) return heldProgress_;
  return progress_ ? static_cast<int>(SendMessageW(progress_, PBM_GETPOS, 0, 0)) : 0;
}

void TProgressStatusBar::Resize() {
  SendMessageW(window_, WM_SIZE, 0, 0);
  PlaceProgress();
}

int TProgressStatusBar::Height() const {
  if (!IsWindowVisible(window_)) return 0;
  RECT rect{};
  GetWindowRect(window_, &rect);
  return rect.bottom - rect.top;
}

void TProgressStatusBar::Show(bool visible) { ShowWindow(window_, visible ? SW_SHOW : SW_HIDE); }

void TProgressStatusBar::RepaintPanel(int panel) {
  RECT rect{};
  if (SendMessageW(window_, SB_GETRECT, panel, reinterpret_cast<LPARAM>(&rect))) InvalidateRect(window_, &rect, TRUE);
}

void TProgressStatusBar::PlaceProgress() {
  if (!progress_) return;
  RECT rect{};
  SendMessageW(window_, SB_GETRECT, progressPanel_, reinterpret_cast<LPARAM>(&rect));
  InflateRect(&rect, -1, -1);
  MoveWindow(progress_, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
}
