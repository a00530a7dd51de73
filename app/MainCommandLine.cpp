// The command line and the start-up job.
#include "app/AddRules.h"
#include "app/CommandLine.h"
#include "app/TavixMain.h"
#include "engine/Handles.h"
#include "engine/SystemText.h"
#include "shellext/HandOverBlock.h"

#include <algorithm>

void TTavixMain::RunStartUpJob() {
  const TCommandLine& modes = state_.modes;
  if (modes.extractAndExit && !modes.melt && !modes.pack) {
    // The program ends after the dialog, whether or not the user extracted.
    FIleMelt_BtnClick();
    PostMessageW(window_, WM_CLOSE, 0, 0);
    return;
  }
  if (modes.view) {
    ViewFile(modes.fileToView);
    PostMessageW(window_, WM_CLOSE, 0, 0);
    return;
  }
  if (modes.pack) {
    ShellPackJob();
    return;
  }
  if (modes.melt) return RunHandOverExtractJob();
  if (modes.add || modes.compressFile) {
    if (!PrepareNewArchive()) return;
    std::vector<std::wstring> files;
    if (modes.add)
      for (const std::wstring& file : modes.addFiles) files.push_back(LongForm(file));
    else
      files.push_back(LongForm(modes.fileToCompress));
    if (files.empty()) return;
    state_.sourceFolder = FolderOf(files.front());
    AddStep(files);
    return;
  }
  FullOpen(state_.archivePath);
}

bool TTavixMain::PrepareNewArchive() {
  static const wchar_t* const extensions[] = {L".lzh", L".zip", L".cab"};
  if (settings_.NewMode < 0 || settings_.NewMode > 2) return NewArchiveCommand();
  EnsureWorkFolder();
  std::wstring name = std::wstring(L"Newfile") + extensions[settings_.NewMode];
  state_.newArchivePath = state_.workFolder + L"\\" + name;
  state_.archivePath = state_.newArchivePath;
  Caption(name);
  state_.newArchiveMode = true;
  state_.modified = false;
  state_.readOnlyView = false;
  SelectArchive(state_.archivePath);
  return true;
}

void TTavixMain::ShellPackJob() {
  std::vector<std::wstring> files = std::move(state_.handedOver);
  if (files.empty()) return;
  if (!state_.modes.packEach) {
    if (!PrepareNewArchive()) return;
    AddStep(files);
    ApplyCommandStates();
    return;
  }
  for (const std::wstring& file : files) {
    if (!PrepareNewArchive()) return;
    // "report.doc" becomes "report.doc.lzh" beside it.
    std::wstring extension = FileNameOf(state_.newArchivePath);
    extension = extension.substr(std::min(extension.rfind(L'.'), extension.size()));
    state_.archivePath = file + extension;
    SelectArchive(state_.archivePath);
    Caption(state_.archivePath);
    AddStep({file});
    state_.newArchiveMode = false;
  }
  PostMessageW(window_, WM_CLOSE, 0, 0);
}

// "/MELT": the archives the shell extension handed over. The first opens
// here; each further one in an instance of its own.
void TTavixMain::RunHandOverExtractJob() {
  std::vector<std::wstring> paths = std::move(state_.handedOver);
  if (paths.empty()) return;
  FullOpen(paths.front());
  state_.readOnlyView = state_.openDialogReadOnly;
  SelectArchive(paths.front());
  std::wstring program = ModulePath(nullptr);
  for (size_t i = 1; i < paths.size(); ++i) {
    std::wstring commandLine = L"\"" + program + L"\" \"" + paths[i] + L"\"";
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION process{};
    if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process)) {
      TKernelHandle thread(process.hThread);
      TKernelHandle started(process.hProcess);
    }
  }
}
