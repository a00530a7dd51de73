// Start-up, idle, close, instances and work folders, shortcuts, toolbars and help.
#include "app/MainTexts.h"
#include "app/TavixMain.h"
#include "app/WorkFolder.h"
#include "dialogs/AboutDialog.h"
#include "dialogs/OptionDialog.h"
#include "engine/SystemText.h"
#include "engine/TextUtil.h"
#include "shellext/HandOverBlock.h"

#include <commctrl.h>
#include <shellapi.h>

namespace {

// An archive must be a file; a file to compress may be a folder too.
bool Exists(const std::wstring& path, bool folderToo) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return !path.empty() && attributes != INVALID_FILE_ATTRIBUTES &&
         (folderToo || !(attributes & FILE_ATTRIBUTE_DIRECTORY));
}

// One name per settings file: instances are counted per settings file.
std::wstring RunningMarkName(std::wstring settingsPath) {
  CharLowerBuffW(settingsPath.data(), static_cast<DWORD>(settingsPath.size()));
  for (wchar_t& c : settingsPath) {
    if (c == L'\\') c = L'/';  // a backslash would name a namespace
  }
  return L"Tavix.Running:" + settingsPath;
}

// A path the system writes into a buffer of the given length: the buffer
// grows until the whole path fits. Empty when the call fails.
template <typename Call>
std::wstring GrowingPath(Call call) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = call(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return L"";
    // Too small: some calls answer the size they need, others fill the buffer.
    if (length < buffer.size() - 1) {
      buffer.resize(length);
      return buffer;
    }
    if (buffer.size() >= 0x8000) return L"";
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

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
  state_.windowsFolder =
      GrowingPath([](wchar_t* buffer, DWORD size) { return static_cast<DWORD>(GetWindowsDirectoryW(buffer, size)); });
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
  ApplyCommandStates();
  arcList_.SetColumnLayout(ini_.ReadString(L"ArcList", L"Columns", L""));
  // 10
  ApplyToolButtonVisibility();
  // 11
  openHistory_.SetFileName(ExeSettingsPath());
  openHistory_.Load();
  if (openHistory_.Count() > 0) RebuildReopenMenus();
  extractHistory_.SetFileName(ExeSettingsPath());
  extractHistory_.Load();
  // 12
  ChooseDesktopFolder();
  // 13
  SetViewStyle(settings_.IconStyle);
  // 14
  SetExtractOptionsFromSettings();
  // 15
  // A program that crashed or was killed never took its count back; when no
  // other instance of these settings runs, the stored count is stale.
  runningMark_.reset(CreateMutexW(nullptr, FALSE, RunningMarkName(ini_.FullPath()).c_str()));
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
  std::wstring help = GrowingPath([](wchar_t* buffer, DWORD size) { return GetModuleFileNameW(nullptr, buffer, size); });
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
  state_.modes = ParseCommandLine(start_.commandLine, settings_.IsDropToIcon, [this](const std::wstring& path) {
    // A known name selects its driver (".jar" the ZIP one); a name no driver
    // claims is a file to compress.
    TArchiverType kind = SelectArchive(path);
    if (kind != atZip && ArchiveKindFromExtension(WideToAnsi(path)) == atNone) return atAutoDetect;
    return kind;
  });
  const TCommandLine& modes = state_.modes;
  if (modes.Empty()) {
    EnterNewArchiveMode();
    return;
  }
  // Viewing a file needs no archive and no archiver library.
  if (modes.view) {
    state_.pendingJob = true;
    return;
  }
  if (modes.melt || modes.pack) {
    // Taken at once: a second invocation of the extension may hand over its
    // own list before this window has shown.
    state_.handedOver = hand_over::Take();
    state_.pendingJob = true;
    EnterNewArchiveMode();
    return;
  }
  std::wstring named = modes.compressFile ? modes.fileToCompress : modes.given;
  if (modes.add || Exists(named, modes.compressFile)) {
    if (!modes.add && !modes.compressFile) {
      state_.archivePath = LongForm(modes.given);
      SelectArchive(state_.archivePath);
      Caption(state_.archivePath);
    } else {
      EnterNewArchiveMode();
    }
    state_.pendingJob = true;
    return;
  }
  Message(texts::FileNotFound, MB_ICONWARNING | MB_OK);
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
  TRegKey key;
  state_.desktopFolder.clear();
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0,
                    KEY_READ, key.put()) != ERROR_SUCCESS)
    return;
  // The value may be longer than any fixed buffer: ask its size first.
  DWORD size = 0;
  DWORD type = 0;
  if (RegQueryValueExW(key.get(), L"Desktop", nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ)) {
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    DWORD bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key.get(), L"Desktop", nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &bytes) ==
        ERROR_SUCCESS) {
      value.resize(wcsnlen(value.c_str(), value.size()));
      state_.desktopFolder = value;
    }
  }
  if (state_.desktopFolder.empty()) state_.desktopFolder = state_.windowsFolder + texts::DesktopFolder;
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
    // The clipboard changes without telling the window.
    ApplyCommandStates();
  });
  return true;
}

void TTavixMain::FormCloseQuery() {
  // 1
  RemoveDropHandling();
  // 2
  if (state_.newArchiveMode && state_.modified && !state_.modes.packEach) AskToSave();
  // 3
  ClearExtractHistoryMenu();
  for (HMENU menu : {GetSubMenu(GetSubMenu(mainMenu_, 0), 2), DropDown(DropReopen)})
    while (GetMenuItemCount(menu) > 0) DeleteMenu(menu, 0, MF_BYPOSITION);
  // 4
  statusBar1_.SetText(0, texts::DeletingWorkFiles);
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
    runningMark_.reset();
    TKernelHandle other(OpenMutexW(SYNCHRONIZE, FALSE, RunningMarkName(ini_.FullPath()).c_str()));
    last = !other;
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
  // A window destroyed without closing (tests, the end of the session) leaves no target behind.
  RemoveDropHandling();
  state_.records.clear();
  state_.records.shrink_to_fit();
}

void TTavixMain::Quit_BtnClick() {
  if (!state_.busy) PostMessageW(window_, WM_CLOSE, 0, 0);
}

void TTavixMain::HTavixCloseHotKey() { PostMessageW(window_, WM_CLOSE, 0, 0); }

void TTavixMain::Contents1Click() { help_->ShowContext(window_, helpFile_, 1); }

void TTavixMain::SearchforHelpOn1Click() { help_->KeywordSearch(window_, helpFile_, L""); }

void TTavixMain::About1Click() { TAbout::ShowModal(window_); }

void TTavixMain::Option_MnuClick() { ShowOptions(false); }

void TTavixMain::N12Click() { ShowOptions(true); }

// The settings dialog works on a copy; on OK the window takes every value back
// and rebuilds what depends on them. The file is written at close.
void TTavixMain::ShowOptions(bool customize) {
  if (state_.busy) return;
  for (int i = 0; i < kMenuShortCutCount; ++i) settings_.ShortCuts[i] = ShortCutToText(shortCuts_[i]);
  TOptionPanel dialog(settings_, ModulePath(nullptr));
  dialog.ShowError = [this](HWND, const std::wstring& message) { ShowError(message); };
  dialog.SetToolImages(toolImages_.get(), ToolImagesOfLines());
  if (customize) dialog.MovePageBack();
  if (dialog.ShowModal(window_) != IDOK) return;
  settings_ = dialog.Settings();
  ReadShortCuts();
  ApplyShortCuts();
  ApplyToolButtonVisibility();
  SetExtractOptionsFromSettings();
  ApplyCommandStates();
}

void TTavixMain::VFileBMnuClick() {
  docks_.ShowBar(fileBar_, !docks_.BarVisible(fileBar_));
  ApplyCommandStates();
}

void TTavixMain::VMeltOpClick() {
  docks_.ShowBar(meltOpBar_, !docks_.BarVisible(meltOpBar_));
  ApplyCommandStates();
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
    return texts::OutOfMemory;
  } catch (const std::exception& error) {
    // The engine's and the settings' exceptions carry their Japanese text as UTF-8.
    return Utf8ToWide(error.what());
  } catch (...) {
    return texts::UnexpectedError;
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
