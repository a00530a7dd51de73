#include "OptionDialog.h"

#include "DialogSupport.h"
#include "DialogTexts.h"
#include "OptionDialogIds.h"
#include "ShortCutText.h"
#include "engine/Handles.h"
#include "help/HelpService.h"
#include "widgets/FieldControls.h"

#include <algorithm>

namespace {

constexpr UINT HelpTopic = 25;

const TTabPages::TPageDef Pages[] = {
    {dialog_texts::OptionPageFolder, IDD_OPTION_FOLDER}, {dialog_texts::OptionPageExtract, IDD_OPTION_EXTRACT},
    {dialog_texts::OptionPagePack, IDD_OPTION_PACK},     {dialog_texts::OptionPageView, IDD_OPTION_VIEW},
    {dialog_texts::OptionPageShell, IDD_OPTION_SHELL},   {dialog_texts::OptionPageTavix, IDD_OPTION_TAVIX},
    {dialog_texts::OptionPageUnlha, IDD_OPTION_UNLHA},   {dialog_texts::OptionPageToolBar, IDD_OPTION_TOOLBAR},
};
static_assert(std::size(Pages) == TOptionPanel::PageCount);

}  // namespace

const std::array<TToolLine, kToolButtonCount>& ToolLines() {
  // Each line's index into the main window's shortcuts; -1 for none.
  static constexpr int shortCuts[] = {1, 0, 14, 16, -1, 12, 13, -1, 2, 5, 6, -1, 3, 4, 8, 9, -1, 7, -1, -1, 10, -1, -1, 11};
  static_assert(std::size(shortCuts) == kToolButtonCount && std::size(dialog_texts::ToolButtons) == kToolButtonCount);
  static const std::array<TToolLine, kToolButtonCount> lines = [&] {
    std::array<TToolLine, kToolButtonCount> made{};
    for (int i = 0; i < kToolButtonCount; ++i)
      made[i] = {dialog_texts::ToolButtons[i].caption, dialog_texts::ToolButtons[i].text, shortCuts[i]};
    return made;
  }();
  return lines;
}

TOptionPanel::TOptionPanel(const TMainSettings& settings, std::wstring programPath)
    : settings_(settings), program_(std::move(programPath)), shell_(program_) {
  imageOfLine_.fill(-1);
  for (size_t i = 0; i < shortCuts_.size(); ++i) shortCuts_[i] = TextToShortCut(settings_.ShortCuts[i]);
  ShowError = [](HWND owner, const std::wstring& message) {
    MessageBoxW(owner, message.c_str(), dialog_texts::MessageCaption, MB_OK | MB_ICONERROR);
  };
}

void TOptionPanel::SetToolImages(HIMAGELIST images, const std::array<int, kToolButtonCount>& imageOfLine) {
  toolImages_ = images;
  imageOfLine_ = imageOfLine;
}

void TOptionPanel::MovePageBack() {
  if (page_ > 0) page_ = static_cast<TPage>(page_ - 1);
}

int TOptionPanel::ShowModal(HWND owner) {
  TPageTurnKeys keys([this](int step) { TurnPage(step); });
  return static_cast<int>(
      DialogBoxParamW(DialogModule(), MAKEINTRESOURCEW(IDD_OPTION), owner, DialogProc, reinterpret_cast<LPARAM>(this)));
}

void TOptionPanel::TurnPage(int step) {
  pages_.Turn(step);
  page_ = static_cast<TPage>(pages_.Current());
}

HWND TOptionPanel::Item(int id) const { return pages_.Item(id); }

bool TOptionPanel::Checked(int id) const { return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void TOptionPanel::Check(int id, bool on) { SendMessageW(Item(id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0); }

std::wstring TOptionPanel::Text(int id) const {
  HWND item = Item(id);
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(item, text.data(), static_cast<int>(text.size()))));
  return text;
}

void TOptionPanel::SetText(int id, const std::wstring& text) { SetWindowTextW(Item(id), text.c_str()); }

int TOptionPanel::RadioIndex(int firstId, int count) const {
  for (int i = 0; i < count; ++i)
    if (Checked(firstId + i)) return i;
  return 0;
}

void TOptionPanel::SetRadioIndex(int firstId, int count, int index) {
  for (int i = 0; i < count; ++i) Check(firstId + i, i == index);
}

void TOptionPanel::Create(HWND dialog) {
  dialog_ = dialog;
  pages_.Create(dialog, IDC_OPT_TABS, DialogModule(), Pages, PageProc, reinterpret_cast<LPARAM>(this));
  toolList_.Attach(Item(IDC_OPT_TOOLLIST), toolImages_);
  const auto& lines = ToolLines();
  for (int i = 0; i < kToolButtonCount; ++i) toolList_.Add(lines[i].Caption, imageOfLine_[i]);
  hotKey_.Attach(Item(IDC_OPT_HOTKEY));
  FillControls();
  FormShow();
  pages_.Show(page_);
}

void TOptionPanel::FillControls() {
  const TMainSettings& s = settings_;
  SetRadioIndex(IDC_OPT_DIROPTION_0, 3, s.ExtDirOption);
  Check(IDC_OPT_ISFOLDEROPEN, s.IsFolderOpen);
  Check(IDC_OPT_MAKEARCFOLDER, s.MakeArcDir);
  SetRadioIndex(IDC_OPT_SAVEDIR_0, 3, s.SaveDirOpt);
  Check(IDC_OPT_AUTONAMING, s.AutoNaming);
  SetRadioIndex(IDC_OPT_FILEOPTION_0, 2, s.ExtractFileOpt);
  SetRadioIndex(IDC_OPT_EXISTMODE_0, 2, s.ExistFileMode);
  SetRadioIndex(IDC_OPT_FOLDEROPTION_0, 3, s.FolderOption);
  SetRadioIndex(IDC_OPT_PACKDIR_0, 3, s.PackDirOption);
  SetRadioIndex(IDC_OPT_LHA_0, 5, s.LzhPackOption);
  SetRadioIndex(IDC_OPT_CAB_0, 4, s.CabPackOption);
  SetRadioIndex(IDC_OPT_ZIP_0, 4, s.ZipPackOption);
  SetText(IDC_OPT_TEXTFILES, s.TextFiles);
  Check(IDC_OPT_USEOWNVIEWER, s.FIleOpenMode);
  Check(IDC_OPT_USESHELLICON, s.UseShellIcon);
  Check(IDC_OPT_AUTORESIZE, s.AutoResize);
  Check(IDC_OPT_USESPIS, s.UseSpis);
  SetText(IDC_OPT_SPISDIR, s.SpisDir);
  Check(IDC_OPT_GRPAUTOSIZE, s.GrpAutoSize);
  SetRadioIndex(IDC_OPT_NEWLHA, 4, std::clamp(s.NewMode, 0, 3));
  SetText(IDC_OPT_ARCHIVES, s.Archives);
  SetRadioIndex(IDC_OPT_DROPTOICON_0, 2, s.IsDropToIcon);
  Check(IDC_OPT_EXTOPENDLG, s.ExtOpenDlg);
  Check(IDC_OPT_CMNOPENDLG, s.CmnOpenDlg);
  Check(IDC_OPT_ISLINKEDOBJECT, s.IsLinkedObj);
  SetRadioIndex(IDC_OPT_EXTRDLGMODE_0, 2, s.ExtrDlgMode);
  SetText(IDC_OPT_WORKDIR, s.WorkDir);
  SetText(IDC_OPT_PROGCOMMD, s.LhaCommand);
  for (int i = 0; i < kToolButtonCount; ++i) toolList_.SetChecked(i, s.ToolBtn[i]);
  EnableWindow(Item(IDC_OPT_HOTKEY), FALSE);
  EnableWindow(Item(IDC_OPT_HOTKEY_LABEL), FALSE);
}

void TOptionPanel::ReadControls() {
  TMainSettings& s = settings_;
  s.ExtDirOption = RadioIndex(IDC_OPT_DIROPTION_0, 3);
  s.IsFolderOpen = Checked(IDC_OPT_ISFOLDEROPEN);
  s.MakeArcDir = Checked(IDC_OPT_MAKEARCFOLDER);
  s.SaveDirOpt = RadioIndex(IDC_OPT_SAVEDIR_0, 3);
  s.AutoNaming = Checked(IDC_OPT_AUTONAMING);
  s.ExtractFileOpt = RadioIndex(IDC_OPT_FILEOPTION_0, 2);
  s.ExistFileMode = RadioIndex(IDC_OPT_EXISTMODE_0, 2);
  s.FolderOption = RadioIndex(IDC_OPT_FOLDEROPTION_0, 3);
  s.PackDirOption = RadioIndex(IDC_OPT_PACKDIR_0, 3);
  s.LzhPackOption = RadioIndex(IDC_OPT_LHA_0, 5);
  s.CabPackOption = RadioIndex(IDC_OPT_CAB_0, 4);
  s.ZipPackOption = RadioIndex(IDC_OPT_ZIP_0, 4);
  s.TextFiles = Text(IDC_OPT_TEXTFILES);
  s.FIleOpenMode = Checked(IDC_OPT_USEOWNVIEWER);
  s.UseShellIcon = Checked(IDC_OPT_USESHELLICON);
  s.AutoResize = Checked(IDC_OPT_AUTORESIZE);
  s.UseSpis = Checked(IDC_OPT_USESPIS);
  s.SpisDir = Text(IDC_OPT_SPISDIR);
  s.GrpAutoSize = Checked(IDC_OPT_GRPAUTOSIZE);
  s.NewMode = Checked(IDC_OPT_NEWLHA) ? 0 : Checked(IDC_OPT_NEWZIP) ? 1 : Checked(IDC_OPT_NEWCAB) ? 2 : 3;
  s.Archives = Text(IDC_OPT_ARCHIVES);
  s.IsDropToIcon = RadioIndex(IDC_OPT_DROPTOICON_0, 2);
  s.ExtOpenDlg = Checked(IDC_OPT_EXTOPENDLG);
  s.CmnOpenDlg = Checked(IDC_OPT_CMNOPENDLG);
  s.IsLinkedObj = Checked(IDC_OPT_ISLINKEDOBJECT);
  s.ExtrDlgMode = RadioIndex(IDC_OPT_EXTRDLGMODE_0, 2);
  s.WorkDir = Text(IDC_OPT_WORKDIR);
  s.LhaCommand = Text(IDC_OPT_PROGCOMMD);
  for (int i = 0; i < kToolButtonCount; ++i) s.ToolBtn[i] = toolList_.Checked(i);
  for (size_t i = 0; i < shortCuts_.size(); ++i) s.ShortCuts[i] = ShortCutToText(shortCuts_[i]);
}

// A group check box or radio button enables the controls of its group.
void TOptionPanel::EnableGroups() {
  EnableGroup(Checked(IDC_OPT_USESPIS), {Item(IDC_OPT_SPISDIR), Item(IDC_OPT_SPISBROWSE)});
  EnableGroup(Checked(IDC_OPT_ADDSEPK), {Item(IDC_OPT_NEWMODE_GROUP), Item(IDC_OPT_NEWLHA), Item(IDC_OPT_NEWZIP),
                                         Item(IDC_OPT_NEWCAB), Item(IDC_OPT_NEWDLG)});
  EnableGroup(Checked(IDC_OPT_ADDINT), {Item(IDC_OPT_ARCHIVES_LABEL), Item(IDC_OPT_ARCHIVES)});
  EnableGroup(Checked(IDC_OPT_CMNOPENDLG), {Item(IDC_OPT_ISLINKEDOBJECT)});
}

void TOptionPanel::FormShow() {
  found_ = shell_.Read();
  Check(IDC_OPT_ATTACHLHA, found_.LzhAssociated);
  Check(IDC_OPT_ATTACHZIP, found_.ZipAssociated);
  Check(IDC_OPT_ADDMELT, found_.ExtractVerb);
  Check(IDC_OPT_ADDSEOP, found_.OpenShortcut);
  Check(IDC_OPT_ADDSEPK, found_.PackShortcut);
  Check(IDC_OPT_ADDINT, found_.ExtensionRegistered);
  EnableWindow(Item(IDC_OPT_ADDMELT), found_.LzhAssociated && found_.ZipAssociated);
  EnableGroups();
}

void TOptionPanel::AttachLHAClick() {
  bool any = Checked(IDC_OPT_ATTACHLHA) || Checked(IDC_OPT_ATTACHZIP);
  EnableWindow(Item(IDC_OPT_ADDMELT), any);
  if (!any) Check(IDC_OPT_ADDMELT, false);
}

void TOptionPanel::SpisBrowseClick() { BrowseFolderInto(dialog_, Item(IDC_OPT_SPISDIR), true); }

void TOptionPanel::WorkBrowseClick() { BrowseFolderInto(dialog_, Item(IDC_OPT_WORKDIR), false); }

void TOptionPanel::ToolListClick() {
  int line = toolList_.Selected();
  if (line < 0 || line == shownLine_) return;
  HotKey1Exit();
  shownLine_ = line;
  const TToolLine& tool = ToolLines()[line];
  SetText(IDC_OPT_MEMO, tool.Description);
  bool hasKey = tool.ShortCut >= 0;
  EnableWindow(Item(IDC_OPT_HOTKEY), hasKey);
  EnableWindow(Item(IDC_OPT_HOTKEY_LABEL), hasKey);
  hotKey_.Set(hasKey ? shortCuts_[tool.ShortCut] : scNone);
}

void TOptionPanel::HotKey1Exit() {
  if (shownLine_ < 0) return;
  int key = ToolLines()[shownLine_].ShortCut;
  if (key < 0) return;
  shortCuts_[key] = hotKey_.Get();
}

// Each step acts only where the box differs from what the shell held at opening.
void TOptionPanel::ApplyShell() {
  bool lzh = Checked(IDC_OPT_ATTACHLHA), zip = Checked(IDC_OPT_ATTACHZIP);
  if (lzh != found_.LzhAssociated) {
    if (lzh) shell_.Associate(LzhAssociation);
    else shell_.RemoveAssociation(LzhAssociation);
  }
  if (zip != found_.ZipAssociated) {
    if (zip) shell_.Associate(ZipAssociation);
    else shell_.RemoveAssociation(ZipAssociation);
  }
  bool verb = Checked(IDC_OPT_ADDMELT);
  if (verb != found_.ExtractVerb) {
    for (auto [on, association] : {std::pair{lzh, &LzhAssociation}, std::pair{zip, &ZipAssociation}}) {
      if (!on) continue;
      if (verb) {
        shell_.AddExtractVerb(*association);
        // The verb replaces the extension's menu item for associated archives.
        if (found_.ExtensionRegistered) shell_.UnregisterExtension();
      } else {
        shell_.RemoveExtractVerb(*association);
      }
    }
  }
  bool extension = Checked(IDC_OPT_ADDINT);
  if (extension != found_.ExtensionRegistered) {
    if (extension) shell_.RegisterExtension();
    else shell_.UnregisterExtension();
  }
  bool pack = Checked(IDC_OPT_ADDSEPK);
  if (pack != found_.PackShortcut) {
    if (pack) shell_.CreatePackShortcut();
    else TShellIntegration::DeleteShortcut(PackShortcutName);
  }
  bool open = Checked(IDC_OPT_ADDSEOP);
  if (open != found_.OpenShortcut) {
    if (open) shell_.CreateOpenShortcut();
    else TShellIntegration::DeleteShortcut(OpenShortcutName);
  }
}

void TOptionPanel::OkBtnClick() {
  HotKey1Exit();
  ReadControls();
  try {
    ApplyShell();
  } catch (const ERegistry& error) {
    // The dialog still closes with OK: the caller takes the values over.
    ShowError(dialog_, error.Message());
  }
  while (!settings_.WorkDir.empty() && settings_.WorkDir.back() == L'\\') settings_.WorkDir.pop_back();
  if (settings_.Archives.empty() || settings_.Archives.back() != L' ') settings_.Archives += L' ';
}

INT_PTR CALLBACK TOptionPanel::PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = DialogObject<TOptionPanel>(page, message, lParam);
  if (message == WM_INITDIALOG) {
    return FALSE;
  }
  if (self == nullptr) return FALSE;
  switch (message) {
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_OPT_ATTACHLHA:
        case IDC_OPT_ATTACHZIP: self->AttachLHAClick(); return TRUE;
        case IDC_OPT_SPISBROWSE: self->SpisBrowseClick(); return TRUE;
        case IDC_OPT_WORKBROWSE: self->WorkBrowseClick(); return TRUE;
        case IDC_OPT_USESPIS:
        case IDC_OPT_ADDSEPK:
        case IDC_OPT_ADDINT:
        case IDC_OPT_EXTOPENDLG:
        case IDC_OPT_CMNOPENDLG: self->EnableGroups(); return TRUE;
      }
      return FALSE;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      if (header->idFrom == IDC_OPT_TOOLLIST && header->code == LVN_ITEMCHANGED) {
        auto* change = reinterpret_cast<NMLISTVIEW*>(lParam);
        if ((change->uChanged & LVIF_STATE) && (change->uNewState & LVIS_SELECTED)) self->ToolListClick();
        return TRUE;
      }
      return FALSE;
    }
  }
  return FALSE;
}

INT_PTR CALLBACK TOptionPanel::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = DialogObject<TOptionPanel>(dialog, message, lParam);
  switch (message) {
    case WM_INITDIALOG: {
      HWND owner = GetWindow(dialog, GW_OWNER);
      RECT box{}, main{};
      GetWindowRect(dialog, &box);
      if (owner != nullptr && GetWindowRect(owner, &main)) {
        int width = box.right - box.left, height = box.bottom - box.top;
        SetWindowPos(dialog, nullptr, main.left + (main.right - main.left - width) / 2,
                     main.top + (main.bottom - main.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
      }
      self->Create(dialog);
      SetFocus(GetDlgItem(dialog, IDCANCEL));
      return FALSE;
    }
    case WM_NOTIFY:
      if (self->pages_.Notified(reinterpret_cast<NMHDR*>(lParam))) {
        self->page_ = static_cast<TPage>(self->pages_.Current());
        return TRUE;
      }
      return FALSE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        self->OkBtnClick();
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    case WM_HELP:
      ShowHelpTopic(dialog, HelpTopic);
      return TRUE;
  }
  return FALSE;
}
