// The extract destination dialog: a shell folder tree, a history of earlier
// destinations and, in a pane that can be collapsed, the extraction options.
// Created once by the main window and shown modally for every extraction; it
// extracts nothing and writes no settings (the caller does both).
#pragma once

#include "settings/HistoryEx.h"
#include "widgets/ShellFolderTree.h"

#include <windows.h>

#include <functional>
#include <string>

class TExtract {
 public:
  // Values of the main window that the dialog starts from (FormCreate).
  struct TInitialOptions {
    int FileOption = 0;
    int ExistFileMode = 0;
    int DirOption = 0;
    int FolderOption = 0;
  };
  // The general error display of the program (a message box by default).
  std::function<void(HWND owner, const std::wstring& message)> ShowError;

  TExtract(HWND owner, const TInitialOptions& initial);
  ~TExtract();
  TExtract(const TExtract&) = delete;
  TExtract& operator=(const TExtract&) = delete;

  HWND Handle() const { return dialog_; }
  HWND Panel1() const { return panel_; }
  THistoryEx& ExtractHistory() { return history_; }

  // What the caller sets before showing and reads back after OK.
  int Left() const;
  int Top() const;
  void SetPosition(int left, int top);
  std::wstring HistoryText() const;
  void SetHistoryText(const std::wstring& text);
  void SetCaption(const std::wstring& caption);
  void SetFileOptionEnabled(bool enabled);
  // The main window's current archive path and desktop folder, read by the show steps.
  void SetArchivePath(const std::wstring& path) { archivePath_ = path; }
  void SetDesktopFolder(const std::wstring& path) { desktopFolder_ = path; }

  int FileOption() const;
  void SetFileOption(int index);
  int ExistFileMode() const;
  void SetExistFileMode(int index);
  int DirOption() const;
  void SetDirOption(int index);
  int FolderOption() const;
  void SetFolderOption(int index);
  bool MakeArcDir() const;
  void SetMakeArcDir(bool checked);
  const std::wstring& Destination() const { return destination_; }
  const std::wstring& PreviousFolder() const { return previousFolder_; }
  bool Shown() const { return shown_; }
  bool Collapsed() const;

  // Shows the dialog modally; IDOK or IDCANCEL.
  int ShowModal();

  // Handlers, named after their controls and events.
  void FormShow();
  void DirOptionClick();
  void HistoryChange();
  void FollowTypedText();
  void FolderView1Change();
  void MakeArcDirClick() { FolderView1Change(); }
  void MakeDirBtnClick();
  void OkBtnClick();
  void OpCloseBtnClick();
  void OpOpenBtnClick();

 private:
  static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
  static INT_PTR CALLBACK PanelProc(HWND, UINT, WPARAM, LPARAM);
  bool Command(WORD id, WORD code);
  void LayOut();
  int RadioIndex(int firstId, int count) const;
  void SetRadioIndex(int firstId, int count, int index);
  void NavigateTo(const std::wstring& path);
  void EndModal(int result);
  void FocusTree();
  void ShowOptions(bool show);
  bool Guarded(const std::function<bool()>& handler);

  HWND owner_;
  HWND dialog_ = nullptr;
  HWND panel_ = nullptr;
  TShellFolderTree tree_;
  THistoryEx history_{L"ExtractHistory"};
  std::wstring archivePath_, desktopFolder_;
  std::wstring previousFolder_, archiveFolder_, desktopFolderShown_, destination_;
  bool shown_ = false;
  bool typing_ = false;
  int modalResult_ = 0;
};

// The desktop folder from the user's shell folders in the registry; empty
// when the key or value is missing.
std::wstring RegistryDesktopFolder();
