// Stands in for an installer or an application the shell starts: appends one
// line per run to the file that TAVIX_RUN_RECORD names, holding its own path,
// its working folder and its arguments, separated by "|" (UTF-8).
#include <windows.h>
#include <shellapi.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  std::wstring record(32768, L'\0');
  DWORD length = GetEnvironmentVariableW(L"TAVIX_RUN_RECORD", record.data(), 32768);
  if (length == 0 || length >= 32768) return 1;
  record.resize(length);
  std::wstring self(32768, L'\0'), folder(32768, L'\0');
  self.resize(GetModuleFileNameW(nullptr, self.data(), 32768));
  folder.resize(GetCurrentDirectoryW(32768, folder.data()));
  std::wstring line = self + L"|" + folder;
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 1; arguments && i < count; ++i) line += std::wstring(L"|") + arguments[i];
  if (arguments) LocalFree(arguments);
  line += L"\n";
  std::string utf8(WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr), '\0');
  WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr);
  utf8.pop_back();
  HANDLE file = CreateFileW(record.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  DWORD written = 0;
  WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
  CloseHandle(file);
  return 0;
}
