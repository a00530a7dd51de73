// Opening archives and the entry list: open dialog, select archive and the
// command states, reading entries, the virtual list, sorting, view styles,
// caption, progress display and the reopen menus.
#include "app/MainTexts.h"
#include "app/TavixMain.h"
#include "dialogs/ArcPropDialog.h"
#include "engine/TextUtil.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <cwctype>
#include <unordered_map>

namespace {

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

// The system's small-icon indices of the listing under way. Asked by name
// alone, the shell's answer depends only on the extension, and each question
// reads the registry (trips to the window server under Wine), so the list
// asks once per extension, and only for entries it shows.
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
  if (state_.newArchiveMode && state_.modified && AskToSave()) state_.modified = false;
  std::wstring path;
  bool readOnly = true;
  if (!ChooseArchive(path, readOnly)) return;
  FullOpen(path);
  state_.readOnlyView = readOnly;
  SelectArchive(path);
}

bool TTavixMain::ChooseArchive(std::wstring& path, bool& readOnly) {
  std::wstring filter = texts::OpenFilter;
  std::replace(filter.begin(), filter.end(), L'|', L'\0');
  filter.push_back(L'\0');
  // The dialog cannot grow the buffer: it takes the longest path Windows has.
  std::wstring file(0x8000, L'\0');
  OPENFILENAMEW dialog{sizeof dialog};
  dialog.hwndOwner = window_;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrInitialDir = state_.lastOpenFolder.empty() ? nullptr : state_.lastOpenFolder.c_str();
  dialog.lpstrTitle = texts::OpenTitle;
  dialog.Flags = (state_.openDialogReadOnly ? OFN_READONLY : 0) | OFN_EXPLORER;
  if (!GetOpenFileNameW(&dialog)) return false;
  path = file.c_str();
  readOnly = state_.openDialogReadOnly = (dialog.Flags & OFN_READONLY) != 0;
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

TArchiverType TTavixMain::SelectArchive(const std::wstring& path) {
  TArchiverType kind = atLha;
  if (!path.empty()) {
    arc_->OnProgress = nullptr;
    arc_->Options().Reset();
    state_.selfExtracting = UpperExtension(path) == L".EXE";
    try {
      arc_->SetFileName(WideToAnsi(path));
    } catch (...) {
      // Nothing can be done with this archive: offer nothing that needs it.
      state_.commandKind = atNone;
      ApplyCommandStates();
      throw;
    }
    if (UpperExtension(path) == L".JAR") {
      arc_->SetArchiverType(atZip);
      kind = atZip;
    } else {
      kind = arc_->ArchiverType();
    }
    state_.currentKind = kind;
  } else {
    state_.selfExtracting = false;
  }
  state_.commandKind = kind;
  state_.addingSupported = ApplyCommandStates().addingSupported;
  TArchiverOptions& options = arc_->Options();
  options.a = 1;
  options.n = 1;
  options.y = 1;
  arc_->OnProgress = [this](TArchiveFile*, int state, LPEXTRACTINGINFOEX info, bool& abort) {
    ArcProgress(state, info, abort);
  };
  return kind;
}

void TTavixMain::PumpMessages() {
  // Whatever runs next sees the current texts.
  statusBar1_.Flush();
  MSG msg;
  // Each look into the queue is a trip to the window server under Wine: the
  // messages are taken in one pass, Esc among them.
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Leave the quit for the message loop that owns it.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    // The window is disabled while the library works, so Esc is taken here.
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
      state_.cancelRequested = true;
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

DWORD TTavixMain::PacedPump(DWORD minimum, DWORD maximum) {
  // Painting costs what the window server makes it cost (several milliseconds
  // on a busy display): the looks take at most a fiftieth of the time, as far
  // as the longest wait the caller allows.
  LARGE_INTEGER frequency{}, start{}, end{};
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  PumpMessages();
  QueryPerformanceCounter(&end);
  long long micro = frequency.QuadPart > 0 ? (end.QuadPart - start.QuadPart) * 1000000 / frequency.QuadPart : 0;
  return static_cast<DWORD>(std::clamp<long long>(micro * 50 / 1000, minimum, std::max(minimum, maximum)));
}

void TTavixMain::ReadEntries(const std::wstring& path) {
  if (state_.busy) return;
  EnsureWorkFolder();
  state_.cancelRequested = false;
  try {
    arc_->SetFileName(WideToAnsi(path));
    arc_->OpenArchive(window_, 1);
  } catch (const EArchiver&) {
    throw EArchiver(path + texts::OpenFailed + std::to_wstring(GetLastError()));
  }
  state_.busy = true;
  state_.entryCount = 0;
  // Every read decides afresh whether the listing is available.
  state_.listingUnavailable = false;

  HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  EnableWindow(window_, FALSE);
  // However the listing ends (a library can fail at any call, the close
  // included), the window takes commands again.
  auto ready = [this, previous] {
    SetCursor(previous ? previous : LoadCursorW(nullptr, IDC_ARROW));
    state_.busy = false;
    EnableWindow(window_, TRUE);
  };
  TScopeExit readyOnFailure(ready);
  arcList_.SetItemCount(0, false);
  state_.records.clear();
  state_.totalOriginalSize = 0;
  SetStatusImage(0);
  statusBar1_.SetText(4, L" ");
  statusBar1_.SetText(0, texts::Reading);
  state_.cancelRequested = false;

  const TNumberStyle style = TNumberStyle::FromLocale();
  shellIcons.Clear();
  bool tooMany = false;
  try {
    // Texts reach the status bar before each look into the queue, not at each
    // change: every change would repaint the bar at once.
    statusBar1_.HoldTexts(true);
    TScopeExit hold([this] { statusBar1_.HoldTexts(false); });
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
        // a look after every 10 ms of reading keeps the count moving and Esc
        // prompt even when the whole listing takes a fraction of a second.
        if (GetTickCount() - lastPump >= 10) {
          PumpMessages();
          lastPump = GetTickCount();
        }
      }
    }
    arcList_.SetItemCount(static_cast<int>(state_.records.size()), true);
    arc_->CloseArchive();
  } catch (...) {
    // The listing ends here; what was read stays listed.
    try {
      arc_->CloseArchive();
    } catch (...) {
      // The failure that ended the listing is the one to tell.
    }
    arcList_.SetItemCount(static_cast<int>(state_.records.size()), true);
    SetStatusImage(1);
    statusBar1_.SetText(0, texts::ReadFailed);
    statusBar1_.SetText(1, std::to_wstring(state_.entryCount) + L" Files");
    throw;
  }

  state_.archiveBaseFolder = FolderWithBackslash(path);
  SetStatusImage(1);
  statusBar1_.SetText(4, L" ");
  SetCursor(previous ? previous : LoadCursorW(nullptr, IDC_ARROW));
  bool cancelled = state_.cancelRequested;
  state_.cancelRequested = false;
  if (cancelled) {
    statusBar1_.SetText(0, texts::Cancelled);
  } else if (tooMany) {
    statusBar1_.SetText(0, texts::ReadDone);
    Message(texts::TooManyEntries + std::to_wstring(state_.entryCount) + texts::TooManyEntriesEnd,
            MB_ICONWARNING | MB_OK);
  } else if (state_.entryCount < 1) {
    statusBar1_.SetText(0, texts::ReadFailed);
    Message(texts::NotListed + state_.archivePath + texts::NotListedEnd, MB_ICONWARNING | MB_OK);
    if (arc_->ArchiverType() != atAutoDetect && arc_->ArchiverType() != atNone) state_.listingUnavailable = true;
  } else {
    statusBar1_.SetText(0, texts::ReadDone);
    AutoSizeColumns();
  }
  statusBar1_.SetText(1, std::to_wstring(state_.entryCount) + L" Files");
  statusBar1_.SetProgress(0);
  readyOnFailure.Dismiss();
  ready();
  InvalidateRect(arcList_.Handle(), nullptr, TRUE);
  SetFocus(arcList_.Handle());
  applicationTitle_ = FileNamePart(path);
  SetWindowTextW(appWindow_, applicationTitle_.c_str());
  Caption(state_.archivePath);
}

void TTavixMain::AppendListRecord(const TIndividualInfo& info, const TNumberStyle& style) {
  TListRecord& record = state_.records.emplace_back();
  FillListRecord(record, info, style);
  // The icon is looked up when the entry is first shown: a listing of many
  // kinds of file asks the shell only for those that come into view.
  record.iconIndex = settings_.UseShellIcon ? TListRecord::IconUnknown : 0;
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
  TListRecord& record = state_.records[item.iItem];
  // The list view copies the text at once, so the record's own buffer serves.
  if (item.mask & LVIF_TEXT) item.pszText = const_cast<wchar_t*>(record.ColumnText(item.iSubItem));
  if (item.mask & LVIF_IMAGE) {
    if (record.iconIndex == TListRecord::IconUnknown) record.iconIndex = shellIcons.Index(record.name);
    item.iImage = record.iconIndex;
  }
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

void TTavixMain::ArcListChange(const NMLISTVIEW* change) {
  if (!(change->uChanged & LVIF_STATE)) return;
  int count = arcList_.SelectedCount();
  if (count > 0) statusBar1_.SetText(0, L" " + std::to_wstring(count) + texts::SelectedEnd);
  ApplyCommandStates();
}

void TTavixMain::SetViewStyle(int style) {
  if (style < 0 || style > 3) style = 3;
  arcList_.SetViewStyle(style);
  settings_.IconStyle = style;
  ApplyCommandStates();
  if (style == 3) AutoSizeColumns();
}

void TTavixMain::IconBtnClick() { SetViewStyle((arcList_.ViewStyle() + 1) % 4); }

void TTavixMain::SetStatusImage(int image) {
  state_.statusImage = image;
  statusBar1_.RepaintPanel(3);
  UpdateWindow(statusBar1_.Handle());
}

void TTavixMain::StatusBar1DrawPanel(DRAWITEMSTRUCT* draw) {
  if (draw->itemID != 3 || !statusImages_) return;
  ImageList_Draw(statusImages_.get(), state_.statusImage, draw->hDC, draw->rcItem.left, draw->rcItem.top,
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
      // The library holds the thread: paint the window and look for Esc up to 20 times a second
      // (more often cost a tenth of the time of small files: each look paints the status bar).
      if (DWORD now = GetTickCount();
          state_.busy && (state_.lastPump == 0 || now - state_.lastPump >= state_.pumpInterval)) {
        // The text is built only when it can be seen, not for every entry.
        if (state_.progressTextDue) {
          statusBar1_.SetText(0, AnsiToWide(state_.progressName) + L"  : " +
                                     FormatSize(state_.progressSize, TNumberStyle::FromLocale()) + L"byte");
          state_.progressTextDue = false;
        }
        state_.pumpInterval = PacedPump(50, 250);
        now = GetTickCount();
        state_.lastPump = now ? now : 1;
      }
      if (state_.cancelRequested) {
        statusBar1_.SetText(0, texts::Cancelled);
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
  HMENU menus[] = {GetSubMenu(GetSubMenu(mainMenu_, 0), 2), DropDown(DropReopen)};
  for (HMENU menu : menus) {
    while (GetMenuItemCount(menu) > 0) DeleteMenu(menu, 0, MF_BYPOSITION);
    const std::vector<std::wstring>& lines = openHistory_.History();
    for (size_t i = 0; i < lines.size() && CmdReopenFirst + i < CmdReopenLast; ++i)
      AppendMenuW(menu, MF_STRING, CmdReopenFirst + i, MenuCaptionFor(lines[i]).c_str());
  }
}

void TTavixMain::OpenRecentArchive(int index) {
  const std::vector<std::wstring>& lines = openHistory_.History();
  if (index < 0 || index >= static_cast<int>(lines.size()) || state_.busy) return;
  std::wstring path = lines[index];
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    Message(texts::FileWord + path + texts::DoesNotExist, MB_ICONWARNING | MB_OK);
    return;
  }
  FullOpen(path);
}

void TTavixMain::Property1Click() {
  if (state_.busy) return;
  TArcProp::TFacts facts;
  facts.Name = state_.archivePath.substr(state_.archivePath.find_last_of(L'\\') + 1);
  WIN32_FILE_ATTRIBUTE_DATA file{};
  facts.FileKnown = GetFileAttributesExW(state_.archivePath.c_str(), GetFileExInfoStandard, &file) != FALSE;
  facts.WriteTime = file.ftLastWriteTime;
  facts.ArchiveSize = (static_cast<uint64_t>(file.nFileSizeHigh) << 32) | file.nFileSizeLow;
  facts.ListingAvailable = !state_.listingUnavailable;
  facts.EntryCount = state_.entryCount;
  facts.OriginalSize = state_.totalOriginalSize;
  facts.CompressionType = state_.firstMethod;
  facts.EditableKind = state_.currentKind == atLha || state_.currentKind == atZip || state_.currentKind == atCab;
  TArcProp::TChoice choice = TArcProp::ShowModal(window_, facts, {state_.readOnlyView, state_.baseFolder});
  state_.readOnlyView = choice.ReadOnly;
  SelectArchive(AnsiToWide(arc_->FileName()));
  state_.baseFolder = choice.BaseDir;
}

void TTavixMain::SelAll1Click() { arcList_.SelectAll(); }

void TTavixMain::ArcListODblClick() {
  if (state_.archivePath.empty() || arcList_.SelectedCount() == 0) return;
  if (settings_.FIleOpenMode) FileView_PopClick();
  else FileOpen_PopClick();
  // The double click's presses began no drag.
  state_.dragging = false;
}
