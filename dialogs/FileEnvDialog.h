// "ﾌｧｲﾙ毎の環境設定": the table of display environments with its files;
// loads, saves under a new name, edits (through the settings sheet) and
// deletes environments, and writes the table back at every close.
#pragma once

#include "EnvTable.h"
#include "IniGT.h"
#include "TextViewSettings.h"

#include <windows.h>

#include <functional>
#include <string>

class TFileEnv {
 public:
  // settingsFile: the program's settings file (empty: the program's own).
  explicit TFileEnv(HWND owner, const std::wstring& settingsFile = {});
  TFileEnv(const TFileEnv&) = delete;
  TFileEnv& operator=(const TFileEnv&) = delete;

  void CenterOn(HWND window) { centerOn_ = window; }
  // The dialog's result; the table is written whatever it is.
  int ShowModal();
  const TEnvTable& Table() const { return table_; }
  HWND Handle() const { return dialog_; }

  // The file dialogs (open: save == false); the program's are the system's.
  // Returns false on cancel. Tests may replace it.
  std::function<bool(HWND owner, bool save, const std::wstring& proposed, std::wstring* path)> ChooseFile;

  // Handlers, named after their controls and events.
  void FormCreate();
  void ShowRow(int row);
  void EnvListClick(int row);
  void Edit1Change();
  void UpdBtnClick();
  void LoadBtnClick();
  void SaveBtnClick();
  void DelBtnClick();
  void PropBtnClick();
  void FormCloseQuery();

 private:
  static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
  void FillGrid();
  void Error(const std::wstring& text, UINT icon = MB_ICONERROR);
  bool Write(const TEditorSettings& settings, int row);

  HWND owner_;
  HWND centerOn_ = nullptr;
  HWND dialog_ = nullptr;
  TIniGT ini_;
  TEnvTable table_;
  int row_ = 0;
  bool filling_ = false;
};

// The viewer's entry points.
// The environment a file picks by its masks (the program's settings file by
// default): its file, and its name when asked. Row 1's file (default.env
// beside the program) is created with the defaults on first use.
std::wstring ChooseEnvironment(const std::wstring& fileName, std::wstring* name = nullptr,
                               const std::wstring& settingsFile = {});
// Shows "ﾌｧｲﾙ毎の環境設定" over owner and writes the table when it closes.
void EditFileEnvironments(HWND owner, const std::wstring& settingsFile = {});
// The environment file's own section: name and masks.
bool WriteEnvironSection(const std::wstring& envFile, const std::wstring& name, const std::wstring& masks);
std::wstring ReadEnvironValue(const std::wstring& envFile, const wchar_t* key);
