// The main window TTavixMain. One class split over several sources by area:
//   MainForm.cpp       window class, layout, menus, toolbars, message dispatch
//   MainLifecycle.cpp  start-up, idle, close, instances, shortcuts, help
//   MainList.cpp       opening archives, the entry list, command states, progress
//   MainExtract.cpp, MainAdd.cpp, MainEntries.cpp, MainSfxMail.cpp,
//   MainCommandLine.cpp: the commands of their areas.
// All of them share the state below.
#pragma once

#include "ArchiveFile.h"
#include "DockToolBar.h"
#include "ExtractDialog.h"
#include "HistoryEx.h"
#include "IniGT.h"
#include "ListRecord.h"
#include "MainSettings.h"
#include "ProgressStatusBar.h"
#include "ShortCutText.h"
#include "VirtualListView.h"

#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Help calls start another program (the help viewer); tests record them instead.
class THelpService {
 public:
  virtual ~THelpService() = default;
  virtual void ShowContext(HWND window, const std::wstring& helpFile, DWORD context) = 0;
  virtual void KeywordSearch(HWND window, const std::wstring& helpFile, const std::wstring& key) = 0;
};
THelpService& SystemHelp();

// How the program body starts the window. The settings file is the program's
// own (beside it) unless a test names another.
struct TMainStart {
  std::wstring settingsPath;          // empty: Tavix.ini beside the program
  std::wstring commandLine;           // the process's full command line
  std::vector<std::wstring> arguments;  // program arguments 1 and later
  THelpService* help = nullptr;       // null: the system's help viewer
  // Opens a folder in the shell's window; null: the shell. Tests record the calls.
  std::function<void(const std::wstring& folder)> openFolder;
};

// How the shared extraction step treats stored folders (see ExtractStep).
enum class TExtractMode { User, Temporary, WithFolders };

// Command-line modes (set by the parser, all false at start).
struct TCommandLineModes {
  bool melt = false;
  bool pack = false;
  bool packEach = false;
  bool extractAndExit = false;
  bool add = false;
  bool compressFile = false;
  std::wstring fileToCompress;
};

// The main window's state, shared by every area of the window.
struct TMainState {
  std::wstring archivePath;
  std::wstring workFolder;
  int workFolderNumber = 0;
  bool workFolderCreated = false;
  std::wstring archiveBaseFolder;
  std::wstring newArchivePath;
  std::wstring lastOpenFolder;
  std::wstring lastExtractFolder;
  std::wstring windowsFolder;
  std::wstring desktopFolder;
  std::wstring sourceFolder;
  std::wstring baseFolder;
  bool zipPasswordOn = false;
  std::wstring zipPassword;
  bool shortNames = false;

  std::vector<TListRecord> records;
  int entryCount = 0;
  unsigned long long totalOriginalSize = 0;
  std::wstring firstMethod;
  std::array<bool, ListColumnCount> sortDescending{};

  bool busy = false;
  bool readOnlyView = true;
  bool newArchiveMode = false;
  bool modified = false;
  bool addingSupported = false;
  bool listingUnavailable = false;
  bool cancelRequested = false;
  bool pendingJob = false;
  bool firstShowDone = false;
  bool dragging = false;
  bool dropping = false;
  std::vector<std::wstring> copyList;
  int copyRenderCount = 0;

  TArchiverType currentKind = atLha;
  TCommandLineModes modes;
  int statusImage = 0;
  // Progress of the running operation.
  std::string progressName;  // as the library sent it (ANSI), converted only for display
  unsigned long progressSize = 0;
  bool progressCounted = false;
  bool progressTextDue = false;  // the entry's status text waits for the next look into the queue
  int processedFiles = 0;
  int lastPercent = 0;
  DWORD lastPump = 0;
  bool extractFailureShown = false;  // the last extraction step showed its failure
};

class TTavixMain {
 public:
  TTavixMain();
  ~TTavixMain();
  TTavixMain(const TTavixMain&) = delete;
  TTavixMain& operator=(const TTavixMain&) = delete;

  // Creates the window (FormCreate runs inside) and shows it.
  bool Create(const TMainStart& start, int show);
  HWND Handle() const { return window_; }
  HACCEL Accelerators() const { return accelerators_; }
  // The application's idle call; true when the handler is still installed.
  bool Idle();
  bool IdleInstalled() const { return idleInstalled_; }
  const std::wstring& ApplicationTitle() const { return applicationTitle_; }
  const std::wstring& HelpFile() const { return helpFile_; }

  // Read access for the other areas and for tests.
  TMainState& State() { return state_; }
  TMainSettings& Settings() { return settings_; }
  TArchiveFile& Arc() { return *arc_; }
  TVirtualListView& ArcList() { return arcList_; }
  TProgressStatusBar& StatusBar1() { return statusBar1_; }
  TDockToolBar& FileBar() { return fileBar_; }
  TDockToolBar& MeltOpBar() { return meltOpBar_; }
  TToolDock& Docks() { return docks_; }
  HMENU MainMenu() const { return mainMenu_; }
  HMENU ListPopup() const { return listPopup_; }
  HMENU DropDown(int index) const { return GetSubMenu(dropDowns_, index); }
  TIniGT& Ini() { return ini_; }
  THistoryEx& OpenHistory() { return openHistory_; }
  THistoryEx& MeltHistory() { return meltHistory_; }

  // Operations of the list area used by the other areas.
  void FullOpen(const std::wstring& path);
  TArchiverType SelectArchive(const std::wstring& path);
  void ReadEntries(const std::wstring& path);
  void ClearList();
  void Caption(const std::wstring& path);
  void AutoSizeColumns();
  void RebuildReopenMenus();
  void SetViewStyle(int style);
  void EnsureWorkFolder();
  void EnterNewArchiveMode();
  // Extraction (MainExtract.cpp): the run extracts the selection or everything
  // into destination and reports the counts; the step is what the viewing,
  // installing and copying commands share. The step returns true on failure.
  void ExtractRun(std::wstring destination, bool makeSubFolder);
  bool ExtractStep(const std::vector<std::string>& files, const std::wstring& destination, TExtractMode mode);
  TExtract* ExtractDialog() { return extract_.get(); }
  HWND MeltOpControl(UINT id) const { return GetDlgItem(meltOpPanel_, id); }
  // Shows a message box owned by the main window (the application's error display too).
  int Message(const std::wstring& text, UINT type);
  void ShowError(const std::wstring& text);
  // The application's general error display, called inside a catch: shows the
  // text of whatever was raised and undoes busy and the disabled window, so a
  // failed command never leaves the window unusable. Returns the text shown.
  std::wstring ShowException();
  // Runs a handler through the general error display; false when it raised.
  template <class Action>
  bool Guarded(Action&& action) {
    try {
      action();
      return true;
    } catch (...) {
      ShowException();
      return false;
    }
  }
  // Commands whose areas are not built yet stay disabled and do nothing.
  static bool CommandBuilt(UINT id);
  // Most entries a listing takes: a library that returns entries forever
  // must not fill the memory.
  static constexpr int MaxListedEntries = 300000;
  // Centres a window over the main window (halves rounded toward zero).
  void CenterOver(HWND dialog) const;
  std::wstring ExeSettingsPath() const;

  // Shortcuts as the settings dialog exchanges them (17 menu slots, then 4 kept in memory).
  std::array<TShortCut, 21>& ShortCuts() { return shortCuts_; }
  void ApplyShortCuts();
  void ApplyToolButtonVisibility();

 private:
  friend LRESULT CALLBACK MainWindowProc(HWND, UINT, WPARAM, LPARAM);
  LRESULT WindowProc(UINT message, WPARAM w, LPARAM l);
  LRESULT HandleMessage(UINT message, WPARAM w, LPARAM l);
  void DisableUnbuiltCommands();
  void EnableToolButton(UINT id, bool enabled);
  void ApplyCommandStates(TArchiverType kind, const std::wstring& path);
  void SaveMainBounds();
  void BuildChildren();
  void LayoutChildren();
  void OnCommand(UINT id);
  LRESULT OnNotify(NMHDR* header);
  void OnDrawItem(DRAWITEMSTRUCT* draw);
  void OnContextMenu(int x, int y);
  bool OnMouseWheel(short delta);

  // Lifecycle (MainLifecycle.cpp)
  void FormCreate();
  void FormShow();
  void FormCloseQuery();
  void FormDestroy();
  void Quit_BtnClick();
  void HTavixCloseHotKey();
  void Contents1Click();
  void SearchforHelpOn1Click();
  void About1Click();
  void Option_MnuClick();
  void N12Click();
  void VFileBMnuClick();
  void VMeltOpClick();
  void VActionBMnuClick() {}
  void VOtherBMnuClick() {}
  void ReadShortCuts();
  void SetHint(const std::wstring& status);
  void ChooseDesktopFolder();
  void StartCommandLine();
  void OpenCommandLineArchive();
  void ShowOpenDialogAtStart();

  // List area (MainList.cpp)
  void LzhOpen_BtnClick();
  bool ChooseArchive(std::wstring& path, bool& readOnly);
  void ArcListVMGetItemInfo(NMLVDISPINFOW* info);
  void ArcListOColumnClick(int column);
  void ArcListChange(const NMLISTVIEW* change);
  void MnuIconClick() { SetViewStyle(0); }
  void MnuSmallIconClick() { SetViewStyle(1); }
  void MnuListIconClick() { SetViewStyle(2); }
  void MnuReportIconClick() { SetViewStyle(3); }
  void IconBtnClick();
  void StatusBar1DrawPanel(DRAWITEMSTRUCT* draw);
  void ArcProgress(int state, const TExtractingInfoEx* info, bool& abort);
  void Property1Click();
  void SelAll1Click();
  void ReopenClick(int index);
  void AppendListRecord(const TIndividualInfo& info, const TNumberStyle& style);
  void SetCommandGroup(std::initializer_list<UINT> menuIds, UINT buttonId, bool enabled);
  void SetSfxState(int which);  // 0 off, 1 all, 2 ZIP set
  void SetInstallVisible(bool visible);
  void UpdatePasteButton();
  void SetStatusImage(int image);
  void PumpMessages();

  // Commands of the later areas; each lives in its area's source.
  void FileNew_BtnClick();
  void SaveAs_MnuClick();
  void Send_MnuClick();
  void Copy_MnuClick();
  void Paste_MnuClick();
  void Install_MnuClick();
  void OpenEntry_MnuClick();
  void FIleMelt_BtnClick();
  void ToDtpMnuClick();
  void ToArcMnuClick();
  void MeltToPopPopup();
  void MeltHistoryClick(int index);
  void AllFileClick();
  void OverWriteClick();
  void MkSubdirClick();
  void NonDirClick() { FolderRadioClick(0); }
  void AbsDirClick() { FolderRadioClick(1); }
  void RelDirClick() { FolderRadioClick(2); }
  void FolderRadioClick(int option);
  void ArcListOKeyDown(WORD key);
  HWND CreateMeltOpPanel();
  bool ShowExtractDialog();
  void Delete_MnuClick();
  void Add_BtnClick(UINT command);
  void View_MnuClick();
  void MakeSfx_Click(UINT command);
  void RunStartUpJob();
  void ClearMeltHistoryMenu();
  void CreateExtractDialog();
  void ReleaseExtractDialog();
  void SetMeltOptionsFromSettings();
  bool ClipboardHasFiles() const;
  void InstallDropHandling();
  void RemoveDropHandling();
  bool AskToSave();
  TCommandLineModes ParseCommandLine(const std::wstring& commandLine, std::wstring& remaining);
  static std::wstring LongForm(const std::wstring& path);

  HWND window_ = nullptr;
  HWND appWindow_ = nullptr;
  HMENU mainMenu_ = nullptr;
  HMENU listPopup_ = nullptr;
  HMENU dropDowns_ = nullptr;
  HACCEL accelerators_ = nullptr;
  HIMAGELIST toolImages_ = nullptr;
  HIMAGELIST toolImagesDisabled_ = nullptr;
  HIMAGELIST statusImages_ = nullptr;
  HWND meltOpPanel_ = nullptr;
  HFONT meltOpFont_ = nullptr;

  TMainStart start_;
  THelpService* help_ = nullptr;
  TMainState state_;
  TMainSettings settings_;
  TIniGT ini_;
  THistoryEx openHistory_;
  THistoryEx meltHistory_;
  std::unique_ptr<TArchiveFile> arc_;
  std::unique_ptr<TExtract> extract_;
  TVirtualListView arcList_;
  TProgressStatusBar statusBar1_;
  TToolDock docks_;
  TDockToolBar fileBar_;
  TDockToolBar meltOpBar_;
  std::array<TShortCut, 21> shortCuts_{};
  std::wstring applicationTitle_;
  std::wstring helpFile_;
  bool idleInstalled_ = false;
  bool counted_ = false;  // this instance added itself to HowManyOpen
  HANDLE runningMark_ = nullptr;  // held while running: tells a stale HowManyOpen from real instances
  bool closing_ = false;
};

// The text of the exception being handled (call inside a catch).
std::wstring CurrentExceptionText();

// A menu caption that shows text as it is ("&" is the mnemonic mark otherwise).
std::wstring MenuCaptionFor(const std::wstring& text);

// The registered wheel message of older mouse drivers.
UINT MsWheelRollMessage();

// Runs the message loop until the main window closes: keyboard shortcuts,
// wheel messages routed to the main window, and the idle call whenever the
// queue is empty. Returns the quit code.
int RunMessageLoop(TTavixMain& main);
// Handles one message as the loop would; false when it is WM_QUIT.
bool DispatchOne(TTavixMain& main, MSG& msg);
