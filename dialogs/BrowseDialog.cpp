#include "BrowseDialog.h"

#include "BrowseDialogIds.h"
#include "DialogSupport.h"
#include "DialogTexts.h"
#include "ExtractDialog.h"
#include "help/HelpService.h"

#include <commctrl.h>

#include <algorithm>

namespace {

constexpr int HelpTopic = 22;
// Posted when a history line was chosen, so the combo box has closed its list first.
constexpr UINT HistoryChosenMessage = WM_APP + 1;
constexpr UINT_PTR FollowTextTimer = 1;
constexpr UINT FollowTextDelay = 300;  // ms after the last key
constexpr int Margin = 6;
constexpr int SplitterWidth = 5;
constexpr int MinPaneWidth = 60;
constexpr int PanelWidth = 180, PanelHeight = 80;

struct TToolButton {
  int command, image;
  BYTE style;
  const wchar_t* hint;
};
const TToolButton ToolButtons[] = {
    {IDC_BROWSE_UP, VIEW_PARENTFOLDER, BTNS_BUTTON, dialog_texts::BrowseUpHint},
    {IDC_BROWSE_NEWFOLDER, VIEW_NEWFOLDER, BTNS_BUTTON, dialog_texts::BrowseNewFolderHint},
    {0, 0, BTNS_SEP, nullptr},
    {IDC_BROWSE_LIST, VIEW_LIST, BTNS_CHECKGROUP, dialog_texts::BrowseListHint},
    {IDC_BROWSE_DETAILS, VIEW_DETAILS, BTNS_CHECKGROUP, dialog_texts::BrowseDetailsHint},
};

std::wstring WithoutTrailingBackslash(std::wstring path) {
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

bool IsFolder(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return !path.empty() && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A name that makes exactly one folder inside the parent.
bool IsPlainName(const std::wstring& name) {
  return !name.empty() && name != L"." && name != L".." && name.find_first_of(L"\\/:*?\"<>|") == std::wstring::npos;
}

std::wstring WindowsDriveRoot() {
  wchar_t windows[MAX_PATH] = L"";
  UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
  std::wstring path = length > 0 && length < MAX_PATH ? windows : L"c:\\WIndows";
  return path.substr(0, 3);
}

}  // namespace

TBrowse::TBrowse(HWND owner, const std::wstring& settingsFile) : owner_(owner) {
  // FormCreate
  if (!settingsFile.empty()) history_.SetFileName(settingsFile);
  history_.Load();
}

TBrowse::~TBrowse() {
  // FormDestroy: the history is kept whether the user pressed OK or Cancel.
  history_.Save();
}

int TBrowse::ShowModal() {
  result_.clear();
  INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_BROWSE), owner_, DialogProc,
                                   reinterpret_cast<LPARAM>(this));
  dialog_ = panel_ = toolbar_ = tooltip_ = nullptr;
  return result == IDOK ? IDOK : IDCANCEL;
}

INT_PTR CALLBACK TBrowse::DialogProc(HWND dialog, UINT message, WPARAM w, LPARAM l) {
  auto self = DialogObject<TBrowse>(dialog, message, l);
  switch (message) {
    case WM_INITDIALOG:
      self->Create(dialog);
      self->FormShow();
      return FALSE;  // FormShow gave the file list the focus
    case WM_COMMAND:
      return self != nullptr && self->Command(LOWORD(w), HIWORD(w));
    case WM_NOTIFY:
      if (self == nullptr) return FALSE;
      return self->Notify(reinterpret_cast<const NMHDR*>(l));
    case WM_TIMER:
      if (self != nullptr && w == FollowTextTimer) {
        KillTimer(dialog, FollowTextTimer);
        self->FollowTypedText();
      }
      return TRUE;
    case WM_SETCURSOR:
    case WM_LBUTTONDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      if (self != nullptr && self->DragSplitter(message, l)) {
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, TRUE);
        return TRUE;
      }
      return FALSE;
    case HistoryChosenMessage:
      if (self != nullptr) self->TakeChosenLine();
      return TRUE;
    case WM_HELP:
      ShowHelpTopic(dialog, HelpTopic);
      return TRUE;
    case WM_DESTROY:
      if (self != nullptr) {
        KillTimer(dialog, FollowTextTimer);
        self->history_.SetComboBox(nullptr);
      }
      return FALSE;
  }
  return FALSE;
}

INT_PTR CALLBACK TBrowse::PanelProc(HWND panel, UINT message, WPARAM w, LPARAM l) {
  auto self = DialogObject<TBrowse>(panel, message, l);
  switch (message) {
    case WM_INITDIALOG: return FALSE;
    case WM_COMMAND:
      return self != nullptr && self->Command(LOWORD(w), HIWORD(w));
  }
  return FALSE;
}

void TBrowse::Create(HWND dialog) {
  dialog_ = dialog;
  if (desktopFolder_.empty()) {
    std::wstring desktop = RegistryDesktopFolder();
    if (!desktop.empty()) desktopFolder_ = desktop + L"\\";
  }
  HINSTANCE instance = GetModuleHandleW(nullptr);
  toolbar_ = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                             WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NORESIZE | CCS_NODIVIDER |
                                 CCS_NOPARENTALIGN,
                             0, 0, 0, 0, dialog, reinterpret_cast<HMENU>(IDC_BROWSE_TOOLBAR), instance, nullptr);
  SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SendMessageW(toolbar_, TB_LOADIMAGES, IDB_VIEW_SMALL_COLOR, reinterpret_cast<LPARAM>(HINST_COMMCTRL));
  for (const auto& button : ToolButtons) {
    TBBUTTON item{};
    item.iBitmap = button.image;
    item.idCommand = button.command;
    item.fsState = TBSTATE_ENABLED | (button.command == IDC_BROWSE_LIST ? TBSTATE_CHECKED : 0);
    item.fsStyle = button.style;
    SendMessageW(toolbar_, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&item));
  }
  panel_ = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_BROWSE_MKDIR), dialog, PanelProc,
                              reinterpret_cast<LPARAM>(this));
  SetDlgItemTextW(panel_, IDC_BROWSE_EDIT1, dialog_texts::BrowseNewFolderName);
  tree_.Attach(GetDlgItem(dialog, IDC_BROWSE_TREE));
  list_.Attach(GetDlgItem(dialog, IDC_BROWSE_FILES));
  history_.SetComboBox(GetDlgItem(dialog, IDC_BROWSE_HISTORY));
  history_.SetFromList(history_.History());  // fills the box's lines
  SendDlgItemMessageW(dialog, IDC_BROWSE_HISTORY, CB_SETMINVISIBLE, 10, 0);
  // The path panel shows its whole text as a tooltip.
  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr, instance,
                             nullptr);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = dialog;
  tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(dialog, IDC_BROWSE_FNAME));
  tool.lpszText = const_cast<wchar_t*>(L"");
  SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 600);
  SendMessageW(dialog, DM_SETDEFID, IDC_BROWSE_CANCEL, 0);
  RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  CenterWindowOver(dialog, screen);
  LayOut();
}

void TBrowse::LayOut() {
  RECT client{};
  GetClientRect(dialog_, &client);
  int width = client.right, height = client.bottom;
  SIZE tools{};
  SendMessageW(toolbar_, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&tools));
  int toolsWidth = tools.cx + 2;
  auto place = [&](int id, int x, int y, int w, int h) { MoveWindow(GetDlgItem(dialog_, id), x, y, w, h, TRUE); };
  place(IDC_BROWSE_LABEL2, Margin, 10, 84, 16);
  place(IDC_BROWSE_HISTORY, Margin + 88, 6, width - 2 * Margin - 88 - toolsWidth - 4, 240);
  MoveWindow(toolbar_, width - Margin - toolsWidth, 4, toolsWidth, tools.cy + 2, TRUE);
  int top = 36, bottom = height - 66;
  treeWidth_ = std::max(MinPaneWidth, std::min(treeWidth_, width - 2 * Margin - SplitterWidth - MinPaneWidth));
  place(IDC_BROWSE_TREE, Margin, top, treeWidth_, bottom - top);
  int listX = Margin + treeWidth_ + SplitterWidth;
  place(IDC_BROWSE_FILES, listX, top, width - Margin - listX, bottom - top);
  place(IDC_BROWSE_LABEL1, Margin, bottom + 11, 120, 16);
  place(IDC_BROWSE_FNAME, Margin + 124, bottom + 8, width - 2 * Margin - 124, 20);
  place(IDC_BROWSE_OK, width - Margin - 2 * 88 - 6, height - Margin - 26, 88, 26);
  place(IDC_BROWSE_CANCEL, width - Margin - 88, height - Margin - 26, 88, 26);
  MoveWindow(panel_, (width - PanelWidth) / 2, (height - PanelHeight) / 2, PanelWidth, PanelHeight, TRUE);
  const struct {
    int id, x, y, w, h;
  } panelPlaces[] = {
      {IDC_BROWSE_LABEL3, 8, 6, 160, 16},
      {IDC_BROWSE_EDIT1, 8, 24, 160, 20},
      {IDC_BROWSE_BITBTN3, 16, 48, 72, 24},
      {IDC_BROWSE_BITBTN4, 92, 48, 72, 24},
  };
  for (const auto& p : panelPlaces) MoveWindow(GetDlgItem(panel_, p.id), p.x, p.y, p.w, p.h, TRUE);
}

bool TBrowse::DragSplitter(UINT message, LPARAM l) {
  POINT point{};
  if (message == WM_SETCURSOR) {
    if (LOWORD(l) != HTCLIENT) return false;
    GetCursorPos(&point);
    ScreenToClient(dialog_, &point);
  } else {
    point = {static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))};
  }
  RECT tree{};
  GetWindowRect(tree_.Handle(), &tree);
  MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&tree), 2);
  bool onSplitter = point.x >= tree.right && point.x < tree.right + SplitterWidth && point.y >= tree.top &&
                    point.y < tree.bottom;
  switch (message) {
    case WM_SETCURSOR:
      if (!onSplitter && !dragging_) return false;
      SetCursor(LoadCursorW(nullptr, IDC_SIZEWE));
      return true;
    case WM_LBUTTONDOWN:
      if (!onSplitter) return false;
      dragging_ = true;
      grabOffset_ = point.x - tree.right;  // the edge keeps its place under the pointer
      SetCapture(dialog_);
      return true;
    case WM_MOUSEMOVE:
      if (!dragging_) return false;
      treeWidth_ = point.x - grabOffset_ - Margin;
      LayOut();
      return true;
    case WM_LBUTTONUP:
      if (!dragging_) return false;
      ReleaseCapture();
      return true;
    case WM_CAPTURECHANGED:
      dragging_ = false;
      return false;
  }
  return false;
}

bool TBrowse::Command(WORD id, WORD code) {
  switch (id) {
    case IDC_BROWSE_HISTORY:
      if (code == CBN_EDITCHANGE) SetTimer(dialog_, FollowTextTimer, FollowTextDelay, nullptr);
      // A line is taken when the list closes on it (a key moving through the
      // open list must not move the focus away), or at once when it is closed.
      if (code == CBN_SELENDOK ||
          (code == CBN_SELCHANGE && !SendDlgItemMessageW(dialog_, IDC_BROWSE_HISTORY, CB_GETDROPPEDSTATE, 0, 0)))
        PostMessageW(dialog_, HistoryChosenMessage, 0, 0);
      return true;
    case IDC_BROWSE_UP:
      SpeedButton1Click();
      return true;
    case IDC_BROWSE_NEWFOLDER:
      SpeedButton4Click();
      return true;
    case IDC_BROWSE_LIST:
    case IDC_BROWSE_DETAILS:
      SpeedButton2Click();
      return true;
    case IDC_BROWSE_BITBTN3:
      BitBtn3Click();
      return true;
    case IDC_BROWSE_BITBTN4:
      BitBtn4Click();
      return true;
    case IDC_BROWSE_OK:
      OkBtnClick();
      return true;
    case IDC_BROWSE_CANCEL:
    case IDCANCEL:
      // Esc while the new-folder panel is up dismisses the panel only.
      if (id == IDCANCEL && IsWindowVisible(panel_))
        BitBtn4Click();
      else
        EndDialog(dialog_, IDCANCEL);
      return true;
  }
  return false;
}

bool TBrowse::Notify(const NMHDR* header) {
  if (tree_.Notify(header)) return false;
  switch (header->idFrom) {
    case IDC_BROWSE_TREE:
      if (header->code == TVN_SELCHANGEDW) {
        auto change = reinterpret_cast<const NMTREEVIEWW*>(header);
        FollowTree();
        // A click or a key moved the selection: the panel names the new folder.
        if (change->action == TVC_BYMOUSE || change->action == TVC_BYKEYBOARD) FolderView1Click();
      } else if (header->code == NM_CLICK) {
        FolderView1Click();
      } else if (header->code == NM_DBLCLK) {
        FileView1DblClick();
      }
      return false;
    case IDC_BROWSE_FILES:
      if (header->code == LVN_ITEMCHANGED) {
        auto change = reinterpret_cast<const NMLISTVIEW*>(header);
        if (change->uChanged & LVIF_STATE) FileView1Change();
      } else if (header->code == NM_DBLCLK) {
        FileView1DblClick();
      } else if (header->code == LVN_KEYDOWN && reinterpret_cast<const NMLVKEYDOWN*>(header)->wVKey == VK_RETURN) {
        OkBtnClick();
      }
      return false;
    case IDC_BROWSE_TOOLBAR:
      break;
  }
  if (header->code == TTN_GETDISPINFOW && header->hwndFrom != tooltip_) {
    auto info = const_cast<NMTTDISPINFOW*>(reinterpret_cast<const NMTTDISPINFOW*>(header));
    for (const auto& button : ToolButtons)
      if (button.hint != nullptr && static_cast<UINT_PTR>(button.command) == header->idFrom)
        info->lpszText = const_cast<wchar_t*>(button.hint);
  }
  return false;
}

void TBrowse::SetFName(const std::wstring& text) {
  fname_ = text;
  HWND panel = GetDlgItem(dialog_, IDC_BROWSE_FNAME);
  SetWindowTextW(panel, text.c_str());
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = dialog_;
  tool.uId = reinterpret_cast<UINT_PTR>(panel);
  tool.lpszText = fname_.data();
  SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

std::wstring TBrowse::FName() const { return fname_; }

bool TBrowse::NavigateTo(const std::wstring& path) { return tree_.SelectPath(path); }

void TBrowse::FollowTree() { list_.ShowFolder(tree_.SelectedPidl()); }

void TBrowse::FormShow() {
  bool opened = IsFolder(folder_) && NavigateTo(folder_);
  HWND history = GetDlgItem(dialog_, IDC_BROWSE_HISTORY);
  if (opened) {
    SetFName(folder_);
    SetWindowTextW(history, folder_.c_str());
  } else {
    folder_.clear();
    SetWindowTextW(history, L"");
    NavigateTo(WindowsDriveRoot());
  }
  FollowTree();
  SetFocus(list_.Handle());
}

void TBrowse::TakeChosenLine() {
  HWND combo = GetDlgItem(dialog_, IDC_BROWSE_HISTORY);
  int index = static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
  if (index < 0) return;
  std::wstring line(SendMessageW(combo, CB_GETLBTEXTLEN, index, 0) + 1, L'\0');
  line.resize(SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(line.data())));
  SetWindowTextW(combo, line.c_str());
  HistoryChange();
}

void TBrowse::HistoryChange() {
  KillTimer(dialog_, FollowTextTimer);
  NavigateTo(WindowTextOf(GetDlgItem(dialog_, IDC_BROWSE_HISTORY)));
  SetFocus(tree_.Handle());
  FolderView1Click();
}

void TBrowse::FollowTypedText() {
  // Typed text navigates once the hand pauses, and the focus stays in the
  // box: moving it to the tree at every key would take the typing away.
  if (NavigateTo(WindowTextOf(GetDlgItem(dialog_, IDC_BROWSE_HISTORY)))) FolderView1Click();
}

void TBrowse::FolderView1Click() { SetFName(tree_.SelectedPath()); }

void TBrowse::FileView1Change() {
  std::vector<int> selected = list_.SelectedIndexes();
  if (selected.empty()) return;
  std::wstring names;
  for (int index : selected) names += L"\"" + list_.Name(index) + L"\" ";
  SetFName(names);
}

void TBrowse::FileView1DblClick() {
  if (!FName().empty()) OkBtnClick();
}

void TBrowse::SpeedButton1Click() {
  std::wstring path = tree_.SelectedPath();
  if (path.size() <= 3 || !IsFolder(path)) return;
  std::wstring parent = WithoutTrailingBackslash(path);
  parent.erase(parent.find_last_of(L'\\') == std::wstring::npos ? 0 : parent.find_last_of(L'\\'));
  if (parent.size() == 2 && parent[1] == L':') parent += L'\\';
  if (parent.empty()) return;
  NavigateTo(parent);
  SetFName(parent);
}

void TBrowse::SpeedButton2Click() {
  bool list = SendMessageW(toolbar_, TB_ISBUTTONCHECKED, IDC_BROWSE_LIST, 0) != 0;
  list_.SetStyle(list ? TShellFileList::TStyle::List : TShellFileList::TStyle::Details);
}

void TBrowse::SpeedButton4Click() {
  SetWindowPos(panel_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  // While the panel is up, Enter creates the folder.
  SendMessageW(dialog_, DM_SETDEFID, IDC_BROWSE_BITBTN3, 0);
  HWND edit = GetDlgItem(panel_, IDC_BROWSE_EDIT1);
  SendMessageW(edit, EM_SETSEL, 0, -1);
  SetFocus(edit);
}

void TBrowse::BitBtn4Click() {
  ShowWindow(panel_, SW_HIDE);
  SendMessageW(dialog_, DM_SETDEFID, IDC_BROWSE_CANCEL, 0);
  SetFocus(list_.Handle());
}

void TBrowse::BitBtn3Click() {
  BitBtn4Click();
  std::wstring parent = tree_.SelectedPath();
  if (parent == TShellFolderTree::DesktopName) parent = desktopFolder_;
  std::wstring name = WindowTextOf(GetDlgItem(panel_, IDC_BROWSE_EDIT1));
  std::wstring path = WithoutTrailingBackslash(parent) + L"\\" + name;
  // Without a real parent, or with a name that is a path, the folder would
  // land somewhere the user did not choose.
  if (!IsFolder(parent) || !IsPlainName(name) || !CreateDirectoryW(path.c_str(), nullptr)) {
    MessageBoxW(dialog_, dialog_texts::BrowseFolderNotMade, dialog_texts::MessageCaption, MB_OK | MB_ICONQUESTION);
    return;
  }
  tree_.Rebuild();
  NavigateTo(path);
  InvalidateRect(tree_.Handle(), nullptr, TRUE);
  FolderView1Click();
}

void TBrowse::OkBtnClick() {
  std::wstring folder = tree_.SelectedPath();
  if (folder == TShellFolderTree::DesktopName) folder = desktopFolder_;
  std::vector<std::wstring> chosen;
  std::vector<int> selected = list_.SelectedIndexes();
  for (int index : selected) {
    // Entries are the folder joined with their names; an entry of a virtual
    // folder (a drive under the computer node) is taken by its own path.
    std::wstring own = list_.Path(index);
    if (own.empty()) continue;
    std::wstring joined = WithoutTrailingBackslash(folder) + L"\\" + list_.Name(index);
    chosen.push_back(!folder.empty() && lstrcmpiW(own.c_str(), joined.c_str()) == 0 ? joined : own);
  }
  if (selected.empty() && !folder.empty()) chosen.push_back(folder);
  // A node without a file-system path (the computer node) names nothing to add.
  if (chosen.empty()) {
    MessageBoxW(dialog_, dialog_texts::BrowseChooseSomething, dialog_texts::MessageCaption, MB_OK | MB_ICONWARNING);
    return;
  }
  if (!folder.empty()) history_.Add(folder);
  result_ = std::move(chosen);
  folder_ = folder;
  EndDialog(dialog_, IDOK);
}
