#include "WindowDriver.h"

#include "engine/ArchiverApi.h"
#include "app/WorkFolder.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

std::wstring WinPath(const std::string& unixPath) {
  std::wstring path = L"Z:";
  for (char c : unixPath) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  return path;
}

std::wstring TempFolder(const std::wstring& name) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + L"tavix-app-" + name;
  DeleteFolderSilently(folder);
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

void WriteText(const std::wstring& path, const std::string& text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

HMODULE LoadSpy() {
  static HMODULE spy = LoadLibraryW((WinPath(TAVIX_BINARY_DIR) + L"\\bin\\spy\\UNLHA32.DLL").c_str());
  return spy;
}

void SpyReset(HMODULE spy) {
  reinterpret_cast<void(WINAPI*)()>(GetProcAddress(spy, "SpyReset"))();
}

void SpyAdd(HMODULE spy, const std::string& name, DWORD size, DWORD packed, WORD ratio, WORD date, WORD time,
            const char* method) {
  TIndividualInfo info{};
  info.dwOriginalSize = size;
  info.dwCompressedSize = packed;
  info.wRatio = ratio;
  info.wDate = date;
  info.wTime = time;
  std::strncpy(info.szFileName, name.c_str(), FNAME_MAX32);
  std::strncpy(info.szMode, method, sizeof info.szMode - 1);
  reinterpret_cast<void(WINAPI*)(const void*)>(reinterpret_cast<void*>(GetProcAddress(spy, "SpyAddEntry")))(&info);
}

TMainStart MainStart(const std::wstring& ini, const std::vector<std::wstring>& arguments, THelpService* help) {
  TMainStart start;
  start.settingsPath = ini;
  start.commandLine = L"\"C:\\Tavix\\Tavix.exe\"";
  for (const std::wstring& argument : arguments) start.commandLine += L" \"" + argument + L"\"";
  start.help = help;
  return start;
}

bool PumpUntil(TTavixMain& main, const std::function<bool()>& done, int milliseconds) {
  DWORD end = GetTickCount() + milliseconds;
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
      if (msg.message != WM_QUIT) DispatchOne(main, msg);
    if (main.Handle() && IsWindow(main.Handle())) main.Idle();
    if (done && done()) return true;
    if (static_cast<int>(end - GetTickCount()) <= 0) return false;
    Sleep(5);
  }
}

void Pump(TTavixMain& main, int milliseconds) { PumpUntil(main, nullptr, milliseconds); }

namespace {
struct FindBox {
  HWND found = nullptr;
};
BOOL CALLBACK FindDialog(HWND window, LPARAM data) {
  wchar_t cls[32] = {};
  GetClassNameW(window, cls, 32);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId() && std::wstring(cls) == L"#32770" && IsWindowVisible(window)) {
    reinterpret_cast<FindBox*>(data)->found = window;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

TMessageBoxAnswerer::TMessageBoxAnswerer(int button) : button_(button) {
  InitializeCriticalSection(&lock_);
  thread_ = std::thread([this] {
    while (!stop_) {
      FindBox box;
      EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&box));
      if (box.found) {
        wchar_t text[1024] = {};
        GetDlgItemTextW(box.found, 0xFFFF, text, 1024);
        EnterCriticalSection(&lock_);
        texts_.push_back(text);
        LeaveCriticalSection(&lock_);
        // A dialog still being built may not have the button yet.
        int id = button_;
        for (int i = 0; i < 50 && !GetDlgItem(box.found, id); ++i) Sleep(20);
        if (!GetDlgItem(box.found, id)) id = IDOK;
        PostMessageW(box.found, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
        for (int i = 0; i < 100 && IsWindow(box.found); ++i) Sleep(10);
      }
      Sleep(20);
    }
  });
}

TMessageBoxAnswerer::~TMessageBoxAnswerer() {
  stop_ = true;
  thread_.join();
  DeleteCriticalSection(&lock_);
}

std::vector<std::wstring> TMessageBoxAnswerer::Texts() {
  EnterCriticalSection(&lock_);
  std::vector<std::wstring> copy = texts_;
  LeaveCriticalSection(&lock_);
  return copy;
}

std::wstring ItemText(TTavixMain& main, int item, int column) {
  wchar_t text[600] = {};
  ListView_GetItemText(main.ArcList().Handle(), item, column, text, 600);
  return text;
}

std::wstring MenuCaption(HMENU menu, UINT id) {
  wchar_t text[256] = {};
  GetMenuStringW(menu, id, text, 256, MF_BYCOMMAND);
  std::wstring caption = text;
  return caption.substr(0, caption.find(L'\t'));
}

bool MenuEnabled(HMENU menu, UINT id) {
  UINT state = GetMenuState(menu, id, MF_BYCOMMAND);
  return state != static_cast<UINT>(-1) && !(state & (MF_GRAYED | MF_DISABLED));
}

bool MenuChecked(HMENU menu, UINT id) { return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) != 0; }

std::wstring WindowText(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return text;
}

bool InsideWineDrive(const std::wstring& windowsPath) {
  std::wstring file = UnixPath(windowsPath), drive = UnixPath(L"C:\\");
  if (file.empty() || drive.empty()) return false;
  return RunUnix(L"(case $(realpath -e '" + file + L"') in $(realpath -e '" + drive + L"')/*) exit 0;; esac; exit 1)",
                 L"") == 0;
}
