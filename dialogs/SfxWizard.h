// The self-extractor wizard: six pages collecting what an installer of the
// open LZH archive needs (its dialog texts, target folder, a file to run, a
// file association, extraction options and start-menu entries). It creates
// nothing itself; it can save its fields to a definition file (*.sfx) and
// read them back.
//
// The main window's use:
//   TSFXWizard wizard(mainWindow, archivePath);   // centred over mainWindow
//   wizard.ComboBox1 = ...; wizard.AutoExecuteItems = ...; wizard.AttachedAppItems = ...;
//   if (wizard.ShowModal() == IDOK) { const TSfxWizardData& data = wizard.Data(); ... }
#pragma once

#include "SfxWizardData.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class TCellGrid;

class TSFXWizard {
 public:
  TSFXWizard(HWND owner, const std::wstring& archivePath);
  TSFXWizard(const TSFXWizard&) = delete;
  TSFXWizard& operator=(const TSFXWizard&) = delete;

  // The lists the caller fills from the archive's entries before showing.
  std::vector<std::wstring> ComboBox1;         // every entry: the grid's file cells
  std::vector<std::wstring> AutoExecuteItems;  // entries worth running after extraction
  std::vector<std::wstring> AttachedAppItems;  // the programs among them

  // The common file dialogs of reading and saving a definition; replaceable.
  struct TFileRequest {
    std::wstring title, filter, defaultExtension, folder, name;
  };
  std::function<std::optional<std::wstring>(HWND owner, const TFileRequest&)> OpenDefinition, SaveDefinition;

  // IDOK after "完了(&O)", IDCANCEL otherwise.
  int ShowModal();
  // The fields after OK.
  const TSfxWizardData& Data() const { return data_; }
  HWND Handle() const { return dialog_; }
  int Page() const { return page_; }  // 1 to 6

  // Handlers, named after their controls and events.
  void FormShow();
  void AppTitleChange();
  void ShowMsgBoxClick();
  void FileAttachClick();
  void AddStartMenuClick();
  void AttachedAppChange(const std::wstring& application);
  void AddFilesSetEditText(int row);
  void ReadBtnClick();
  void SaveBtnClick();
  void Button8Click();

 private:
  static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
  bool Command(WORD id, WORD code, HWND control);
  void ShowPage(int page);
  void Finish();
  TSfxWizardData Collect() const;
  void Fill(const TSfxWizardData& data);
  std::wstring Text(int id) const;
  void SetText(int id, const std::wstring& text);
  bool Checked(int id) const;
  void Check(int id, bool on);
  TCellGrid* Grid() const;
  std::wstring DefinitionName() const;

  HWND owner_;
  HWND dialog_ = nullptr;
  std::wstring archivePath_;
  TSfxWizardData data_;
  int page_ = 1;
  bool filling_ = false;  // fields set by the program derive nothing
  HBRUSH introBrush_ = nullptr;
};
