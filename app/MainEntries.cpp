// Opening entries with their applications, installing, and the clipboard:
// copying entries as files and pasting files into the archive.
#include "app/AddRules.h"
#include "app/ClipboardFiles.h"
#include "app/MainTexts.h"
#include "app/TavixMain.h"
#include "engine/TextUtil.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>

namespace {

UINT DropEffectFormat() {
  static const UINT format = RegisterClipboardFormatW(L"Preferred DropEffect");
  return format;
}

// "Preferred DropEffect": the files are offered for copying, not moving.
HGLOBAL CopyEffectBlock() {
  TGlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DWORD)));
  if (!memory) return nullptr;
  {
    TGlobalLock<DWORD> effect(memory.get());
    if (!effect.get()) return nullptr;
    *effect.get() = DROPEFFECT_COPY;
  }
  return memory.release();
}

// Puts a block on the clipboard, which owns it from then on.
void PutOnClipboard(UINT format, HGLOBAL block) {
  if (block && !SetClipboardData(format, block)) GlobalFree(block);
}

// Where an entry lands below folder when its stored folders are kept.
std::wstring EntryFile(const std::wstring& folder, std::wstring entryPath) {
  std::replace(entryPath.begin(), entryPath.end(), L'/', L'\\');
  return folder + L"\\" + entryPath;
}

bool IsFile(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFileOrFolder(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool StartsWithNoCase(const std::wstring& text, const std::wstring& start) {
  return text.size() >= start.size() &&
         CompareStringOrdinal(text.c_str(), static_cast<int>(start.size()), start.c_str(),
                              static_cast<int>(start.size()), TRUE) == CSTR_EQUAL;
}

// The deepest folder that holds every name (empty when they share none).
std::wstring SharedFolder(const std::vector<std::wstring>& names) {
  std::wstring shared;
  for (size_t i = 0; i < names.size(); ++i) {
    std::wstring folder = FolderOf(names[i]) + L"\\";
    if (i == 0) {
      shared = folder;
      continue;
    }
    while (!shared.empty() && !StartsWithNoCase(folder, shared)) {
      shared.pop_back();
      size_t cut = shared.rfind(L'\\');
      shared = cut == std::wstring::npos ? std::wstring() : shared.substr(0, cut + 1);
    }
  }
  // A drive or share alone names no folder the files came from.
  if (shared.size() <= 3 || shared.rfind(L"\\\\", 0) == 0) return L"";
  shared.pop_back();
  return shared;
}

}  // namespace

void TTavixMain::ShellOpen(const std::wstring& file, const std::wstring& folder) {
  SHELLEXECUTEINFOW run{sizeof run};
  // The system's own error box would come before ours.
  run.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  run.hwnd = window_;
  run.lpVerb = L"open";
  run.lpFile = file.c_str();
  run.lpDirectory = folder.c_str();
  run.nShow = SW_SHOWNORMAL;
  SetLastError(0);
  BOOL started = ShellExecuteExW(&run);
  DWORD error = GetLastError();
  auto result = reinterpret_cast<INT_PTR>(run.hInstApp);
  if (started && result > 32) {
    // The application takes a moment to come up before the window goes on.
    Sleep(500);
    return;
  }
  if (result > 32 || result == 0) result = error == ERROR_NO_ASSOCIATION ? SE_ERR_NOASSOC : SE_ERR_FNF;
  ShowError((result == SE_ERR_NOASSOC ? texts::NoApplication : texts::CannotOpenFile) + std::to_wstring(error));
}

void TTavixMain::OpenEntry(const std::wstring& entryPath) {
  if (entryPath.empty()) return;
  std::wstring name = FileNameOf(entryPath);
  // The shell opens whatever the name comes to: only a plain name in the work folder.
  if (!IsPlainRelativePath(name)) {
    ShowError(texts::CannotOpenFile + std::to_wstring(ERROR_INVALID_NAME));
    return;
  }
  EnsureWorkFolder();
  std::wstring file = state_.workFolder + L"\\" + name;
  TArchiverOptions& options = arc_->Options();
  int keptX = options.x;
  bool failed = ExtractStep({WideToAnsi(entryPath)}, state_.workFolder, TExtractMode::Temporary);
  options.x = keptX;
  if (failed || !IsFile(file)) {
    // The step tells of most failures itself; one it kept quiet about is told here.
    if (!state_.extractFailureShown || !failed) ShowError(name + texts::EntryNotOpened);
    return;
  }
  ShellOpen(file, state_.workFolder);
}

void TTavixMain::FileOpen_PopClick() {
  if (state_.busy) return;
  std::vector<int> selected = arcList_.SelectedItems();
  if (selected.empty() || selected[0] < 0 || selected[0] >= static_cast<int>(state_.records.size())) return;
  OpenEntry(EntryPath(state_.records[selected[0]]));
}

void TTavixMain::Install_PopMnuClick() {
  // Its shortcut arrives whatever is selected.
  if (state_.busy || !ApplyCommandStates()[CmdInstall].enabled) return;
  std::vector<int> selected = arcList_.SelectedItems();
  if (selected.empty() || selected[0] < 0 || selected[0] >= static_cast<int>(state_.records.size())) return;
  std::wstring installer = EntryPath(state_.records[selected[0]]);
  EnsureWorkFolder();
  // The whole archive: the library finds every entry at once instead of name by name.
  ExtractStep({"*.*"}, state_.workFolder, TExtractMode::WithFolders);
  // An installer in a folder of the archive starts where its files are, in
  // its own folder; a name that would lead out of the work folder is taken
  // from the archive once more into the work folder itself.
  std::wstring file = EntryFile(state_.workFolder, installer);
  if (IsPlainRelativePath(installer) && IsFile(file)) ShellOpen(file, FolderOf(file));
  else OpenEntry(installer);
}

void TTavixMain::Copy1Click() {
  if (state_.busy) return;
  state_.copyList.clear();
  state_.copyArchive = state_.archivePath;
  state_.copyRenderCount = 0;
  for (int item : arcList_.SelectedItems()) {
    if (item < 0 || item >= static_cast<int>(state_.records.size())) continue;
    std::wstring path = EntryPath(state_.records[item]);
    // A name that leads out of the work folder would offer a file that is no entry.
    if (IsPlainRelativePath(path)) state_.copyList.push_back(path);
  }
  if (state_.copyList.empty()) return;
  if (!OpenClipboard(window_)) return;
  EmptyClipboard();
  // The files are written only when a program asks for them.
  SetClipboardData(CF_HDROP, nullptr);
  // Targets ask for the effect before the files, so it is there at once.
  PutOnClipboard(DropEffectFormat(), CopyEffectBlock());
  CloseClipboard();
  ApplyCommandStates();
}

void TTavixMain::RenderCopiedFiles() {
  if (state_.copyList.empty()) return;
  // Programs that merely look at the clipboard ask too: the first requests,
  // and any while the archive is in use, get the promise again.
  if (state_.copyRenderCount <= 2 || state_.busy) {
    SetClipboardData(CF_HDROP, nullptr);
    if (!state_.busy) ++state_.copyRenderCount;
    return;
  }
  std::vector<std::string> names;
  // Every entry copied: the library finds them all at once instead of name by name.
  if (state_.copyArchive == state_.archivePath && state_.copyList.size() == state_.records.size()) {
    names.push_back("*.*");
  } else {
    names.reserve(state_.copyList.size());
    for (const std::wstring& path : state_.copyList) names.push_back(WideToAnsi(path));
  }
  EnsureWorkFolder();
  if (state_.copyArchive == state_.archivePath) {
    ExtractStep(names, state_.workFolder, TExtractMode::WithFolders);
  } else {
    // The entries come from the archive they were copied in, not from the one shown now.
    std::wstring shown = state_.archivePath;
    std::string shownFile = arc_->FileName();
    state_.archivePath = state_.copyArchive;
    TScopeExit back([&] {
      state_.archivePath = shown;
      try {
        if (arc_->FileName() != shownFile) arc_->SetFileName(shownFile);
      } catch (const EArchiver&) {
        // The next command selects the shown archive again and tells.
      }
    });
    ExtractStep(names, state_.workFolder, TExtractMode::WithFolders);
  }
  // The extraction tells of its own failures; a file it did not write is
  // left out, or the target's copy would stop at it.
  std::vector<std::wstring> files;
  files.reserve(state_.copyList.size());
  for (const std::wstring& path : state_.copyList)
    if (std::wstring file = EntryFile(state_.workFolder, path); IsFile(file)) files.push_back(file);
  if (files.empty()) return;
  PutOnClipboard(CF_HDROP, MakeFileDropBlock(files));
  PutOnClipboard(DropEffectFormat(), CopyEffectBlock());
}

void TTavixMain::Paste1Click() {
  // Its shortcut arrives in a read-only view too.
  if (state_.busy || !ApplyCommandStates()[CmdPaste].enabled) return;
  std::vector<std::wstring> names;
  if (!OpenClipboard(window_)) return;
  {
    TScopeExit close([] { CloseClipboard(); });
    HANDLE data = nullptr;
    // An offer written on request may answer the first requests empty (ours
    // does three times).
    for (int attempt = 0; attempt < 4 && !data && IsClipboardFormatAvailable(CF_HDROP); ++attempt)
      data = GetClipboardData(CF_HDROP);
    if (!data) return;
    {
      TGlobalLock<BYTE> block(data);
      if (block.get()) names = ReadFileDropList(block.get(), GlobalSize(data));
    }
    EmptyClipboard();
  }
  // The list comes from another program: only full paths of existing files.
  std::erase_if(names, [](const std::wstring& name) { return !IsPlainFullPath(name) || !IsFileOrFolder(name); });
  ApplyCommandStates();
  if (names.empty()) return;
  // Pasted files keep their folders below the folder they share.
  AddStep(names, SharedFolder(names));
}

void TTavixMain::ClipboardChanged() { ApplyCommandStates(); }

bool TTavixMain::ClipboardHasFiles() const { return IsClipboardFormatAvailable(CF_HDROP) != FALSE; }
