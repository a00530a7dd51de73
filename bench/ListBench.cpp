// Reading speed of the entry list: N entries from the spy (which answers at
// once), memory of the records, and sorting by every column.
#include "tests/app/WindowDriver.h"

#include <psapi.h>

#include <chrono>
#include <cstdio>

int wmain(int argc, wchar_t** argv) {
  int count = argc > 1 ? _wtoi(argv[1]) : 10000;
  HMODULE spy = LoadSpy();
  if (!spy) {
    std::printf("spy library missing\n");
    return 1;
  }
  SpyReset(spy);
  for (int i = 0; i < count; ++i)
    SpyAdd(spy, "folder" + std::to_string(i % 97) + "/file" + std::to_string(i * 7919 % 100003) + ".txt",
           static_cast<DWORD>(i * 37), static_cast<DWORD>(i * 11), static_cast<WORD>(i % 1000),
           static_cast<WORD>(((i % 40) << 9) | (1 << 5) | 1), static_cast<WORD>(i % 0xBF7F));
  std::wstring folder = TempFolder(L"bench");
  std::wstring ini = folder + L"\\Tavix.ini";
  WritePrivateProfileStringW(L"Options", L"WorkDir", (folder + L"\\work").c_str(), ini.c_str());
  WritePrivateProfileStringW(L"Options", L"UseShellIcon", argc > 2 ? argv[2] : L"0", ini.c_str());
  std::wstring archive = folder + L"\\bench.lzh";
  WriteText(archive, "x");
  TMainStart start;
  start.settingsPath = ini;
  start.commandLine = L"Tavix.exe \"" + archive + L"\"";
  PROCESS_MEMORY_COUNTERS before{sizeof before};
  GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);
  // From window creation to the end of the listing (the listing runs at the first idle moment).
  auto t0 = std::chrono::steady_clock::now();
  TTavixMain main;
  main.Create(start, SW_SHOWNORMAL);
  PumpUntil(main, [&] { return !main.State().pendingJob && !main.State().busy; }, 600000);
  auto t1 = std::chrono::steady_clock::now();
  PROCESS_MEMORY_COUNTERS after{sizeof after};
  GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after);
  size_t heap = 0;
  for (const TListRecord& record : main.State().records)
    heap += sizeof record + (record.name.capacity() > 7 ? (record.name.capacity() + 1) * 2 : 0) +
            (record.folder.capacity() > 7 ? (record.folder.capacity() + 1) * 2 : 0);
  std::printf("entries %d: read %.3f s, records %.1f MB (%.0f bytes each), working set +%.1f MB (window included)\n",
              main.State().entryCount, std::chrono::duration<double>(t1 - t0).count(), heap / 1048576.0,
              count ? double(heap) / count : 0.0, (after.WorkingSetSize - before.WorkingSetSize) / 1048576.0);
  for (int column = 0; column < ListColumnCount; ++column) {
    auto s0 = std::chrono::steady_clock::now();
    SortListRecords(main.State().records, column, false);
    auto s1 = std::chrono::steady_clock::now();
    std::printf("  sort column %d: %.3f s\n", column, std::chrono::duration<double>(s1 - s0).count());
  }
  return 0;
}
