// The find dialog of the viewer: a search text with its history, the search
// options, the start point and the direction (the button it is left with).
// It searches nothing; it remembers its options and history in the settings
// file at every close, Cancel included.
#pragma once

#include "HistoryEx.h"
#include "IniGT.h"

#include <windows.h>

#include <string>

class TFindDlg {
 public:
  // settingsFile: the program's settings file (empty: the program's own).
  explicit TFindDlg(HWND owner, const std::wstring& settingsFile = {});
  ~TFindDlg();
  TFindDlg(const TFindDlg&) = delete;
  TFindDlg& operator=(const TFindDlg&) = delete;

  HWND Handle() const { return dialog_; }
  THistoryEx& FindHistory() { return history_; }

  // What the viewer sets before showing.
  void CenterOn(HWND window);
  void SetStartPointsEnabled(bool enabled);
  void SetDownCaption(const std::wstring& caption);
  void SetUpVisible(bool visible);
  void SetFindAreaEnabled(bool enabled);
  void SetFindWord(const std::wstring& text);

  // What it reads after the show.
  std::wstring FindWord() const;
  bool MatchCase() const { return Checked(kMatchCase); }
  bool WholeWord() const { return Checked(kWholeWord); }
  bool RegExp() const { return Checked(kRegExp); }
  bool Fuzzy() const { return Checked(kFuzzy); }
  bool FindArea() const { return Checked(kFindArea); }
  bool FromHere() const { return Checked(kFromHere); }
  bool FromTop() const { return Checked(kFromTop); }

  // IDCANCEL (no search), IDYES (downward) or IDNO (upward).
  int ShowModal();

  // Handlers, named after their controls and events.
  void FormCreate();
  void FormShow();
  void Button1Click(int result);
  void FormCloseQuery();

 private:
  static constexpr int kMatchCase = 4721, kWholeWord = 4722, kRegExp = 4723, kFuzzy = 4724, kFindArea = 4725,
                       kFromHere = 4731, kFromTop = 4732;
  static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
  bool Checked(int id) const { return IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }

  HWND owner_;
  HWND dialog_ = nullptr;
  TIniGT ini_;
  THistoryEx history_{L"FindHistory"};
  int modalResult_ = 0;
};
