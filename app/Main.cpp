// Program body. The main window comes with its own sources; until then a
// placeholder window shows the archive named on the command line.
#include "ArchiverDll.h"

#include <windows.h>

#include <string>

namespace {
LRESULT CALLBACK PlaceholderProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(window, message, w, l);
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int show) {
  RemoveCurrentDirectoryFromDllSearch();
  WNDCLASSW cls{};
  cls.lpfnWndProc = PlaceholderProc;
  cls.hInstance = instance;
  cls.hCursor = LoadCursor(nullptr, IDC_ARROW);
  cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  cls.lpszClassName = L"TTavixMain";
  RegisterClassW(&cls);
  std::wstring caption = L"Tavix";
  if (commandLine && *commandLine) caption += std::wstring(L" - ") + commandLine;
  HWND window = CreateWindowW(L"TTavixMain", caption.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                              CW_USEDEFAULT, 640, 480, nullptr, nullptr, instance, nullptr);
  ShowWindow(window, show);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
