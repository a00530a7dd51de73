// The program's own picker for adding: files of a folder, or the folder
// itself, chosen in a shell folder tree with its file list. Unlike the
// system's open dialog it can return a folder. The folder history lives in
// the settings file's section BrowseHistory: loaded when the dialog is
// created, saved when it is released (after OK and Cancel alike).
//
// The main window's use (add command with ExtOpenDlg on):
//   TBrowse browse(mainWindow, settingsFile);
//   browse.SetFolder(lastOpen);
//   if (browse.ShowModal() == IDOK) {
//     std::vector<std::wstring> paths = browse.Result();  // full paths
//     lastOpen = browse.Folder();
//   }
#pragma once

#include "HistoryEx.h"
#include "ShellFileList.h"
#include "ShellFolderTree.h"

#include <windows.h>

#include <string>
#include <vector>

class TBrowse {
 public:
  // settingsFile: the file of the history (the program's INI file when empty).
  explicit TBrowse(HWND owner, const std::wstring& settingsFile = L"");
  ~TBrowse();  // FormDestroy: saves the history
  TBrowse(const TBrowse&) = delete;
  TBrowse& operator=(const TBrowse&) = delete;

  // In: the folder to open in; out: the folder the user was in at OK.
  const std::wstring& Folder() const { return folder_; }
  void SetFolder(const std::wstring& folder) { folder_ = folder; }
  // Where the desktop node's entries really are (with a trailing backslash);
  // the user's desktop from the registry unless set.
  void SetDesktopFolder(const std::wstring& folder) { desktopFolder_ = folder; }
  // The full paths chosen at OK, in list order.
  const std::vector<std::wstring>& Result() const { return result_; }
  THistoryEx& BrowseHistory() { return history_; }

  // Shows the dialog modally, centred on the screen; IDOK or IDCANCEL.
  int ShowModal();
  HWND Handle() const { return dialog_; }

  // Handlers, named after their controls and events.
  void FormShow();
  void HistoryChange();
  void FolderView1Click();
  void FileView1Change();
  void FileView1DblClick();
  void SpeedButton1Click();
  void SpeedButton2Click();
  void SpeedButton4Click();
  void BitBtn3Click();
  void BitBtn4Click();
  void OkBtnClick();

 private:
  static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
  static INT_PTR CALLBACK PanelProc(HWND, UINT, WPARAM, LPARAM);
  bool Command(WORD id, WORD code);
  bool Notify(const NMHDR* header);
  void Create(HWND dialog);
  void LayOut();
  void SetFName(const std::wstring& text);
  std::wstring FName() const;
  bool NavigateTo(const std::wstring& path);
  void FollowTree();
  void FollowTypedText();
  void TakeChosenLine();
  bool DragSplitter(UINT message, LPARAM l);

  HWND owner_;
  HWND dialog_ = nullptr;
  HWND panel_ = nullptr;
  HWND toolbar_ = nullptr;
  HWND tooltip_ = nullptr;
  TShellFolderTree tree_;
  TShellFileList list_;
  THistoryEx history_{L"BrowseHistory"};
  std::wstring folder_, desktopFolder_, fname_;
  std::vector<std::wstring> result_;
  int treeWidth_ = 180;
  bool dragging_ = false;
  int grabOffset_ = 0;
};
