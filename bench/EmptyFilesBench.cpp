// The floor of extraction under this system: creates the folders and files
// named in a list (UTF-8, one relative path a line, folders end in '/') as
// empty files, with the calls an extraction cannot do without (create, set
// the time through the handle, close), and prints the time. Run twice into
// fresh folders, the best run is what no extractor of those names can beat.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::wstring Wide(const std::string& text) {
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: empty_files_bench LIST DESTINATION\n");
    return 2;
  }
  std::ifstream list(argv[1]);
  std::vector<std::wstring> names;
  for (std::string line; std::getline(list, line);) {
    if (line.empty()) continue;
    std::wstring name = Wide(line);
    for (auto& c : name) {
      if (c == L'/') c = L'\\';
    }
    names.push_back(name);
  }
  std::wstring root = argv[2];
  if (!root.empty() && root.back() != L'\\') root += L'\\';
  CreateDirectoryW(root.c_str(), nullptr);
  FILETIME time{};
  GetSystemTimeAsFileTime(&time);
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  size_t files = 0, folders = 0, failed = 0;
  for (const auto& name : names) {
    std::wstring path = root + name;
    if (path.back() == L'\\') {
      path.pop_back();
      if (CreateDirectoryW(path.c_str(), nullptr)) ++folders;
      else ++failed;
      continue;
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      ++failed;
      continue;
    }
    SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
    ++files;
  }
  QueryPerformanceCounter(&end);
  std::printf("files %zu folders %zu failed %zu seconds %.3f\n", files, folders, failed,
              double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart));
  return failed == 0 ? 0 : 1;
}
