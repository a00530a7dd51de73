// What creating one file costs under Wine with the calls an extraction makes
// (create new, write, set the time through the handle, close), with nothing
// read or decoded: the floor for extracting many small files.
// The files go where bench/lzh.sh's small corpus has them (d00..d49\s0..s9,
// ten to a folder): Wine looks through a folder for a name in any case
// before it creates one, so a single folder of thousands costs far more.
// Usage: file_floor_bench FOLDER COUNT [BYTES]   (FOLDER must exist and be empty)
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <set>
#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: file_floor_bench FOLDER COUNT [BYTES]\n");
    return 2;
  }
  std::wstring folder = argv[1];
  if (folder.back() != L'\\') folder += L'\\';
  long count = std::wcstol(argv[2], nullptr, 10);
  size_t bytes = argc > 3 ? std::wcstoul(argv[3], nullptr, 10) : 0;
  std::vector<char> data(bytes, 'x');
  FILETIME time{};
  SYSTEMTIME st{2020, 6, 0, 15, 12, 0, 0, 0};
  SystemTimeToFileTime(&st, &time);
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  std::set<std::wstring> made;
  for (long i = 0; i < count; ++i) {
    wchar_t top[16], sub[16], name[32];
    swprintf(top, 16, L"d%02ld\\", i % 50);
    swprintf(sub, 16, L"s%ld\\", i / 500);
    swprintf(name, 32, L"f%05ld.txt", i);
    for (const std::wstring& dir : {folder + top, folder + top + sub}) {
      if (made.insert(dir).second) CreateDirectoryW(dir.c_str(), nullptr);
    }
    std::wstring path = folder + top + sub + name;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      std::fprintf(stderr, "cannot create file %ld: %lu\n", i, GetLastError());
      return 1;
    }
    DWORD written = 0;
    if (bytes > 0) WriteFile(file, data.data(), static_cast<DWORD>(bytes), &written, nullptr);
    SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
  }
  QueryPerformanceCounter(&end);
  double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
  std::printf("%ld files of %zu bytes: %.3f s, %.3f ms per file\n", count, bytes, seconds, seconds * 1000 / count);
  return 0;
}
