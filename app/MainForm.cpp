// The main window's frame: window class, children, layout and message dispatch.
#include "TavixMain.h"

#include "res/resource.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>

namespace {

const wchar_t MainClassName[] = L"TTavixMain";
const wchar_t ApplicationClassName[] = L"TApplication";

// The command toolbar, left to right, as the settings dialog lists it.
struct ToolItem {
  UINT id;
  int image;
  const wchar_t* hint;
  TDropDown dropDown;
  int dropDownMenu;  // index in the drop-down menu resource, -1 none
  bool enabled;
};
const ToolItem FileBarItems[] = {
    {IDT_FILENEW, 0, L"書庫ﾌｧｲﾙ作成|新しい書庫ﾌｧｲﾙを作成します", TDropDown::None, -1, true},
    {IDT_FILEOOPEN, 1, L"書庫ﾌｧｲﾙを開く|書庫ﾌｧｲﾙを開きます", TDropDown::Split, 0, true},
    {IDT_SAVEAS, 3, L"名前を付けて保存|新しい書庫に名前を付けて保存します.", TDropDown::None, -1, true},
    {IDT_FILEPROP, 4, L"書庫のﾌﾟﾛﾊﾟﾃｨ|書庫の情報を表示します.", TDropDown::None, -1, true},
    {IDT_TSEP1, -1, L"", TDropDown::None, -1, true},
    {IDT_COPY, 5, L"ｺﾋﾟｰ|選択中のﾌｧｲﾙをｺﾋﾟｰします", TDropDown::None, -1, false},
    {IDT_PASTE, 6, L"貼付け|ｸﾘｯﾌﾟﾎﾞｰﾄﾞからﾌｧｲﾙを貼付けます.", TDropDown::None, -1, false},
    {IDT_TSEP2, -1, L"", TDropDown::None, -1, true},
    {IDT_FILEMELT, 7, L"ﾌｧｲﾙを解凍する|書庫内のﾌｧｲﾙを解凍します", TDropDown::Split, 1, true},
    {IDT_FILEADD, 8, L"ﾌｧｲﾙを追加する|書庫にﾌｧｲﾙを追加します", TDropDown::Split, 2, true},
    {IDT_FILEDELETE, 9, L"ﾌｧｲﾙを削除する|選択中のﾌｧｲﾙを削除します", TDropDown::None, -1, true},
    {IDT_TSEP3, -1, L"", TDropDown::None, -1, true},
    {IDT_FILEVIEW, 10, L"ﾌｧｲﾙを閲覧する|選択中のﾌｧｲﾙを閲覧します", TDropDown::None, -1, true},
    {IDT_FILEOPEN, 11, L"ﾌｧｲﾙを開く|選択中のﾌｧｲﾙを開く.", TDropDown::None, -1, true},
    {IDT_INSTALL, 12, L"ｲﾝｽﾄｰﾙ|作業ﾌｫﾙﾀﾞを使用してｲﾝｽﾄｰﾙを実行します.", TDropDown::None, -1, false},
    {IDT_MAKESFX, 13, L"SFX作成|自己解凍書庫を作成します.", TDropDown::Split, 3, true},
    {IDT_TSEP4, -1, L"", TDropDown::None, -1, true},
    {IDT_TOOL, 14, L"Tavixの設定|Tavixのオプションを設定します.", TDropDown::None, -1, true},
    {IDT_TOOLBARSEP974, -1, L"", TDropDown::None, -1, true},
    {IDT_ICON, 15, L"ｱｲｺﾝのｻｲｽﾞ|ｱｲｺﾝのｻｲｽﾞを変更します.", TDropDown::Split, 4, true},
    {IDT_HELP, 16, L"ﾍﾙﾌﾟ表示|ﾍﾙﾌﾟﾌｧｲﾙを表示します", TDropDown::None, -1, true},
    {IDT_HELPSRC, 17, L"ﾍﾙﾌﾟ検索|ﾍﾙﾌﾟのﾄﾋﾟｯｸ検索を表示します", TDropDown::None, -1, true},
    {IDT_TSEP5, -1, L"", TDropDown::None, -1, true},
    {IDT_EXIT, 18, L"Tavixの終了|Tavixを終了します", TDropDown::None, -1, true},
};
static_assert(std::size(FileBarItems) == kToolButtonCount);

// Commands whose areas are not built yet (menus, pop-up, drop-downs, toolbar
// and their shortcuts): they stay disabled and run nothing, since an enabled
// command that does nothing would look broken.
const UINT UnbuiltCommands[] = {
    IDM_FILE_NEW,     IDT_FILENEW,      IDM_FILE_SAVEAS,  IDT_SAVEAS,      IDM_FILE_SEND,    IDM_FILE_PROP,
    IDM_POP_PROP,     IDT_FILEPROP,     IDM_EDIT_COPY,    IDT_COPY,        IDM_EDIT_PASTE,   IDT_PASTE,
    IDM_EDIT_INSTALL, IDT_INSTALL,      IDM_EDIT_OPEN,    IDT_FILEOPEN,    IDM_EDIT_DELETE,  IDT_FILEDELETE,
    IDM_EDIT_ADD,     IDT_FILEADD,      IDM_ADD_STANDARD, IDM_ADD_EXTENDED, IDM_EDIT_VIEW,   IDT_FILEVIEW,
    IDM_SFX_WIZARD,   IDM_SFX_DOS16,    IDM_SFX_WIN16,    IDM_SFX_WIN32,   IDM_SFX_WIN32M,   IDM_SFXB_WIZARD,
    IDM_SFXB_DOS16,   IDM_SFXB_WIN16,   IDM_SFXB_WIN32,   IDM_SFXB_WIN32M, IDT_MAKESFX,      IDM_VIEW_OPTIONS,
    IDT_TOOL,         IDM_VIEW_CUSTOMIZE, IDM_HELP_ABOUT,
};

HIMAGELIST LoadStrip(UINT resource, int size) {
  HBITMAP bitmap = static_cast<HBITMAP>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resource), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (!bitmap) return nullptr;
  BITMAP info{};
  GetObjectW(bitmap, sizeof info, &info);
  HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR32, info.bmWidth / size, 4);
  ImageList_Add(list, bitmap, nullptr);
  DeleteObject(bitmap);
  return list;
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  auto* self = reinterpret_cast<TTavixMain*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    self = static_cast<TTavixMain*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->window_ = window;
  }
  if (!self) return DefWindowProcW(window, message, w, l);
  return self->WindowProc(message, w, l);
}

std::wstring MenuCaptionFor(const std::wstring& text) {
  std::wstring caption;
  for (wchar_t c : text) {
    if (c == L'&') caption += L'&';
    caption += c;
  }
  return caption;
}

bool TTavixMain::CommandBuilt(UINT id) {
  return std::find(std::begin(UnbuiltCommands), std::end(UnbuiltCommands), id) == std::end(UnbuiltCommands);
}

void TTavixMain::EnableToolButton(UINT id, bool enabled) { fileBar_.SetEnabled(id, enabled && CommandBuilt(id)); }

void TTavixMain::DisableUnbuiltCommands() {
  for (UINT id : UnbuiltCommands) {
    for (HMENU menu : {mainMenu_, listPopup_, dropDowns_}) EnableMenuItem(menu, id, MF_BYCOMMAND | MF_GRAYED);
    fileBar_.SetEnabled(id, false);
  }
  // The SFX submenu of the Edit menu (its last item) holds nothing built.
  HMENU edit = GetSubMenu(mainMenu_, 1);
  EnableMenuItem(edit, GetMenuItemCount(edit) - 1, MF_BYPOSITION | MF_GRAYED);
}

UINT MsWheelRollMessage() {
  static const UINT message = RegisterWindowMessageW(L"MSWHEEL_ROLLMSG");
  return message;
}

TTavixMain::TTavixMain()
    : openHistory_(L"OpenHistory"), meltHistory_(L"MeltHistory"), arc_(std::make_unique<TArchiveFile>()) {}

TTavixMain::~TTavixMain() {
  if (window_ && IsWindow(window_)) DestroyWindow(window_);
  if (appWindow_ && IsWindow(appWindow_)) DestroyWindow(appWindow_);
  if (accelerators_) DestroyAcceleratorTable(accelerators_);
  if (listPopup_) DestroyMenu(listPopup_);
  if (dropDowns_) DestroyMenu(dropDowns_);
  for (HIMAGELIST list : {toolImages_, toolImagesDisabled_, statusImages_})
    if (list) ImageList_Destroy(list);
  if (meltOpFont_) DeleteObject(meltOpFont_);
  if (runningMark_) CloseHandle(runningMark_);
}

bool TTavixMain::Create(const TMainStart& start, int show) {
  start_ = start;
  help_ = start.help ? start.help : &SystemHelp();
  HINSTANCE instance = GetModuleHandleW(nullptr);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_COOL_CLASSES | ICC_LISTVIEW_CLASSES |
                                                     ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  MsWheelRollMessage();

  WNDCLASSEXW cls{sizeof cls};
  cls.lpfnWndProc = MainWindowProc;
  cls.hInstance = instance;
  cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  cls.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_TAVIX));
  cls.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_TAVIX), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  cls.lpszClassName = MainClassName;
  RegisterClassExW(&cls);
  WNDCLASSEXW app{sizeof app};
  app.lpfnWndProc = DefWindowProcW;
  app.hInstance = instance;
  app.lpszClassName = ApplicationClassName;
  RegisterClassExW(&app);
  // The application window carries the application title (and its icon).
  applicationTitle_ = L"Tavix";
  appWindow_ = CreateWindowExW(WS_EX_TOOLWINDOW, ApplicationClassName, applicationTitle_.c_str(), WS_POPUP, 0, 0,
                               0, 0, nullptr, nullptr, instance, nullptr);
  helpFile_ = L"Tavix.hlp";

  mainMenu_ = LoadMenuW(instance, MAKEINTRESOURCEW(IDR_MAINMENU));
  listPopup_ = LoadMenuW(instance, MAKEINTRESOURCEW(IDR_LISTPOPUP));
  dropDowns_ = LoadMenuW(instance, MAKEINTRESOURCEW(IDR_DROPDOWNS));
  HWND created = CreateWindowExW(WS_EX_ACCEPTFILES, MainClassName, L"Tavix",
                                 WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 481, 346, nullptr, mainMenu_,
                                 instance, this);
  if (!created) return false;
  SendMessageW(appWindow_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(cls.hIcon));
  if (!IsWindow(window_)) return false;
  ShowWindow(window_, show);
  UpdateWindow(window_);
  return true;
}

void TTavixMain::BuildChildren() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  bool large = dpi > 120;
  int size = large ? 32 : 24;
  toolImages_ = LoadStrip(large ? IDB_TOOLBAR32 : IDB_TOOLBAR24, size);
  toolImagesDisabled_ = LoadStrip(large ? IDB_TOOLBAR32_DISABLED : IDB_TOOLBAR24_DISABLED, size);
  statusImages_ = LoadStrip(IDB_STATUS, 16);
  (void)instance;

  docks_.Create(window_);
  std::vector<TToolButton> buttons;
  for (const ToolItem& item : FileBarItems) {
    TToolButton button{item.id, item.image, item.hint, item.dropDown,
                       item.dropDownMenu >= 0 ? GetSubMenu(dropDowns_, item.dropDownMenu) : nullptr, item.enabled};
    buttons.push_back(button);
  }
  fileBar_.Create(window_, L"FileBar", L"Tavixｺﾏﾝﾄﾞ", toolImages_, toolImagesDisabled_, buttons);
  fileBar_.onHint = [this](const std::wstring& status) { SetHint(status); };
  docks_.Add(fileBar_, TDockSide::Top, false);
  meltOpBar_.CreateForControl(window_, L"MeltOpBar", L"解凍時ｵﾌﾟｼｮﾝ", CreateMeltOpPanel());
  docks_.Add(meltOpBar_, TDockSide::Top, true);

  arcList_.Create(window_, IDC_ARCLIST,
                  {{L"ﾌｧｲﾙ名", 120, LVCFMT_LEFT},
                   {L"日付", 60, LVCFMT_CENTER},
                   {L"時間", 55, LVCFMT_CENTER},
                   {L"ｻｲｽﾞ", 60, LVCFMT_RIGHT},
                   {L"%", 44, LVCFMT_CENTER},
                   {L"圧縮", 60, LVCFMT_RIGHT},
                   {L"ﾌｫﾙﾀﾞ名", 120, LVCFMT_LEFT}});
  statusBar1_.Create(window_, IDC_STATUSBAR, {200, 60, 120, 20, 20}, 2, {3});
  SetMenuDefaultItem(GetSubMenu(listPopup_, 0), IDM_EDIT_INSTALL, FALSE);
  SetMenuDefaultItem(GetSubMenu(mainMenu_, 1), IDM_EDIT_INSTALL, FALSE);
  SetInstallVisible(false);
  DisableUnbuiltCommands();
}

void TTavixMain::LayoutChildren() {
  if (!statusBar1_.Handle()) return;
  RECT client{};
  GetClientRect(window_, &client);
  statusBar1_.Resize();
  client.bottom -= statusBar1_.Height();
  RECT rest = docks_.Layout(client);
  MoveWindow(arcList_.Handle(), rest.left, rest.top, rest.right - rest.left, rest.bottom - rest.top, TRUE);
}

LRESULT TTavixMain::WindowProc(UINT message, WPARAM w, LPARAM l) {
  // Nothing raised by a handler may unwind through the system's frames.
  try {
    return HandleMessage(message, w, l);
  } catch (...) {
    ShowException();
    return 0;
  }
}

LRESULT TTavixMain::HandleMessage(UINT message, WPARAM w, LPARAM l) {
  if (message == MsWheelRollMessage()) return OnMouseWheel(static_cast<short>(LOWORD(w))) ? 0 : 0;
  switch (message) {
    case WM_CREATE:
      BuildChildren();
      // The window comes up even when a start-up step failed (and said so).
      Guarded([&] { FormCreate(); });
      idleInstalled_ = true;
      return 0;
    case WM_SHOWWINDOW:
      if (w && !state_.firstShowDone && !closing_) FormShow();
      break;
    case WM_SIZE:
      LayoutChildren();
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(w));
      return 0;
    case WM_NOTIFY:
      return OnNotify(reinterpret_cast<NMHDR*>(l));
    case WM_DRAWITEM:
      OnDrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(l));
      return TRUE;
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(w) == arcList_.Handle()) {
        OnContextMenu(GET_X_LPARAM(l), GET_Y_LPARAM(l));
        return 0;
      }
      break;
    case WM_MOUSEWHEEL:
      OnMouseWheel(static_cast<short>(HIWORD(w)));
      return 0;
    case WM_INITMENUPOPUP:
      if (reinterpret_cast<HMENU>(w) == DropDown(1)) MeltToPopPopup();
      break;
    case WM_MENUSELECT:
      if (HIWORD(w) == 0xFFFF && l == 0) SetHint(L"");
      break;
    case WM_SETFOCUS:
      SetFocus(arcList_.Handle());
      return 0;
    case WM_HELP:
      help_->ShowContext(window_, helpFile_, 5);
      return TRUE;
    case WM_CLOSE:
      // While a library works on the archive, closing only asks it to stop.
      if (state_.busy) {
        state_.cancelRequested = true;
        return 0;
      }
      FormCloseQuery();
      closing_ = true;
      DestroyWindow(window_);
      return 0;
    case WM_DESTROY:
      FormDestroy();
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window_, message, w, l);
}

void TTavixMain::OnCommand(UINT id) {
  // Shortcuts reach here even for disabled menu items.
  if (!CommandBuilt(id)) return;
  if (id >= IDM_REOPEN_FIRST && id < IDM_REOPEN_LAST) return ReopenClick(static_cast<int>(id - IDM_REOPEN_FIRST));
  if (id >= IDM_MELTHISTORY_FIRST && id < IDM_MELTHISTORY_LAST)
    return MeltHistoryClick(static_cast<int>(id - IDM_MELTHISTORY_FIRST));
  switch (id) {
    case IDM_FILE_NEW: case IDT_FILENEW: return FileNew_BtnClick();
    case IDM_FILE_OPEN: case IDT_FILEOOPEN: return LzhOpen_BtnClick();
    case IDM_FILE_SAVEAS: case IDT_SAVEAS: return SaveAs_MnuClick();
    case IDM_FILE_SEND: return Send_MnuClick();
    case IDM_FILE_PROP: case IDM_POP_PROP: case IDT_FILEPROP: return Property1Click();
    case IDM_FILE_EXIT: case IDT_EXIT: return Quit_BtnClick();
    case IDM_EDIT_COPY: case IDT_COPY: return Copy_MnuClick();
    case IDM_EDIT_PASTE: case IDT_PASTE: return Paste_MnuClick();
    case IDM_EDIT_SELALL: return SelAll1Click();
    case IDM_EDIT_INSTALL: case IDT_INSTALL: return Install_MnuClick();
    case IDM_EDIT_OPEN: case IDT_FILEOPEN: return OpenEntry_MnuClick();
    case IDM_EDIT_MELT: case IDT_FILEMELT: return FIleMelt_BtnClick();
    case IDM_MELT_DESKTOP: return ToDtpMnuClick();
    case IDM_MELT_ARCDIR: return ToArcMnuClick();
    case IDC_ALLFILE: return AllFileClick();
    case IDC_OVERWRITE: return OverWriteClick();
    case IDC_MKSUBDIR: return MkSubdirClick();
    case IDC_NONDIR: return NonDirClick();
    case IDC_ABSDIR: return AbsDirClick();
    case IDC_RELDIR: return RelDirClick();
    case IDM_EDIT_DELETE: case IDT_FILEDELETE: return Delete_MnuClick();
    case IDM_EDIT_ADD: case IDT_FILEADD: case IDM_ADD_STANDARD: case IDM_ADD_EXTENDED: return Add_BtnClick(id);
    case IDM_EDIT_VIEW: case IDT_FILEVIEW: return View_MnuClick();
    case IDM_SFX_WIZARD: case IDM_SFX_DOS16: case IDM_SFX_WIN16: case IDM_SFX_WIN32: case IDM_SFX_WIN32M:
    case IDM_SFXB_WIZARD: case IDM_SFXB_DOS16: case IDM_SFXB_WIN16: case IDM_SFXB_WIN32: case IDM_SFXB_WIN32M:
    case IDT_MAKESFX:
      return MakeSfx_Click(id);
    case IDM_VIEW_OPTIONS: case IDT_TOOL: return Option_MnuClick();
    case IDM_VIEW_CUSTOMIZE: return N12Click();
    case IDM_VIEW_FILEBAR: return VFileBMnuClick();
    case IDM_VIEW_MELTOPBAR: return VMeltOpClick();
    case IDM_VIEW_LARGE: case IDM_ICONB_LARGE: return MnuIconClick();
    case IDM_VIEW_SMALL: case IDM_ICONB_SMALL: return MnuSmallIconClick();
    case IDM_VIEW_LIST: case IDM_ICONB_LIST: return MnuListIconClick();
    case IDM_VIEW_REPORT: case IDM_ICONB_REPORT: return MnuReportIconClick();
    case IDT_ICON: return IconBtnClick();
    case IDM_HELP_CONTENTS: case IDT_HELP: return Contents1Click();
    case IDM_HELP_SEARCH: case IDT_HELPSRC: return SearchforHelpOn1Click();
    case IDM_HELP_ABOUT: return About1Click();
  }
}

LRESULT TTavixMain::OnNotify(NMHDR* header) {
  LRESULT result = 0;
  if (fileBar_.HandleNotify(header, result)) return result;
  if (header->hwndFrom == arcList_.Handle()) {
    switch (header->code) {
      case LVN_GETDISPINFOW:
        ArcListVMGetItemInfo(reinterpret_cast<NMLVDISPINFOW*>(header));
        return 0;
      case LVN_COLUMNCLICK:
        ArcListOColumnClick(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
        return 0;
      case LVN_ITEMCHANGED:
        ArcListChange(reinterpret_cast<NMLISTVIEW*>(header));
        return 0;
      case LVN_ODSTATECHANGED: {
        // A range of a virtual list changed state at once (shift-click, select all).
        NMLISTVIEW change{};
        change.hdr = *header;
        change.iItem = -1;
        change.uChanged = LVIF_STATE;
        ArcListChange(&change);
        return 0;
      }
      case LVN_KEYDOWN:
        ArcListOKeyDown(reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey);
        return 0;
      case NM_DBLCLK:
        if (arcList_.SelectedCount() > 0) {
          if (settings_.FIleOpenMode) View_MnuClick();
          else OpenEntry_MnuClick();
        }
        return 0;
    }
  }
  return 0;
}

void TTavixMain::OnDrawItem(DRAWITEMSTRUCT* draw) {
  if (draw->hwndItem == statusBar1_.Handle()) StatusBar1DrawPanel(draw);
}

void TTavixMain::OnContextMenu(int x, int y) {
  if (x == -1 && y == -1) {
    RECT rect{};
    GetWindowRect(arcList_.Handle(), &rect);
    x = rect.left + 8;
    y = rect.top + 8;
  }
  TrackPopupMenu(GetSubMenu(listPopup_, 0), TPM_LEFTALIGN | TPM_RIGHTBUTTON, x, y, 0, window_, nullptr);
}

bool TTavixMain::OnMouseWheel(short delta) {
  // Finer wheels (other deltas) scroll nothing, as before.
  if (delta == 120 || delta == -120) {
    WPARAM kind = delta > 0 ? SB_LINEUP : SB_LINEDOWN;
    SendMessageW(arcList_.Handle(), WM_VSCROLL, kind, 0);
    SendMessageW(arcList_.Handle(), WM_VSCROLL, kind, 0);
  }
  return true;
}

bool DispatchOne(TTavixMain& main, MSG& msg) {
  if (msg.message == WM_QUIT) return false;
  HWND window = main.Handle();
  // Wheel messages reach the focused list first; the main window's rule decides.
  if ((msg.message == WM_MOUSEWHEEL || msg.message == MsWheelRollMessage()) && window && msg.hwnd != window &&
      IsChild(window, msg.hwnd)) {
    SendMessageW(window, msg.message, msg.wParam, msg.lParam);
    return true;
  }
  if (window && main.Accelerators() && TranslateAcceleratorW(window, main.Accelerators(), &msg)) return true;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
  return true;
}

int RunMessageLoop(TTavixMain& main) {
  MSG msg{};
  for (;;) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
      if (!DispatchOne(main, msg)) return static_cast<int>(msg.wParam);
    if (main.Handle() && IsWindow(main.Handle())) main.Idle();
    WaitMessage();
  }
}
