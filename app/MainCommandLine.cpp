// The command line and the start-up job.
#include "app/AddRules.h"
#include "app/TavixMain.h"
#include "engine/Handles.h"
#include "engine/SystemText.h"
#include "shellext/HandOverBlock.h"

#include <algorithm>
#include <cwctype>

namespace {

bool StartsWith(const std::wstring& text, const wchar_t* prefix) { return text.rfind(prefix, 0) == 0; }

void TrimLeadingBlanks(std::wstring& text) { text.erase(0, text.find_first_not_of(L' ')); }

// The first place where word stands alone: at the start or after a blank, and
// followed by a blank or the end.
size_t FindSwitch(const std::wstring& text, const wchar_t* word) {
  size_t length = wcslen(word);
  for (size_t at = text.find(word); at != std::wstring::npos; at = text.find(word, at + 1)) {
    bool startsWord = at == 0 || text[at - 1] == L' ';
    bool endsWord = at + length == text.size() || text[at + length] == L' ';
    if (startsWord && endsWord) return at;
  }
  return std::wstring::npos;
}

}  // namespace

TCommandLineModes TTavixMain::ParseCommandLine(const std::wstring& commandLine, std::wstring& remaining) {
  TCommandLineModes modes;
  std::wstring text = commandLine;
  if (!text.empty())
    CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  std::erase(text, L'"');
  size_t exe = text.find(L".EXE");
  if (exe != std::wstring::npos) text.erase(0, exe + 4);
  TrimLeadingBlanks(text);
  if (StartsWith(text, L"/VIEW ")) {
    // The file keeps its own spelling: the rest of the line as given.
    std::wstring given = commandLine;
    std::erase(given, L'"');
    given.erase(0, given.size() - text.size() + 6);
    TrimLeadingBlanks(given);
    while (!given.empty() && given.back() == L' ') given.pop_back();
    modes.view = true;
    modes.fileToView = LongForm(given);
    remaining.clear();
    return modes;
  }
  if (StartsWith(text, L"/MELT")) {
    text.erase(0, 5);
    modes.extract = true;
  } else if (StartsWith(text, L"/PACKS")) {
    text.erase(0, 5);
    modes.pack = modes.packEach = true;
  } else if (StartsWith(text, L"/PACK")) {
    text.erase(0, 5);
    modes.pack = true;
  } else if (StartsWith(text, L"-MD")) {
    text.erase(0, 3);
  } else if (StartsWith(text, L"-M")) {
    text.erase(0, 2);
    modes.extractAndExit = true;
  }
  if (size_t at = text.find(L"/AUTOPACK"); at != std::wstring::npos) {
    text.erase(0, at + 9);
    modes.pack = modes.packEach = true;
  }
  // "-A" counts only as a word of its own: a path such as "C:\MY-ARCHIVES\X.LZH"
  // must not turn into an add job.
  if (size_t at = FindSwitch(text, L"-A"); at != std::wstring::npos) {
    text.erase(0, at + 2);
    TrimLeadingBlanks(text);
    if (!text.empty()) modes.add = true;
  }
  TrimLeadingBlanks(text);
  if (settings_.IsDropToIcon == 1 && !modes.extractAndExit && !modes.add) modes.extractAndExit = true;
  // An archive that cannot be handled raises here; the start-up tells it once.
  if (SelectArchive(text) == atAutoDetect) {
    modes.compressFile = true;
    modes.fileToCompress = text;
  }
  remaining = text;
  return modes;
}

std::wstring TTavixMain::LongForm(const std::wstring& path) {
  if (path.empty() || StartsWith(path, L"\\\\")) return path;
  // Asked with no buffer, the call answers the size the full path needs.
  DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::wstring expanded(needed, L'\0');
  DWORD length = GetFullPathNameW(path.c_str(), needed, expanded.data(), nullptr);
  if (length == 0 || length >= needed) return path;
  expanded.resize(length);
  if (expanded.size() < 2) return expanded;
  std::wstring result = expanded.substr(0, 2);
  size_t position = 2;
  while (position < expanded.size()) {
    if (expanded[position] == L'\\') ++position;
    if (position >= expanded.size()) break;
    size_t next = expanded.find(L'\\', position);
    std::wstring upTo = expanded.substr(0, next);
    WIN32_FIND_DATAW found{};
    if (!TFindHandle(FindFirstFileW(upTo.c_str(), &found))) {
      result += L"\\" + expanded.substr(position);
      return result;
    }
    result += L"\\";
    result += found.cFileName;
    if (next == std::wstring::npos) break;
    position = next;
  }
  return result;
}

void TTavixMain::RunStartUpJob() {
  const TCommandLineModes& modes = state_.modes;
  if (modes.extractAndExit && !modes.extract && !modes.pack) {
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
  if (modes.extract) return RunHandOverExtractJob();
  if (modes.add || modes.compressFile) {
    if (!PrepareNewArchive()) return;
    std::vector<std::wstring> files;
    if (modes.add)
      for (size_t i = 1; i < start_.arguments.size(); ++i) files.push_back(LongForm(start_.arguments[i]));
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
  std::vector<std::wstring> files = hand_over::Read();
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
  std::vector<std::wstring> paths = hand_over::Read();
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
