// Extraction through the main window (progress reports on) against the
// library alone on the same command line: Tavix's share of the time.
// Arguments: the archive (a Windows path), a scratch folder, which the
// caller removes afterwards, and the rounds of the by-name road (default 4).
// With more than one entry, the same again for every entry but the first
// chosen in the list and extracted by name.
#include "tests/app/WindowDriver.h"

#include "engine/TextUtil.h"

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

void Clear(const std::wstring& folder) {
  std::wstring from = folder + L'\0';
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
  SHFileOperationW(&op);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::printf("usage: app_extract_bench ARCHIVE SCRATCH\n");
    return 2;
  }
  std::wstring archive = argv[1], scratch = argv[2];
  // Rounds of the by-name road (each run of it lists every name on the command line).
  int rounds = argc > 3 ? std::max(1, _wtoi(argv[3])) : 4;
  CreateDirectoryW(scratch.c_str(), nullptr);
  std::wstring ini = scratch + L"\\Tavix.ini";
  WritePrivateProfileStringW(L"Options", L"WorkDir", (scratch + L"\\work").c_str(), ini.c_str());
  WritePrivateProfileStringW(L"Options", L"UseShellIcon", L"0", ini.c_str());
  WritePrivateProfileStringW(L"Options", L"ExtractFileOpt", L"1", ini.c_str());
  WritePrivateProfileStringW(L"Options", L"ExistFileMode", L"1", ini.c_str());
  TMainStart start;
  start.settingsPath = ini;
  start.commandLine = L"Tavix.exe \"" + archive + L"\"";
  TTavixMain main;
  main.Create(start, SW_SHOWNORMAL);
  PumpUntil(main, [&] { return !main.State().pendingJob && !main.State().busy; }, 600000);
  std::printf("entries: %d\n", main.State().entryCount);

  using Unlha = int(WINAPI*)(HWND, LPCSTR, LPSTR, DWORD);
  auto library = reinterpret_cast<Unlha>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"UNLHA32.DLL"), "Unlha")));
  if (!library) {
    std::printf("UNLHA32.DLL not loaded\n");
    return 1;
  }
  // The command line of each road's first run through the window is the library's too.
  std::wstring out = scratch + L"\\out";
  int runs = 0;
  // Best times through the window and of the library alone, alternating which goes first.
  auto compare = [&](int rounds, double (&best)[2]) {
    Clear(out);
    main.ExtractRun(out, false);
    std::string command = main.Arc().LastCommandLine();
    std::printf("command: %.200s%s\n", command.c_str(), command.size() > 200 ? "..." : "");
    // Each run writes into a folder of its own, removed only at the end: the
    // host file system creates files more slowly after many deletions, which
    // would favour whichever run came first.
    std::string outAnsi = WideToAnsi(out);
    size_t at = command.find(outAnsi);
    if (at == std::string::npos) {
      std::printf("the destination is not on the command line\n");
      return false;
    }
    best[0] = best[1] = 1e9;
    for (int round = 0; round < rounds; ++round) {
      // Alternating which goes first, so neither gains from the other's leftovers.
      bool windowFirst = round % 2 == 0;
      for (int turn = 0; turn < 2; ++turn) {
        bool window = (turn == 0) == windowFirst;
        std::wstring folder = out + std::to_wstring(++runs);
        CreateDirectoryW(folder.c_str(), nullptr);
        std::string line = command;
        line.replace(at, outAnsi.size(), WideToAnsi(folder));
        auto t0 = Clock::now();
        if (window) {
          main.ExtractRun(folder, false);
        } else {
          char text[256];
          if (int code = library(nullptr, line.c_str(), text, sizeof text); code != 0)
            std::printf("library alone: code 0x%X\n", code);
        }
        double seconds = Seconds(t0);
        best[window ? 0 : 1] = std::min(best[window ? 0 : 1], seconds);
        // A few large files would fill a memory-backed scratch folder; they go at once.
        if (main.State().entryCount <= 10) Clear(folder);
      }
    }
    return true;
  };
  double all[2];
  if (!compare(6, all)) return 1;
  // The folders stay for the caller to remove (deleting 10,000 files through
  // the shell under Wine takes longer than all the runs).
  std::printf("through Tavix (progress on): %.3f s\nlibrary alone:               %.3f s\noverhead: %+.1f %%\n",
              all[0], all[1], (all[0] / all[1] - 1) * 100);
  // A large selection goes to the library by name: every entry but the first.
  if (main.State().entryCount < 2) return 0;
  main.Settings().ExtractFileOpt = 0;
  HWND list = main.ArcList().Handle();
  ListView_SetItemState(list, -1, LVIS_SELECTED, LVIS_SELECTED);
  ListView_SetItemState(list, 0, 0, LVIS_SELECTED);
  std::printf("by name, %d of %d entries selected:\n", main.ArcList().SelectedCount(), main.State().entryCount);
  double named[2];
  if (!compare(rounds, named)) return 1;
  std::printf("through Tavix (by name):     %.3f s (%.2fx all entries through Tavix)\nlibrary alone (by name):     %.3f s\n",
              named[0], named[0] / all[0], named[1]);
  return 0;
}
