// arccall: drives one of our archiver libraries from the command line, for
// the shell-script tests against the native tools and for the benchmark.
//   arccall DLL PREFIX cmd "COMMAND LINE"     runs the command entry, prints its output
//   arccall DLL PREFIX watch "COMMAND LINE"   the same with an owner window taking the
//                                             progress reports, as Tavix runs it
//   arccall DLL PREFIX list ARCHIVE [WILDCARD] OpenArchive/FindFirst/FindNext, one line per entry
//   arccall DLL PREFIX count ARCHIVE           the same, printing only the number of entries
//   arccall DLL PREFIX check ARCHIVE MODE      CheckArchive
//   arccall DLL PREFIX type ARCHIVE            GetArchiveType (TAR32)
// Output is UTF-8; the exit code is the library's result (0x8000+ as 1).
#include <windows.h>

#include "archivers/core/ArcApi.h"
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using Record = INDIVIDUALINFO;

std::string Ansi(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string result(n, '\0');
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, result.data(), n, nullptr, nullptr);
  result.resize(n > 0 ? n - 1 : 0);
  return result;
}

void Print(const std::string& ansi) {
  int n = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide.data(), n);
  n = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, utf8.data(), n, nullptr, nullptr);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8.c_str(), static_cast<DWORD>(utf8.size() > 0 ? utf8.size() - 1 : 0),
            &written, nullptr);
}

long reports = 0;

LRESULT CALLBACK CountReports(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  static const UINT extract = RegisterWindowMessageA("wm_arcextract");
  if (message == extract) {
    ++reports;
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND ReportWindow() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = CountReports;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"ArcCallReports";
  RegisterClassW(&wc);
  return CreateWindowW(L"ArcCallReports", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

}  // namespace

int main() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc < 5) {
    Print("usage: arccall DLL PREFIX cmd|list|count|check ARGS\n");
    return 2;
  }
  HMODULE dll = LoadLibraryW(argv[1]);
  if (dll == nullptr) {
    Print("cannot load the library\n");
    return 2;
  }
  std::string prefix = Ansi(argv[2]);
  std::wstring mode = argv[3];
  auto entry = [&](const char* suffix) { return reinterpret_cast<void*>(GetProcAddress(dll, (prefix + suffix).c_str())); };
  if (mode == L"cmd" || mode == L"watch") {
    auto command = reinterpret_cast<int(WINAPI*)(HWND, LPCSTR, LPSTR, DWORD)>(entry(""));
    HWND window = nullptr;
    if (mode == L"watch") {
      window = ReportWindow();
      auto setOwner = reinterpret_cast<BOOL(WINAPI*)(HWND, void*)>(entry("SetOwnerWindowEx"));
      if (window == nullptr || setOwner == nullptr || !setOwner(window, nullptr)) {
        Print("cannot register the owner window\n");
        return 2;
      }
    }
    std::vector<char> output(1 << 20);
    int code = command(window, Ansi(argv[4]).c_str(), output.data(), static_cast<DWORD>(output.size()));
    Print(output.data());
    char text[64];
    if (window != nullptr) {
      std::snprintf(text, sizeof text, "reports=%ld\n", reports);
      Print(text);
    }
    std::snprintf(text, sizeof text, "result=0x%X\n", code);
    Print(text);
    return code == 0 ? 0 : 1;
  }
  if (mode == L"type") {
    auto type = reinterpret_cast<int(WINAPI*)(LPCSTR)>(entry("GetArchiveType"));
    Print(std::to_string(type(Ansi(argv[4]).c_str())) + "\n");
    return 0;
  }
  if (mode == L"check") {
    auto check = reinterpret_cast<BOOL(WINAPI*)(LPCSTR, int)>(entry("CheckArchive"));
    BOOL valid = check(Ansi(argv[4]).c_str(), argc > 5 ? _wtoi(argv[5]) : 0);
    Print(valid ? "valid\n" : "invalid\n");
    return valid ? 0 : 1;
  }
  auto open = reinterpret_cast<HGLOBAL(WINAPI*)(HWND, LPCSTR, DWORD)>(entry("OpenArchive"));
  auto first = reinterpret_cast<int(WINAPI*)(HGLOBAL, LPCSTR, Record*)>(entry("FindFirst"));
  auto next = reinterpret_cast<int(WINAPI*)(HGLOBAL, Record*)>(entry("FindNext"));
  auto close = reinterpret_cast<int(WINAPI*)(HGLOBAL)>(entry("CloseArchive"));
  HGLOBAL handle = open(nullptr, Ansi(argv[4]).c_str(), 0);
  if (handle == nullptr) {
    Print("cannot open the archive\n");
    return 1;
  }
  Record record;
  long count = 0;
  std::string wildcard = argc > 5 ? Ansi(argv[5]) : "*.*";
  int code = first(handle, wildcard.c_str(), &record);
  std::string text;
  while (code == 0) {
    ++count;
    if (mode == L"list") {
      char line[700];
      std::snprintf(line, sizeof line, "%s\t%lu\t%lu\t%04lX\t%s\n", record.szFileName, record.dwOriginalSize, record.dwCompressedSize,
                    record.dwCRC, record.szMode);
      text += line;
      if (text.size() > 65536) {
        Print(text);
        text.clear();
      }
    }
    code = next(handle, &record);
  }
  close(handle);
  if (mode == L"count") text = std::to_string(count) + "\n";
  Print(text);
  return code == -1 ? 0 : 1;
}
