// The main window TTavixMain. One class split over several sources by area:
//   MainForm.cpp       window class, children, layout, message dispatch
//   MainCommands.cpp   menus, the command bar, shortcuts, command states and
//                      dispatch, all built from the command table (Commands.h)
//   MainLifecycle.cpp  start-up, idle, close, instances, help
//   MainList.cpp       opening archives, the entry list, progress
//   MainExtract.cpp, MainAdd.cpp, MainEntries.cpp, MainSfxMail.cpp,
//   MainCommandLine.cpp: the commands of their areas.
// All of them share the state below.
#pragma once

#include "app/CommandLine.h"
#include "app/Commands.h"
#include "app/ListRecord.h"
#include "settings/ShortCutText.h"
#include "dialogs/ExtractDialog.h"
#include "engine/ArchiveFile.h"
#include "engine/Handles.h"
#include "help/HelpService.h"
#include "settings/HistoryEx.h"
#include "settings/IniGT.h"
#include "settings/MainSettings.h"
#include "widgets/DockToolBar.h"
#include "widgets/DragSource.h"
#include "widgets/FileDropTarget.h"
#include "widgets/ProgressStatusBar.h"
#include "widgets/VirtualListView.h"

#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace main_detail {
inline void DestroyAccelerators(HACCEL table) { DestroyAcceleratorTable(table); }
}  // namespace main_detail
using TAccelerators =
    TUniqueHandle<HACCEL, main_detail::DestroyAccelerators, handles_detail::Null<HACCEL>>;

// A menu definition (MainCommands.cpp).
struct TMenuDef;


// How the program body starts the window. The settings file is the program's
// own (beside it) unless a test names another.
struct TMainStart {
  std::wstring settingsPath;          // empty: Tavix.ini beside the program
  std::wstring commandLine;           // the process's full command line
  THelpService* help = nullptr;       // null: the system's help viewer
  // Opens a folder in the shell's window; null: the shell. Tests record the calls.
  std::function<void(const std::wstring& folder)> openFolder;
};

// How the shared extraction step treats stored folders (see ExtractStep).
enum class TExtractMode { User, Temporary, WithFolders };

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
  bool openDialogReadOnly = true;  // the open dialog's check box as last left
  bool newArchiveMode = false;
  bool modified = false;
  bool addingSupported = false;
  bool listingUnavailable = false;
  bool cancelRequested = false;
  bool pendingJob = false;
  bool firstShowDone = false;
  bool dragging = false;  // a drag out of the list is in progress
  bool dropping = false;  // the mouse went down in the list: a drag may follow
  POINT mouseDownPoint{};
  std::vector<std::wstring> copyList;
  std::wstring copyArchive;  // the archive the copy list's entries are in
  int copyRenderCount = 0;

  TArchiverType currentKind = atLha;
  // What the command states go by: the kind the last selection applied its
  // rules with, and whether that archive is a self-extractor.
  TArchiverType commandKind = atLha;
  bool selfExtracting = false;
  TCommandLine modes;
  // The list the shell extension handed over, taken from its block at start.
  std::vector<std::wstring> handedOver;
  int statusImage = 0;
  // Progress of the running operation.
  std::string progressName;  // as the library sent it (ANSI), converted only for display
  unsigned long progressSize = 0;
  bool progressCounted = false;
  bool progressTextDue = false;  // the entry's status text waits for the next look into the queue
  int processedFiles = 0;
  int lastPercent = 0;
  DWORD lastPump = 0;       // tick of the last look into the queue; 0: look at the next report
  DWORD pumpInterval = 50;  // milliseconds until the next look (see PacedPump)
  bool extractFailureShown = false;  // the last extraction step showed its failure
  // The self-extractor chosen last (MainSfxMail.cpp).
  UINT sfxChecked = 0;
  int sfxButton = 1;
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
  HACCEL Accelerators() const { return accelerators_.get(); }
  // The application's idle call; true when the handler is still installed.
  bool Idle();
  bool IdleInstalled() const { return idleInstalled_; }
  const std::wstring& ApplicationTitle() const { return applicationTitle_; }
  const std::wstring& HelpFile() const { return helpFile_; }

  // Read access for the other areas and for tests.
  TMainState& State() { return state_; }
  TMainSettings& Settings() { return settings_; }
  TArchiveFile& Arc() { return *arc_; }
  TDropSourceEx& DropSourceEx1() { return dropSourceEx1_; }
  TVirtualListView& ArcList() { return arcList_; }
  TProgressStatusBar& StatusBar1() { return statusBar1_; }
  TDockToolBar& FileBar() { return fileBar_; }
  TDockToolBar& MeltOpBar() { return meltOpBar_; }
  TToolDock& Docks() { return docks_; }
  HMENU MainMenu() const { return mainMenu_; }
  HMENU ListPopup() const { return listPopup_.get(); }
  HMENU DropDown(int index) const { return GetSubMenu(dropDowns_.get(), index); }
  TIniGT& Ini() { return ini_; }
  THistoryEx& OpenHistory() { return openHistory_; }
  THistoryEx& ExtractHistory() { return extractHistory_; }

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
  // The shared add step (MainAdd.cpp): adds files to the shown archive; false
  // when nothing was added. Files below sharedFolder keep their folders below
  // it (unless the base folder covers it). Save As moves a new archive to its
  // final place; false when it did not.
  bool AddStep(const std::vector<std::wstring>& files, const std::wstring& sharedFolder = {});
  bool SaveAs();
  // The new-archive command; false when its dialog was cancelled.
  bool NewArchiveCommand();
  // Extraction (MainExtract.cpp): the run extracts the selection or everything
  // into destination and reports the counts; the step is what the viewing,
  // installing and copying commands share. The step returns true on failure.
  void ExtractRun(std::wstring destination, bool makeSubFolder);
  bool ExtractStep(const std::vector<std::string>& files, const std::wstring& destination, TExtractMode mode);
  TExtract* ExtractDialog() { return extract_.get(); }
  HWND ExtractOptionControl(UINT id) const { return GetDlgItem(extractOptionsPanel_, id); }
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
  // The command table (Commands.h), one row per command in id order.
  static const std::array<TCommand, kCommandCount> CommandTable;
  // The command whose shortcut the settings keep in slot (0 none).
  static UINT ShortCutCommand(int slot);
  // Recomputes the command states from the window state and shows them.
  TCommandStates ApplyCommandStates();
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
  // Commands (MainCommands.cpp): where they show and how the window applies them.
  struct TMenuPlace {
    HMENU menu;     // the pop-up holding the item
    UINT id;
    UINT before;    // the command it comes back before when shown again (0: last)
    unsigned flags;
    const wchar_t* caption;  // null: the command's own
    bool showsShortCut;      // the main menu shows the shortcut's text
  };
  struct TFollowingPopup {
    HMENU parent;
    HMENU popup;
  };
  void BuildMenus();
  void BuildMenu(HMENU menu, const std::vector<TMenuDef>& items, bool showsShortCuts);
  std::wstring PlaceCaption(const TMenuPlace& place) const;
  std::vector<TToolButton> CommandBarButtons() const;
  TCommandContext CommandContext();
  DWORD HelpTopic(const HELPINFO* info) const;
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
  void ShowOptions(bool customize);
  // The command bar's picture for each of its 24 places (-1: a separator).
  std::array<int, kToolButtonCount> ToolImagesOfLines() const;
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
  void ArcListODblClick();
  void MnuIconClick() { SetViewStyle(0); }
  void MnuSmallIconClick() { SetViewStyle(1); }
  void MnuListIconClick() { SetViewStyle(2); }
  void MnuReportIconClick() { SetViewStyle(3); }
  void IconBtnClick();
  void StatusBar1DrawPanel(DRAWITEMSTRUCT* draw);
  void ArcProgress(int state, const TExtractingInfoEx* info, bool& abort);
  void Property1Click();
  void SelAll1Click();
  void OpenRecentArchive(int index);
  void AppendListRecord(const TIndividualInfo& info, const TNumberStyle& style);
  void SetStatusImage(int image);
  void PumpMessages();
  // Pumps and returns the milliseconds to wait before the next pump (minimum to maximum).
  DWORD PacedPump(DWORD minimum, DWORD maximum);

  // Commands of the later areas; each lives in its area's source.
  void NewCreate_BtnClick();
  void SaveAs_MnuClick();
  void Send1Click();
  void Copy1Click();
  void Paste1Click();
  void Install_PopMnuClick();
  void FileOpen_PopClick();
  // Entries (MainEntries.cpp): opens an entry with its application; asks the
  // shell to open a file (errors told); writes the copied entries when the
  // clipboard asks for them; follows changes of the clipboard.
  void OpenEntry(const std::wstring& entryPath);
  void ShellOpen(const std::wstring& file, const std::wstring& folder);
  void RenderCopiedFiles();
  void ClipboardChanged();
  void FIleMelt_BtnClick();
  void ToDtpMnuClick();
  void ToArcMnuClick();
  void MeltToPopPopup();
  void ExtractToPreviousFolder(int index);
  void AllFileClick();
  void OverWriteClick();
  void MkSubdirClick();
  void NonDirClick() { SetFolderOptionFromBar(0); }
  void AbsDirClick() { SetFolderOptionFromBar(1); }
  void RelDirClick() { SetFolderOptionFromBar(2); }
  void SetFolderOptionFromBar(int option);
  // The extraction options bar's controls, and a click on one of them.
  static const struct TExtractOption* ExtractOptions(size_t& count);
  void OnExtractOptionClick(UINT id);
  void ArcListOKeyDown(WORD key);
  HWND CreateExtractOptionsPanel();
  bool ShowExtractDialog();
  void FileDelete_BtnClick();
  void FileAdd_BtnClick();
  void CommonDlgMnuClick();
  void ExtDlgMnuClick();
  void OpenDlgMnuPopup();
  void OnDropFiles(HDROP drop);
  // Dragging entries out of the list (MainDrag.cpp).
  static LRESULT CALLBACK ArcListMouseProc(HWND list, UINT message, WPARAM w, LPARAM l, UINT_PTR id, DWORD_PTR data);
  void InstallDragOut();
  void ArcListOMouseDown(int x, int y);
  bool ArcListOMouseMove(WPARAM keys, int x, int y);
  void ArcListOMouseUp();
  void DragOut();
  // Runs a library call with the window busy and disabled, the progress texts held
  // until it ends; -1 when it raised (and was told).
  int RunLibrary(const std::function<int()>& call);
  // The library's own words on a failed command, for the message that tells the user.
  std::wstring LibraryReport(int code);
  void FileView_PopClick();
  // The viewer on a file, modal; false when it could not be shown (the user was told).
  bool ViewFile(const std::wstring& path);
  void MakeSfxBtnClick();
  void MakeSfxVariantClick(UINT id);
  void SFXWizard1Click();
  // announce: tell "made" itself (the wizard tells it after its last copy).
  bool SfxRun(int variant, bool announce = true);
  bool SaveBeforeSfx();
  void RunStartUpJob();
  void RunHandOverExtractJob();
  // A new archive of the kind NewMode names (3: the new-archive dialog); false when cancelled.
  bool PrepareNewArchive();
  void ShellPackJob();
  void ClearExtractHistoryMenu();
  void CreateExtractDialog();
  void ReleaseExtractDialog();
  void SetExtractOptionsFromSettings();
  bool ClipboardHasFiles() const;
  void InstallDropHandling();
  void RemoveDropHandling();
  bool AskToSave();

  HWND window_ = nullptr;
  HWND appWindow_ = nullptr;
  HMENU mainMenu_ = nullptr;  // the window's menu bar: destroyed with the window
  TMenu listPopup_;
  TMenu dropDowns_;
  TAccelerators accelerators_;
  TImageList toolImages_;
  TImageList toolImagesDisabled_;
  TImageList statusImages_;
  HWND extractOptionsPanel_ = nullptr;
  TFont extractOptionsFont_;
  std::vector<TMenuPlace> menuPlaces_;
  std::vector<TFollowingPopup> followingPopups_;
  std::optional<TCommandStates> appliedStates_;

  TMainStart start_;
  THelpService* help_ = nullptr;
  TMainState state_;
  TMainSettings settings_;
  TIniGT ini_;
  THistoryEx openHistory_;
  THistoryEx extractHistory_;
  std::unique_ptr<TArchiveFile> arc_;
  std::unique_ptr<TExtract> extract_;
  TVirtualListView arcList_;
  TProgressStatusBar statusBar1_;
  TToolDock docks_;
  TDockToolBar fileBar_;
  TDockToolBar meltOpBar_;
  TDropSourceEx dropSourceEx1_;
  TFileDropTarget dropTarget_;
  std::array<TShortCut, 21> shortCuts_{};
  std::wstring applicationTitle_;
  std::wstring helpFile_;
  bool idleInstalled_ = false;
  bool counted_ = false;  // this instance added itself to HowManyOpen
  TKernelHandle runningMark_;  // held while running: tells a stale HowManyOpen from real instances
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
