// Start-up, idle, close, instances and work folders, shortcuts, toolbars and help.
#include "TavixMain.h"

#include "TextUtil.h"
#include "WorkFolder.h"
#include "res/resource.h"

#include <commctrl.h>
#include <shellapi.h>

#include <map>

namespace {

// One name per settings file: instances are counted per settings file.
std::wstring RunningMarkName(std::wstring settingsPath) {
  CharLowerBuffW(settingsPath.data(), static_cast<DWORD>(settingsPath.size()));
  for (wchar_t& c : settingsPath) {
    if (c == L'\\') c = L'/';  // a backslash would name a namespace
  }
  return L"Tavix.Running:" + settingsPath;
}

// The 17 menu commands whose shortcuts come from the section ShortCut, in its order.
const UINT ShortCutCommands[kMenuShortCutCount] = {
    IDM_FILE_OPEN,  IDM_FILE_NEW,    IDM_EDIT_MELT,     IDM_EDIT_VIEW,     IDM_EDIT_OPEN, IDM_EDIT_ADD,
    IDM_EDIT_DELETE, IDM_VIEW_OPTIONS, IDM_EDIT_INSTALL, IDM_SFX_WIZARD,   IDM_HELP_CONTENTS,
    IDM_FILE_EXIT,  IDM_EDIT_COPY,   IDM_EDIT_PASTE,    IDM_FILE_SAVEAS,   IDM_EDIT_SELALL, IDM_FILE_PROP,
};

class TWinHelp : public THelpService {
 public:
  void ShowContext(HWND window, const std::wstring& helpFile, DWORD context) override {
    WinHelpW(window, helpFile.c_str(), HELP_CONTEXT, context);
  }
  void KeywordSearch(HWND window, const std::wstring& helpFile, const std::wstring& key) override {
    WinHelpW(window, helpFile.c_str(), HELP_PARTIALKEY, reinterpret_cast<ULONG_PTR>(key.c_str()));
  }
};

std::wstring MenuText(HMENU menu, UINT id) {
  wchar_t text[256] = {};
  GetMenuStringW(menu, id, text, 256, MF_BYCOMMAND);
  return text;
}

// The menu captions without shortcut texts, taken once from the resources.
std::map<UINT, std::wstring>& BaseCaptions() {
  static std::map<UINT, std::wstring> captions;
  return captions;
}

void SetMenuText(HMENU menu, UINT id, const std::wstring& text) {
  MENUITEMINFOW item{sizeof item};
  item.fMask = MIIM_STRING;
  item.dwTypeData = const_cast<wchar_t*>(text.c_str());
  SetMenuItemInfoW(menu, id, FALSE, &item);
}

}  // namespace

THelpService& SystemHelp() {
  static TWinHelp help;
  return help;
}

std::wstring TTavixMain::ExeSettingsPath() const { return ini_.FullPath(); }

void TTavixMain::FormCreate() {
  // 1
  state_.sortDescending.fill(false);
  state_.records.clear();
  state_.busy = false;
  state_.pendingJob = false;
  state_.dragging = state_.dropping = false;
  state_.workFolderCreated = false;
  state_.readOnlyView = true;
  // 2
  wchar_t windows[MAX_PATH] = {};
  UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
  state_.windowsFolder = (length > 0 && length < MAX_PATH) ? windows : L"";
  // 3, 6, 7 (the settings component reads every key with its default)
  if (start_.settingsPath.empty()) {
    ini_.SetDefaultDir(ddApplication);
    ini_.SetFence(fnNone);
    ini_.Loaded();
  } else {
    ini_.SetFileName(start_.settingsPath);
  }
  settings_ = ReadMainSettings(ini_, state_.windowsFolder);
  // 4: the number is claimed by creating the folder at once.
  state_.workFolderCreated =
      CreateWorkFolder(settings_.WorkDir, state_.workFolder, state_.workFolderNumber);
  // 5
  state_.zipPasswordOn = false;
  state_.zipPassword.clear();
  state_.baseFolder.clear();
  // 6
  MoveWindow(window_, settings_.MainLeft, settings_.MainTop, settings_.MainWidth, settings_.MainHeight, FALSE);
  // 7
  state_.lastOpenFolder = settings_.LastOpen;
  state_.lastExtractFolder = settings_.LastExtract;
  // 8
  ReadShortCuts();
  ApplyShortCuts();
  // 9
  docks_.Load(ExeSettingsPath());
  CheckMenuItem(mainMenu_, IDM_VIEW_FILEBAR, docks_.BarVisible(fileBar_) ? MF_CHECKED : MF_UNCHECKED);
  CheckMenuItem(mainMenu_, IDM_VIEW_MELTOPBAR, docks_.BarVisible(meltOpBar_) ? MF_CHECKED : MF_UNCHECKED);
  arcList_.SetColumnLayout(ini_.ReadString(L"ArcList", L"Columns", L""));
  // 10
  ApplyToolButtonVisibility();
  // 11
  openHistory_.SetFileName(ExeSettingsPath());
  openHistory_.Load();
  if (openHistory_.Count() > 0) RebuildReopenMenus();
  meltHistory_.SetFileName(ExeSettingsPath());
  meltHistory_.Load();
  // 12
  ChooseDesktopFolder();
  // 13
  SetViewStyle(settings_.IconStyle);
  // 14
  SetMeltOptionsFromSettings();
  // 15
  // A program that crashed or was killed never took its count back; when no
  // other instance of these settings runs, the stored count is stale.
  runningMark_ = CreateMutexW(nullptr, FALSE, RunningMarkName(ini_.FullPath()).c_str());
  const bool alone = runningMark_ && GetLastError() != ERROR_ALREADY_EXISTS;
  int running = alone ? 0 : ini_.ReadInteger(L"Work", L"HowManyOpen", 0);
  // Counted only when the count was written, so the close takes back no more than was given.
  counted_ = Guarded([&] { ini_.WriteInteger(L"Work", L"HowManyOpen", running + 1); });
  settings_.HowManyOpen = running + 1;
  RECT bounds{};
  GetWindowRect(window_, &bounds);
  MoveWindow(window_, bounds.left + 10 * running, bounds.top + 10 * running, bounds.right - bounds.left,
             bounds.bottom - bounds.top, FALSE);
  // 16
  state_.copyList.clear();
  state_.copyRenderCount = 0;
  // 17
  StartCommandLine();
  // 18
  idleInstalled_ = true;
  // 19
  if (state_.modes.extractAndExit) return;
  // 20
  if (settings_.UseShellIcon) {
    SHFILEINFOW info{};
    auto small = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(L"", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    auto large = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(L"", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_LARGEICON));
    arcList_.SetImageLists(small, large);
  }
  // 21
  InstallDropHandling();
  // 22
  wchar_t program[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  std::wstring help = program;
  size_t dot = help.rfind(L'.');
  if (dot != std::wstring::npos && dot > help.rfind(L'\\')) help.erase(dot);
  helpFile_ = help + L".hlp>LMain";
  // 23: SetHint is the hint handler; toolbar hot items call it.
}

void TTavixMain::StartCommandLine() {
  // An archive that cannot be handled (unknown kind, library missing) is
  // told, and the window starts with a new archive instead.
  std::wstring told;
  try {
    OpenCommandLineArchive();
    return;
  } catch (...) {
    told = ShowException();
  }
  state_.pendingJob = false;
  try {
    EnterNewArchiveMode();
  } catch (...) {
    // The same failure twice (the new archive needs the same library) is told once.
    if (CurrentExceptionText() != told) ShowException();
  }
}

void TTavixMain::OpenCommandLineArchive() {
  if (start_.arguments.empty()) {
    EnterNewArchiveMode();
    return;
  }
  std::wstring remaining;
  state_.modes = ParseCommandLine(start_.commandLine, remaining);
  const TCommandLineModes& modes = state_.modes;
  if (modes.pack || modes.melt || modes.add || modes.compressFile) {
    state_.pendingJob = true;
    EnterNewArchiveMode();
    return;
  }
  DWORD attributes = GetFileAttributesW(remaining.c_str());
  if (!remaining.empty() && attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    state_.archivePath = LongForm(remaining);
    SelectArchive(state_.archivePath);
    Caption(state_.archivePath);
    state_.pendingJob = true;
    return;
  }
  Message(L"指定されたﾌｧｲﾙが見つかりません", MB_ICONWARNING | MB_OK);
  ShowOpenDialogAtStart();
}

void TTavixMain::ShowOpenDialogAtStart() {
  std::wstring path;
  bool readOnly = true;
  if (ChooseArchive(path, readOnly)) {
    state_.archivePath = LongForm(path);
    SelectArchive(state_.archivePath);
    Caption(state_.archivePath);
    state_.pendingJob = true;
  } else {
    EnterNewArchiveMode();
  }
}

void TTavixMain::ChooseDesktopFolder() {
  HKEY key = nullptr;
  state_.desktopFolder.clear();
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0,
                    KEY_READ, &key) != ERROR_SUCCESS)
    return;
  wchar_t value[MAX_PATH] = {};
  DWORD size = sizeof value - sizeof(wchar_t);
  DWORD type = 0;
  if (RegQueryValueExW(key, L"Desktop", nullptr, &type, reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ))
    state_.desktopFolder = value;
  RegCloseKey(key);
  if (state_.desktopFolder.empty()) state_.desktopFolder = state_.windowsFolder + L"\\ﾃﾞｽｸﾄｯﾌﾟ";
  state_.desktopFolder += L"\\";
}

void TTavixMain::FormShow() {
  state_.firstShowDone = true;
  SetForegroundWindow(window_);
  SetWindowPos(appWindow_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SetWindowPos(appWindow_, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

bool TTavixMain::Idle() {
  if (!idleInstalled_ || closing_) return false;
  if (state_.pendingJob && state_.firstShowDone) {
    state_.firstShowDone = false;
    state_.pendingJob = false;
    idleInstalled_ = false;
    Guarded([&] { RunStartUpJob(); });
    return idleInstalled_;
  }
  Guarded([&] {
    CreateExtractDialog();
    UpdatePasteButton();
  });
  return true;
}

void TTavixMain::FormCloseQuery() {
  // 1
  RemoveDropHandling();
  // 2
  if (state_.newArchiveMode && state_.modified && !state_.modes.packEach) AskToSave();
  // 3
  ClearMeltHistoryMenu();
  for (HMENU menu : {GetSubMenu(GetSubMenu(mainMenu_, 0), 2), DropDown(0)})
    while (GetMenuItemCount(menu) > 0) DeleteMenu(menu, 0, MF_BYPOSITION);
  // 4
  statusBar1_.SetText(0, L"作業ファイルを削除しています");
  // 5
  SaveMainBounds();
  settings_.LastOpen = state_.lastOpenFolder;
  for (int i = 0; i < kMenuShortCutCount; ++i) settings_.ShortCuts[i] = ShortCutToText(shortCuts_[i]);
  for (int i = 0; i < kToolButtonCount; ++i) settings_.ToolBtn[i] = fileBar_.ItemVisible(i);
  settings_.IconStyle = arcList_.ViewStyle();
  try {
    WriteMainSettings(ini_, settings_, TSettingWrite::AtClose);
    ini_.WriteString(L"ArcList", L"Columns", arcList_.ColumnLayout());
    // 6
    if (!ini_.WriteDisabled()) docks_.Save(ExeSettingsPath());
    openHistory_.Save();
  } catch (const EIniFileError& error) {
    // Closing is always allowed; the user learns that the settings were not kept.
    ShowError(error.Message());
  }
  // 7
  // An instance whose start could not count itself takes nothing back, and
  // is never the last one.
  bool last = false;
  if (runningMark_) {
    CloseHandle(runningMark_);
    runningMark_ = nullptr;
    HANDLE other = OpenMutexW(SYNCHRONIZE, FALSE, RunningMarkName(ini_.FullPath()).c_str());
    last = other == nullptr;
    if (other) CloseHandle(other);
  }
  int running = !counted_ ? 2 : last ? 1 : ini_.ReadInteger(L"Work", L"HowManyOpen", 1);
  if (counted_ && running - 1 >= 0) {
    try {
      ini_.WriteInteger(L"Work", L"HowManyOpen", running - 1);
    } catch (const EIniFileError& error) {
      ShowError(error.Message());
    }
  }
  // 8
  if (state_.workFolderCreated) {
    if (running - 1 == 0) DeleteAllWorkFolders(settings_.WorkDir);
    else DeleteFolderSilently(state_.workFolder);
  }
  // 9
  ReleaseExtractDialog();
}

void TTavixMain::SaveMainBounds() {
  // A minimised or maximised window keeps its normal bounds in the placement;
  // its window rectangle would be the icon's place off the screen.
  WINDOWPLACEMENT placement{sizeof placement};
  RECT bounds{};
  if (GetWindowPlacement(window_, &placement)) {
    bounds = placement.rcNormalPosition;
    // The placement counts from the work area, the settings from the screen.
    MONITORINFO monitor{sizeof monitor};
    if (GetMonitorInfoW(MonitorFromRect(&bounds, MONITOR_DEFAULTTONEAREST), &monitor))
      OffsetRect(&bounds, monitor.rcWork.left - monitor.rcMonitor.left, monitor.rcWork.top - monitor.rcMonitor.top);
  } else {
    GetWindowRect(window_, &bounds);
  }
  settings_.MainLeft = bounds.left;
  settings_.MainTop = bounds.top;
  settings_.MainWidth = bounds.right - bounds.left;
  settings_.MainHeight = bounds.bottom - bounds.top;
}

void TTavixMain::FormDestroy() {
  state_.records.clear();
  state_.records.shrink_to_fit();
}

void TTavixMain::Quit_BtnClick() {
  if (!state_.busy) PostMessageW(window_, WM_CLOSE, 0, 0);
}

void TTavixMain::HTavixCloseHotKey() { PostMessageW(window_, WM_CLOSE, 0, 0); }

void TTavixMain::Contents1Click() { help_->ShowContext(window_, helpFile_, 1); }

void TTavixMain::SearchforHelpOn1Click() { help_->KeywordSearch(window_, helpFile_, L""); }

// The about box and the settings dialog come with the dialogs; until then
// their commands stay disabled (see CommandBuilt).
void TTavixMain::About1Click() {}

void TTavixMain::Option_MnuClick() {}

void TTavixMain::N12Click() { Option_MnuClick(); }

void TTavixMain::VFileBMnuClick() {
  bool show = !(GetMenuState(mainMenu_, IDM_VIEW_FILEBAR, MF_BYCOMMAND) & MF_CHECKED);
  CheckMenuItem(mainMenu_, IDM_VIEW_FILEBAR, show ? MF_CHECKED : MF_UNCHECKED);
  docks_.ShowBar(fileBar_, show);
}

void TTavixMain::VMeltOpClick() {
  bool show = !(GetMenuState(mainMenu_, IDM_VIEW_MELTOPBAR, MF_BYCOMMAND) & MF_CHECKED);
  CheckMenuItem(mainMenu_, IDM_VIEW_MELTOPBAR, show ? MF_CHECKED : MF_UNCHECKED);
  docks_.ShowBar(meltOpBar_, show);
}

void TTavixMain::ReadShortCuts() {
  for (int i = 0; i < kMenuShortCutCount; ++i) shortCuts_[i] = TextToShortCut(settings_.ShortCuts[i]);
}

void TTavixMain::ApplyShortCuts() {
  auto& captions = BaseCaptions();
  std::vector<ACCEL> table;
  for (int i = 0; i < kMenuShortCutCount; ++i) {
    UINT id = ShortCutCommands[i];
    if (!captions.count(id)) {
      std::wstring text = MenuText(mainMenu_, id);
      if (text.empty() && id == IDM_EDIT_INSTALL) text = L"ｲﾝｽﾄｰﾙ(&I)";
      captions[id] = text.substr(0, text.find(L'\t'));
    }
    std::wstring shortCut = ShortCutToText(shortCuts_[i]);
    std::wstring caption = captions[id] + (shortCut.empty() ? L"" : L"\t" + shortCut);
    SetMenuText(mainMenu_, id, caption);
    if (shortCut.empty()) continue;
    table.push_back(ShortCutToAccel(shortCuts_[i], static_cast<WORD>(id)));
  }
  if (accelerators_) DestroyAcceleratorTable(accelerators_);
  accelerators_ = table.empty() ? nullptr : CreateAcceleratorTableW(table.data(), static_cast<int>(table.size()));
  DrawMenuBar(window_);
}

void TTavixMain::ApplyToolButtonVisibility() {
  for (int i = 0; i < kToolButtonCount; ++i) fileBar_.SetItemVisible(i, settings_.ToolBtn[i]);
  LayoutChildren();
}

void TTavixMain::SetHint(const std::wstring& status) {
  if (!state_.busy) statusBar1_.SetText(0, status);
}

void TTavixMain::EnsureWorkFolder() {
  if (state_.workFolderCreated) return;
  state_.workFolderCreated = CreateWorkFolder(settings_.WorkDir, state_.workFolder, state_.workFolderNumber);
}

int TTavixMain::Message(const std::wstring& text, UINT type) {
  return MessageBoxW(window_, text.c_str(), applicationTitle_.c_str(), type);
}

void TTavixMain::ShowError(const std::wstring& text) { Message(text, MB_ICONERROR | MB_OK); }

std::wstring CurrentExceptionText() {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return L"ﾒﾓﾘが不足しています.";
  } catch (const std::exception& error) {
    // The engine's and the settings' exceptions carry their Japanese text as UTF-8.
    return Utf8ToWide(error.what());
  } catch (...) {
    return L"予期しないｴﾗｰが発生しました.";
  }
}

std::wstring TTavixMain::ShowException() {
  std::wstring text = CurrentExceptionText();
  // Whatever was under way has ended: the window takes commands again.
  statusBar1_.HoldTexts(false);
  statusBar1_.SetProgress(0);
  state_.busy = false;
  if (window_) EnableWindow(window_, TRUE);
  ShowError(text);
  return text;
}

void TTavixMain::CenterOver(HWND dialog) const {
  RECT main{}, own{};
  GetWindowRect(window_, &main);
  GetWindowRect(dialog, &own);
  int width = own.right - own.left, height = own.bottom - own.top;
  // Integer division rounds toward zero, as the placement rule wants.
  int left = main.left + ((main.right - main.left) - width) / 2;
  int top = main.top + ((main.bottom - main.top) - height) / 2;
  SetWindowPos(dialog, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
