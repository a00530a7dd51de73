// Dragging many entries out of the main window into another program's
// window, with the mouse moved by xdotool: the time from the move past the
// threshold until the drag runs (the entries extracted), from the release
// until the target holds the list, and from the move until the target holds
// it. Arguments: the archive (a Windows path), a scratch folder, the runs.
#include "../tests/app/DragDriver.h"
#include "../tests/app/WindowDriver.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

namespace {

unsigned long long Now() {
  FILETIME now{};
  GetSystemTimePreciseAsFileTime(&now);
  return (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

double Ms(unsigned long long from, unsigned long long to) { return (static_cast<double>(to) - from) / 10000.0; }

std::wstring Move(POINT point) {
  return L"mousemove --sync " + std::to_wstring(point.x) + L" " + std::to_wstring(point.y);
}

struct NoHelp : THelpService {
  void ShowContext(HWND, const std::wstring&, DWORD) override {}
  void KeywordSearch(HWND, const std::wstring&, const std::wstring&) override {}
};

void Report(const char* what, std::vector<double> values) {
  std::sort(values.begin(), values.end());
  std::printf("%-44s best %8.1f ms  median %8.1f ms\n", what, values.front(), values[values.size() / 2]);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::printf("usage: drag_out_bench ARCHIVE SCRATCH [RUNS]\n");
    return 2;
  }
  std::wstring archive = argv[1], scratch = argv[2];
  int runs = argc > 3 ? _wtoi(argv[3]) : 5;
  CreateDirectoryW(scratch.c_str(), nullptr);
  std::wstring ini = scratch + L"\\Tavix.ini";
  WritePrivateProfileStringW(L"Options", L"WorkDir", (scratch + L"\\work").c_str(), ini.c_str());
  WritePrivateProfileStringW(L"Options", L"UseShellIcon", L"0", ini.c_str());
  WritePrivateProfileStringW(L"Options", L"IconStyle", L"3", ini.c_str());
  NoHelp help;
  TTavixMain main;
  if (!main.Create(MainStart(ini, {archive}, &help), SW_SHOWNORMAL)) return 1;
  SetWindowPos(main.Handle(), HWND_TOP, 0, 0, 560, 460, SWP_SHOWWINDOW);
  PumpUntil(main, [&] { return !main.State().pendingJob && !main.State().busy && main.State().entryCount > 0; },
            60000);
  int entries = main.State().entryCount;
  std::printf("%d entries listed\n", entries);
  std::vector<double> extract, release, total;
  for (int run = 0; run < runs; ++run) {
    TDragPeer peer;
    std::wstring out = scratch + L"\\received.txt";
    if (!StartDragPeer(peer, L"target", out, 700, 100)) {
      std::printf("the target did not start\n");
      return 1;
    }
    main.ArcList().SelectAll();
    RECT area{};
    GetWindowRect(peer.window, &area);
    POINT to{(area.left + area.right) / 2, (area.top + area.bottom) / 2};
    POINT from = ItemPoint(main, 0);
    HWND target = peer.window;
    unsigned long long moved = 0, started = 0, released = 0;
    std::atomic<bool> done{false};
    std::thread user([&] {
      Xdotool(Move(from) + L" mousedown 1");
      moved = Now();
      Xdotool(Move(POINT{from.x + 40, from.y}));
      while (!DragRunning()) Sleep(1);
      started = Now();
      for (int i = 0; i < 4000; ++i) {
        wchar_t caption[64] = {};
        GetWindowTextW(target, caption, 64);
        if (std::wstring(caption).find(L"entered") != std::wstring::npos) break;
        Xdotool(Move(POINT{to.x + (i % 2), to.y}));
      }
      released = Now();
      Xdotool(L"mouseup 1");
      done = true;
    });
    PumpUntil(main, [&] { return done.load() && GetFileAttributesW(out.c_str()) != INVALID_FILE_ATTRIBUTES; },
              300000);
    user.join();
    std::vector<std::wstring> lines = ReadPeerLines(out);
    if (lines.empty()) {
      std::printf("run %d: the target received nothing\n", run + 1);
      return 1;
    }
    unsigned long long received = _wtoi64(lines[0].c_str());
    size_t names = 0;
    for (size_t i = 1; i < lines.size(); ++i) names += !lines[i].empty();
    std::printf("run %d: %zu names received; move to drag %.1f ms, release to list %.1f ms, move to list %.1f ms\n",
                run + 1, names, Ms(moved, started), Ms(released, received), Ms(moved, received));
    extract.push_back(Ms(moved, started));
    release.push_back(Ms(released, received));
    total.push_back(Ms(moved, received));
    PumpUntil(main, [&] { return !DragRunning() && !main.State().dragging; }, 30000);
  }
  Report("move past threshold -> drag running", extract);
  Report("button released -> target has the list", release);
  Report("move past threshold -> target has the list", total);
  main.State().modified = false;
  SendMessageW(main.Handle(), WM_CLOSE, 0, 0);
  Pump(main, 50);
  return 0;
}
