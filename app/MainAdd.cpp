// Creating archives, adding, deleting and Save As.
#include "app/AddRules.h"
#include "app/ButtonQuestion.h"
#include "app/MainTexts.h"
#include "app/TavixMain.h"
#include "dialogs/BrowseDialog.h"
#include "dialogs/InputBox.h"
#include "dialogs/NewOptionDialog.h"
#include "engine/Handles.h"
#include "engine/TextUtil.h"

#include <commdlg.h>
#include <algorithm>
#include <shellapi.h>

namespace {

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsFolder(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring WithBackslash(std::wstring folder) {
  while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  return folder + L"\\";
}

// Whether two paths name one file: the same volume and file index when both
// exist, else the same full name.
bool SameFile(const std::wstring& a, const std::wstring& b) {
  auto identity = [](const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
    TFileHandle file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file && GetFileInformationByHandle(file.get(), &info) != FALSE;
  };
  BY_HANDLE_FILE_INFORMATION ia{}, ib{};
  if (identity(a, ia) && identity(b, ib))
    return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
           ia.nFileIndexLow == ib.nFileIndexLow;
  wchar_t fa[MAX_PATH * 4], fb[MAX_PATH * 4];
  if (!GetFullPathNameW(a.c_str(), MAX_PATH * 4, fa, nullptr) || !GetFullPathNameW(b.c_str(), MAX_PATH * 4, fb, nullptr))
    return false;
  return CompareStringOrdinal(fa, -1, fb, -1, TRUE) == CSTR_EQUAL;
}

std::wstring SystemText(DWORD error) {
  wchar_t* text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring result = text ? text : L"";
  if (text) LocalFree(text);
  wchar_t code[32];
  swprintf(code, std::size(code), L" (%lu)", error);
  return result + code;
}

std::vector<std::string> Ansi(const std::vector<std::wstring>& names) {
  std::vector<std::string> result;
  for (const std::wstring& name : names) result.push_back(WideToAnsi(name));
  return result;
}

}  // namespace

std::wstring TTavixMain::LibraryReport(int code) {
  // What the library wrote about the failure: the files it names and why.
  std::wstring report = AnsiToWide(arc_->OutputText());
  while (!report.empty() && (report.back() == L'\n' || report.back() == L'\r' || report.back() == L' '))
    report.pop_back();
  constexpr size_t Room = 2000;  // a message box with many lines still fits the screen
  if (report.size() > Room) report = report.substr(0, Room) + L"\r\n...";
  if (report.empty()) {
    wchar_t hex[32];
    swprintf(hex, std::size(hex), L"(0x%X)", code);
    report = hex;
  }
  return report;
}

void TTavixMain::EnterNewArchiveMode() {
  state_.newArchivePath = state_.workFolder + L"\\Newfile.lzh";
  state_.archivePath = state_.newArchivePath;
  // The prefix still shows the kind selected before; selecting sets the new one.
  Caption(L"Newfile.lzh");
  state_.newArchiveMode = true;
  state_.modified = false;
  state_.readOnlyView = false;
  state_.listingUnavailable = false;
  ClearList();
  SelectArchive(state_.newArchivePath);
}

void TTavixMain::NewCreate_BtnClick() { NewArchiveCommand(); }

bool TTavixMain::NewArchiveCommand() {
  if (state_.busy) return false;
  if (state_.newArchiveMode && state_.modified && AskToSave()) state_.modified = false;
  TNewOption dialog(window_);
  dialog.SetCallerDefaults();
  if (dialog.ShowModal() != IDOK) return false;
  const TNewOption::TResult& r = dialog.Result();
  if (r.DirOption >= 0) settings_.PackDirOption = r.DirOption;
  settings_.LzhPackOption = r.CompressionIndex;
  state_.shortNames = r.ShortName;
  EnsureWorkFolder();
  state_.newArchivePath = state_.workFolder + L"\\" + r.DefaultFileName;
  ClearList();
  state_.modified = false;
  state_.newArchiveMode = true;
  state_.readOnlyView = false;
  state_.listingUnavailable = false;
  DeleteFileW(state_.newArchivePath.c_str());
  state_.archivePath = state_.newArchivePath;
  SelectArchive(state_.archivePath);
  Caption(r.DefaultFileName);
  arc_->Options().jm = CompressionSwitch(arc_->ArchiverType(), settings_.LzhPackOption);
  arc_->Options().ji = arc_->ArchiverType() == atLha && state_.shortNames ? 1 : -1;
  state_.zipPassword = r.ZipPassword();
  state_.zipPasswordOn = !state_.zipPassword.empty();
  state_.baseFolder = r.BaseFolder();
  return true;
}

void TTavixMain::CommonDlgMnuClick() {
  settings_.CmnOpenDlg = true;
  settings_.ExtOpenDlg = false;
  FileAdd_BtnClick();
}

void TTavixMain::ExtDlgMnuClick() {
  settings_.ExtOpenDlg = true;
  settings_.CmnOpenDlg = false;
  FileAdd_BtnClick();
}

void TTavixMain::OpenDlgMnuPopup() {
  HMENU menu = DropDown(DropAdd);
  CheckMenuItem(menu, CmdAddStandard, MF_BYCOMMAND | (settings_.CmnOpenDlg ? MF_CHECKED : MF_UNCHECKED));
  CheckMenuItem(menu, CmdAddExtended, MF_BYCOMMAND | (settings_.ExtOpenDlg ? MF_CHECKED : MF_UNCHECKED));
}

void TTavixMain::FileAdd_BtnClick() {
  if (state_.busy || state_.readOnlyView || !state_.addingSupported) return;
  EnsureWorkFolder();
  std::vector<std::wstring> files;
  if (settings_.ExtOpenDlg) {
    TBrowse browse(window_, ini_.FullPath());
    browse.SetFolder(state_.lastOpenFolder);
    browse.SetDesktopFolder(state_.desktopFolder);
    if (browse.ShowModal() != IDOK) return;
    files = browse.Result();
    state_.lastOpenFolder = browse.Folder();
  } else {
    // Room for many names: the dialog fails rather than cut one.
    std::vector<wchar_t> buffer(1 << 20, L'\0');
    std::wstring filter = FilterForDialog(texts::AddFilter);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window_;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer.size());
    dialog.lpstrInitialDir = state_.lastOpenFolder.c_str();
    dialog.lpstrTitle = texts::AddTitle;
    dialog.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                   (settings_.IsLinkedObj ? 0 : OFN_NODEREFERENCELINKS);
    if (!GetOpenFileNameW(&dialog)) return;
    // One file: its full path; several: the folder, then each name.
    std::wstring first = buffer.data();
    const wchar_t* next = buffer.data() + first.size() + 1;
    if (*next == L'\0') {
      files.push_back(first);
      state_.lastOpenFolder = FolderOf(first);
    } else {
      for (; *next; next += wcslen(next) + 1) files.push_back(WithBackslash(first) + next);
      state_.lastOpenFolder = first;
    }
  }
  state_.archiveBaseFolder = WithBackslash(state_.lastOpenFolder);
  if (!files.empty()) {
    AddStep(files);
    if (state_.newArchiveMode) state_.modified = true;
  }
  SelectArchive(state_.archivePath);
}

int TTavixMain::RunLibrary(const std::function<int()>& call) {
  int code = 0;
  state_.busy = true;
  state_.lastPump = 0;
  EnableWindow(window_, FALSE);
  statusBar1_.HoldTexts(true);
  {
    // However the library call ends, the window takes commands again.
    TScopeExit ready([this] {
      statusBar1_.HoldTexts(false);
      state_.busy = false;
      EnableWindow(window_, TRUE);
    });
    try {
      code = call();
    } catch (const EArchiver& error) {
      code = -1;
      statusBar1_.HoldTexts(false);
      statusBar1_.SetProgress(0);
      ShowError(error.Message());
    }
  }
  SetFocus(arcList_.Handle());
  return code;
}

bool TTavixMain::AddStep(const std::vector<std::wstring>& files, const std::wstring& sharedFolder) {
  EnsureWorkFolder();
  if (state_.readOnlyView || !state_.addingSupported || files.empty()) return false;
  // 1: a new archive named after the first file.
  if (settings_.AutoNaming && !state_.modified) {
    std::wstring candidate = AutoNamedArchive(state_.archivePath, files.front(), state_.baseFolder);
    if (Exists(candidate) &&
        Message(candidate + texts::AutoNameExists, MB_ICONINFORMATION | MB_YESNO) != IDYES) {
      std::optional<std::wstring> name =
          InputBox(window_, texts::NewArchiveNameCaption, texts::NewArchiveNamePrompt, FileNameOf(candidate));
      if (!name) return false;
      candidate = BaseFolderRule(state_.baseFolder, FolderOf(candidate)) + *name;
    }
    state_.newArchivePath = candidate;
    state_.archivePath = candidate;
  }
  std::string archive = WideToAnsi(state_.archivePath);
  if (arc_->FileName() != archive) {
    try {
      arc_->SetFileName(archive);
    } catch (const EArchiver& error) {
      ShowError(error.Message());
      return false;
    }
  }
  // 2-6
  std::wstring keptBase = state_.archiveBaseFolder;
  state_.archiveBaseFolder.clear();
  TArchiverOptions& options = arc_->Options();
  options.r = 2;
  if (arc_->ArchiverType() == atLha && !settings_.LhaCommand.empty())
    options.UserOptions += " " + WideToAnsi(settings_.LhaCommand);
  if (arc_->ArchiverType() == atZip && state_.zipPasswordOn) options.UserOptions = "-P " + WideToAnsi(state_.zipPassword);
  options.ji = arc_->ArchiverType() == atLha && state_.shortNames ? 1 : -1;
  // Files from several folders go in one call per folder: cut to the first
  // file's folder, the others would be stored under wrong names.
  // The base folder the user set wins where it covers the shared one.
  std::wstring base = state_.baseFolder;
  if (!sharedFolder.empty() && BaseFolderRule(base, sharedFolder) == BaseFolderRule(L"", sharedFolder))
    base = sharedFolder;
  TAddPlan plan = PlanAdd(files, settings_.PackDirOption, base, IsFolder);
  options.x = plan.x;
  options.jf = plan.jf;
  // 8-10
  options.jm = CompressionSwitch(arc_->ArchiverType(), settings_.LzhPackOption);
  options.p = 1;
  options.PackFilter = pfComponent;
  state_.cancelRequested = false;
  int given = static_cast<int>(files.size());
  statusBar1_.SetText(0, texts::AddingStart + std::to_wstring(given) + texts::AddingEnd);
  if (arc_->OutputSize() == 0) arc_->SetOutputSize(4096);
  int code = 0;
  for (const TAddCall& call : plan.calls) {
    state_.archiveBaseFolder = call.base;
    code = RunLibrary([&] { return arc_->Add(window_, nullptr, WideToAnsi(call.base), TNameList{Ansi(call.names)}); });
    if (code != 0) break;
  }
  if (code != 0) {
    statusBar1_.SetText(0, texts::AddFailed);
    // The panel alone would not say which file was left out, nor why; a
    // failure raised as an exception has been shown already.
    if (code != -1 && code != ERROR_USER_CANCEL)
      Message(std::wstring(texts::AddFailed) + L".\r\n" + LibraryReport(code), MB_ICONWARNING | MB_OK);
  } else statusBar1_.SetText(0, L" " + std::to_wstring(given) + L" " + texts::AddedEnd);
  // 11-12
  options.r = 0;
  state_.archiveBaseFolder = keptBase;
  state_.modified = true;
  if (Exists(state_.archivePath)) {
    ReadEntries(state_.archivePath);
    SelectArchive(state_.archivePath);
  } else {
    Message(texts::CreateFailed, MB_ICONWARNING | MB_OK);
  }
  return code == 0;
}

void TTavixMain::FileDelete_BtnClick() {
  // The Delete key comes here too: only while the command is enabled.
  if (state_.busy || !ApplyCommandStates()[CmdDelete].enabled) return;
  struct TItem {
    std::wstring path;
    int index;
  };
  std::vector<TItem> items;
  for (int item : arcList_.SelectedItems())
    if (item >= 0 && item < static_cast<int>(state_.records.size()))
      items.push_back({EntryPath(state_.records[item]), item});
  if (items.empty()) return;
  std::string archive = WideToAnsi(state_.archivePath);
  if (arc_->FileName() != archive) {
    try {
      arc_->SetFileName(archive);
    } catch (const EArchiver& error) {
      ShowError(error.Message());
      return;
    }
  }
  if (arc_->OutputSize() == 0) arc_->SetOutputSize(4096);
  std::string directory = WideToAnsi(state_.archiveBaseFolder);
  int removed = 0;
  bool all = false;
  std::vector<std::string> batch;
  std::vector<int> batchRows;  // the rows of the batch, ascending
  int failedCode = 0;
  auto removeRecord = [&](int index) {
    state_.records.erase(state_.records.begin() + (index - removed));
    arcList_.SetItemCount(static_cast<int>(state_.records.size()), true);
    state_.entryCount -= 1;
    statusBar1_.SetText(1, std::to_wstring(state_.entryCount) + L" Files");
    ++removed;
  };
  for (const TItem& item : items) {
    if (!all) {
      SetFocus(arcList_.Handle());
      int answer = AskWithButtons(window_, applicationTitle_, texts::DeleteAskStart + item.path + texts::DeleteAskEnd,
                                  {{IDOK, L"OK"}, {IDCANCEL, texts::ButtonCancel}, {IDABORT, texts::ButtonAbort},
                                   {IdAll, texts::ButtonAll}});
      if (answer == IDCANCEL) continue;
      if (answer == IDABORT) break;
      if (answer == IdAll) all = true;
    }
    std::string name = WideToAnsi(MarkLiteralName(item.path));
    if (all) {
      batch.push_back(name);
      batchRows.push_back(item.index - removed);
      continue;
    }
    state_.cancelRequested = false;
    int code = RunLibrary([&] { return arc_->Delete(window_, nullptr, directory, TNameList{std::vector{name}}); });
    if (code == 0) removeRecord(item.index);
    else failedCode = code;
  }
  if (all && !batch.empty()) {
    state_.cancelRequested = false;
    int code = RunLibrary([&] { return arc_->Delete(window_, nullptr, directory, TNameList{batch}); });
    if (code != 0) {
      // The list shows what the archive holds now.
      failedCode = code;
      removed = 0;
      ReadEntries(state_.archivePath);
    } else {
      // The rows go in one pass, the list and the count told once: row by row
      // each removal moved the rest of the records and redrew the list.
      size_t next = 0, kept = 0;
      for (size_t row = 0; row < state_.records.size(); ++row) {
        if (next < batchRows.size() && batchRows[next] == static_cast<int>(row)) {
          ++next;
          continue;
        }
        if (kept != row) state_.records[kept] = std::move(state_.records[row]);
        ++kept;
      }
      state_.records.resize(kept);
      int count = static_cast<int>(batchRows.size());
      removed += count;
      state_.entryCount -= count;
      arcList_.SetItemCount(static_cast<int>(state_.records.size()), true);
      statusBar1_.SetText(1, std::to_wstring(state_.entryCount) + L" Files");
    }
  }
  if (failedCode != 0 && failedCode != -1) {
    wchar_t hex[16];
    swprintf(hex, std::size(hex), L"0x%X", failedCode);
    std::wstring report = AnsiToWide(arc_->OutputText());
    Message(texts::DeleteFailed + std::wstring(hex) + L")." + (report.empty() ? L"" : L"\r\n" + LibraryReport(failedCode)),
            MB_ICONWARNING | MB_OK);
  }
  if (removed > 0) {
    statusBar1_.SetText(0, L" " + std::to_wstring(removed) + L" " + texts::DeletedEnd);
    if (state_.newArchiveMode) state_.modified = true;
  }
  if (state_.records.empty()) {
    Message(texts::NoFilesLeftStart + state_.archivePath + texts::NoFilesLeftEnd, MB_ICONINFORMATION | MB_OK);
    EnterNewArchiveMode();
  } else {
    ApplyCommandStates();
  }
}

bool TTavixMain::SaveAs() {
  std::wstring folder = settings_.SaveDirOpt == 1   ? state_.sourceFolder
                        : settings_.SaveDirOpt == 2 ? state_.desktopFolder
                                                    : state_.lastOpenFolder;
  TSaveAsChoice choice = SaveAsChoiceFor(arc_->ArchiverType(), state_.archivePath);
  std::wstring filter = FilterForDialog(choice.filter);
  std::wstring source = state_.newArchivePath.empty() ? state_.archivePath : state_.newArchivePath;
  std::wstring initial = FileNameOf(state_.archivePath);
  for (;;) {
    std::vector<wchar_t> buffer(32768, L'\0');
    initial.copy(buffer.data(), std::min(initial.size(), buffer.size() - 1));
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window_;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer.size());
    dialog.lpstrInitialDir = folder.c_str();
    dialog.lpstrDefExt = choice.defaultExtension.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameW(&dialog)) return false;
    std::wstring chosen = buffer.data();
    initial = chosen;
    if (SameFile(chosen, source)) {
      // Copying the archive onto itself and deleting the source would lose it.
      Message(texts::SaveOntoItself, MB_ICONWARNING | MB_OK);
      continue;
    }
    if (Exists(chosen)) {
      int answer = AskWithButtons(window_, applicationTitle_, texts::SaveExists,
                                  {{IDOK, L"OK"}, {IDCANCEL, texts::ButtonCancel}, {IDABORT, texts::ButtonAbort}});
      if (answer == IDCANCEL) continue;
      if (answer != IDOK) return false;
    }
    // A read-only file is not replaced (some file systems would let the copy through).
    DWORD attributes = GetFileAttributesW(chosen.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
      Message(chosen + texts::SaveFailed + SystemText(ERROR_ACCESS_DENIED), MB_ICONWARNING | MB_OK);
      return false;
    }
    if (!CopyFileW(source.c_str(), chosen.c_str(), FALSE)) {
      // Only a copy that is complete may replace the new archive.
      Message(chosen + texts::SaveFailed + SystemText(GetLastError()), MB_ICONWARNING | MB_OK);
      return false;
    }
    DeleteFileW(source.c_str());
    state_.archivePath = chosen;
    try {
      arc_->SetFileName(WideToAnsi(chosen));
    } catch (const EArchiver&) {
      // The kind stays as the new archive had it.
    }
    state_.archiveBaseFolder = WithBackslash(FolderOf(chosen));
    Caption(chosen);
    state_.newArchiveMode = false;
    state_.modified = false;
    ApplyCommandStates();
    return true;
  }
}

void TTavixMain::SaveAs_MnuClick() {
  if (state_.busy || !state_.newArchiveMode || !state_.modified) return;
  SaveAs();
}

bool TTavixMain::AskToSave() {
  if (Message(texts::AskToSave, MB_ICONQUESTION | MB_YESNO) != IDYES) return false;
  return SaveAs();
}

void TTavixMain::OnDropFiles(HDROP drop) {
  SetForegroundWindow(window_);
  bool finished = false;
  auto finish = [&] {
    if (!finished) DragFinish(drop);
    finished = true;
  };
  TScopeExit always(finish);
  // Each name read at its own length: a fixed room would cut a long name
  // into another file's.
  auto dropped = [&](UINT index) {
    UINT length = DragQueryFileW(drop, index, nullptr, 0);
    std::wstring name(length + 1, L'\0');
    DragQueryFileW(drop, index, name.data(), length + 1);
    name.resize(length);
    return name;
  };
  POINT point{};
  BOOL inClient = DragQueryPoint(drop, &point);
  if (!inClient || state_.dragging || state_.busy) {
    state_.dragging = false;
    state_.dropping = false;
    return;
  }
  RECT list{};
  GetWindowRect(arcList_.Handle(), &list);
  MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&list), 2);
  if (point.y < list.top || point.y >= list.bottom) {
    std::wstring name = dropped(0);
    finish();
    name = LongForm(name);
    if (state_.newArchiveMode && state_.modified && AskToSave()) state_.modified = false;
    FullOpen(name);
    return;
  }
  if (state_.readOnlyView) {
    if (Message(texts::DropReadOnly, MB_ICONINFORMATION | MB_YESNO) != IDYES) {
      state_.dragging = false;
      state_.dropping = false;
      return;
    }
    state_.readOnlyView = false;
    state_.addingSupported = ApplyCommandStates().addingSupported;
  }
  if (state_.addingSupported && !state_.archivePath.empty()) {
    std::vector<std::wstring> names;
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) names.push_back(LongForm(dropped(i)));
    finish();
    if (!names.empty()) state_.lastOpenFolder = FolderOf(names.front());
    AddStep(names);
  } else {
    finish();
    Message(texts::CannotAdd, MB_ICONWARNING | MB_OK);
  }
}

// WM_DROPFILES serves the shell's and the desktop's drops; the OLE target
// takes drags from other programs (Wine's drag and drop reaches registered
// targets only) and hands them to the same road. A drag of our own is
// refused on our own window.
void TTavixMain::InstallDropHandling() {
  DragAcceptFiles(window_, TRUE);
  dropTarget_.Register(window_, [this] { return state_.dragging || state_.busy; });
}

void TTavixMain::RemoveDropHandling() {
  DragAcceptFiles(window_, FALSE);
  dropTarget_.Revoke();
}
