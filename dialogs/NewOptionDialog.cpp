#include "NewOptionDialog.h"

#include "DialogSupport.h"
#include "DialogTexts.h"
#include "FolderDialog.h"
#include "NewOptionDialogIds.h"
#include "help/HelpService.h"

namespace {

constexpr int HelpTopic = 17;
constexpr int LhaItems = 5, CabItems = 4, ZipItems = 4, DirItems = 3, KindItems = 4;
const wchar_t* const DefaultFileNames[KindItems] = {L"NewFile.lzh", L"NewFile.cab", L"NewFile.zip",
                                                    L"NewFile.jar"};

// The kind table: which controls each archive kind allows. UseBaseDir also
// needs DirOption 2 (relative).
struct TKindRule {
  int compressionGroup;  // group box id of the visible compression group
  bool dirOption, shortName, passWord, useBaseDir;
};
constexpr TKindRule KindRules[KindItems] = {
    {IDC_NEWOPTION_LHACOMPMODE, true, true, false, true},    // LZH
    {IDC_NEWOPTION_CABCOMPMODE, false, false, false, false}, // CAB: DirOption set to 0 first
    {IDC_NEWOPTION_ZIPCOMPMODE, true, false, true, true},    // ZIP
    {IDC_NEWOPTION_ZIPCOMPMODE, true, false, false, false},  // JAR
};

struct TRadioGroup {
  int box, first, count;
};
constexpr TRadioGroup CompressionGroups[] = {
    {IDC_NEWOPTION_LHACOMPMODE, IDC_NEWOPTION_LHA_0, LhaItems},
    {IDC_NEWOPTION_CABCOMPMODE, IDC_NEWOPTION_CAB_0, CabItems},
    {IDC_NEWOPTION_ZIPCOMPMODE, IDC_NEWOPTION_ZIP_0, ZipItems},
};

int RadioIndex(HWND dialog, int first, int count) {
  for (int i = 0; i < count; ++i)
    if (IsDlgButtonChecked(dialog, first + i) == BST_CHECKED) return i;
  return -1;
}

void SetRadioIndex(HWND dialog, int first, int count, int index) {
  for (int i = 0; i < count; ++i) CheckDlgButton(dialog, first + i, i == index ? BST_CHECKED : BST_UNCHECKED);
}

}  // namespace

TNewOption::TNewOption(HWND owner) : owner_(owner) {
  FolderDlg1 = BrowseForFolder;
}

void TNewOption::SetCallerDefaults() {
  values_.ArcKind = 0;
  lhaCompMode_ = cabCompMode_ = zipCompMode_ = 2;
  values_.DirOption = 2;
}

int TNewOption::ShowModal() {
  INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_NEWOPTION), owner_, DialogProc,
                                   reinterpret_cast<LPARAM>(this));
  dialog_ = nullptr;
  return result == IDOK ? IDOK : IDCANCEL;
}

INT_PTR CALLBACK TNewOption::DialogProc(HWND dialog, UINT message, WPARAM w, LPARAM l) {
  auto self = DialogObject<TNewOption>(dialog, message, l);
  switch (message) {
    case WM_INITDIALOG: {
      self->dialog_ = dialog;
      SetRadioIndex(dialog, IDC_NEWOPTION_KIND_LZH, KindItems, self->values_.ArcKind);
      SetRadioIndex(dialog, IDC_NEWOPTION_LHA_0, LhaItems, self->lhaCompMode_);
      SetRadioIndex(dialog, IDC_NEWOPTION_CAB_0, CabItems, self->cabCompMode_);
      SetRadioIndex(dialog, IDC_NEWOPTION_ZIP_0, ZipItems, self->zipCompMode_);
      SetRadioIndex(dialog, IDC_NEWOPTION_DIR_NONE, DirItems, self->values_.DirOption);
      self->CenterOverOwner();
      SendMessageW(dialog, DM_SETDEFID, IDC_NEWOPTION_CANCEL, 0);
      self->FormShow();
      // The chosen kind has the focus, as in any radio group.
      SetFocus(GetDlgItem(dialog, IDC_NEWOPTION_KIND_LZH + self->ArcKind()));
      return FALSE;
    }
    case WM_COMMAND:
      return self != nullptr && self->Command(LOWORD(w), HIWORD(w));
    case WM_HELP:
      ShowHelpTopic(dialog, HelpTopic);
      return TRUE;
  }
  return FALSE;
}

bool TNewOption::Command(WORD id, WORD code) {
  if (id >= IDC_NEWOPTION_KIND_LZH && id < IDC_NEWOPTION_KIND_LZH + KindItems) {
    if (code == BN_CLICKED) ArcKindClick();
    return true;
  }
  if (id >= IDC_NEWOPTION_DIR_NONE && id < IDC_NEWOPTION_DIR_NONE + DirItems) {
    if (code == BN_CLICKED) DirOptionClick();
    return true;
  }
  switch (id) {
    case IDC_NEWOPTION_PASSWORD:
      if (code == BN_CLICKED) ApplyGroups();
      return true;
    case IDC_NEWOPTION_USEBASEDIR:
      if (code == BN_CLICKED) UseBaseDirClick();
      return true;
    case IDC_NEWOPTION_BASEDIRBUTTON:
      BaseDirNameButtonClick();
      return true;
    case IDC_NEWOPTION_OK:
      Button1Click();
      return true;
    case IDC_NEWOPTION_CANCEL:
    case IDCANCEL:
      EndDialog(dialog_, IDCANCEL);
      return true;
  }
  return false;
}

void TNewOption::CenterOverOwner() {
  RECT area{};
  if (owner_ != nullptr && IsWindow(owner_))
    GetWindowRect(owner_, &area);
  else
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  CenterWindowOver(dialog_, area);
}

int TNewOption::ArcKind() const {
  int kind = RadioIndex(dialog_, IDC_NEWOPTION_KIND_LZH, KindItems);
  return kind < 0 ? 0 : kind;
}

int TNewOption::DirOption() const { return RadioIndex(dialog_, IDC_NEWOPTION_DIR_NONE, DirItems); }

void TNewOption::SetDirOptionIndex(int index) { SetRadioIndex(dialog_, IDC_NEWOPTION_DIR_NONE, DirItems, index); }

bool TNewOption::Checked(int id) const { return IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }

void TNewOption::Enable(int id, bool enabled) { EnableWindow(GetDlgItem(dialog_, id), enabled); }

void TNewOption::ApplyGroups() {
  // A group check box enables the controls of its group while it is checked;
  // while it is itself disabled, its group is off as well.
  auto active = [&](int box) { return IsWindowEnabled(GetDlgItem(dialog_, box)) && Checked(box); };
  Enable(IDC_NEWOPTION_PASSWORDCHAR, active(IDC_NEWOPTION_PASSWORD));
  bool base = active(IDC_NEWOPTION_USEBASEDIR);
  Enable(IDC_NEWOPTION_BASEDIRNAME, base);
  Enable(IDC_NEWOPTION_BASEDIRBUTTON, base);
}

void TNewOption::FormShow() { ArcKindClick(); }

void TNewOption::ArcKindClick() {
  int kind = ArcKind();
  const TKindRule& rule = KindRules[kind];
  for (const auto& group : CompressionGroups) {
    int show = group.box == rule.compressionGroup ? SW_SHOWNA : SW_HIDE;
    ShowWindow(GetDlgItem(dialog_, group.box), show);
    for (int i = 0; i < group.count; ++i) ShowWindow(GetDlgItem(dialog_, group.first + i), show);
  }
  if (kind == 1) SetDirOptionIndex(0);
  for (int id = IDC_NEWOPTION_DIROPTION; id < IDC_NEWOPTION_DIR_NONE + DirItems; ++id) Enable(id, rule.dirOption);
  Enable(IDC_NEWOPTION_SHORTNAME, rule.shortName);
  Enable(IDC_NEWOPTION_PASSWORD, rule.passWord);
  bool baseDir = rule.useBaseDir && DirOption() == 2;
  Enable(IDC_NEWOPTION_USEBASEDIR, baseDir);
  if (!baseDir) SetDlgItemTextW(dialog_, IDC_NEWOPTION_BASEDIRNAME, L"");
  ApplyGroups();
}

void TNewOption::DirOptionClick() {
  int kind = ArcKind();
  // A ZIP archive is never made with absolute paths from this dialog.
  if (kind == 2 && DirOption() == 1) SetDirOptionIndex(2);
  bool baseDir = DirOption() == 2 && (kind == 0 || kind == 2);
  Enable(IDC_NEWOPTION_USEBASEDIR, baseDir);
  if (!baseDir) SetDlgItemTextW(dialog_, IDC_NEWOPTION_BASEDIRNAME, L"");
  ApplyGroups();
}

void TNewOption::UseBaseDirClick() {
  HWND field = GetDlgItem(dialog_, IDC_NEWOPTION_BASEDIRNAME);
  if (Checked(IDC_NEWOPTION_USEBASEDIR) && WindowTextOf(field).empty()) {
    if (auto folder = FolderDlg1(dialog_, dialog_texts::ChooseBaseFolder, L"")) SetWindowTextW(field, folder->c_str());
    if (WindowTextOf(field).empty()) CheckDlgButton(dialog_, IDC_NEWOPTION_USEBASEDIR, BST_UNCHECKED);
  }
  ApplyGroups();
}

void TNewOption::BaseDirNameButtonClick() {
  HWND field = GetDlgItem(dialog_, IDC_NEWOPTION_BASEDIRNAME);
  if (auto folder = FolderDlg1(dialog_, dialog_texts::ChooseBaseFolder, WindowTextOf(field)))
    SetWindowTextW(field, folder->c_str());
}

void TNewOption::Button1Click() {
  int kind = ArcKind();
  values_.ArcKind = kind;
  values_.DefaultFileName = DefaultFileNames[kind];
  const TRadioGroup& group = CompressionGroups[kind == 0 ? 0 : kind == 1 ? 1 : 2];
  values_.CompressionIndex = RadioIndex(dialog_, group.first, group.count);
  values_.DirOption = DirOption();
  // A box the kind disables does not apply, whatever it shows.
  auto applies = [&](int id) { return IsWindowEnabled(GetDlgItem(dialog_, id)) && Checked(id); };
  values_.ShortName = applies(IDC_NEWOPTION_SHORTNAME);
  values_.PassWord = applies(IDC_NEWOPTION_PASSWORD);
  values_.PassWordChar = WindowTextOf(GetDlgItem(dialog_, IDC_NEWOPTION_PASSWORDCHAR));
  values_.UseBaseDir = applies(IDC_NEWOPTION_USEBASEDIR);
  values_.BaseDirName = WindowTextOf(GetDlgItem(dialog_, IDC_NEWOPTION_BASEDIRNAME));
  lhaCompMode_ = RadioIndex(dialog_, IDC_NEWOPTION_LHA_0, LhaItems);
  cabCompMode_ = RadioIndex(dialog_, IDC_NEWOPTION_CAB_0, CabItems);
  zipCompMode_ = RadioIndex(dialog_, IDC_NEWOPTION_ZIP_0, ZipItems);
  EndDialog(dialog_, IDOK);
}
