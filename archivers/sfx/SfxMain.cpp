// The self-extractor stubs. One source, three programs:
//   GUI stub (sfx32gui.dat, kmtarsef.exe): asks for the destination folder;
//   installer stub (SFX_INSTALLER, sfxinst.dat): follows the "$" definition
//     (the GUI stub does too when its archive carries one);
//   console stub (SFX_CONSOLE, sfx16.dat): for the DOS roles.
// Command line (GUI and installer): [/s] [/o] [/r] [/d folder]
//   /s no windows at all, /o replace existing files, /r run the installer's
//   command even with /s, /d the destination (/dfolder and /d=folder work too).
// Console: [-s] [-o] [folder]. Exit codes: see sfx::ExitCode.
#include "archivers/sfx/SfxArchive.h"
#include "archivers/sfx/SfxInstall.h"
#include "archivers/sfx/SfxResource.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Arguments {
  bool silent = false;
  bool overwrite = false;
  bool runCommand = false;
  std::wstring destination;
};

Arguments ParseArguments() {
  Arguments arguments;
  int count = 0;
  LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 1; words != nullptr && i < count; ++i) {
    std::wstring word = words[i];
    if (word.size() >= 2 && (word[0] == L'/' || word[0] == L'-')) {
      wchar_t option = static_cast<wchar_t>(towlower(word[1]));
      std::wstring rest = word.substr(2);
      if (option == L's' && rest.empty()) {
        arguments.silent = true;
      } else if (option == L'o' && rest.empty()) {
        arguments.overwrite = true;
      } else if (option == L'r' && rest.empty()) {
        arguments.runCommand = true;
      } else if (option == L'd') {
        if (!rest.empty() && (rest[0] == L'=' || rest[0] == L':')) rest = rest.substr(1);
        if (rest.empty() && i + 1 < count) rest = words[++i];
        arguments.destination = rest;
      }
      continue;
    }
    arguments.destination = word;  // a bare word is the destination
  }
  LocalFree(words);
  return arguments;
}

std::wstring ProgramPath() {
  std::wstring path(32768, L'\0');
  DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length);
  return path;
}

int ExitFor(const sfx::ExtractOutcome& outcome) {
  if (outcome.code == 0) return sfx::ExitOk;
  if (outcome.code == ERROR_USER_CANCEL) return sfx::ExitCancelled;
  if (outcome.code == ERROR_FILE_CRC || outcome.code == ERROR_HEADER_CRC || outcome.code == ERROR_BROKEN_DATA ||
      outcome.code == ERROR_UNEXPECTED_EOF || outcome.code == ERROR_HEADER_BROKEN || outcome.code == ERROR_NOT_ARC_FILE)
    return sfx::ExitDamaged;
  return sfx::ExitWriteFailed;
}

const wchar_t DamagedText[] = L"書庫が壊れています。展開を中止しました。\n何も書き込んでいません。";

#ifdef SFX_CONSOLE

// ---- console stub ----

void Print(const std::wstring& text) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD written;
  DWORD mode;
  if (GetConsoleMode(out, &mode)) {
    WriteConsoleW(out, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr);
  } else {
    std::string ansi = arc::ToAnsi(text);
    WriteFile(out, ansi.data(), static_cast<DWORD>(ansi.size()), &written, nullptr);
  }
}

std::wstring ReadLine() {
  // A typed folder may be longer than one read: read on to the line's end.
  std::string line;
  char part[1024];
  while (std::fgets(part, sizeof part, stdin) != nullptr) {
    line += part;
    if (!line.empty() && line.back() == '\n') break;
  }
  std::wstring text = arc::FromAnsi(line);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
  return text;
}

int Run() {
  Arguments arguments = ParseArguments();
  std::wstring program = ProgramPath();
  sfx::Survey survey = sfx::SurveyArchive(program);
  if (!survey.intact) {
    Print(std::wstring(DamagedText) + L"\r\n" + survey.problem + L"\r\n");
    return sfx::ExitDamaged;
  }
  std::wstring destination = arguments.destination;
  if (destination.empty() && !arguments.silent) {
    Print(L"展開先のフォルダを入力してください (省略時はカレントフォルダ): ");
    destination = ReadLine();
  }
  if (destination.empty()) destination = L".";
  sfx::ExtractSettings settings;
  settings.destination = destination;
  settings.overwrite = arguments.overwrite ? sfx::Overwrite::Always
                       : arguments.silent  ? sfx::Overwrite::Never
                                           : sfx::Overwrite::Ask;
  settings.ask = [](const std::wstring& path) {
    Print(path + L" は既に存在します。上書きしますか? (y:はい n:いいえ a:すべて q:中止) ");
    std::wstring answer = ReadLine();
    wchar_t c = answer.empty() ? L'n' : static_cast<wchar_t>(towlower(answer[0]));
    return c == L'y' ? sfx::Answer::Yes : c == L'a' ? sfx::Answer::All : c == L'q' ? sfx::Answer::Cancel
                                                                                      : sfx::Answer::No;
  };
  settings.step = [](const std::wstring& name) {
    Print(L"  " + name + L"\r\n");
    return true;
  };
  sfx::ExtractOutcome outcome = sfx::ExtractArchive(program, settings);
  if (outcome.code != 0) {
    Print(outcome.problem + L"\r\n");
    return ExitFor(outcome);
  }
  Print(L"展開が終了しました。\r\n");
  return sfx::ExitOk;
}

}  // namespace

int wmain() { return Run(); }

#else

// ---- GUI and installer stubs ----

HINSTANCE instance;

#ifdef SFX_INSTALLER
constexpr bool ForcedInstaller = true;
#else
constexpr bool ForcedInstaller = false;
#endif

// A "$" entry is a definition of ours when it sets at least one known key.
bool IsDefinition(const sfx::Survey& survey) {
  if (!survey.hasDefinition) return false;
  for (const char* key : {"$WindowTitle=", "$InstallTitle=", "$InstallDir=", "$Flag="}) {
    if (survey.definition.find(key) != std::string::npos) return true;
  }
  return false;
}

struct FolderDialogState {
  std::wstring caption;
  std::wstring label;
  std::wstring folder;
};

std::wstring FolderText(HWND dialog) {
  HWND edit = GetDlgItem(dialog, IDC_SFX_FOLDER);
  std::wstring text(GetWindowTextLengthW(edit) + 1, L'\0');
  text.resize(GetWindowTextW(edit, text.data(), static_cast<int>(text.size())));
  return text;
}

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED) SendMessageW(window, BFFM_SETSELECTIONW, TRUE, data);
  return 0;
}

INT_PTR CALLBACK FolderDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<FolderDialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      state = reinterpret_cast<FolderDialogState*>(lParam);
      SetWindowTextW(dialog, state->caption.c_str());
      SetDlgItemTextW(dialog, IDC_SFX_LABEL, state->label.c_str());
      SetDlgItemTextW(dialog, IDC_SFX_FOLDER, state->folder.c_str());
      RECT area, box;
      SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
      GetWindowRect(dialog, &box);
      SetWindowPos(dialog, nullptr, (area.right - area.left - (box.right - box.left)) / 2,
                   (area.bottom - area.top - (box.bottom - box.top)) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_SFX_BROWSE: {
          std::wstring current = FolderText(dialog);
          BROWSEINFOW info{};
          info.hwndOwner = dialog;
          info.lpszTitle = L"展開先のフォルダを選択してください";
          info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
          info.lpfn = BrowseCallback;
          info.lParam = reinterpret_cast<LPARAM>(current.c_str());
          if (PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info)) {
            wchar_t path[MAX_PATH];  // the call's contract is a MAX_PATH buffer
            if (SHGetPathFromIDListW(chosen, path)) SetDlgItemTextW(dialog, IDC_SFX_FOLDER, path);
            CoTaskMemFree(chosen);
          }
          return TRUE;
        }
        case IDOK: {
          state->folder = FolderText(dialog);
          if (state->folder.empty()) {
            MessageBoxW(dialog, L"展開先のフォルダを指定してください。", state->caption.c_str(), MB_OK | MB_ICONWARNING);
            return TRUE;
          }
          EndDialog(dialog, IDOK);
          return TRUE;
        }
        case IDCANCEL:
          EndDialog(dialog, IDCANCEL);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

bool AskFolder(FolderDialogState& state) {
  return DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_SFX_FOLDER), nullptr, FolderDialogProc,
                         reinterpret_cast<LPARAM>(&state)) == IDOK;
}

sfx::Answer AskOverwrite(const std::wstring& caption, const std::wstring& path) {
  std::wstring text = path + L"\nは既に存在します。上書きしますか？";
  int answer = MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_YESNOCANCEL | MB_ICONQUESTION);
  return answer == IDYES ? sfx::Answer::Yes : answer == IDCANCEL ? sfx::Answer::Cancel : sfx::Answer::No;
}

std::wstring DefaultTitle(const std::wstring& program) {
  std::wstring name = arc::FileNameOf(program);
  return name + L" - 自己解凍";
}

int Run() {
  Arguments arguments = ParseArguments();
  std::wstring program = ProgramPath();
  std::wstring caption = DefaultTitle(program);
  auto say = [&](const std::wstring& text, UINT icon) {
    if (!arguments.silent) MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK | icon);
  };

  // Read the whole archive first: a damaged one writes nothing anywhere.
  sfx::Survey survey = sfx::SurveyArchive(program);
  if (!survey.intact) {
    say(std::wstring(DamagedText) + L"\n\n" + survey.problem, MB_ICONERROR);
    return sfx::ExitDamaged;
  }

  sfx::ExtractSettings settings;
  FolderDialogState folder{caption, L"展開先のフォルダを指定してください", L""};
  // The installer stub always follows the definition; the GUI stub does when
  // the archive carries one (UNLHA32 may join any of our GUI stubs to it).
  const bool installer = ForcedInstaller || IsDefinition(survey);
  sfx::InstallDefinition definition = sfx::ParseDefinition(survey.definition);
  const bool interactive = !arguments.silent && !(installer && definition.flags.autoExecute);
  if (installer) {
    if (!definition.windowTitle.empty()) caption = folder.caption = definition.windowTitle;
    if (!definition.installTitle.empty()) folder.label = definition.installTitle;
    folder.folder = sfx::ExpandInstallFolder(definition.installDir);
    if (interactive && survey.hasMessage) {
      std::wstring message = sfx::DecodeMessage(survey.message);
      if (!message.empty() &&
          MessageBoxW(nullptr, message.c_str(), caption.c_str(), MB_OKCANCEL | MB_ICONINFORMATION) != IDOK)
        return sfx::ExitCancelled;
    }
    settings.skipInstallerFiles = true;
    settings.restoreAttributes = definition.flags.restoreAttributes;
    if (arguments.overwrite) {
      settings.overwrite = sfx::Overwrite::Always;
    } else if (definition.flags.askOverwrite && interactive) {
      settings.overwrite = sfx::Overwrite::Ask;
      settings.askWhenNewerOnly = !definition.flags.ignoreTimestamps;
    } else {
      settings.overwrite = definition.flags.ignoreTimestamps ? sfx::Overwrite::Always : sfx::Overwrite::IfNewer;
    }
  } else {
    folder.folder = arc::FolderOf(program);
    settings.overwrite = arguments.overwrite ? sfx::Overwrite::Always
                         : interactive       ? sfx::Overwrite::Ask
                                             : sfx::Overwrite::Never;
  }
  if (!arguments.destination.empty()) folder.folder = arguments.destination;
  if (folder.folder.empty()) folder.folder = arc::FolderOf(program);
  if (interactive && arguments.destination.empty() && !AskFolder(folder)) return sfx::ExitCancelled;
  settings.destination = folder.folder;
  settings.ask = [&](const std::wstring& path) { return AskOverwrite(caption, path); };

  HCURSOR cursor = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  sfx::ExtractOutcome outcome = sfx::ExtractArchive(program, settings);
  SetCursor(cursor);
  if (outcome.code != 0) {
    if (outcome.code != ERROR_USER_CANCEL) say(L"展開できませんでした。\n\n" + outcome.problem, MB_ICONERROR);
    return ExitFor(outcome);
  }

  if (!installer) {
    if (interactive) say(L"展開が終了しました。", MB_ICONINFORMATION);
    return sfx::ExitOk;
  }
  std::wstring installed = arc::FullPath(settings.destination);
  std::wstring failures;
  if (!definition.associations.empty()) {
    std::wstring question = L"ファイルの関連付けを行いますか？\n";
    for (const auto& association : definition.associations)
      question += L"\n" + association.extension + L" → " + association.application;
    std::wstring title = definition.classTitle.empty() ? caption : definition.classTitle;
    if (!interactive || MessageBoxW(nullptr, question.c_str(), title.c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES) {
      for (const auto& association : definition.associations) {
        if (!sfx::RegisterAssociation(association, installed)) failures += L"\n" + association.extension;
      }
    }
  }
  if (!definition.startMenu.empty()) {
    std::wstring question = L"スタートメニューに登録しますか？\n";
    for (const auto& entry : definition.startMenu) question += L"\n" + entry.group + L"\\" + entry.title;
    std::wstring title = definition.groupTitle.empty() ? caption : definition.groupTitle;
    if (!interactive || MessageBoxW(nullptr, question.c_str(), title.c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES) {
      for (const auto& entry : definition.startMenu) {
        if (sfx::AddStartMenuEntry(entry, installed).empty()) failures += L"\n" + entry.title;
      }
    }
  }
  if (!failures.empty()) say(L"次の登録ができませんでした。" + failures, MB_ICONWARNING);
  if (!definition.command.empty() && (!arguments.silent || arguments.runCommand)) {
    if (!sfx::RunInstalledCommand(definition.command, installed))
      say(definition.command + L"\nを実行できませんでした。", MB_ICONWARNING);
  } else if (interactive) {
    say(L"インストールが終了しました。", MB_ICONINFORMATION);
  }
  return sfx::ExitOk;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE current, HINSTANCE, LPWSTR, int) {
  instance = current;
  return Run();
}

#endif
