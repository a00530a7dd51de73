// Program body: the main window and the message loop with the idle call.
#include "engine/ArchiverDll.h"
#include "app/TavixMain.h"

#include <windows.h>
#include <shellapi.h>

#include <clocale>

namespace {

std::vector<std::wstring> ProgramArguments() {
  std::vector<std::wstring> arguments;
  int count = 0;
  LPWSTR* list = CommandLineToArgvW(GetCommandLineW(), &count);
  TScopeExit free([list] { LocalFree(list); });
  for (int i = 1; list && i < count; ++i) arguments.push_back(list[i]);
  return arguments;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
  setlocale(LC_ALL, "");
  RemoveCurrentDirectoryFromDllSearch();
  OleInitialize(nullptr);
  TMainStart start;
  start.commandLine = GetCommandLineW();
  start.arguments = ProgramArguments();
  int result = 0;
  {
    TTavixMain main;
    if (!main.Create(start, show)) return 1;
    result = RunMessageLoop(main);
  }
  OleUninitialize();
  return result;
}
