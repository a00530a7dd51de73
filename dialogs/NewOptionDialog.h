// The new-archive options dialog: the kind of the new archive, its
// compression method, how folder names are stored and a few kind-specific
// options. It only collects choices; the caller makes the archive.
//
// The main window's use:
//   TNewOption dialog(mainWindow);       // centred over mainWindow when shown
//   dialog.SetCallerDefaults();          // ArcKind 0, each method 2, DirOption 2
//   if (dialog.ShowModal() == IDOK) {
//     const TNewOption::TResult& r = dialog.Result();
//     // r.DirOption -> PackDirOption, r.CompressionIndex, r.ShortName,
//     // r.DefaultFileName, r.ZipPassword(), r.BaseFolder()
//   }
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

class TNewOption {
 public:
  // What the dialog hands back after OK.
  struct TResult {
    int ArcKind = 0;           // 0 LZH, 1 CAB, 2 ZIP, 3 JAR
    int DirOption = -1;        // 0 none, 1 absolute, 2 relative; -1 none chosen
    int CompressionIndex = 2;  // item of the visible compression group
    bool ShortName = false;
    std::wstring DefaultFileName;  // "NewFile.lzh" ...
    bool PassWord = false;
    std::wstring PassWordChar;
    bool UseBaseDir = false;
    std::wstring BaseDirName;
    // The password to give the library: only for a ZIP archive with the box checked.
    std::wstring ZipPassword() const { return ArcKind == 2 && PassWord ? PassWordChar : std::wstring(); }
    // The base folder of relative paths: empty unless the box is checked.
    std::wstring BaseFolder() const { return UseBaseDir ? BaseDirName : std::wstring(); }
  };

  explicit TNewOption(HWND owner);
  TNewOption(const TNewOption&) = delete;
  TNewOption& operator=(const TNewOption&) = delete;

  // The values the caller sets on every opening (they replace the design-time ones).
  void SetCallerDefaults();
  void SetArcKind(int index) { values_.ArcKind = index; }
  void SetLhaCompMode(int index) { lhaCompMode_ = index; }
  void SetCabCompMode(int index) { cabCompMode_ = index; }
  void SetZipCompMode(int index) { zipCompMode_ = index; }
  void SetDirOption(int index) { values_.DirOption = index; }

  // The folder picker of the base folder; the system's folder dialog unless replaced.
  std::function<std::optional<std::wstring>(HWND owner, const std::wstring& title, const std::wstring& start)>
      FolderDlg1;

  // Shows the dialog modally, centred over the owner; IDOK or IDCANCEL.
  int ShowModal();
  const TResult& Result() const { return values_; }
  HWND Handle() const { return dialog_; }

  // Handlers, named after their controls and events.
  void FormShow();
  void ArcKindClick();
  void DirOptionClick();
  void UseBaseDirClick();
  void BaseDirNameButtonClick();
  void Button1Click();

 private:
  static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
  bool Command(WORD id, WORD code);
  int ArcKind() const;
  int DirOption() const;
  void SetDirOptionIndex(int index);
  bool Checked(int id) const;
  void Enable(int id, bool enabled);
  void ApplyGroups();
  void CenterOverOwner();

  HWND owner_;
  HWND dialog_ = nullptr;
  TResult values_;
  int lhaCompMode_ = 2, cabCompMode_ = 0, zipCompMode_ = 2;
};
