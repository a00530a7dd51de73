// Opening archives and the entry list: open dialog, select archive and the
// command states, reading entries, the virtual list, sorting, view styles,
// caption, progress display and the reopen menus.
#include "TavixMain.h"

#include "TextUtil.h"
#include "res/resource.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <cwctype>
#include <unordered_map>

namespace {

const wchar_t OpenTitle[] = L"書庫ファイルを開く";
// The open dialog's filter; "|" stands for the separators the dialog wants.
const wchar_t OpenFilter[] =
    L"全てのｱｰｶｲﾌﾞ|*.LZH;*.EXE;*.ZIP;*.JAR;*.CAB;*.RAR;*.ARJ;*.TGZ;*.GZ;*.Z;*.TAR;*.TAZ;*.BZ2|"
    L"LZHﾌｧｲﾙ (*.LZH)|*.LZH|SFXﾌｧｲﾙ(*.EXE)|*.EXE|ZIPﾌｧｲﾙ(*.ZIP)|*.ZIP|ZIPﾌｧｲﾙ(*.JAR)|*.JAR|"
    L"CABﾌｧｲﾙ(*.CAB)|*.CAB|全てのﾌｧｲﾙ(*.*)|*.*";

std::wstring UpperExtension(const std::wstring& path) {
  size_t dot = path.rfind(L'.');
  size_t slash = path.find_last_of(L"\\/");
  if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return L"";
  std::wstring extension = path.substr(dot);
  for (wchar_t& c : extension) c = static_cast<wchar_t>(std::towupper(c));
  return extension;
}

std::wstring FileNamePart(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring FolderWithBackslash(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

void SetMenuEnabled(HMENU menu, UINT id, bool enabled) {
  EnableMenuItem(menu, id, MF_BYCOMMAND | (enabled && TTavixMain::CommandBuilt(id) ? MF_ENABLED : MF_GRAYED));
}

// The system's small-icon indices of the listing under way. Asked by name
// alone, the shell's answer depends only on the extension, and each question
// reads the registry (trips to the window server under Wine), so a listing
// asks once per extension.
class TShellIconCache {
 public:
  void Clear() { indices_.clear(); }
  int Index(const std::wstring& name) {
    std::wstring extension = PathFindExtensionW(name.c_str());
    auto found = indices_.find(extension);
    if (found != indices_.end()) return found->second;
    // By name only: the entry does not exist on disk.
    SHFILEINFOW shell{};
    SHGetFileInfoW(name.c_str(), 0, &shell, sizeof shell,
                   SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    indices_.emplace(std::move(extension), shell.iIcon);
    return shell.iIcon;
  }

 private:
  std::unordered_map<std::wstring, int> indices_;
};

TShellIconCache shellIcons;

}  // namespace

void TTavixMain::LzhOpen_BtnClick() {
  if (state_.busy) return;
  if (state_.newArchiveMode && state_.modified) {
    if (Message(L"現在のファイルは変更されています.\n保存しますか", MB_ICONQUESTION | MB_YESNO) == IDYES) {
      SaveAs_MnuClick();
      state_.modified = false;
    }
  }
  std::wstring path;
  bool readOnly = true;
  if (!ChooseArchive(path, readOnly)) return;
  FullOpen(path);
  state_.readOnlyView = readOnly;
  SelectArchive(path);
}

bool TTavixMain::ChooseArchive(std::wstring& path, bool& readOnly) {
  std::wstring filter = OpenFilter;
  std::replace(filter.begin(), filter.end(), L'|', L'\0');
  filter.push_back(L'\0');
  wchar_t file[MAX_PATH * 4] = {};
  OPENFILENAMEW dialog{sizeof dialog};
  dialog.hwndOwner = window_;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = file;
  dialog.nMaxFile = static_cast<DWORD>(std::size(file));
  dialog.lpstrInitialDir = state_.lastOpenFolder.empty() ? nullptr : state_.lastOpenFolder.c_str();
  dialog.lpstrTitle = OpenTitle;
  dialog.Flags = OFN_READONLY | OFN_EXPLORER;
  if (!GetOpenFileNameW(&dialog)) return false;
  path = file;
  readOnly = (dialog.Flags & OFN_READONLY) != 0;
  return true;
}

void TTavixMain::FullOpen(const std::wstring& path) {
  // A kind that cannot be handled (unknown, or its library missing) leaves
  // the archive shown as it was.
  try {
    SelectArchive(path);
  } catch (...) {
    ShowException();
    try {
      SelectArchive(state_.archivePath);
    } catch (...) {
      // The shown archive failed the same way before and was told then.
    }
    return;
  }
  state_.newArchiveMode = false;
  state_.modified = false;
  state_.archivePath = path;
  state_.lastOpenFolder = FolderWithBackslash(path);
  Caption(path);
  SelectArchive(path);
  try {
    ReadEntries(path);
  } catch (...) {
    ShowException();
    return;
  }
  state_.readOnlyView = true;
  EnableWindow(arcList_.Handle(), TRUE);
  SetFocus(arcList_.Handle());
  SelectArchive(path);
  openHistory_.Add(state_.archivePath);
  RebuildReopenMenus();
  state_.baseFolder.clear();
}

void TTavixMain::SetCommandGroup(std::initializer_list<UINT> menuIds, UINT buttonId, bool enabled) {
  for (UINT id : menuIds) {
    SetMenuEnabled(mainMenu_, id, enabled);
    SetMenuEnabled(listPopup_, id, enabled);
  }
  if (buttonId) EnableToolButton(buttonId, enabled);
}

void TTavixMain::SetSfxState(int which) {
  HMENU edit = GetSubMenu(mainMenu_, 1);
  int sfxPosition = GetMenuItemCount(edit) - 1;  // "自動解凍書庫作成" is the last item
  bool built = CommandBuilt(IDT_MAKESFX);
  EnableMenuItem(edit, sfxPosition, MF_BYPOSITION | (which && built ? MF_ENABLED : MF_GRAYED));
  EnableToolButton(IDT_MAKESFX, which != 0);
  if (which == 0) return;
  bool all = which == 1;
  HMENU sfxButton = DropDown(3);
  for (UINT id : {IDM_SFX_WIZARD, IDM_SFX_WIN16, IDM_SFX_WIN32M}) SetMenuEnabled(mainMenu_, id, all);
  SetMenuEnabled(mainMenu_, IDM_SFX_WIN32, true);
  for (UINT id : {IDM_SFXB_WIZARD, IDM_SFXB_WIN16, IDM_SFXB_WIN32M}) SetMenuEnabled(sfxButton, id, all);
  SetMenuEnabled(sfxButton, IDM_SFXB_WIN32, true);
  if (!all) {
    // Only the Win32M kind remains for ZIP: the button's own click runs it.
    CheckMenuItem(sfxButton, IDM_SFXB_WIN32, MF_UNCHECKED);
    CheckMenuItem(sfxButton, IDM_SFXB_WIN32M, MF_CHECKED);
    fileBar_.SetImage(IDT_MAKESFX, 2);
  }
}

TArchiverType TTavixMain::SelectArchive(const std::wstring& path) {
  TArchiverType kind = atLha;
  if (!path.empty()) {
    arc_->OnProgress = nullptr;
    arc_->Options().Reset();
    try {
      arc_->SetFileName(WideToAnsi(path));
    } catch (...) {
      // Nothing can be done with this archive: offer nothing that needs it.
      ApplyCommandStates(atNone, path);
      throw;
    }
    if (UpperExtension(path) == L".JAR") {
      arc_->SetArchiverType(atZip);
      kind = atZip;
    } else {
      kind = arc_->ArchiverType();
    }
    state_.currentKind = kind;
  }
  ApplyCommandStates(kind, path);
  TArchiverOptions& options = arc_->Options();
  options.a = 1;
  options.n = 1;
  options.y = 1;
  arc_->OnProgress = [this](TArchiveFile*, int state, LPEXTRACTINGINFOEX info, bool& abort) {
    ArcProgress(state, info, abort);
  };
  return kind;
}

void TTavixMain::ApplyCommandStates(TArchiverType kind, const std::wstring& path) {
  bool empty = arcList_.ItemCount() < 1;
  bool selfExtracting = UpperExtension(path) == L".EXE";
  // An archive opened but not listed can still be extracted as a whole.
  bool extractable = !empty || state_.listingUnavailable;
  state_.addingSupported = false;
  SetCommandGroup({IDM_FILE_SAVEAS}, IDT_SAVEAS, false);
  auto add = [&](bool on) { SetCommandGroup({IDM_EDIT_ADD}, IDT_FILEADD, on); };
  auto del = [&](bool on) { SetCommandGroup({IDM_EDIT_DELETE}, IDT_FILEDELETE, on); };
  auto view = [&](bool on) { SetCommandGroup({IDM_EDIT_VIEW}, IDT_FILEVIEW, on); };
  auto open = [&](bool on) { SetCommandGroup({IDM_EDIT_OPEN}, IDT_FILEOPEN, on); };
  auto extract = [&](bool on) { SetCommandGroup({IDM_EDIT_MELT}, IDT_FILEMELT, on); };
  auto saveAs = [&](bool on) { SetCommandGroup({IDM_FILE_SAVEAS}, IDT_SAVEAS, on); };
  switch (kind) {
    case atLha:
    case atZip:
      add(!state_.readOnlyView);
      saveAs(state_.newArchiveMode && !empty);
      if (empty) {
        del(false), view(false), open(false), extract(extractable), SetSfxState(0);
      } else {
        if (state_.readOnlyView) del(false);
        SetSfxState(selfExtracting ? 0 : (kind == atZip ? 2 : 1));
        extract(true);
      }
      state_.addingSupported = true;
      break;
    case atCab:
      del(false);
      saveAs(state_.newArchiveMode && !empty);
      state_.addingSupported = state_.newArchiveMode && !state_.modified;
      add(state_.addingSupported);
      if (empty) {
        view(false), open(false), extract(extractable), SetSfxState(0);
      } else {
        SetSfxState(selfExtracting ? 0 : 2);
        extract(true);
      }
      break;
    default:
      add(false), del(false), SetSfxState(0);
      if (empty) view(false), open(false), extract(extractable);
      else extract(kind != atNone);
      break;
  }
}

void TTavixMain::PumpMessages() {
  // Whatever runs next sees the current texts.
  statusBar1_.Flush();
  MSG msg;
  // The window is disabled while reading, so Esc is taken from the queue here.
  if (PeekMessageW(&msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE) && msg.wParam == VK_ESCAPE) {
    PeekMessageW(&msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE);
    state_.cancelRequested = true;
  }
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Leave the quit for the message loop that owns it.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void TTavixMain::ReadEntries(const std::wstring& path) {
  if (state_.busy) return;
  EnsureWorkFolder();
  state_.cancelRequested = false;
  try {
    arc_->SetFileName(WideToAnsi(path));
    arc_->OpenArchive(window_, 1);
  } catch (const EArchiver&) {
    throw EArchiver(path + L" を開くことに失敗しました: " + std::to_wstring(GetLastError()));
  }
  state_.busy = true;
  state_.entryCount = 0;
  // Every read decides afresh whether the listing is available.
  state_.listingUnavailable = false;

  HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  EnableWindow(window_, FALSE);
  arcList_.SetItemCount(0, false);
  state_.records.clear();
  state_.totalOriginalSize = 0;
  SetStatusImage(0);
  statusBar1_.SetText(4, L" ");
  statusBar1_.SetText(0, L"ファイル情報を取得中...");
  state_.cancelRequested = false;

  const TNumberStyle style = TNumberStyle::FromLocale();
  shellIcons.Clear();
  bool tooMany = false;
  try {
    // Texts reach the status bar before each look into the queue, not at each
    // change: every change would repaint the bar at once.
    struct TextHold {
      TProgressStatusBar& bar;
      ~TextHold() { bar.HoldTexts(false); }
    } hold{statusBar1_};
    statusBar1_.HoldTexts(true);
    TIndividualInfo info{};
    if (arc_->FindFirst("*.*", &info) == 0) {
      state_.totalOriginalSize = info.dwOriginalSize;
      state_.firstMethod = AnsiToWide(std::string(info.szMode, strnlen(info.szMode, sizeof info.szMode)));
      AppendListRecord(info, style);
      statusBar1_.SetText(1, std::to_wstring(state_.entryCount) + L" Files");
      PumpMessages();
      DWORD lastPump = GetTickCount();
      // Esc stops a long listing; the entries read so far stay listed.
      while (!state_.cancelRequested && arc_->FindNext(&info) == 0) {
        // A broken archive can make a library return entries forever.
        if (state_.entryCount >= MaxListedEntries) {
          tooMany = true;
          break;
        }
        state_.totalOriginalSize += info.dwOriginalSize;
        AppendListRecord(info, style);
        if (state_.entryCount % 10 == 0) statusBar1_.SetText(1, std::to_wstring(state_.entryCount) + L" Files");
        if (state_.entryCount == 20) arcList_.SetItemCount(20, true);
        // Looking into the queue costs a trip to the window server under Wine;
        // a look after every few milliseconds of reading keeps the window just
        // as responsive.
        if (GetTickCount() - lastPump >= 10) {
          PumpMessages();
          lastPump = GetTickCount();
        }
      }
    }
  } catch (...) {
    // The listing ends here; the window must come back usable whatever failed.
    try {
      arc_->CloseArchive();
    } catch (...) {
      // The failure that ended the listing is the one to tell.
    }
    arcList_.SetItemCount(static_cast<int>(state_.records.size()), true);
    SetStatusImage(1);
    SetCursor(previous ? previous : LoadCursorW(nullptr, IDC_ARROW));
    statusBar1_.SetText(0, L"ファイル情報を取得出来ません");
    statusBar1_.SetText(1, std::to_wstring(state_.entryCount) + L" Files");
    state_.busy = false;
    EnableWindow(window_, TRUE);
    throw;
  }
  arcList_.SetItemCount(static_cast<int>(state_.records.size()), true);
  arc_->CloseArchive();

  state_.archiveBaseFolder = FolderWithBackslash(path);
  SetStatusImage(1);
  statusBar1_.SetText(4, L" ");
  SetCursor(previous ? previous : LoadCursorW(nullptr, IDC_ARROW));
  bool cancelled = state_.cancelRequested;
  state_.cancelRequested = false;
  if (cancelled) {
    statusBar1_.SetText(0, L"処理を強制中断しました.");
  } else if (tooMany) {
    statusBar1_.SetText(0, L"ファイル情報を取得しました");
    Message(L"書庫のファイルが多すぎます.\n\r最初の " + std::to_wstring(state_.entryCount) +
                L" 個だけを表示します. 書庫が壊れている可能性があります.",
            MB_ICONWARNING | MB_OK);
  } else if (state_.entryCount < 1) {
    statusBar1_.SetText(0, L"ファイル情報を取得出来ません");
    Message(L"書庫ファイル情報を取得できませんでした.\n\r" + state_.archivePath + L" はTavixでは操作出来ません.",
            MB_ICONWARNING | MB_OK);
    if (arc_->ArchiverType() != atAutoDetect && arc_->ArchiverType() != atNone) state_.listingUnavailable = true;
  } else {
    statusBar1_.SetText(0, L"ファイル情報を取得しました");
    AutoSizeColumns();
  }
  statusBar1_.SetText(1, std::to_wstring(state_.entryCount) + L" Files");
  statusBar1_.SetProgress(0);
  state_.busy = false;
  EnableWindow(window_, TRUE);
  InvalidateRect(arcList_.Handle(), nullptr, TRUE);
  SetFocus(arcList_.Handle());
  applicationTitle_ = FileNamePart(path);
  SetWindowTextW(appWindow_, applicationTitle_.c_str());
  Caption(state_.archivePath);
}

void TTavixMain::AppendListRecord(const TIndividualInfo& info, const TNumberStyle& style) {
  TListRecord& record = state_.records.emplace_back();
  FillListRecord(record, info, style);
  if (settings_.UseShellIcon) record.iconIndex = shellIcons.Index(record.name);
  ++state_.entryCount;
}

void TTavixMain::ClearList() {
  arcList_.SetItemCount(0, false);
  state_.records.clear();
  state_.entryCount = 0;
}

void TTavixMain::Caption(const std::wstring& path) {
  const wchar_t* prefix = L"???: ";
  switch (state_.currentKind) {
    case atLha: prefix = L"LZH: "; break;
    case atZip: prefix = L"ZIP: "; break;
    case atCab: prefix = L"CAB: "; break;
    case atArj: prefix = L"ARJ: "; break;
    case atTar: prefix = L"TAR: "; break;
    case atTgz: prefix = L"TGZ: "; break;
    case atBZ2: prefix = L"BZ2: "; break;
    case atRar: prefix = L"RAR: "; break;
    default: state_.listingUnavailable = false; break;
  }
  std::wstring name = FileNamePart(path);
  SetWindowTextW(window_, (prefix + name).c_str());
  applicationTitle_ = name;
  SetWindowTextW(appWindow_, name.c_str());
}

void TTavixMain::ArcListVMGetItemInfo(NMLVDISPINFOW* info) {
  LVITEMW& item = info->item;
  if (item.iItem < 0 || item.iItem >= static_cast<int>(state_.records.size())) return;
  const TListRecord& record = state_.records[item.iItem];
  // The list view copies the text at once, so the record's own buffer serves.
  if (item.mask & LVIF_TEXT) item.pszText = const_cast<wchar_t*>(record.ColumnText(item.iSubItem));
  if (item.mask & LVIF_IMAGE) item.iImage = record.iconIndex;
}

void TTavixMain::ArcListOColumnClick(int column) {
  if (column < 0 || column >= ListColumnCount) return;
  SortListRecords(state_.records, column, state_.sortDescending[column]);
  arcList_.SetItemCount(static_cast<int>(state_.records.size()), true);
  state_.sortDescending[column] = !state_.sortDescending[column];
  arcList_.SetSortArrow(column, state_.sortDescending[column] ? TSortArrow::Up : TSortArrow::Down);
}

void TTavixMain::AutoSizeColumns() {
  if (!settings_.AutoResize || arcList_.ItemCount() == 0) return;
  arcList_.AutoSizeColumns({0, 0, 0, 0, 0, 0, 120});
}

void TTavixMain::SetInstallVisible(bool visible) {
  for (HMENU menu : {GetSubMenu(mainMenu_, 1), GetSubMenu(listPopup_, 0)}) {
    bool present = GetMenuState(menu, IDM_EDIT_INSTALL, MF_BYCOMMAND) != static_cast<UINT>(-1);
    if (visible && !present) {
      std::wstring caption = L"ｲﾝｽﾄｰﾙ(&I)";
      std::wstring shortCut = ShortCutToText(shortCuts_[8]);
      if (menu == GetSubMenu(mainMenu_, 1) && !shortCut.empty()) caption += L"\t" + shortCut;
      InsertMenuW(menu, IDM_EDIT_OPEN, MF_BYCOMMAND | MF_STRING, IDM_EDIT_INSTALL, caption.c_str());
      SetMenuEnabled(menu, IDM_EDIT_INSTALL, true);
      SetMenuDefaultItem(menu, IDM_EDIT_INSTALL, FALSE);
    } else if (!visible && present) {
      DeleteMenu(menu, IDM_EDIT_INSTALL, MF_BYCOMMAND);
    }
  }
}

void TTavixMain::ArcListChange(const NMLISTVIEW* change) {
  if (!(change->uChanged & LVIF_STATE)) return;
  int count = arcList_.SelectedCount();
  if (count == 0) {
    SetCommandGroup({IDM_EDIT_DELETE}, IDT_FILEDELETE, false);
    SetCommandGroup({IDM_EDIT_OPEN}, IDT_FILEOPEN, false);
    SetCommandGroup({IDM_EDIT_VIEW}, IDT_FILEVIEW, false);
    return;
  }
  statusBar1_.SetText(0, L" " + std::to_wstring(count) + L" 個のファイルを選択");
  SetCommandGroup({IDM_EDIT_DELETE}, IDT_FILEDELETE, !state_.readOnlyView && state_.currentKind != atCab);
  SetCommandGroup({IDM_EDIT_OPEN}, IDT_FILEOPEN, true);
  SetCommandGroup({IDM_EDIT_VIEW}, IDT_FILEVIEW, true);
  if (count == 1) {
    std::vector<int> selected = arcList_.SelectedItems();
    bool installer = false;
    if (!selected.empty() && selected[0] < static_cast<int>(state_.records.size())) {
      std::wstring name = state_.records[selected[0]].name;
      for (wchar_t& c : name) c = static_cast<wchar_t>(std::towupper(c));
      installer = name == L"SETUP.EXE" || name == L"INSTALL.EXE";
    }
    SetInstallVisible(installer);
    EnableToolButton(IDT_INSTALL, installer);
  }
  UpdatePasteButton();
  EnableToolButton(IDT_COPY, count > 0);
}

void TTavixMain::UpdatePasteButton() {
  EnableToolButton(IDT_PASTE, !state_.readOnlyView && ClipboardHasFiles());
}

void TTavixMain::SetViewStyle(int style) {
  if (style < 0 || style > 3) style = 3;
  arcList_.SetViewStyle(style);
  const UINT menuItems[] = {IDM_VIEW_LARGE, IDM_VIEW_SMALL, IDM_VIEW_LIST, IDM_VIEW_REPORT};
  const UINT buttonItems[] = {IDM_ICONB_LARGE, IDM_ICONB_SMALL, IDM_ICONB_LIST, IDM_ICONB_REPORT};
  for (int i = 0; i < 4; ++i) {
    CheckMenuItem(mainMenu_, menuItems[i], i == style ? MF_CHECKED : MF_UNCHECKED);
    CheckMenuItem(DropDown(4), buttonItems[i], i == style ? MF_CHECKED : MF_UNCHECKED);
  }
  settings_.IconStyle = style;
  if (style == 3) AutoSizeColumns();
}

void TTavixMain::IconBtnClick() {
  const UINT menuItems[] = {IDM_VIEW_LARGE, IDM_VIEW_SMALL, IDM_VIEW_LIST, IDM_VIEW_REPORT};
  int current = 3;
  for (int i = 0; i < 4; ++i)
    if (GetMenuState(mainMenu_, menuItems[i], MF_BYCOMMAND) & MF_CHECKED) current = i;
  SetViewStyle((current + 1) % 4);
}

void TTavixMain::SetStatusImage(int image) {
  state_.statusImage = image;
  statusBar1_.RepaintPanel(3);
  UpdateWindow(statusBar1_.Handle());
}

void TTavixMain::StatusBar1DrawPanel(DRAWITEMSTRUCT* draw) {
  if (draw->itemID != 3 || !statusImages_) return;
  ImageList_Draw(statusImages_, state_.statusImage, draw->hDC, draw->rcItem.left, draw->rcItem.top,
                 ILD_TRANSPARENT);
}

void TTavixMain::ArcProgress(int progressState, const TExtractingInfoEx* info, bool& abort) {
  switch (progressState) {
    case 0:
      state_.progressName.assign(info->szSourceFileName, strnlen(info->szSourceFileName, sizeof info->szSourceFileName));
      state_.progressSize = info->dwFileSize;
      state_.progressCounted = false;
      break;
    case 1: {
      // The library holds the thread: paint the window and look for Esc 20 times a second (more
      // often cost a tenth of the time of small files: each look paints the status bar).
      if (DWORD now = GetTickCount(); state_.busy && (state_.lastPump == 0 || now - state_.lastPump >= 50)) {
        // The text is built only when it can be seen, not for every entry.
        if (state_.progressTextDue) {
          statusBar1_.SetText(0, AnsiToWide(state_.progressName) + L"  : " +
                                     FormatSize(state_.progressSize, TNumberStyle::FromLocale()) + L"byte");
          state_.progressTextDue = false;
        }
        PumpMessages();
        state_.lastPump = now ? now : 1;
      }
      if (state_.cancelRequested) {
        statusBar1_.SetText(0, L"処理を強制中断しました.");
        statusBar1_.SetProgress(0);
        abort = true;
        break;
      }
      // The text is the same for every report of one entry.
      if (!state_.progressCounted) state_.progressTextDue = true;
      if (state_.progressSize > 0) {
        unsigned long long percent = static_cast<unsigned long long>(info->dwWriteSize) * 100 / state_.progressSize;
        state_.lastPercent = percent >= 100 ? 100 : static_cast<int>(percent);
      }
      statusBar1_.SetProgress(state_.lastPercent);
      if (!state_.progressCounted) {
        ++state_.processedFiles;
        state_.progressCounted = true;
      }
      break;
    }
    case 2:
      state_.progressTextDue = false;
      statusBar1_.SetText(0, L"");
      statusBar1_.SetProgress(0);
      break;
  }
}

void TTavixMain::RebuildReopenMenus() {
  HMENU menus[] = {GetSubMenu(GetSubMenu(mainMenu_, 0), 2), DropDown(0)};
  for (HMENU menu : menus) {
    while (GetMenuItemCount(menu) > 0) DeleteMenu(menu, 0, MF_BYPOSITION);
    const std::vector<std::wstring>& lines = openHistory_.History();
    for (size_t i = 0; i < lines.size() && IDM_REOPEN_FIRST + i < IDM_REOPEN_LAST; ++i)
      AppendMenuW(menu, MF_STRING, IDM_REOPEN_FIRST + i, MenuCaptionFor(lines[i]).c_str());
  }
}

void TTavixMain::ReopenClick(int index) {
  const std::vector<std::wstring>& lines = openHistory_.History();
  if (index < 0 || index >= static_cast<int>(lines.size()) || state_.busy) return;
  std::wstring path = lines[index];
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    Message(L"ﾌｧｲﾙ " + path + L" は存在しません.", MB_ICONWARNING | MB_OK);
    return;
  }
  FullOpen(path);
}

void TTavixMain::Property1Click() {
  // The archive properties dialog comes with the dialogs.
}

void TTavixMain::SelAll1Click() { arcList_.SelectAll(); }
