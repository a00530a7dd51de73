#include "XInput.h"

#include <cstdio>
#include <cstdlib>

int RunUnix(const std::wstring& program, const std::wstring& arguments) {
  // Wine starts Linux programs, but their handles cannot be waited on: a
  // shell runs the program and leaves its exit code in a file, whose
  // appearance is the end.
  static LONG serial = 0;
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  std::wstring stem = std::wstring(temp) + L"tavix-unix-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                      std::to_wstring(InterlockedIncrement(&serial));
  std::wstring result = stem + L".code";
  DeleteFileW(result.c_str());
  std::wstring unixStem = UnixPath(stem);
  if (unixStem.empty()) return -1;
  std::wstring command = L"/bin/sh -c \"" + program + L" " + arguments + L"; echo $? > '" + unixStem +
                         L".part' && mv '" + unixStem + L".part' '" + unixStem + L".code'\"";
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(L"Z:\\bin\\sh", command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    std::printf("cannot start /bin/sh: %lu\n", GetLastError());
    return -1;
  }
  if (process.hProcess) CloseHandle(process.hProcess);
  if (process.hThread) CloseHandle(process.hThread);
  for (int waited = 0; waited < 60000; waited += 10) {
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

int Xdotool(const std::wstring& arguments) { return RunUnix(L"/usr/bin/xdotool", arguments); }

std::wstring UnixPath(const std::wstring& windowsPath) {
  using ToUnix = char*(CDECL*)(LPCWSTR);
  auto toUnix =
      reinterpret_cast<ToUnix>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!toUnix) return {};
  char* unix = toUnix(windowsPath.c_str());
  if (!unix) return {};
  std::string narrow = unix;
  HeapFree(GetProcessHeap(), 0, unix);
  std::wstring wide(MultiByteToWideChar(CP_UTF8, 0, narrow.c_str(), -1, nullptr, 0), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, narrow.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
  if (!wide.empty()) wide.pop_back();
  return wide;
}

namespace {

// xdotool's --sync waits (15 s) for a move that never comes when the pointer
// is already there: a step beside the point first makes the last one a move.
std::wstring SyncedMove(POINT point) {
  return L"mousemove " + std::to_wstring(point.x + 1) + L" " + std::to_wstring(point.y) + L" mousemove --sync " +
         std::to_wstring(point.x) + L" " + std::to_wstring(point.y);
}

}  // namespace

void ClickAt(HWND window, int x, int y, const std::wstring& modifiers) {
  POINT point{x, y};
  ClientToScreen(window, &point);
  std::wstring move = SyncedMove(point);
  if (modifiers.empty()) {
    Xdotool(move + L" click 1");
  } else {
    Xdotool(move + L" keydown " + modifiers + L" click 1 keyup " + modifiers);
  }
}

void PointAt(HWND window, bool click) {
  RECT r{};
  GetClientRect(window, &r);
  POINT point{r.right / 2, r.bottom / 2};
  ClientToScreen(window, &point);
  std::wstring move = SyncedMove(point);
  Xdotool(click ? move + L" click 1" : move);
}

bool Screenshot(HWND window, const std::wstring& pngPath) {
  RECT r{};
  GetWindowRect(window, &r);
  return ScreenshotArea(r, pngPath);
}

bool ScreenshotArea(const RECT& r, const std::wstring& pngPath) {
  std::wstring target = UnixPath(pngPath);
  if (target.empty()) return false;
  std::wstring crop = std::to_wstring(r.right - r.left) + L"x" + std::to_wstring(r.bottom - r.top) + L"+" +
                      std::to_wstring(r.left) + L"+" + std::to_wstring(r.top);
  return RunUnix(L"import", L"-window root -crop " + crop + L" +repage '" + target + L"'") == 0 &&
         GetFileAttributesW(pngPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}
