#include "FileEnvDialog.h"

#include "DialogSupport.h"
#include "DialogTexts.h"
#include "EditorPropDialog.h"
#include "EnvSaveAsDialog.h"
#include "FileEnvDialogIds.h"
#include "TextViewSettings.h"

#include <commctrl.h>
#include <commdlg.h>

namespace {

bool Exists(const std::wstring& path) {
  DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool SameText(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

std::wstring NameOnly(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/:");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// What "更新(&U)" writes: the editor's defaults with the font and both bars.
TEditorSettings FreshSettings() {
  TEditorSettings settings;
  settings.fontName = dialog_texts::EnvFreshFont;
  settings.fontSize = 11;
  settings.scrollBars = sbBoth;
  return settings;
}

bool SystemFileDialog(HWND owner, bool save, const std::wstring& proposed, std::wstring* path) {
  auto chosen =
      AskFileName(owner, save,
                  {.title = save ? dialog_texts::EnvSaveTitle : dialog_texts::EnvLoadTitle,
                   .filter = dialog_texts::EnvFilter,
                   .defaultExtension = L"env",
                   .folder = ProgramFolder(),
                   .proposed = proposed,
                   .flags = static_cast<DWORD>(OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | (save ? 0 : OFN_FILEMUSTEXIST))});
  if (!chosen) return false;
  *path = *chosen;
  return true;
}

}  // namespace

bool WriteEnvironSection(const std::wstring& envFile, const std::wstring& name, const std::wstring& masks) {
  // Quoted, so that blanks at either end survive the profile service.
  bool ok = WritePrivateProfileStringW(L"Environ", L"Name", (L"\"" + name + L"\"").c_str(), envFile.c_str()) != FALSE;
  ok &= WritePrivateProfileStringW(L"Environ", L"Ext", (L"\"" + masks + L"\"").c_str(), envFile.c_str()) != FALSE;
  return ok;
}

std::wstring ReadEnvironValue(const std::wstring& envFile, const wchar_t* key) {
  std::wstring buffer(4096, L'\0');
  DWORD n = GetPrivateProfileStringW(L"Environ", key, L"", buffer.data(), static_cast<DWORD>(buffer.size()),
                                     envFile.c_str());
  buffer.resize(n);
  return buffer;
}

TFileEnv::TFileEnv(HWND owner, const std::wstring& settingsFile) : owner_(owner) {
  ini_.SetFileName(settingsFile);
  ini_.Loaded();
  ChooseFile = SystemFileDialog;
}

int TFileEnv::ShowModal() {
  int result = ShowDialogBox(IDD_FILEENV, owner_, DialogProc, this);
  dialog_ = nullptr;
  return result;
}

INT_PTR CALLBACK TFileEnv::DialogProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  auto* self = DialogObject<TFileEnv>(window, message, l);
  if (message == WM_INITDIALOG) {
    self->dialog_ = window;
    self->FormCreate();
    return TRUE;
  }
  if (self == nullptr) return FALSE;
  switch (message) {
    case WM_COMMAND:
      switch (LOWORD(w)) {
        case IDC_FE_OK:
        case IDOK:
        case IDCANCEL:
          // Escape (on the OK button or anywhere) closes with Cancel; the table is written either way.
          self->FormCloseQuery();
          EndDialog(window, LOWORD(w) == IDCANCEL ? IDCANCEL : IDOK);
          return TRUE;
        case IDC_FE_EDIT1:
        case IDC_FE_EDIT2:
          if (HIWORD(w) == EN_CHANGE && !self->filling_) self->Edit1Change();
          return TRUE;
        case IDC_FE_UPD: self->UpdBtnClick(); return TRUE;
        case IDC_FE_LOAD: self->LoadBtnClick(); return TRUE;
        case IDC_FE_SAVE: self->SaveBtnClick(); return TRUE;
        case IDC_FE_DEL: self->DelBtnClick(); return TRUE;
        case IDC_FE_PROP: self->PropBtnClick(); return TRUE;
      }
      return FALSE;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(l);
      if (header->idFrom == IDC_FE_ENVLIST && header->code == LVN_ITEMCHANGED && !self->filling_) {
        auto* change = reinterpret_cast<NMLISTVIEW*>(l);
        if ((change->uNewState & LVIS_SELECTED) && !(change->uOldState & LVIS_SELECTED)) self->EnvListClick(change->iItem);
      }
      return FALSE;
    }
  }
  return FALSE;
}

void TFileEnv::FormCreate() {
  table_.Read(ini_);
  HWND grid = GetDlgItem(dialog_, IDC_FE_ENVLIST);
  SetListColumns(grid, {{dialog_texts::EnvColumnName, 110}, {dialog_texts::EnvColumnMasks, 253}});
  filling_ = true;
  for (int i = 0; i < TEnvTable::kRows; ++i) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = i;
    item.pszText = const_cast<wchar_t*>(L"");
    ListView_InsertItem(grid, &item);
  }
  filling_ = false;
  FillGrid();
  ListView_SetItemState(grid, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  EnvListClick(0);
  HWND over = centerOn_ != nullptr ? centerOn_ : owner_;
  if (over != nullptr) {
    RECT area{};
    GetWindowRect(over, &area);
    CenterWindowOver(dialog_, area);
  }
}

void TFileEnv::FillGrid() {
  HWND grid = GetDlgItem(dialog_, IDC_FE_ENVLIST);
  for (int i = 0; i < TEnvTable::kRows; ++i) {
    ListView_SetItemText(grid, i, 0, table_.Row(i).name.data());
    ListView_SetItemText(grid, i, 1, table_.Row(i).masks.data());
  }
}

// The table again, with only this row selected.
void TFileEnv::ShowRow(int row) {
  FillGrid();
  HWND grid = GetDlgItem(dialog_, IDC_FE_ENVLIST);
  ListView_SetItemState(grid, -1, 0, LVIS_SELECTED);
  ListView_SetItemState(grid, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  EnvListClick(row);
}

void TFileEnv::EnvListClick(int row) {
  if (row < 0 || row >= TEnvTable::kRows) return;
  row_ = row;
  const TEnvEntry& entry = table_.Row(row);
  filling_ = true;
  SetDlgItemTextW(dialog_, IDC_FE_EDIT1, entry.name.c_str());
  SetDlgItemTextW(dialog_, IDC_FE_EDIT2, entry.masks.c_str());
  filling_ = false;
  EnableWindow(GetDlgItem(dialog_, IDC_FE_EDIT1), row > 0);
  EnableWindow(GetDlgItem(dialog_, IDC_FE_EDIT2), row > 0);
  bool deletable = !entry.name.empty() && entry.name != TEnvTable::kDefaultName;
  EnableWindow(GetDlgItem(dialog_, IDC_FE_DEL), deletable);
  EnableWindow(GetDlgItem(dialog_, IDC_FE_SAVE), deletable);
  EnableWindow(GetDlgItem(dialog_, IDC_FE_PROP), deletable || row == 0);
  EnableWindow(GetDlgItem(dialog_, IDC_FE_UPD), row > 0 && deletable);
}

void TFileEnv::Edit1Change() {
  if (table_.Row(row_).name.empty()) EnableWindow(GetDlgItem(dialog_, IDC_FE_SAVE), TRUE);
}

void TFileEnv::Error(const std::wstring& text, UINT icon) {
  MessageBoxW(dialog_, text.c_str(), dialog_texts::EnvTitle, MB_OK | icon);
}

// The settings and the Environ section into the row's file; a refused write is told.
bool TFileEnv::Write(const TEditorSettings& settings, int row) {
  const TEnvEntry& entry = table_.Row(row);
  if (!settings.Save(entry.file) || !WriteEnvironSection(entry.file, entry.name, entry.masks)) {
    Error(entry.file + dialog_texts::EnvCannotWrite);
    return false;
  }
  return true;
}

void TFileEnv::UpdBtnClick() {
  if (row_ < 1) return;
  std::wstring name = WindowTextOf(GetDlgItem(dialog_, IDC_FE_EDIT1));
  if (name.empty()) {
    Error(dialog_texts::EnvNameMissing, MB_ICONWARNING);
    return;
  }
  TEnvEntry& entry = table_.Row(row_);
  std::wstring file = entry.file;
  if (!Exists(file)) {
    if (!ChooseFile(dialog_, true, name, &file)) return;
  }
  entry.file = file;
  entry.name = name;
  entry.masks = WindowTextOf(GetDlgItem(dialog_, IDC_FE_EDIT2));
  Write(FreshSettings(), row_);
  FillGrid();
  EnvListClick(row_);
}

void TFileEnv::LoadBtnClick() {
  std::wstring file;
  if (!ChooseFile(dialog_, false, {}, &file)) return;
  std::wstring name = ReadEnvironValue(file, L"Name"), masks = ReadEnvironValue(file, L"Ext");
  TEditorSettings settings;
  if (!settings.Load(file)) {
    Error(dialog_texts::EnvBroken);
    return;
  }
  if (name.empty()) {
    // Without a name it could not be told apart from a free row.
    Error(dialog_texts::EnvFileUnusable);
    return;
  }
  int row = table_.Merge(name, masks, file);
  if (row < 0) return;
  ShowRow(row);
}

void TFileEnv::SaveBtnClick() {
  int source = row_;
  std::wstring sourceFile = table_.Row(source).file;
  TEnvSaveAs ask(dialog_);
  ask.Name = WindowTextOf(GetDlgItem(dialog_, IDC_FE_EDIT1));
  ask.Masks = WindowTextOf(GetDlgItem(dialog_, IDC_FE_EDIT2));
  std::wstring shownName = ask.Name;
  if (ask.ShowModal() != IDOK) return;
  if (ask.Name.empty()) {
    Error(dialog_texts::EnvNameMissing, MB_ICONWARNING);
    return;
  }
  int target = source;
  if (!SameText(ask.Name, shownName) || source == 0) {
    target = table_.TargetForSave(ask.Name);
    if (target < 0) {
      Error(dialog_texts::EnvTableFull, MB_ICONWARNING);
      return;
    }
  }
  std::wstring file;
  if (!ChooseFile(dialog_, true, table_.Row(target).file, &file)) return;
  if (Exists(file)) {
    std::wstring question = NameOnly(file) + dialog_texts::EnvAskOverwrite;
    if (MessageBoxW(dialog_, question.c_str(), dialog_texts::EnvTitle, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
  }
  // A row never saved has no file: it starts from the defaults.
  TEditorSettings settings = FreshSettings();
  if (!sourceFile.empty() && Exists(sourceFile) && !settings.Load(sourceFile)) {
    Error(dialog_texts::EnvBroken);
    return;
  }
  TEnvEntry before = table_.Row(target);
  table_.Row(target) = {ask.Name, file, ask.Masks};
  if (!Write(settings, target)) {
    table_.Row(target) = before;
    return;
  }
  ShowRow(target);
}

void TFileEnv::PropBtnClick() {
  TEnvEntry& entry = table_.Row(row_);
  TmEditorProp sheet(dialog_);
  if (Exists(entry.file) && !sheet.EditorPropEx1.Load(entry.file)) {
    Error(dialog_texts::EnvBroken);
    return;
  }
  sheet.SetCaption(entry.name + dialog_texts::EnvSheetCaption);
  sheet.SetFunctionsEnabled(false);
  sheet.CenterOn(dialog_);
  if (sheet.ShowModal() != IDOK) return;
  if (entry.file.empty()) {
    std::wstring file;
    if (!ChooseFile(dialog_, true, entry.name, &file)) return;
    entry.file = file;
  }
  Write(sheet.EditorPropEx1, row_);
}

void TFileEnv::DelBtnClick() {
  if (row_ < 1 || table_.Row(row_).name.empty()) return;
  std::wstring question = table_.Row(row_).name + dialog_texts::EnvAskDelete;
  if (MessageBoxW(dialog_, question.c_str(), dialog_texts::EnvTitle, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
  table_.Delete(row_);
  FillGrid();
  EnvListClick(row_);
}

void TFileEnv::FormCloseQuery() {
  try {
    table_.Write(ini_);
  } catch (const EIniFileError& error) {
    Error(error.Message());
  }
}

std::wstring ChooseEnvironment(const std::wstring& fileName, std::wstring* name, const std::wstring& settingsFile) {
  TIniGT ini;
  ini.SetFileName(settingsFile);
  ini.Loaded();
  TEnvTable table;
  table.Read(ini);
  int row = table.Choose(fileName);
  const TEnvEntry& entry = table.Row(row);
  if (name != nullptr) *name = entry.name;
  if (row == 0 && !entry.file.empty() && !Exists(entry.file)) {
    // The default environment's file appears on first use; a folder we may
    // not write leaves the viewer with the defaults.
    if (FreshSettings().Save(entry.file)) WriteEnvironSection(entry.file, entry.name, entry.masks);
  }
  return entry.file;
}

void EditFileEnvironments(HWND owner, const std::wstring& settingsFile) {
  TFileEnv dialog(owner, settingsFile);
  dialog.CenterOn(owner);
  dialog.ShowModal();
}
