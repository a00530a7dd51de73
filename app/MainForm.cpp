// The main window's frame: window class, children, layout and message dispatch.
#include "app/MainTexts.h"
#include "app/TavixMain.h"
#include "app/res/resource.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>

namespace {

const wchar_t MainClassName[] = L"TTavixMain";
const wchar_t ApplicationClassName[] = L"TApplication";

HIMAGELIST LoadStrip(UINT resource, int size) {
  TBitmap bitmap(static_cast<HBITMAP>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resource), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  if (!bitmap) return nullptr;
  BITMAP info{};
  GetObjectW(bitmap.get(), sizeof info, &info);
  HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR32, info.bmWidth / size, 4);
  ImageList_Add(list, bitmap.get(), nullptr);
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

UINT MsWheelRollMessage() {
  static const UINT message = RegisterWindowMessageW(L"MSWHEEL_ROLLMSG");
  return message;
}

TTavixMain::TTavixMain()
    : openHistory_(L"OpenHistory"), extractHistory_(L"MeltHistory"), arc_(std::make_unique<TArchiveFile>()) {}

// The owned handles free themselves after the windows that use them are gone.
TTavixMain::~TTavixMain() {
  if (help_ && &CurrentHelp() == help_) SetCurrentHelp(nullptr);
  if (window_ && IsWindow(window_)) DestroyWindow(window_);
  else if (mainMenu_) DestroyMenu(mainMenu_);  // never handed to a window
  if (appWindow_ && IsWindow(appWindow_)) DestroyWindow(appWindow_);
}

bool TTavixMain::Create(const TMainStart& start, int show) {
  start_ = start;
  help_ = start.help ? start.help : &SystemHelp();
  SetCurrentHelp(help_);  // the dialogs ask the same service
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

  BuildMenus();
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
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  bool large = dpi > 120;
  int size = large ? 32 : 24;
  toolImages_.reset(LoadStrip(large ? IDB_TOOLBAR32 : IDB_TOOLBAR24, size));
  toolImagesDisabled_.reset(LoadStrip(large ? IDB_TOOLBAR32_DISABLED : IDB_TOOLBAR24_DISABLED, size));
  statusImages_.reset(LoadStrip(IDB_STATUS, 16));

  docks_.Create(window_);
  fileBar_.Create(window_, L"FileBar", texts::CommandBarCaption, toolImages_.get(), toolImagesDisabled_.get(),
                  CommandBarButtons());
  fileBar_.onHint = [this](const std::wstring& status) { SetHint(status); };
  docks_.Add(fileBar_, TDockSide::Top, false);
  meltOpBar_.CreateForControl(window_, L"MeltOpBar", texts::OptionsBarCaption, CreateExtractOptionsPanel());
  docks_.Add(meltOpBar_, TDockSide::Top, true);

  arcList_.Create(window_, IDC_ARCLIST,
                  {{texts::ColumnName, 120, LVCFMT_LEFT},
                   {texts::ColumnDate, 60, LVCFMT_CENTER},
                   {texts::ColumnTime, 55, LVCFMT_CENTER},
                   {texts::ColumnSize, 60, LVCFMT_RIGHT},
                   {L"%", 44, LVCFMT_CENTER},
                   {texts::ColumnCompressed, 60, LVCFMT_RIGHT},
                   {texts::ColumnFolder, 120, LVCFMT_LEFT}});
  InstallDragOut();
  statusBar1_.Create(window_, IDC_STATUSBAR, {200, 60, 120, 20, 20}, 2, {3});
  ApplyCommandStates();
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
      // The paste command follows the clipboard.
      AddClipboardFormatListener(window_);
      return 0;
    case WM_CLIPBOARDUPDATE:
      ClipboardChanged();
      return 0;
    case WM_RENDERFORMAT:
      if (w == CF_HDROP) Guarded([&] { RenderCopiedFiles(); });
      return 0;
    case WM_RENDERALLFORMATS:
      // Closing with an offer pending: the entries are not written any more.
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
      // The clipboard and the selection may have changed since the last idle moment.
      ApplyCommandStates();
      if (reinterpret_cast<HMENU>(w) == DropDown(1)) MeltToPopPopup();
      if (reinterpret_cast<HMENU>(w) == DropDown(DropAdd)) OpenDlgMnuPopup();
      break;
    case WM_DROPFILES:
      Guarded([&] { OnDropFiles(reinterpret_cast<HDROP>(w)); });
      return 0;
    case WM_MENUSELECT:
      if (HIWORD(w) == 0xFFFF && l == 0) SetHint(L"");
      break;
    case WM_SETFOCUS:
      SetFocus(arcList_.Handle());
      return 0;
    case WM_HELP:
      help_->ShowContext(window_, helpFile_, HelpTopic(reinterpret_cast<const HELPINFO*>(l)));
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
      RemoveClipboardFormatListener(window_);
      FormDestroy();
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window_, message, w, l);
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
        ArcListODblClick();
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
  TrackPopupMenu(GetSubMenu(listPopup_.get(), 0), TPM_LEFTALIGN | TPM_RIGHTBUTTON, x, y, 0, window_, nullptr);
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
