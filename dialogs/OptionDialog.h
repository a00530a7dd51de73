// The options dialog: the main window's settings on eight pages, the tool
// bar's buttons and shortcuts, and the program's place in the Windows shell,
// which OK applies itself.
#pragma once

#include "MainSettings.h"
#include "ShellIntegration.h"
#include "widgets/FieldControls.h"
#include "widgets/TabPages.h"

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

// One line of the tool-bar page: a button of the main tool bar.
struct TToolLine {
  const wchar_t* Caption;
  const wchar_t* Description;
  int ShortCut;  // index into the main window's shortcuts; -1 for none
};
const std::array<TToolLine, kToolButtonCount>& ToolLines();

class TOptionPanel {
 public:
  enum TPage { pgFolder, pgExtract, pgPack, pgView, pgShell, pgTavix, pgUnlha, pgToolBar, PageCount };

  // The general error display of the program (a message box by default).
  std::function<void(HWND owner, const std::wstring& message)> ShowError;

  // settings: the main window's values; programPath: the full path of Tavix.exe.
  TOptionPanel(const TMainSettings& settings, std::wstring programPath);
  TOptionPanel(const TOptionPanel&) = delete;
  TOptionPanel& operator=(const TOptionPanel&) = delete;

  // The tool bar's images, one index per line (-1 for none); the caller keeps the list.
  void SetToolImages(HIMAGELIST images, const std::array<int, kToolButtonCount>& imageOfLine);
  // The "ｶｽﾀﾏｲｽﾞ..." command's start: one page back from the first page shown.
  void MovePageBack();
  TPage ActivePage() const { return page_; }
  // One page forward (1) or back (-1), round the end.
  void TurnPage(int step);

  // IDOK or IDCANCEL; after IDOK, Settings() holds the values to take over.
  int ShowModal(HWND owner);
  const TMainSettings& Settings() const { return settings_; }
  const TShellState& FoundInShell() const { return found_; }

  // Handlers, named after their controls and events.
  void FormShow();
  void OkBtnClick();
  void AttachLHAClick();
  void SpisBrowseClick();
  void WorkBrowseClick();
  void ToolListClick();
  void HotKey1Exit();

 private:
  static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
  static INT_PTR CALLBACK PageProc(HWND, UINT, WPARAM, LPARAM);
  void Create(HWND dialog);
  HWND Item(int id) const;
  bool Checked(int id) const;
  void Check(int id, bool on);
  std::wstring Text(int id) const;
  void SetText(int id, const std::wstring& text);
  int RadioIndex(int firstId, int count) const;
  void SetRadioIndex(int firstId, int count, int index);
  void EnableGroups();
  void FillControls();
  void ReadControls();
  void ApplyShell();

  TMainSettings settings_;
  std::array<WORD, kMenuShortCutCount> shortCuts_{};
  std::wstring program_;
  TShellIntegration shell_;
  TShellState found_;
  HIMAGELIST toolImages_ = nullptr;
  std::array<int, kToolButtonCount> imageOfLine_{};
  TPage page_ = pgShell;
  int shownLine_ = -1;
  HWND dialog_ = nullptr;
  TTabPages pages_;
  TCheckList toolList_;
  THotKeyField hotKey_;
};
