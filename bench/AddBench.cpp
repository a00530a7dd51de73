// Adding a folder to a new LZH archive through the main window (the add
// step, progress on) against the library's own command alone, on the same
// corpus: Tavix's share of the time. Arguments: the corpus folder, a scratch
// folder (Windows paths; the caller removes it), the number of rounds
// (default 4) and, optionally, where to leave one archive made through the
// window for the caller to judge.
#include "app/TavixMain.h"
#include "engine/TextUtil.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

struct NoHelp : THelpService {
  void ShowContext(HWND, const std::wstring&, DWORD) override {}
  void KeywordSearch(HWND, const std::wstring&, const std::wstring&) override {}
};

// Where one add through the window spent its time, from the progress the
// window receives: its own collection, the library's preparation (reading
// the list, looking up the files), the library writing, and what follows
// (the listing read again, the window brought up to date).
struct TPhases {
  Clock::time_point start, firstCollect, lastCollect, open, end, done;
  int collected = 0, messages = 0;
  void Note(int state) {
    auto now = Clock::now();
    ++messages;
    if (state == 2053) {
      if (collected++ == 0) firstCollect = now;
      lastCollect = now;
    } else if (state == 3) {
      open = now;
    } else if (state == 2) {
      end = now;
    }
  }
  static double Span(Clock::time_point a, Clock::time_point b) {
    return a.time_since_epoch().count() == 0 || b.time_since_epoch().count() == 0
               ? 0
               : std::chrono::duration<double>(b - a).count();
  }
  void Print() const {
    auto collectEnd = collected ? lastCollect : start;
    std::printf("  phases of the last add through Tavix (%d progress messages, %d collected):\n", messages, collected);
    std::printf("    before collecting %.3f s, collecting %.3f s, to the library's first message %.3f s,\n",
                Span(start, collected ? firstCollect : start), Span(collected ? firstCollect : start, collectEnd),
                Span(collectEnd, open));
    std::printf("    library writing %.3f s, after the library %.3f s\n", Span(open, end), Span(end, done));
  }
};

// Runs the window's messages (and its idle call) until done().
void PumpUntil(TTavixMain& main, const std::function<bool()>& done) {
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (IsWindow(main.Handle())) main.Idle();
    if (done()) return;
    Sleep(1);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::printf("usage: add_bench CORPUS SCRATCH [ROUNDS [KEEP-ARCHIVE]]\n");
    return 2;
  }
  std::wstring corpus = argv[1], scratch = argv[2];
  int rounds = argc > 3 ? std::max(1, _wtoi(argv[3])) : 4;
  std::wstring keep = argc > 4 ? argv[4] : L"";
  while (!corpus.empty() && corpus.back() == L'\\') corpus.pop_back();
  CreateDirectoryW(scratch.c_str(), nullptr);
  std::wstring ini = scratch + L"\\Tavix.ini";
  WritePrivateProfileStringW(L"Options", L"WorkDir", (scratch + L"\\work").c_str(), ini.c_str());
  WritePrivateProfileStringW(L"Options", L"UseShellIcon", L"0", ini.c_str());
  WritePrivateProfileStringW(L"Options", L"NewMode", L"0", ini.c_str());
  WritePrivateProfileStringW(L"Options", L"PackDirOption", L"2", ini.c_str());
  NoHelp help;
  TMainStart start;
  start.settingsPath = ini;
  start.commandLine = L"Tavix.exe";
  start.help = &help;
  TTavixMain main;
  main.Create(start, SW_SHOWNORMAL);
  PumpUntil(main, [&] { return !main.State().pendingJob && !main.State().busy; });
  if (!main.State().newArchiveMode) {
    std::printf("not in new-archive mode\n");
    return 1;
  }

  using Unlha = int(WINAPI*)(HWND, LPCSTR, LPSTR, DWORD);
  std::wstring folder = corpus.substr(0, corpus.rfind(L'\\') + 1);
  std::wstring name = corpus.substr(corpus.rfind(L'\\') + 1);
  // 0: through the window; 1: the library alone, collecting itself; 2: the
  // library alone with the command line the window sent (its list of files).
  double best[3] = {1e9, 1e9, 1e9};
  int entries = 0;
  std::string lastLine, lastArchive;
  TPhases phases;
  auto library = [] {
    return reinterpret_cast<Unlha>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"UNLHA32.DLL"), "Unlha")));
  };
  for (int round = 0; round < rounds; ++round) {
    // Each round starts with another, so none gains from the others' cache.
    for (int turn = 0; turn < 3; ++turn) {
      int road = (round + turn) % 3;
      auto t0 = Clock::now();
      if (road == 0) {
        main.EnterNewArchiveMode();
        DeleteFileW(main.State().archivePath.c_str());
        phases = TPhases{};
        phases.start = t0;
        TArchiverProgressEvent inner = main.Arc().OnProgress;
        main.Arc().OnProgress = [&phases, inner](TArchiveFile* sender, int state, LPEXTRACTINGINFOEX info,
                                                 bool& abort) {
          phases.Note(state);
          if (inner) inner(sender, state, info, abort);
        };
        main.AddStep({corpus});
        phases.done = Clock::now();
        entries = main.State().entryCount;
        lastLine = main.Arc().LastCommandLine();
        lastArchive = WideToAnsi(main.State().archivePath);
        // The archive is removed outside the timing.
        double seconds = Seconds(t0);
        best[0] = std::min(best[0], seconds);
        main.State().modified = false;
        if (!keep.empty()) CopyFileW(main.State().archivePath.c_str(), keep.c_str(), FALSE);
        DeleteFileW(main.State().archivePath.c_str());
        continue;
      }
      if (!library()) {
        std::printf("UNLHA32.DLL not loaded\n");
        return 1;
      }
      std::wstring archive = scratch + L"\\alone.lzh";
      DeleteFileW(archive.c_str());
      std::string line = "a -r2 -x1 -jm2 \"" + WideToAnsi(archive) + "\" \"" + WideToAnsi(folder) + "\" \"" +
                         WideToAnsi(name) + "\\*.*\"";
      if (road == 2) {
        size_t at = lastLine.find(lastArchive);
        // Not before the window has run; and a list of one file tells nothing.
        if (at == std::string::npos || phases.collected < 2) continue;
        line = lastLine;
        line.replace(at, lastArchive.size(), WideToAnsi(archive));
        t0 = Clock::now();
      }
      std::vector<char> text(4096);
      if (int code = library()(nullptr, line.c_str(), text.data(), static_cast<DWORD>(text.size())); code != 0)
        std::printf("library alone: code 0x%X\n", code);
      best[road] = std::min(best[road], Seconds(t0));
      DeleteFileW(archive.c_str());
    }
  }
  std::printf("entries: %d\n", entries);
  std::printf("command through Tavix: %.200s\n", lastLine.c_str());
  std::printf("through Tavix (new archive, add step, progress on): %.3f s\n", best[0]);
  std::printf("library alone (its own collection):                 %.3f s\n", best[1]);
  if (best[2] < 1e9) std::printf("library alone with Tavix's command line:            %.3f s\n", best[2]);
  std::printf("overhead: %+.1f %%\n", (best[0] / best[1] - 1) * 100);
  phases.Print();
  main.State().modified = false;
  SendMessageW(main.Handle(), WM_CLOSE, 0, 0);
  return 0;
}
