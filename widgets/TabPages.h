// A settings sheet's pages: a tab control whose pages are dialogs of their
// own laid over its display area, and the keys that turn them.
#pragma once

#include <windows.h>

#include <functional>
#include <span>
#include <vector>

class TTabPages {
 public:
  struct TPageDef {
    const wchar_t* caption;
    int templateId;
  };
  // Builds the tabs and the pages (each page's procedure gets param at
  // WM_INITDIALOG); the pages follow the tab control in the tab order.
  void Create(HWND dialog, int tabsId, HINSTANCE module, std::span<const TPageDef> pages, DLGPROC pageProc,
              LPARAM param);
  void Show(int index);  // selects the tab and shows only its page
  void Turn(int step);   // the next or an earlier page, wrapping round
  int Current() const { return current_; }
  int Count() const { return static_cast<int>(pages_.size()); }
  HWND Page(int index) const { return pages_[index]; }
  // The control of that id on whichever page holds it, else the dialog's own.
  HWND Item(int id) const;
  // For the dialog's WM_NOTIFY: true when it was the user changing the tab.
  bool Notified(const NMHDR* header);

 private:
  HWND dialog_ = nullptr, tabs_ = nullptr;
  std::vector<HWND> pages_;
  int current_ = 0;
};

// Ctrl+Tab and Ctrl+Shift+Tab call turn(+1/-1) while this lives; a modal
// dialog's loop shows such keys to a message filter only, so it is set up
// around the loop. Nested sheets each get their own.
class TPageTurnKeys {
 public:
  explicit TPageTurnKeys(std::function<void(int step)> turn);
  ~TPageTurnKeys();
  TPageTurnKeys(const TPageTurnKeys&) = delete;
  TPageTurnKeys& operator=(const TPageTurnKeys&) = delete;

 private:
  static LRESULT CALLBACK Filter(int code, WPARAM wParam, LPARAM lParam);
  std::function<void(int)> turn_;
  HHOOK hook_ = nullptr;
  TPageTurnKeys* outer_ = nullptr;
};
