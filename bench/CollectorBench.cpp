// Collects every file below a folder the way Add does (sub-folders, one
// exclusion pattern, a progress route) and prints count, time and peak memory.
#include "engine/FileCollector.h"

#include <psapi.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: collector_bench FOLDER\n");
    return 2;
  }
  TArchiverOptions options;
  options.r = 1;
  options.jx = {"*.bak"};
  bool cancel = false;
  long reports = 0;
  TCollectProgress progress = [&](int, LPEXTRACTINGINFOEX, bool&) { ++reports; };
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  auto files = CollectFiles(options, argv[1], {"*.*"}, cancel, progress);
  QueryPerformanceCounter(&end);
  PROCESS_MEMORY_COUNTERS memory{};
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  std::printf("files %zu reported %ld seconds %.3f peak_working_set_mb %.1f\n", files.size(),
              reports, double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart),
              memory.PeakWorkingSetSize / 1048576.0);
  return 0;
}
