// zipcall LIBRARY ENTRY COMMAND-LINE: calls one command entry of an archiver
// library and prints its output; the exit code is the entry's result. The
// judge script and the benchmark drive our ZIP libraries with it.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

using Command = int(WINAPI*)(HWND, LPCSTR, LPSTR, DWORD);

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc != 4) {
    std::fprintf(stderr, "usage: zipcall LIBRARY ENTRY COMMAND-LINE\n");
    return 2;
  }
  HMODULE library = LoadLibraryW(argv[1]);
  if (library == nullptr) {
    std::fprintf(stderr, "cannot load %ls\n", argv[1]);
    return 2;
  }
  char entry[64];
  WideCharToMultiByte(CP_ACP, 0, argv[2], -1, entry, sizeof entry, nullptr, nullptr);
  auto command = reinterpret_cast<Command>(reinterpret_cast<void*>(GetProcAddress(library, entry)));
  if (command == nullptr) {
    std::fprintf(stderr, "no entry %s\n", entry);
    return 2;
  }
  // The libraries take the command line in the ANSI code page.
  int n = WideCharToMultiByte(CP_ACP, 0, argv[3], -1, nullptr, 0, nullptr, nullptr);
  std::string line(n, '\0');
  WideCharToMultiByte(CP_ACP, 0, argv[3], -1, line.data(), n, nullptr, nullptr);
  std::vector<char> output(1 << 16);
  int result = command(nullptr, line.c_str(), output.data(), static_cast<DWORD>(output.size()));
  std::wstring wide(output.size(), L'\0');
  wide.resize(MultiByteToWideChar(CP_ACP, 0, output.data(), -1, wide.data(), static_cast<int>(wide.size())));
  n = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, utf8.data(), n, nullptr, nullptr);
  std::fputs(utf8.c_str(), stdout);
  std::printf("result %d (0x%X)\n", result, result);
  return result == 0 ? 0 : 1;
}
