// Copying every entry of an archive to the clipboard and pasting them into a
// new archive, through the main window: the copy command, the first answer
// that writes the files (extraction with folders and the file list), and the
// paste (reading the list and the add step). Arguments: the archive (a
// Windows path) and a scratch folder, which the caller removes afterwards.
#include "app/TavixMain.h"

#include <chrono>
#include <cstdio>
#include <functional>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

bool PumpUntil(TTavixMain& main, const std::function<bool()>& done, int milliseconds) {
  DWORD start = GetTickCount();
  MSG msg;
  while (!done()) {
    if (GetTickCount() - start > static_cast<DWORD>(milliseconds)) return false;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchOne(main, msg);
    main.Idle();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::printf("usage: app_clipboard_bench ARCHIVE SCRATCH\n");
    return 2;
  }
  std::wstring archive = argv[1], scratch = argv[2];
  CreateDirectoryW(scratch.c_str(), nullptr);
  std::wstring ini = scratch + L"\\Tavix.ini";
  WritePrivateProfileStringW(L"Options", L"WorkDir", (scratch + L"\\work").c_str(), ini.c_str());
  WritePrivateProfileStringW(L"Options", L"UseShellIcon", L"0", ini.c_str());
  TMainStart start;
  start.settingsPath = ini;
  start.commandLine = L"Tavix.exe \"" + archive + L"\"";
  TTavixMain main;
  main.Create(start, SW_SHOWNORMAL);
  PumpUntil(main, [&] { return !main.State().pendingJob && !main.State().busy; }, 600000);
  int entries = main.State().entryCount;
  std::printf("entries listed: %d\n", entries);

  main.ArcList().SelectAll();
  Clock::time_point copyStart = Clock::now();
  SendMessageW(main.Handle(), WM_COMMAND, CmdCopy, 0);
  std::printf("copy command: %.3f s (%zu entries on offer)\n", Seconds(copyStart), main.State().copyList.size());

  // Three requests are answered with the promise alone; the fourth writes the files.
  Clock::time_point renderStart = Clock::now();
  HANDLE data = nullptr;
  if (OpenClipboard(nullptr)) {
    for (int i = 0; i < 4 && !data; ++i) data = GetClipboardData(CF_HDROP);
    CloseClipboard();
  }
  std::printf("files written and listed: %.3f s (list block %zu bytes)\n", Seconds(renderStart),
              data ? static_cast<size_t>(GlobalSize(data)) : 0);

  main.EnterNewArchiveMode();
  Clock::time_point pasteStart = Clock::now();
  SendMessageW(main.Handle(), WM_COMMAND, CmdPaste, 0);
  PumpUntil(main, [&] { return !main.State().busy; }, 600000);
  double paste = Seconds(pasteStart);
  std::printf("paste into a new archive: %.3f s (%d entries in it)\n", paste, main.State().entryCount);
  std::printf("copy to paste in all: %.3f s\n", Seconds(copyStart));
  DestroyWindow(main.Handle());
  return main.State().entryCount == entries ? 0 : 1;
}
