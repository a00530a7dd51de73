// The viewer window: file kinds, loading, menus, tool bar, find, marks, save.
#include "Viewer.h"

#include "EditorPropDialog.h"
#include "EnvTable.h"
#include "FileEnvDialog.h"
#include "FindDialog.h"
#include "JpegPicture.h"
#include "ShortCutText.h"
#include "TextCode.h"
#include "ViewerTexts.h"
#include "help/HelpService.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <vector>

namespace vt = viewer_texts;

namespace {

constexpr int kEditorId = 100;
constexpr int kPictureId = 101;
constexpr int kToolBarId = 102;
constexpr int kStatusId = 103;
constexpr int kPanelWidths[6] = {240, 50, 50, 60, 120, 50};
const wchar_t kSection[] = L"Viewer";

struct TViewerCommand {
  UINT id;
  void (TViewer::*handler)();
  const wchar_t* caption;
  int image;
  const wchar_t* hint;
  const wchar_t* key;
  const wchar_t* shortCutDefault;
};

const TViewerCommand kCommands[] = {
#define TAVIX_VIEWER_COMMAND_ROW(id, handler, caption, image, hint, key, shortCut) \
  {id, handler, caption, image, hint, key, shortCut},
    TAVIX_VIEWER_COMMANDS(TAVIX_VIEWER_COMMAND_ROW)
#undef TAVIX_VIEWER_COMMAND_ROW
};

const TViewerCommand* FindViewerCommand(UINT id) {
  for (const TViewerCommand& command : kCommands)
    if (command.id == id) return &command;
  return nullptr;
}

std::wstring ToWide(const std::string& text) {
  if (text.empty()) return {};
  int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(length, L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::string ToAnsi(const std::wstring& text) {
  if (text.empty()) return {};
  int length =
      WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string ansi(length, '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), ansi.data(), length, nullptr, nullptr);
  return ansi;
}

std::wstring SystemMessage(DWORD error) {
  wchar_t* buffer = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = buffer ? buffer : L"";
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
  return text;
}

// Reads up to limit bytes of the file (all of it when limit is 0).
std::string ReadFileBytes(const std::wstring& path, unsigned long long limit, unsigned long long* fileSize) {
  TFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    throw EViewerError(path + L"\r\n" + SystemMessage(GetLastError()));
  LARGE_INTEGER size{};
  GetFileSizeEx(file.get(), &size);
  unsigned long long total = static_cast<unsigned long long>(size.QuadPart);
  if (fileSize) *fileSize = total;
  if (total > TViewer::kMaxFileSize)
    throw EViewerError(path + L"\r\n" + std::wstring(vt::TooLarge));
  size_t wanted = static_cast<size_t>(limit && limit < total ? limit : total);
  std::string bytes;
  try {
    bytes.resize(wanted);
  } catch (const std::bad_alloc&) {
    throw EViewerError(vt::NoMemory);
  }
  size_t done = 0;
  while (done < wanted) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(wanted - done, 1 << 24)), got = 0;
    if (!ReadFile(file.get(), bytes.data() + done, chunk, &got, nullptr))
      throw EViewerError(path + L"\r\n" + SystemMessage(GetLastError()));
    if (got == 0) break;
    done += got;
  }
  bytes.resize(done);
  return bytes;
}

// Bytes 32-251 stay (Shift-JIS stays readable), CR ends a line, LF is
// dropped, every other byte becomes ".".
std::string PrintableDump(const std::string& bytes) {
  std::string text;
  text.reserve(bytes.size() + bytes.size() / 32);
  for (unsigned char c : bytes) {
    if (c == 13) text += "\r\n";
    else if (c == 10) continue;
    else if (c >= 32 && c <= 251) text += static_cast<char>(c);
    else text += '.';
  }
  return text;
}

// UTF-16 after the byte-order mark, up to the first zero character.
std::string UnicodeLoad(std::string bytes, bool bigEndian) {
  bytes.resize(bytes.size() + 10, '\0');
  if (bigEndian)
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) std::swap(bytes[i], bytes[i + 1]);
  std::wstring wide;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
    wchar_t c = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
    if (c == 0) break;
    wide += c;
  }
  return ToAnsi(wide);
}

bool InList(const std::wstring& extension, const wchar_t* list) {
  return std::wstring(list).find(extension) != std::wstring::npos;
}

std::wstring NumberCaption(int number) { return L"&" + std::to_wstring(number); }

}  // namespace

TViewer::TViewer(HWND owner, TIniGT& ini, const TViewerOptions& options) : owner_(owner), ini_(ini), options_(options) {
  static bool registered = false;
  if (!registered) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSEXW wc{sizeof(wc)};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);
    registered = true;
  }
  window_ = CreateWindowExW(0, kClassName, L"", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                            720, 540, owner, nullptr, GetModuleHandleW(nullptr), this);
  FormCreate();
}

TViewer::~TViewer() {
  if (window_) DestroyWindow(window_);
  if (accelerators_) DestroyAcceleratorTable(accelerators_);
  if (jumpPopup_) DestroyMenu(jumpPopup_);
  if (markPopup_) DestroyMenu(markPopup_);
  if (textPopup_) DestroyMenu(textPopup_);
}

TViewerKind TViewer::KindOf(const std::wstring& path, bool useSpis) {
  std::wstring name = path.substr(path.find_last_of(L"\\/:") == std::wstring::npos ? 0 : path.find_last_of(L"\\/:") + 1);
  size_t dot = name.rfind(L'.');
  if (dot == std::wstring::npos) return vkOther;
  std::wstring extension = name.substr(dot);
  CharUpperBuffW(extension.data(), static_cast<DWORD>(extension.size()));
  extension += L' ';
  if (InList(extension, L".BMP .ICO .WMF .EMF ")) return vkPicture;
  if (InList(extension, L".JPG .JPEG ")) return vkJpeg;
  if (useSpis && InList(extension, L".GIF .JPE .PIC .P2 .Q4 .PI .MAG .TIF .PNG ")) return vkPluginPicture;
  if (InList(extension, L".TXT .LOG .C .CPP .H .HPP .PAS .DPR .INC .HTM .HTML .BAS ")) return vkText;
  return vkOther;
}

bool TViewer::CommandBuilt(UINT id) const {
  const TViewerCommand* command = FindViewerCommand(id);
  return command && command->handler;
}

void TViewer::FormCreate() {
  RECT client{0, 0, 100, 100};
  editor_.Create(window_, kEditorId, client);
  editor_.OnCaretMoved = [this] { Editor1CaretMoved(); };
  editor_.OnSelectionChange = [this] { Editor1SelectionChange(); };
  all_ = std::make_unique<TAll>(window_, kPictureId);
  all_->SetSpiFolder(options_.spisDir);
  ShowWindow(all_->Handle(), SW_HIDE);

  statusBar_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, window_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kStatusId)), GetModuleHandleW(nullptr),
                               nullptr);
  int edges[6], right = 0;
  for (int i = 0; i < 6; ++i) edges[i] = right += kPanelWidths[i];
  edges[5] = -1;
  SendMessageW(statusBar_, SB_SETPARTS, 6, reinterpret_cast<LPARAM>(edges));

  for (const TViewerCommand& command : kCommands)
    if (command.key)
      shortCuts_[command.id - VwFirst] = ini_.ReadString(kSection, command.key, command.shortCutDefault);
  toolBarShown_ = ini_.ReadBool(kSection, L"Toolbar1", true);
  highlight_ = ini_.ReadBool(kSection, L"STViewer", true);
  BuildToolBar();
  BuildMenus();
  BuildAccelerators();
  ShowWindow(toolBar_, toolBarShown_ ? SW_SHOW : SW_HIDE);
  fileName_.clear();
  marks_.fill(-1);
  TEnvTable table;
  table.Read(ini_);
  envFile_ = table.Row(0).file;
  ApplyEnvironment();
  Layout();
}

void TViewer::ApplyEnvironment() {
  envTime_ = FILETIME{};
  if (envFile_.empty()) return;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(envFile_.c_str(), GetFileExInfoStandard, &data)) return;
  envTime_ = data.ftLastWriteTime;
  // A file that is not an environment leaves the view as it was.
  TEditorSettings settings;
  if (settings.Load(envFile_)) editor_.SetSettings(settings);
}

void TViewer::BuildToolBar() {
  toolBar_ = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                             WS_CHILD | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_TOP | CCS_NODIVIDER, 0, 0, 0, 0,
                             window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kToolBarId)),
                             GetModuleHandleW(nullptr), nullptr);
  SetWindowTextW(toolBar_, vt::ToolBarCaption);
  SendMessageW(toolBar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SendMessageW(toolBar_, TB_LOADIMAGES, IDB_STD_SMALL_COLOR, reinterpret_cast<LPARAM>(HINST_COMMCTRL));
  const UINT order[] = {VwSaveAs, VwPrint, VwCopy, VwFind, VwFindPrev, VwFindNext, VwFileEnv, VwProperties, VwClose};
  std::vector<TBBUTTON> buttons;
  for (UINT id : order) {
    TBBUTTON button{};
    button.iBitmap = FindViewerCommand(id)->image;
    button.idCommand = static_cast<int>(id);
    button.fsState = CommandBuilt(id) && id != VwCopy ? TBSTATE_ENABLED : 0;
    button.fsStyle = BTNS_BUTTON;
    buttons.push_back(button);
  }
  SendMessageW(toolBar_, TB_ADDBUTTONS, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
  SendMessageW(toolBar_, TB_AUTOSIZE, 0, 0);
}

void TViewer::BuildMenus() {
  auto item = [this](HMENU menu, UINT id) {
    AppendMenuW(menu, MF_STRING | (CommandBuilt(id) ? 0 : MF_GRAYED), id, CaptionOf(id).c_str());
  };
  auto numbers = [](UINT base, bool withKeys, const wchar_t* modifier) {
    HMENU menu = CreatePopupMenu();
    for (int n = 1; n <= 5; ++n) {
      std::wstring caption = NumberCaption(n);
      if (withKeys) caption += L"\t" + std::wstring(modifier) + std::to_wstring(n);
      AppendMenuW(menu, MF_STRING, base + n, caption.c_str());
    }
    return menu;
  };
  menu_ = CreateMenu();
  HMENU file = CreatePopupMenu();
  item(file, VwSaveAs);
  item(file, VwPrint);
  AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
  item(file, VwClose);
  AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(file), vt::MenuFile);
  editMenu_ = CreatePopupMenu();
  item(editMenu_, VwCopy);
  item(editMenu_, VwSelectAll);
  AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(editMenu_), vt::MenuEdit);
  HMENU search = CreatePopupMenu();
  item(search, VwFind);
  item(search, VwFindNext);
  item(search, VwFindPrev);
  AppendMenuW(search, MF_SEPARATOR, 0, nullptr);
  item(search, VwHighlight);
  AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(search), vt::MenuSearch);
  HMENU jump = CreatePopupMenu();
  AppendMenuW(jump, MF_POPUP, reinterpret_cast<UINT_PTR>(numbers(VwJumpMain, true, L"Ctrl+")), vt::MenuJump);
  AppendMenuW(jump, MF_POPUP, reinterpret_cast<UINT_PTR>(numbers(VwMarkMain, true, L"Alt+")), vt::MenuMark);
  AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(jump), vt::MenuJump);
  HMENU view = CreatePopupMenu();
  HMENU toolBars = CreatePopupMenu();
  item(toolBars, VwToolBar);
  AppendMenuW(view, MF_POPUP, reinterpret_cast<UINT_PTR>(toolBars), vt::MenuToolBars);
  item(view, VwProperties);
  item(view, VwFileEnv);
  AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(view), vt::MenuView);
  SetMenu(window_, menu_);
  CheckMenuItem(menu_, VwToolBar, toolBarShown_ ? MF_CHECKED : MF_UNCHECKED);
  CheckMenuItem(menu_, VwHighlight, highlight_ ? MF_CHECKED : MF_UNCHECKED);

  textPopup_ = CreatePopupMenu();
  item(textPopup_, VwCopy);
  item(textPopup_, VwSelectAll);
  AppendMenuW(textPopup_, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(textPopup_, MF_POPUP, reinterpret_cast<UINT_PTR>(numbers(VwJumpPopup, false, L"")), vt::PopupJump);
  AppendMenuW(textPopup_, MF_POPUP, reinterpret_cast<UINT_PTR>(numbers(VwMarkPopup, false, L"")), vt::PopupMark);
  jumpPopup_ = numbers(VwJumpSeparate, false, L"");
  markPopup_ = numbers(VwMarkSeparate, false, L"");
}

std::wstring TViewer::CaptionOf(UINT id) const {
  std::wstring caption = FindViewerCommand(id)->caption;
  const std::wstring& shortCut = shortCuts_[id - VwFirst];
  if (!shortCut.empty()) caption += L"\t" + shortCut;
  return caption;
}

void TViewer::RefreshShortCuts() {
  for (const TViewerCommand& command : kCommands) {
    if (!command.key) continue;
    std::wstring caption = CaptionOf(command.id);
    for (HMENU menu : {menu_, textPopup_}) {
      MENUITEMINFOW info{sizeof(info), MIIM_STRING};
      info.dwTypeData = caption.data();
      SetMenuItemInfoW(menu, command.id, FALSE, &info);
    }
  }
  if (accelerators_) DestroyAcceleratorTable(accelerators_);
  accelerators_ = nullptr;
  BuildAccelerators();
  DrawMenuBar(window_);
}

void TViewer::BuildAccelerators() {
  std::vector<ACCEL> table;
  for (const TViewerCommand& command : kCommands) {
    TShortCut shortCut = TextToShortCut(shortCuts_[command.id - VwFirst]);
    if (shortCut != scNone) table.push_back(ShortCutToAccel(shortCut, static_cast<WORD>(command.id)));
  }
  for (int n = 1; n <= 5; ++n) {
    table.push_back({FVIRTKEY | FCONTROL, static_cast<WORD>('0' + n), static_cast<WORD>(VwJumpMain + n)});
    table.push_back({FVIRTKEY | FALT, static_cast<WORD>('0' + n), static_cast<WORD>(VwMarkMain + n)});
  }
  accelerators_ = CreateAcceleratorTableW(table.data(), static_cast<int>(table.size()));
}

void TViewer::Layout() {
  RECT client{};
  GetClientRect(window_, &client);
  int top = 0, bottom = client.bottom;
  if (toolBarShown_ && toolBar_) {
    SendMessageW(toolBar_, TB_AUTOSIZE, 0, 0);
    RECT bar{};
    GetWindowRect(toolBar_, &bar);
    top = bar.bottom - bar.top;
  }
  if (statusBar_) {
    SendMessageW(statusBar_, WM_SIZE, 0, 0);
    RECT bar{};
    GetWindowRect(statusBar_, &bar);
    bottom -= bar.bottom - bar.top;
  }
  int height = std::max(0, static_cast<int>(bottom - top));
  if (editor_.Handle()) MoveWindow(editor_.Handle(), 0, top, client.right, height, TRUE);
  if (all_) MoveWindow(all_->Handle(), 0, top, client.right, height, TRUE);
}

void TViewer::SetStatus(int panel, const std::wstring& text) {
  SendMessageW(statusBar_, SB_SETTEXTW, panel, reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring TViewer::StatusText(int panel) const {
  LRESULT length = LOWORD(SendMessageW(statusBar_, SB_GETTEXTLENGTHW, panel, 0));
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  SendMessageW(statusBar_, SB_GETTEXTW, panel, reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(length));
  return text;
}

void TViewer::SetCaption() { SetWindowTextW(window_, fileName_.c_str()); }

void TViewer::Open(const std::wstring& path) {
  kind_ = KindOf(path, options_.useSpis);
  ApplyKind();
  if (kind_ == vkPicture || kind_ == vkPluginPicture) {
    ShowWindow(editor_.Handle(), SW_HIDE);
    ShowWindow(all_->Handle(), SW_SHOW);
    all_->SetPictureName(path);
  } else if (kind_ == vkJpeg) {
    ShowWindow(editor_.Handle(), SW_HIDE);
    ShowWindow(all_->Handle(), SW_SHOW);
    int error = 0;
    TBitmap bitmap = LoadJpegPicture(path, error);
    if (!bitmap) throw EViewerError(path + L"\r\n" + std::wstring(vt::JpegFailed) + std::to_wstring(error) + L").");
    all_->AssignPicture(std::move(bitmap));
  } else {
    ShowWindow(all_->Handle(), SW_HIDE);
    ShowWindow(editor_.Handle(), SW_SHOW);
    editor_.Clear();
    size_t slash = path.find_last_of(L"\\/:");
    envFile_ = ChooseEnvironment(slash == std::wstring::npos ? path : path.substr(slash + 1), nullptr, ini_.FullPath());
    ApplyEnvironment();
    LoadText(path);
    for (int n = 1; n <= 5; ++n) SetMarkCaptions(n, NumberCaption(n));
  }
  fileName_ = path;
  SetCaption();
  SetStatus(3, L"");
}

void TViewer::LoadText(const std::wstring& path) {
  unsigned long long size = 0;
  std::string bytes;
  if (kind_ == vkText) {
    bytes = ReadFileBytes(path, 0, &size);
    textCode_ = DetectTextCode(bytes);
  } else {
    bytes = ReadFileBytes(path, 1024, &size);
    textCode_ = DetectTextCode(bytes, bytes.size());
    if (textCode_ != tcBinary && bytes.size() < size) bytes = ReadFileBytes(path, 0, &size);
  }
  SetStatus(5, ToWide(TextCodeName(textCode_)));
  std::string text;
  switch (textCode_) {
    case tcBinary:
      if (bytes.size() < size) bytes = ReadFileBytes(path, 0, &size);
      text = PrintableDump(bytes);
      break;
    case tcJis83:
    case tcJis78:
    case tcEuc:
      text = ToShiftJis(bytes);
      break;
    case tcUnicodeLE:
    case tcUnicodeBE:
      if (bytes.size() < size) bytes = ReadFileBytes(path, 0, &size);
      try {
        text = UnicodeLoad(std::move(bytes), textCode_ == tcUnicodeBE);
      } catch (const std::bad_alloc&) {
        throw EViewerError(vt::NoMemory);
      }
      break;
    default:
      text = std::move(bytes);
  }
  bytes = {};
  try {
    editor_.SetText(std::move(text));
  } catch (const std::exception&) {
    throw EViewerError(vt::NoMemory);
  }
  Editor1CaretMoved();
  RefreshHighlight();
}

void TViewer::ApplyKind() {
  bool text = kind_ == vkText || kind_ == vkOther;
  // Picture kinds have no searchable text: the text menus go, the buttons grey.
  const UINT textMenus[] = {1, 2, 3, 4};  // 編集, 検索, ｼﾞｬﾝﾌﾟ, 表示
  (void)textMenus;
  for (UINT id : {VwPrint, VwFind, VwFindPrev, VwFindNext, VwFileEnv, VwProperties})
    SendMessageW(toolBar_, TB_ENABLEBUTTON, id, MAKELONG(text && CommandBuilt(id), 0));
  if (!text) {
    // Keep ﾌｧｲﾙ only: the print item and the text menus are hidden.
    while (GetMenuItemCount(menu_) > 1) RemoveMenu(menu_, 1, MF_BYPOSITION);
    HMENU file = GetSubMenu(menu_, 0);
    DeleteMenu(file, VwPrint, MF_BYCOMMAND);
    DeleteMenu(file, 1, MF_BYPOSITION);  // the separator before 閉じる
    DrawMenuBar(window_);
  }
}

void TViewer::ShowModal() {
  if (owner_) EnableWindow(owner_, FALSE);
  ShowWindow(window_, SW_SHOW);
  FormShow();
  closed_ = false;
  MSG message;
  while (!closed_ && GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (accelerators_ && TranslateAcceleratorW(window_, accelerators_, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (owner_) {
    EnableWindow(owner_, TRUE);
    SetActiveWindow(owner_);
  }
  ShowWindow(window_, SW_HIDE);
}

void TViewer::FormShow() {
  ini_.LoadWindowPlacement(L"Desktop", L"Viewer", window_);
  if (!IsWindowVisible(window_)) ShowWindow(window_, SW_SHOW);
  Layout();
  if (IsWindowVisible(all_->Handle())) FitPicture();
  SetFocus(IsWindowVisible(all_->Handle()) ? all_->Handle() : editor_.Handle());
}

void TViewer::FitPicture() {
  RECT client{};
  GetClientRect(all_->Handle(), &client);
  SIZE area{client.right - 8, client.bottom - 8};
  SIZE picture = all_->PictureSize();
  if (picture.cx <= 0 || picture.cy <= 0) return;
  all_->SetDisplaySize(TAll::FitSize(picture, area, options_.grpAutoSize));
}

void TViewer::FormCloseQuery() {
  ini_.SaveWindowPlacement(L"Desktop", L"Viewer", window_);
  ini_.WriteBool(kSection, L"Toolbar1", toolBarShown_);
  ini_.WriteBool(kSection, L"STViewer", highlight_);
}

void TViewer::ExitBtnClick() { PostMessageW(window_, WM_CLOSE, 0, 0); }

void TViewer::Copy2Click() {
  editor_.CopyToClipboard();
  editor_.ClearSelection();
}

void TViewer::SelectAll1Click() { editor_.SelectAll(); }

void TViewer::Editor1CaretMoved() {
  SetStatus(1, vt::ColumnPrefix + std::to_wstring(editor_.CaretColumn() + 1));
  SetStatus(2, vt::LinePrefix + std::to_wstring(editor_.CaretLine() + 1));
}

void TViewer::Editor1SelectionChange() {
  SendMessageW(toolBar_, TB_ENABLEBUTTON, VwCopy, MAKELONG(editor_.HasSelection(), 0));
}

void TViewer::Find1Click() {
  TFindDlg dialog(window_, ini_.FullPath());
  // Without its template (a program that lacks the dialogs' resources) it would never close.
  if (!dialog.Handle()) return;
  dialog.CenterOn(window_);
  dialog.SetStartPointsEnabled(true);
  dialog.SetDownCaption(vt::FindDownCaption);
  dialog.SetUpVisible(true);
  dialog.SetFindAreaEnabled(editor_.HasSelection());
  dialog.SetFindWord(ToWide(editor_.HasSelection() ? editor_.SelectedText() : editor_.WordAtCaret()));
  int result = dialog.ShowModal();
  if (result == IDCANCEL) return;
  if (dialog.FromTop()) editor_.SetCaretOffset(0);
  findOptions_.matchCase = dialog.MatchCase();
  findOptions_.regex = dialog.RegExp();
  findOptions_.fuzzy = dialog.Fuzzy();
  findOptions_.wholeWord = dialog.WholeWord();
  findWord_ = ToAnsi(dialog.FindWord());
  Search(result == IDNO);
}

void TViewer::FindNextBtnClick() { Search(false); }
void TViewer::FindPrevBtnClick() { Search(true); }

void TViewer::Search(bool backward) {
  if (findWord_.empty()) return;
  std::wstring error;
  if (editor_.Find(findWord_, findOptions_, backward, &error)) {
    editor_.CenterRow(editor_.CaretRow());
    RefreshHighlight();
    SetStatus(0, L"");
  } else if (!error.empty()) {
    MessageBoxW(window_, error.c_str(), L"Tavix", MB_ICONWARNING | MB_OK);
  } else {
    SetStatus(0, L"[" + ToWide(findWord_) + vt::NotFoundSuffix);
  }
}

void TViewer::RefreshHighlight() { editor_.SetHighlight(highlight_ ? findWord_ : std::string(), findOptions_); }

void TViewer::K1Click() {
  highlight_ = !highlight_;
  CheckMenuItem(menu_, VwHighlight, highlight_ ? MF_CHECKED : MF_UNCHECKED);
  RefreshHighlight();
}

void TViewer::ToolBar1Click() {
  toolBarShown_ = !toolBarShown_;
  CheckMenuItem(menu_, VwToolBar, toolBarShown_ ? MF_CHECKED : MF_UNCHECKED);
  ShowWindow(toolBar_, toolBarShown_ ? SW_SHOW : SW_HIDE);
  Layout();
}

void TViewer::SetMarkCaptions(int number, const std::wstring& caption) {
  for (UINT base : {VwJumpMain, VwJumpPopup, VwJumpSeparate, VwMarkMain, VwMarkPopup, VwMarkSeparate}) {
    std::wstring text = caption;
    if (base == VwJumpMain) text += L"\tCtrl+" + std::to_wstring(number);
    if (base == VwMarkMain) text += L"\tAlt+" + std::to_wstring(number);
    HMENU owner = base == VwJumpSeparate ? jumpPopup_ : base == VwMarkSeparate ? markPopup_ : nullptr;
    UINT id = base + number;
    if (owner) ModifyMenuW(owner, id, MF_BYCOMMAND | MF_STRING, id, text.c_str());
    else if (base == VwJumpPopup || base == VwMarkPopup) ModifyMenuW(textPopup_, id, MF_BYCOMMAND | MF_STRING, id, text.c_str());
    else ModifyMenuW(menu_, id, MF_BYCOMMAND | MF_STRING, id, text.c_str());
  }
}

void TViewer::Mark1Click(int number) {
  int row = static_cast<int>(editor_.CaretRow());
  marks_[number - 1] = row;
  SetMarkCaptions(number, NumberCaption(number) + L" (" + std::to_wstring(row + 1) + L")");
  SetStatus(0, vt::MarkStatus + std::to_wstring(number));
}

void TViewer::Jump1Click(int number) {
  int row = marks_[number - 1];
  if (row < 0) return;
  editor_.SetCaretRow(static_cast<size_t>(row));
  editor_.CenterRow(static_cast<size_t>(row));
  SetStatus(0, vt::JumpStatus + std::to_wstring(number));
}

void TViewer::SaveAs1Click() {
  std::wstring folder, name = fileName_;
  if (fileName_ != vt::NewFileName) {
    size_t slash = fileName_.find_last_of(L"\\/");
    if (slash != std::wstring::npos) folder = fileName_.substr(0, slash), name = fileName_.substr(slash + 1);
  }
  std::vector<wchar_t> buffer(32768, L'\0');
  name = name.substr(0, buffer.size() - 1);
  std::copy(name.begin(), name.end(), buffer.begin());
  // The filter: every environment's masks. A comma would end a pattern list
  // early in the system dialog, so every row's masks are joined by ";".
  TEnvTable table;
  table.Read(ini_);
  std::wstring filter;
  for (int row = 0; row < TEnvTable::kRows; ++row) {
    const TEnvEntry& entry = table.Row(row);
    if (row > 0 && entry.name.empty()) continue;
    std::wstring patterns = entry.masks;
    std::replace(patterns.begin(), patterns.end(), L',', L';');
    filter += entry.name + L"(" + entry.masks + L")" + L'\0' + patterns + L'\0';
  }
  filter += L'\0';
  OPENFILENAMEW dialog{sizeof(dialog)};
  dialog.hwndOwner = window_;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = buffer.data();
  dialog.nMaxFile = static_cast<DWORD>(buffer.size());
  dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  dialog.lpstrTitle = vt::SaveAsTitle;
  dialog.lpstrDefExt = L"txt";
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (!GetSaveFileNameW(&dialog)) return;
  std::wstring target = buffer.data();
  const std::string& text = editor_.Model().Text();
  std::string out = textCode_ == tcJis83 || textCode_ == tcJis78 ? ShiftJisToJis(text)
                    : textCode_ == tcEuc                          ? ShiftJisToEuc(text)
                                                                  : text;
  TFileHandle file(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  bool written = static_cast<bool>(file);
  for (size_t done = 0; written && done < out.size();) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(out.size() - done, 1 << 24)), put = 0;
    written = WriteFile(file.get(), out.data() + done, chunk, &put, nullptr) && put == chunk;
    done += put;
  }
  if (!written) {
    DWORD error = GetLastError();
    file.reset();
    MessageBoxW(window_, (target + L"\r\n" + SystemMessage(error)).c_str(), L"Tavix", MB_ICONERROR | MB_OK);
    return;
  }
  fileName_ = target;
  SetCaption();
  SetStatus(3, L"");
}

namespace {

// Shortcuts as the settings file stores them and as the hot-key field holds them.
WORD HotKeyOf(TShortCut shortCut) {
  BYTE flags = (shortCut & scShift ? HOTKEYF_SHIFT : 0) | (shortCut & scCtrl ? HOTKEYF_CONTROL : 0) |
               (shortCut & scAlt ? HOTKEYF_ALT : 0);
  return MAKEWORD(LOBYTE(shortCut), flags);
}

TShortCut ShortCutOf(WORD hotKey) {
  if (LOBYTE(hotKey) == 0) return scNone;
  BYTE flags = HIBYTE(hotKey);
  return static_cast<TShortCut>(LOBYTE(hotKey) | (flags & HOTKEYF_SHIFT ? scShift : 0) |
                                (flags & HOTKEYF_CONTROL ? scCtrl : 0) | (flags & HOTKEYF_ALT ? scAlt : 0));
}

// The commands of the sheet's key page, in the order of its labels.
constexpr UINT kSheetCommands[] = {VwSaveAs, VwCopy, VwFind, VwFindNext, VwFindPrev, VwPrint};

}  // namespace

void TViewer::P1Click() {
  std::wstring name =
      envFile_.empty() ? vt::DefaultEnvironment : TIniGT::ReadProfileText(envFile_, L"Environ", L"Name", vt::DefaultEnvironment);
  TEditorSettings settings = editor_.Settings();
  if (!envFile_.empty()) settings.Load(envFile_);
  std::vector<TShortcutSlot> slots;
  for (size_t i = 0; i < std::size(kSheetCommands); ++i)
    slots.push_back({vt::ShortCutLabels[i], HotKeyOf(TextToShortCut(shortCuts_[kSheetCommands[i] - VwFirst]))});
  if (!EditEditorSettings(window_, settings, name + vt::PropertiesSuffix, &slots)) return;
  for (size_t i = 0; i < std::size(kSheetCommands); ++i) {
    const TViewerCommand* command = FindViewerCommand(kSheetCommands[i]);
    std::wstring text = ShortCutToText(ShortCutOf(slots[i].key));
    shortCuts_[command->id - VwFirst] = text;
    ini_.WriteString(kSection, command->key, text);
  }
  // The view takes the settings even when the file refuses them; the user is told.
  if (!envFile_.empty() && !settings.Save(envFile_))
    MessageBoxW(window_, (envFile_ + L"\r\n" + vt::EnvironmentNotSaved).c_str(), L"Tavix", MB_ICONERROR | MB_OK);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (GetFileAttributesExW(envFile_.c_str(), GetFileExInfoStandard, &data)) envTime_ = data.ftLastWriteTime;
  editor_.SetSettings(settings);
  RefreshShortCuts();
}

void TViewer::FileEnvMnuClick() {
  FILETIME before{};
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!envFile_.empty() && GetFileAttributesExW(envFile_.c_str(), GetFileExInfoStandard, &data))
    before = data.ftLastWriteTime;
  EditFileEnvironments(window_, ini_.FullPath());
  // The same environment stays current; only a newer file is applied again.
  if (!envFile_.empty() && GetFileAttributesExW(envFile_.c_str(), GetFileExInfoStandard, &data) &&
      CompareFileTime(&data.ftLastWriteTime, &before) > 0)
    ApplyEnvironment();
}

void TViewer::Command(UINT id) {
  if (id > VwJumpMain && id <= VwJumpSeparate + 5) return Jump1Click(static_cast<int>((id - VwJumpMain) % 10));
  if (id > VwMarkMain && id <= VwMarkSeparate + 5) return Mark1Click(static_cast<int>((id - VwMarkMain) % 10));
  const TViewerCommand* command = FindViewerCommand(id);
  if (!command || !command->handler) return;
  bool text = kind_ == vkText || kind_ == vkOther;
  if (!text && id != VwClose && id != VwSaveAs && id != VwToolBar) return;
  (this->*command->handler)();
}

LRESULT CALLBACK TViewer::WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    auto self = static_cast<TViewer*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto self = reinterpret_cast<TViewer*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  return self ? self->Handle(message, w, l) : DefWindowProcW(window, message, w, l);
}

LRESULT TViewer::Handle(UINT message, WPARAM w, LPARAM l) {
  if (LRESULT result = 0; all_ && all_->PaletteMessage(message, w, result)) return result;
  switch (message) {
    case WM_SIZE:
      Layout();
      return 0;
    case WM_COMMAND:
      Command(LOWORD(w));
      return 0;
    case WM_INITMENUPOPUP: {
      // Copy only while text is selected (Edit2Click, PopupMenu1Popup).
      HMENU menu = reinterpret_cast<HMENU>(w);
      if (menu == editMenu_ || menu == textPopup_)
        EnableMenuItem(menu, VwCopy, MF_BYCOMMAND | (editor_.HasSelection() ? MF_ENABLED : MF_GRAYED));
      return 0;
    }
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(w) == editor_.Handle()) {
        POINT at{static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))};
        TrackPopupMenu(textPopup_, TPM_RIGHTBUTTON, at.x, at.y, 0, window_, nullptr);
        return 0;
      }
      break;
    case WM_NOTIFY: {
      auto header = reinterpret_cast<NMHDR*>(l);
      if (header->code == TTN_GETDISPINFOW) {
        auto info = reinterpret_cast<NMTTDISPINFOW*>(l);
        if (const TViewerCommand* command = FindViewerCommand(static_cast<UINT>(header->idFrom)); command && command->hint)
          info->lpszText = const_cast<wchar_t*>(command->hint);
        return 0;
      }
      break;
    }
    case WM_HELP:
      ShowHelpTopic(window_, 14);
      return TRUE;
    case WM_CLOSE:
      FormCloseQuery();
      closed_ = true;
      ShowWindow(window_, SW_HIDE);
      if (owner_) EnableWindow(owner_, TRUE);
      PostMessageW(window_, WM_NULL, 0, 0);
      return 0;
    case WM_SETFOCUS:
      if (IsWindowVisible(editor_.Handle())) SetFocus(editor_.Handle());
      return 0;
  }
  return DefWindowProcW(window_, message, w, l);
}
