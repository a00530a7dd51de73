// Real input through the X server, as a user gives it, for tests that show
// windows under Xvfb: xdotool started through a shell, and a message pump
// that waits for a condition.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>

namespace xinput {

inline std::wstring UnixPath(const std::wstring& windowsPath) {
  using ToUnix = char*(CDECL*)(LPCWSTR);
  auto toUnix = reinterpret_cast<ToUnix>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!toUnix) return {};
  char* unix = toUnix(windowsPath.c_str());
  if (!unix) return {};
  std::string narrow = unix;
  HeapFree(GetProcessHeap(), 0, unix);
  return std::wstring(narrow.begin(), narrow.end());
}

// Runs a Linux command; Wine cannot wait on its handle, so the shell leaves
// its exit code in a file whose appearance is the end.
inline int RunUnix(const std::wstring& command) {
  static std::atomic<int> serial{0};
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  std::wstring stem = std::wstring(temp) + L"tavix-textview-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                      std::to_wstring(++serial);
  std::wstring result = stem + L".code";
  std::wstring unixStem = UnixPath(stem);
  if (unixStem.empty()) return -1;
  std::wstring line = L"/bin/sh -c \"" + command + L"; echo $? > '" + unixStem + L".part' && mv '" + unixStem +
                      L".part' '" + unixStem + L".code'\"";
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(L"Z:\\bin\\sh", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return -1;
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  for (int waited = 0; waited < 30000; waited += 10) {
    HANDLE file = CreateFileW(result.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      char text[16] = {};
      DWORD read = 0;
      ReadFile(file, text, sizeof text - 1, &read, nullptr);
      CloseHandle(file);
      DeleteFileW(result.c_str());
      return std::atoi(text);
    }
    Sleep(10);
  }
  return -1;
}

inline int Xdotool(const std::wstring& arguments) { return RunUnix(L"/usr/bin/xdotool " + arguments); }

// Runs the window's messages until done() or the time is up.
inline bool PumpUntil(const std::function<bool()>& done, int milliseconds = 20000) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (std::chrono::steady_clock::now() < until) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (done()) return true;
    Sleep(10);
  }
  return done();
}

}  // namespace xinput
