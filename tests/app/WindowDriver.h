// Drives the main window in the test's own process, as a user would: menu
// commands, list texts, status panels, and message boxes answered by a helper
// thread.
#pragma once

#include "app/TavixMain.h"
#include "../support/XInput.h"

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

std::wstring WinPath(const std::string& unixPath);  // "Z:\..." for a Linux path
std::wstring TempFolder(const std::wstring& name);   // a fresh empty folder
void WriteText(const std::wstring& path, const std::string& text);

// Loads the spy under the name UNLHA32.DLL, so every LZH listing comes from it.
HMODULE LoadSpy();
void SpyReset(HMODULE spy);
void SpyAdd(HMODULE spy, const std::string& name, DWORD size, DWORD packed, WORD ratio, WORD date, WORD time,
            const char* method = "-lh5-");

// The start as the program body makes it from these arguments (each quoted
// on the command line after the program's path).
TMainStart MainStart(const std::wstring& ini, const std::vector<std::wstring>& arguments, THelpService* help);

// Runs messages (and the idle call) until done() or the time is up.
bool PumpUntil(TTavixMain& main, const std::function<bool()>& done, int milliseconds = 3000);
void Pump(TTavixMain& main, int milliseconds);

// Answers every message box of this process with button, and keeps their texts.
class TMessageBoxAnswerer {
 public:
  explicit TMessageBoxAnswerer(int button = IDOK);
  ~TMessageBoxAnswerer();
  std::vector<std::wstring> Texts();

 private:
  std::atomic<bool> stop_{false};
  int button_;
  std::thread thread_;
  CRITICAL_SECTION lock_;
  std::vector<std::wstring> texts_;
};

// True when the file is physically inside the Wine prefix's drive C:
// (not reached through a link to somewhere else, such as the host's home).
bool InsideWineDrive(const std::wstring& windowsPath);

std::wstring ItemText(TTavixMain& main, int item, int column);
std::wstring MenuCaption(HMENU menu, UINT id);  // caption without the shortcut part
bool MenuEnabled(HMENU menu, UINT id);
bool MenuChecked(HMENU menu, UINT id);
std::wstring WindowText(HWND window);
