// Deleting every tenth entry of a large LZH archive through the main window
// (the delete question answered "All" at once) against the library's own
// delete command with the same names. Counts the library commands the window
// ran: one is the rule. Arguments: the archive (a Windows path; copied for
// each round, left as it was), a scratch folder, the number of rounds
// (default 3) and, optionally, where to leave the archive the window made.
#include "../tests/app/WindowDriver.h"

#include "app/ButtonQuestion.h"
#include "app/Commands.h"
#include "engine/TextUtil.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

struct NoHelp : THelpService {
  void ShowContext(HWND, const std::wstring&, DWORD) override {}
  void KeywordSearch(HWND, const std::wstring&, const std::wstring&) override {}
};

BOOL CALLBACK FindQuestion(HWND window, LPARAM data) {
  wchar_t cls[32] = {};
  GetClassNameW(window, cls, 32);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId() && std::wstring(cls) == L"#32770" && IsWindowVisible(window) &&
      GetDlgItem(window, IdAll)) {
    *reinterpret_cast<HWND*>(data) = window;
    return FALSE;
  }
  return TRUE;
}

// Plays the user at the delete question: All, as soon as it is there. The
// time of the click is where the user's wait begins.
class TAllAnswer {
 public:
  explicit TAllAnswer(HWND owner)
      : owner_(owner), thread_([this] {
          for (int waited = 0; waited < 600000 && !stop_; waited += 5) {
            HWND box = nullptr;
            EnumWindows(FindQuestion, reinterpret_cast<LPARAM>(&box));
            if (box) {
              clicked_ = Clock::now();
              ++questions_;
              PostMessageW(box, WM_COMMAND, MAKEWPARAM(IdAll, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IdAll)));
              while (IsWindow(box) && IsWindowVisible(box) && !stop_) Sleep(1);
              closed_ = Clock::now();
              // The window is disabled while the library runs.
              while (IsWindowEnabled(owner_) && !stop_) Sleep(1);
              disabled_ = Clock::now();
            }
            Sleep(5);
          }
        }) {}
  ~TAllAnswer() {
    stop_ = true;
    thread_.join();
  }
  Clock::time_point Clicked() const { return clicked_; }
  Clock::time_point Closed() const { return closed_; }
  Clock::time_point Disabled() const { return disabled_; }
  int Questions() const { return questions_; }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<int> questions_{0};
  HWND owner_;
  Clock::time_point clicked_, closed_, disabled_;
  std::thread thread_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::printf("usage: delete_bench ARCHIVE SCRATCH [ROUNDS [KEEP-ARCHIVE]]\n");
    return 2;
  }
  std::wstring source = argv[1], scratch = argv[2];
  int rounds = argc > 3 ? std::max(1, _wtoi(argv[3])) : 3;
  std::wstring keep = argc > 4 ? argv[4] : L"";
  CreateDirectoryW(scratch.c_str(), nullptr);
  std::wstring ini = scratch + L"\\Tavix.ini";
  WritePrivateProfileStringW(L"Options", L"WorkDir", (scratch + L"\\work").c_str(), ini.c_str());
  WritePrivateProfileStringW(L"Options", L"UseShellIcon", L"0", ini.c_str());
  WritePrivateProfileStringW(L"Options", L"NewMode", L"0", ini.c_str());
  std::wstring archive = scratch + L"\\many.lzh", alone = scratch + L"\\alone.lzh";
  NoHelp help;
  TTavixMain main;
  main.Create(MainStart(ini, {}, &help), SW_SHOWNORMAL);
  PumpUntil(main, [&] { return !main.State().pendingJob && !main.State().busy; }, 60000);

  using Unlha = int(WINAPI*)(HWND, LPCSTR, LPSTR, DWORD);
  double best[2] = {1e9, 1e9};
  int entries = 0, deleted = 0, left = 0, commands = 0, questions = 0;
  bool allInOne = true;
  Clock::time_point openedAt, endedAt;
  std::string lastLine;
  double sentBest = 1e9;
  double phases[4] = {};  // of the best round: to the library's first report, the library, after it, the question going
  for (int round = 0; round < rounds; ++round) {
    for (int turn = 0; turn < 2; ++turn) {
      bool window = (turn == 0) == (round % 2 == 0);
      if (window) {
        CopyFileW(source.c_str(), archive.c_str(), FALSE);
        main.FullOpen(archive);
        PumpUntil(main, [&] { return !main.State().pendingJob && !main.State().busy; }, 600000);
        entries = main.State().entryCount;
        // An opened archive is shown read-only until the user leaves the view
        // (as the drop question's Yes does).
        main.State().readOnlyView = false;
        // The user's selection: every tenth entry.
        HWND list = main.ArcList().Handle();
        ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
        for (int item = 0; item < entries; item += 10) ListView_SetItemState(list, item, LVIS_SELECTED, LVIS_SELECTED);
        deleted = static_cast<int>(main.ArcList().SelectedItems().size());
        // Each library command opens with one "open" report to the window.
        int opened = 0;
        TArchiverProgressEvent inner = main.Arc().OnProgress;
        main.Arc().OnProgress = [&, inner](TArchiveFile* sender, int state, LPEXTRACTINGINFOEX info, bool& abort) {
          if (state == 3 && opened++ == 0) openedAt = Clock::now();
          if (state == 2) endedAt = Clock::now();
          if (inner) inner(sender, state, info, abort);
        };
        {
          TAllAnswer answer(main.Handle());
          SendMessageW(main.Handle(), WM_COMMAND, CmdDelete, 0);
          // From the click on All to the library's start the question goes
          // away: Wine waits up to 2 s for a window manager to withdraw it,
          // and Xvfb has none. That wait is told apart.
          auto t0 = answer.Disabled();
          double seconds = Seconds(t0);
          questions = answer.Questions();
          if (seconds < best[0]) {
            best[0] = seconds;
            phases[0] = std::chrono::duration<double>(openedAt - t0).count();
            phases[1] = std::chrono::duration<double>(endedAt - openedAt).count();
            phases[2] = std::chrono::duration<double>(Clock::now() - endedAt).count();
            phases[3] = std::chrono::duration<double>(answer.Disabled() - answer.Clicked()).count();
          }
        }
        commands = opened;
        lastLine = main.Arc().LastCommandLine();
        allInOne = allInOne && opened == 1;
        left = main.State().entryCount;
        if (!keep.empty()) CopyFileW(archive.c_str(), keep.c_str(), FALSE);
      } else {
        // The same names, in one command of the library's own.
        CopyFileW(source.c_str(), alone.c_str(), FALSE);
        HMODULE module = LoadLibraryW(L"UNLHA32.DLL");
        auto library = reinterpret_cast<Unlha>(reinterpret_cast<void*>(GetProcAddress(module, "Unlha")));
        if (!library) {
          std::printf("UNLHA32.DLL not loaded\n");
          return 1;
        }
        std::string line = "d \"" + WideToAnsi(alone) + "\"";
        // The names as the archive lists them, every tenth, from the listing.
        std::vector<std::string> names;
        {
          using OpenArchive = HANDLE(WINAPI*)(HWND, LPCSTR, DWORD);
          using Find = int(WINAPI*)(HANDLE, LPCSTR, void*);
          using Close = int(WINAPI*)(HANDLE);
          auto open = reinterpret_cast<OpenArchive>(reinterpret_cast<void*>(GetProcAddress(module, "UnlhaOpenArchive")));
          auto first = reinterpret_cast<Find>(reinterpret_cast<void*>(GetProcAddress(module, "UnlhaFindFirst")));
          auto next = reinterpret_cast<int(WINAPI*)(HANDLE, void*)>(
              reinterpret_cast<void*>(GetProcAddress(module, "UnlhaFindNext")));
          auto close = reinterpret_cast<Close>(reinterpret_cast<void*>(GetProcAddress(module, "UnlhaCloseArchive")));
          HANDLE find = open(nullptr, WideToAnsi(alone).c_str(), 0);
          INDIVIDUALINFO info{};
          int index = 0;
          for (int code = first(find, "*.*", &info); code == 0; code = next(find, &info), ++index)
            if (index % 10 == 0) names.push_back(info.szFileName);
          close(find);
        }
        for (const std::string& name : names) line += " \"" + name + "\"";
        std::vector<char> text(4096);
        auto t0 = Clock::now();
        if (int code = library(nullptr, line.c_str(), text.data(), static_cast<DWORD>(text.size())); code != 0)
          std::printf("library alone: code 0x%X\n", code);
        best[1] = std::min(best[1], Seconds(t0));
        // And the command line the window sent, when it has run.
        size_t at = lastLine.find(WideToAnsi(archive));
        if (at != std::string::npos) {
          CopyFileW(source.c_str(), alone.c_str(), FALSE);
          std::string sent = lastLine;
          sent.replace(at, WideToAnsi(archive).size(), WideToAnsi(alone));
          t0 = Clock::now();
          if (int code = library(nullptr, sent.c_str(), text.data(), static_cast<DWORD>(text.size())); code != 0)
            std::printf("library alone with Tavix's line: code 0x%X\n", code);
          sentBest = std::min(sentBest, Seconds(t0));
        }
        DeleteFileW(alone.c_str());
      }
    }
  }
  std::printf("entries: %d, selected and deleted with All: %d, left: %d\n", entries, deleted, left);
  std::printf("command through Tavix: %.160s\n", lastLine.c_str());
  std::printf("questions asked: %d; library commands run by the delete: %d%s\n", questions, commands,
              allInOne ? " (one in every round)" : " (NOT ONE in every round)");
  std::printf("through Tavix (from the question gone):    %.3f s\n", best[0]);
  std::printf("library alone (the same names, one call):  %.3f s\n", best[1]);
  std::printf("library alone with Tavix's command line:  %.3f s\n", sentBest);
  std::printf("overhead: %+.1f %%\n", (best[0] / best[1] - 1) * 100);
  std::printf("  through Tavix: to the library's first report %.3f s, library %.3f s, after it %.3f s\n", phases[0], phases[1],
              phases[2]);
  std::printf("  (before: from the click on All until the question was gone %.3f s)\n", phases[3]);
  main.State().modified = false;
  SendMessageW(main.Handle(), WM_CLOSE, 0, 0);
  return allInOne ? 0 : 1;
}
