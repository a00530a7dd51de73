#include "SfxWizard.h"

#include "CellGrid.h"
#include "DialogSupport.h"
#include "DialogTexts.h"
#include "SfxWizardIds.h"

#include <commdlg.h>

#include <algorithm>

namespace {

constexpr int HelpTopic = 60;
constexpr int PageCount = 6;
constexpr int GridRows = 10;
const wchar_t* const FolderItems[] = {L"%ProgramFiles%", L"%WinDir%", L"%SystemDir%", L"%WORK%"};

// The buttons of each page, left to right, and its default button.
struct TPageButtons {
  std::vector<int> left, right;
  int defaultButton;
};
const TPageButtons PageButtons[PageCount] = {
    {{IDC_SFXWIZ_READ, IDC_SFXWIZ_HELP}, {IDC_SFXWIZ_NEXT, IDC_SFXWIZ_CANCEL}, IDC_SFXWIZ_CANCEL},
    {{IDC_SFXWIZ_HELP}, {IDC_SFXWIZ_BACK, IDC_SFXWIZ_NEXT, IDC_SFXWIZ_CANCEL}, IDC_SFXWIZ_NEXT},
    {{}, {IDC_SFXWIZ_BACK, IDC_SFXWIZ_NEXT, IDC_SFXWIZ_CANCEL}, IDC_SFXWIZ_NEXT},
    {{}, {IDC_SFXWIZ_BACK, IDC_SFXWIZ_NEXT, IDC_SFXWIZ_CANCEL}, IDC_SFXWIZ_NEXT},
    {{}, {IDC_SFXWIZ_BACK, IDC_SFXWIZ_NEXT, IDC_SFXWIZ_CANCEL}, IDC_SFXWIZ_NEXT},
    {{IDC_SFXWIZ_SAVE}, {IDC_SFXWIZ_BACK, IDC_SFXWIZ_FINISH, IDC_SFXWIZ_CANCEL}, IDC_SFXWIZ_FINISH},
};
constexpr int AllButtons[] = {IDC_SFXWIZ_READ, IDC_SFXWIZ_SAVE, IDC_SFXWIZ_HELP, IDC_SFXWIZ_BACK,
                              IDC_SFXWIZ_NEXT, IDC_SFXWIZ_FINISH, IDC_SFXWIZ_CANCEL};

// The page a control belongs to (0: the buttons, on every page).
int PageOf(int id) {
  const int firsts[PageCount + 1] = {IDC_SFXWIZ_INTRO,     IDC_SFXWIZ_DIALOGTITLE_LABEL, IDC_SFXWIZ_ASSIGN_TEXT,
                                     IDC_SFXWIZ_MELT_TEXT, IDC_SFXWIZ_MENU_TEXT,         IDC_SFXWIZ_CREATE_TEXT,
                                     IDC_SFXWIZ_CREATE_TEXT + 10};
  for (int page = 0; page < PageCount; ++page)
    if (id >= firsts[page] && id < firsts[page + 1]) return page + 1;
  return 0;
}

std::wstring NameOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/:");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring WithoutExtension(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/:");
  size_t dot = path.rfind(L'.');
  if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return path;
  return path.substr(0, dot);
}

std::wstring ProgramFolder() {
  std::wstring path(32768, L'\0');
  DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length < path.size() ? length : 0);
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// A name the installer takes as a file of the installation: relative, and
// without any ".." step (the simple rule that surely stays inside).
bool InsideInstallation(const std::wstring& name) {
  if (name.empty()) return true;
  if (name[0] == L'\\' || name[0] == L'/' || name.find(L':') != std::wstring::npos) return false;
  size_t start = 0;
  for (;;) {
    size_t end = name.find_first_of(L"\\/", start);
    std::wstring part = name.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    if (part == L"..") return false;
    if (end == std::wstring::npos) return true;
    start = end + 1;
  }
}

std::optional<std::wstring> CommonFileDialog(HWND owner, const TSFXWizard::TFileRequest& request, bool save) {
  std::wstring filter = request.filter;
  std::replace(filter.begin(), filter.end(), L'|', L'\0');
  filter.push_back(L'\0');
  std::vector<wchar_t> file(32768, L'\0');
  std::copy_n(request.name.begin(), std::min(request.name.size(), file.size() - 1), file.begin());
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrInitialDir = request.folder.c_str();
  dialog.lpstrTitle = request.title.c_str();
  dialog.lpstrDefExt = request.defaultExtension.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | (save ? 0 : OFN_FILEMUSTEXIST);
  BOOL chosen = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
  if (!chosen) return std::nullopt;
  return std::wstring(file.data());
}

}  // namespace

TSFXWizard::TSFXWizard(HWND owner, const std::wstring& archivePath) : owner_(owner), archivePath_(archivePath) {
  OpenDefinition = [](HWND owner, const TFileRequest& request) { return CommonFileDialog(owner, request, false); };
  SaveDefinition = [](HWND owner, const TFileRequest& request) { return CommonFileDialog(owner, request, true); };
}

int TSFXWizard::ShowModal() {
  TCellGrid::Register();
  INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SFXWIZARD), owner_, DialogProc,
                                   reinterpret_cast<LPARAM>(this));
  dialog_ = nullptr;
  if (introBrush_) DeleteObject(introBrush_), introBrush_ = nullptr;
  return result == IDOK ? IDOK : IDCANCEL;
}

INT_PTR CALLBACK TSFXWizard::DialogProc(HWND dialog, UINT message, WPARAM w, LPARAM l) {
  auto self = DialogObject<TSFXWizard>(dialog, message, l);
  switch (message) {
    case WM_INITDIALOG: {
      self->dialog_ = dialog;
      // FormCreate: the grid's columns, its file cells edited with ComboBox1.
      TCellGrid* grid = self->Grid();
      grid->SetColumns({{dialog_texts::SfxColumnTitle, 130}, {dialog_texts::FileName, 140}}, GridRows);
      grid->SetChoices(1, self->ComboBox1);
      SIZE size = grid->FullSize();
      SetWindowPos(grid->Handle(), nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      for (const wchar_t* item : FolderItems)
        SendDlgItemMessageW(dialog, IDC_SFXWIZ_EXTRACTFOLDER, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
      RECT area{};
      if (self->owner_ != nullptr && IsWindow(self->owner_))
        GetWindowRect(self->owner_, &area);
      else
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
      CenterWindowOver(dialog, area);
      self->FormShow();
      SetFocus(GetDlgItem(dialog, IDC_SFXWIZ_APPTITLE));
      return FALSE;
    }
    case WM_CTLCOLORSTATIC:
      // The opening text is navy.
      if (self && GetDlgCtrlID(reinterpret_cast<HWND>(l)) == IDC_SFXWIZ_INTRO) {
        HDC dc = reinterpret_cast<HDC>(w);
        SetTextColor(dc, RGB(0, 0, 128));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
      }
      return FALSE;
    case WM_COMMAND:
      return self != nullptr && self->Command(LOWORD(w), HIWORD(w), reinterpret_cast<HWND>(l));
    case WM_HELP:
      WinHelpW(dialog, L"Tavix.hlp", HELP_CONTEXT, HelpTopic);
      return TRUE;
    case WM_CLOSE:
      // FormCloseQuery allows closing: the caption's close button cancels.
      EndDialog(dialog, IDCANCEL);
      return TRUE;
  }
  return FALSE;
}

bool TSFXWizard::Command(WORD id, WORD code, HWND control) {
  switch (id) {
    case IDC_SFXWIZ_APPTITLE:
      if (code == EN_CHANGE && !filling_) AppTitleChange();
      return true;
    case IDC_SFXWIZ_SHOWMSGBOX:
      if (code == BN_CLICKED) ShowMsgBoxClick();
      return true;
    case IDC_SFXWIZ_FILEATTACH:
      if (code == BN_CLICKED) FileAttachClick();
      return true;
    case IDC_SFXWIZ_ADDSTARTMENU:
      if (code == BN_CLICKED) AddStartMenuClick();
      return true;
    case IDC_SFXWIZ_ATTACHEDAPP:
      if (filling_) return true;
      if (code == CBN_EDITCHANGE) AttachedAppChange(WindowTextOf(control));
      if (code == CBN_SELCHANGE) {
        LRESULT index = SendMessageW(control, CB_GETCURSEL, 0, 0);
        if (index >= 0 && index < static_cast<LRESULT>(AttachedAppItems.size()))
          AttachedAppChange(AttachedAppItems[index]);
      }
      return true;
    case IDC_SFXWIZ_ADDFILES:
      if (code == TCellGrid::CellChanged) AddFilesSetEditText(Grid()->LastEdited().first);
      return true;
    case IDC_SFXWIZ_READ:
      ReadBtnClick();
      return true;
    case IDC_SFXWIZ_SAVE:
      SaveBtnClick();
      return true;
    case IDC_SFXWIZ_HELP:
      Button8Click();
      return true;
    case IDC_SFXWIZ_BACK:
      if (page_ > 1) ShowPage(page_ - 1);
      return true;
    case IDC_SFXWIZ_NEXT:
      if (page_ < PageCount) ShowPage(page_ + 1);
      return true;
    case IDC_SFXWIZ_FINISH:
      Finish();
      return true;
    case IDC_SFXWIZ_CANCEL:
    case IDCANCEL:
      // A cell being edited takes its own Escape; a click on cancel still cancels.
      EndDialog(dialog_, IDCANCEL);
      return true;
    case IDOK:
      // Enter: the page's default button.
      if (LRESULT id = SendMessageW(dialog_, DM_GETDEFID, 0, 0); HIWORD(id) == DC_HASDEFID)
        Command(LOWORD(id), BN_CLICKED, GetDlgItem(dialog_, LOWORD(id)));
      return true;
  }
  return false;
}

void TSFXWizard::ShowPage(int page) {
  if (Grid()->Editing()) Grid()->EndEdit(true);
  page_ = std::clamp(page, 1, PageCount);
  HWND focus = GetFocus();
  for (HWND child = GetWindow(dialog_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    int owner = PageOf(GetDlgCtrlID(child));
    if (owner != 0) ShowWindow(child, owner == page_ ? SW_SHOWNA : SW_HIDE);
  }
  // The buttons of the page, from the edges inwards.
  const TPageButtons& buttons = PageButtons[page_ - 1];
  for (int id : AllButtons) ShowWindow(GetDlgItem(dialog_, id), SW_HIDE);
  RECT client{};
  GetClientRect(dialog_, &client);
  RECT units{0, 0, 6, 218};
  MapDialogRect(dialog_, &units);
  int margin = units.right, top = units.bottom, gap = margin / 2;
  auto place = [&](int id, int& x, bool fromRight) {
    HWND button = GetDlgItem(dialog_, id);
    RECT box{};
    GetWindowRect(button, &box);
    int width = box.right - box.left;
    if (fromRight) x -= width;
    SetWindowPos(button, nullptr, x, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    x = fromRight ? x - gap : x + width + gap;
  };
  int x = margin;
  for (int id : buttons.left) place(id, x, false);
  x = client.right - margin;
  for (auto it = buttons.right.rbegin(); it != buttons.right.rend(); ++it) place(*it, x, true);
  // The default button: the bold frame moves with it.
  for (int id : AllButtons) SendDlgItemMessageW(dialog_, id, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
  SendMessageW(dialog_, DM_SETDEFID, buttons.defaultButton, 0);
  SendDlgItemMessageW(dialog_, buttons.defaultButton, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
  // The focus stays on the page: the first control that takes it.
  if (focus == nullptr || !IsWindowVisible(focus) || !IsWindowEnabled(focus) || PageOf(GetDlgCtrlID(focus)) != page_) {
    HWND first = nullptr;
    for (HWND child = GetWindow(dialog_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
      if (PageOf(GetDlgCtrlID(child)) == page_ && IsWindowVisible(child) && IsWindowEnabled(child) &&
          (GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP)) {
        first = child;
        break;
      }
    // A page of text only: its default button (any other button would take Enter).
    if (first == nullptr) first = GetDlgItem(dialog_, buttons.defaultButton);
    SendMessageW(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(first), TRUE);
  }
}

std::wstring TSFXWizard::Text(int id) const { return WindowTextOf(GetDlgItem(dialog_, id)); }

void TSFXWizard::SetText(int id, const std::wstring& text) { SetDlgItemTextW(dialog_, id, text.c_str()); }

bool TSFXWizard::Checked(int id) const { return IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }

void TSFXWizard::Check(int id, bool on) { CheckDlgButton(dialog_, id, on ? BST_CHECKED : BST_UNCHECKED); }

TCellGrid* TSFXWizard::Grid() const { return TCellGrid::FromHandle(GetDlgItem(dialog_, IDC_SFXWIZ_ADDFILES)); }

void TSFXWizard::FormShow() {
  ShowPage(1);
  auto fillList = [&](int id, const std::vector<std::wstring>& items) {
    SendDlgItemMessageW(dialog_, id, CB_RESETCONTENT, 0, 0);
    for (const std::wstring& item : items)
      SendDlgItemMessageW(dialog_, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
  };
  fillList(IDC_SFXWIZ_AUTOEXECUTE, AutoExecuteItems);
  fillList(IDC_SFXWIZ_ATTACHEDAPP, AttachedAppItems);
  // The design-time texts, then the name that the defaults follow.
  filling_ = true;
  SetText(IDC_SFXWIZ_REGGUIDE, dialog_texts::SfxRegGuideShown);
  SetText(IDC_SFXWIZ_GROUPGUIDE, dialog_texts::SfxGroupGuideShown);
  filling_ = false;
  SetText(IDC_SFXWIZ_APPTITLE, WithoutExtension(NameOf(archivePath_)));
  AppTitleChange();
  Check(IDC_SFXWIZ_SHOWMSGBOX, false);
  Check(IDC_SFXWIZ_FILEATTACH, false);
  Check(IDC_SFXWIZ_ADDSTARTMENU, false);
  Check(IDC_SFXWIZ_SILENTOW, true);
  SetText(IDC_SFXWIZ_AUTOEXECUTE, L"");
  SetText(IDC_SFXWIZ_ATTACHEDAPP, L"");
  for (int row = 0; row < GridRows; ++row) Grid()->SetCell(row, 0, L""), Grid()->SetCell(row, 1, L"");
  ShowMsgBoxClick();
  FileAttachClick();
  AddStartMenuClick();
}

void TSFXWizard::AppTitleChange() {
  TSfxWizardData derived;
  derived.DeriveFromAppTitle(Text(IDC_SFXWIZ_APPTITLE));
  filling_ = true;
  SetText(IDC_SFXWIZ_MESSG, derived.message);
  SetText(IDC_SFXWIZ_DIALOGTITLE, derived.dialogTitle);
  SetText(IDC_SFXWIZ_FOLDERTITLE, derived.folderTitle);
  SetText(IDC_SFXWIZ_EXTRACTFOLDER, derived.extractFolder);
  SetText(IDC_SFXWIZ_APPGROUP, derived.appGroup);
  SetText(IDC_SFXWIZ_ATTACHEXT, derived.attachExt);
  SetText(IDC_SFXWIZ_NOTES, derived.notes);
  SetText(IDC_SFXWIZ_REGKEYNAME, derived.regKeyName);
  filling_ = false;
}

void TSFXWizard::ShowMsgBoxClick() {
  bool on = Checked(IDC_SFXWIZ_SHOWMSGBOX);
  EnableWindow(GetDlgItem(dialog_, IDC_SFXWIZ_MESSG), on);
  EnableWindow(GetDlgItem(dialog_, IDC_SFXWIZ_MESSG_LABEL), on);
}

void TSFXWizard::FileAttachClick() {
  bool on = Checked(IDC_SFXWIZ_FILEATTACH);
  for (int id = IDC_SFXWIZ_ATTACH_PANEL; id <= IDC_SFXWIZ_REGGUIDE; ++id) EnableWindow(GetDlgItem(dialog_, id), on);
}

void TSFXWizard::AddStartMenuClick() {
  bool on = Checked(IDC_SFXWIZ_ADDSTARTMENU);
  for (int id = IDC_SFXWIZ_MENU_PANEL; id <= IDC_SFXWIZ_ADDFILES; ++id) EnableWindow(GetDlgItem(dialog_, id), on);
  InvalidateRect(GetDlgItem(dialog_, IDC_SFXWIZ_ADDFILES), nullptr, TRUE);
}

void TSFXWizard::AttachedAppChange(const std::wstring& application) {
  if (!Checked(IDC_SFXWIZ_ADDSTARTMENU)) return;
  Grid()->SetCell(0, 0, NameOf(application));
  Grid()->SetCell(0, 1, application);
}

void TSFXWizard::AddFilesSetEditText(int row) {
  if (row < 0 || row >= GridRows) return;
  if (Grid()->Cell(row, 0).empty()) Grid()->SetCell(row, 0, WithoutExtension(Grid()->Cell(row, 1)));
}

std::wstring TSFXWizard::DefinitionName() const { return WithoutExtension(NameOf(archivePath_)) + L".sfx"; }

void TSFXWizard::ReadBtnClick() {
  TFileRequest request{dialog_texts::SfxLoadTitle, dialog_texts::SfxFilter, L"sfx", ProgramFolder(), DefinitionName()};
  std::optional<std::wstring> path = OpenDefinition(dialog_, request);
  if (!path) return;
  Fill(ReadSfxDefinition(*path));
}

void TSFXWizard::SaveBtnClick() {
  TFileRequest request{dialog_texts::SfxSaveTitle, dialog_texts::SfxFilter, L"sfx", ProgramFolder(), DefinitionName()};
  std::optional<std::wstring> path = SaveDefinition(dialog_, request);
  if (!path) return;
  if (!SaveSfxDefinition(*path, Collect()))
    MessageBoxW(dialog_, (*path + dialog_texts::SfxCannotWrite).c_str(), dialog_texts::SfxCaption,
                MB_ICONERROR | MB_OK);
}

void TSFXWizard::Button8Click() { WinHelpW(dialog_, L"Tavix.hlp", HELP_CONTEXT, HelpTopic); }

TSfxWizardData TSFXWizard::Collect() const {
  if (Grid()->Editing()) Grid()->EndEdit(true);
  TSfxWizardData data;
  data.showMsgBox = Checked(IDC_SFXWIZ_SHOWMSGBOX);
  data.appTitle = Text(IDC_SFXWIZ_APPTITLE);
  data.message = Text(IDC_SFXWIZ_MESSG);
  data.dialogTitle = Text(IDC_SFXWIZ_DIALOGTITLE);
  data.folderTitle = Text(IDC_SFXWIZ_FOLDERTITLE);
  data.extractFolder = Text(IDC_SFXWIZ_EXTRACTFOLDER);
  data.autoExecute = Text(IDC_SFXWIZ_AUTOEXECUTE);
  data.fileAttach = Checked(IDC_SFXWIZ_FILEATTACH);
  data.regGuide = Text(IDC_SFXWIZ_REGGUIDE);
  data.attachExt = Text(IDC_SFXWIZ_ATTACHEXT);
  data.notes = Text(IDC_SFXWIZ_NOTES);
  data.attachedApp = Text(IDC_SFXWIZ_ATTACHEDAPP);
  data.regKeyName = Text(IDC_SFXWIZ_REGKEYNAME);
  data.addStartMenu = Checked(IDC_SFXWIZ_ADDSTARTMENU);
  data.groupGuide = Text(IDC_SFXWIZ_GROUPGUIDE);
  data.appGroup = Text(IDC_SFXWIZ_APPGROUP);
  data.autoExec = Checked(IDC_SFXWIZ_AUTOEXEC);
  data.silentOW = Checked(IDC_SFXWIZ_SILENTOW);
  data.forceOW = Checked(IDC_SFXWIZ_FORCEOW);
  data.extArchive = Checked(IDC_SFXWIZ_EXTARCHIVE);
  for (int row = 0; row < GridRows; ++row) {
    data.menuTitles[row] = Grid()->Cell(row, 0);
    data.menuFiles[row] = Grid()->Cell(row, 1);
  }
  return data;
}

void TSFXWizard::Fill(const TSfxWizardData& data) {
  filling_ = true;
  Check(IDC_SFXWIZ_SHOWMSGBOX, data.showMsgBox);
  SetText(IDC_SFXWIZ_APPTITLE, data.appTitle);
  SetText(IDC_SFXWIZ_MESSG, data.message);
  SetText(IDC_SFXWIZ_DIALOGTITLE, data.dialogTitle);
  SetText(IDC_SFXWIZ_FOLDERTITLE, data.folderTitle);
  SetText(IDC_SFXWIZ_EXTRACTFOLDER, data.extractFolder);
  SetText(IDC_SFXWIZ_AUTOEXECUTE, data.autoExecute);
  Check(IDC_SFXWIZ_FILEATTACH, data.fileAttach);
  SetText(IDC_SFXWIZ_REGGUIDE, data.regGuide);
  SetText(IDC_SFXWIZ_ATTACHEXT, data.attachExt);
  SetText(IDC_SFXWIZ_NOTES, data.notes);
  SetText(IDC_SFXWIZ_ATTACHEDAPP, data.attachedApp);
  SetText(IDC_SFXWIZ_REGKEYNAME, data.regKeyName);
  Check(IDC_SFXWIZ_ADDSTARTMENU, data.addStartMenu);
  SetText(IDC_SFXWIZ_GROUPGUIDE, data.groupGuide);
  SetText(IDC_SFXWIZ_APPGROUP, data.appGroup);
  Check(IDC_SFXWIZ_AUTOEXEC, data.autoExec);
  Check(IDC_SFXWIZ_SILENTOW, data.silentOW);
  Check(IDC_SFXWIZ_FORCEOW, data.forceOW);
  Check(IDC_SFXWIZ_EXTARCHIVE, data.extArchive);
  for (int row = 0; row < GridRows; ++row) {
    Grid()->SetCell(row, 0, data.menuTitles[row]);
    Grid()->SetCell(row, 1, data.menuFiles[row]);
  }
  filling_ = false;
  ShowMsgBoxClick();
  FileAttachClick();
  AddStartMenuClick();
}

void TSFXWizard::Finish() {
  TSfxWizardData data = Collect();
  // What the installer would split or refuse is told here, while it can be mended.
  auto refuse = [&](int page, int id, const std::wstring& text) {
    MessageBoxW(dialog_, text.c_str(), dialog_texts::SfxCaption, MB_ICONWARNING | MB_OK);
    ShowPage(page);
    if (id) SendMessageW(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog_, id)), TRUE);
  };
  if (!InsideInstallation(data.autoExecute))
    return refuse(2, IDC_SFXWIZ_AUTOEXECUTE, dialog_texts::SfxOutsideFolder + data.autoExecute);
  if (data.fileAttach) {
    const std::pair<int, const std::wstring*> fields[] = {{IDC_SFXWIZ_ATTACHEXT, &data.attachExt},
                                                         {IDC_SFXWIZ_NOTES, &data.notes},
                                                         {IDC_SFXWIZ_ATTACHEDAPP, &data.attachedApp},
                                                         {IDC_SFXWIZ_REGKEYNAME, &data.regKeyName}};
    for (const auto& [id, text] : fields)
      if (text->find(L',') != std::wstring::npos) return refuse(3, id, dialog_texts::SfxNoComma + *text);
    if (!InsideInstallation(data.attachedApp))
      return refuse(3, IDC_SFXWIZ_ATTACHEDAPP, dialog_texts::SfxOutsideFolder + data.attachedApp);
  }
  if (data.addStartMenu) {
    if (data.appGroup.find(L',') != std::wstring::npos)
      return refuse(5, IDC_SFXWIZ_APPGROUP, dialog_texts::SfxNoComma + data.appGroup);
    for (int row = 0; row < GridRows; ++row) {
      if (data.menuTitles[row].empty() || data.menuFiles[row].empty()) continue;
      for (const std::wstring* cell : {&data.menuTitles[row], &data.menuFiles[row]})
        if (cell->find(L',') != std::wstring::npos)
          return refuse(5, IDC_SFXWIZ_ADDFILES, dialog_texts::SfxNoComma + *cell);
      if (!InsideInstallation(data.menuFiles[row]))
        return refuse(5, IDC_SFXWIZ_ADDFILES, dialog_texts::SfxOutsideFolder + data.menuFiles[row]);
    }
  }
  data_ = data;
  EndDialog(dialog_, IDOK);
}
