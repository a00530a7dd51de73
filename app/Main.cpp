// Program body: the main window and the message loop with the idle call.
#include "engine/ArchiverDll.h"
#include "app/TavixMain.h"

#include <windows.h>

#include <clocale>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
  setlocale(LC_ALL, "");
  RemoveCurrentDirectoryFromDllSearch();
  OleInitialize(nullptr);
  TMainStart start;
  start.commandLine = GetCommandLineW();
  int result = 0;
  {
    TTavixMain main;
    if (!main.Create(start, show)) return 1;
    result = RunMessageLoop(main);
  }
  OleUninitialize();
  return result;
}
