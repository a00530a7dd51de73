#include "DragDriver.h"

#include "WindowDriver.h"
#include "../support/XInput.h"

#include <commctrl.h>

namespace {

struct TFindPeer {
  DWORD process;
  HWND found = nullptr;
};

BOOL CALLBACK MatchPeer(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<TFindPeer*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t cls[64] = {};
  GetClassNameW(window, cls, 64);
  if (process == search->process && std::wstring(cls) == L"TavixDragPeer" && IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

std::wstring Move(POINT point) {
  return L"mousemove --sync " + std::to_wstring(point.x) + L" " + std::to_wstring(point.y);
}

}  // namespace

TDragPeer::~TDragPeer() {
  if (window && IsWindow(window)) PostMessageW(window, WM_CLOSE, 0, 0);
  if (process.hProcess) {
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
  }
  if (process.hThread) CloseHandle(process.hThread);
}

bool StartDragPeer(TDragPeer& peer, const std::wstring& mode, const std::wstring& out, int x, int y,
                   const std::vector<std::wstring>& files) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring program = self;
  program = program.substr(0, program.find_last_of(L'\\') + 1) + L"drag_peer.exe";
  std::wstring command = L"\"" + program + L"\" " + mode + L" \"" + out + L"\" " + std::to_wstring(x) + L" " +
                         std::to_wstring(y);
  for (const std::wstring& file : files) command += L" \"" + file + L"\"";
  peer.out = out;
  DeleteFileW(out.c_str());
  STARTUPINFOW startup{sizeof startup};
  if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &peer.process))
    return false;
  for (int waited = 0; waited < 30000; waited += 20) {
    TFindPeer search{peer.process.dwProcessId};
    EnumWindows(MatchPeer, reinterpret_cast<LPARAM>(&search));
    if (search.found) {
      peer.window = search.found;
      return true;
    }
    if (WaitForSingleObject(peer.process.hProcess, 20) == WAIT_OBJECT_0) return false;
  }
  return false;
}

std::string ReadBytes(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string text;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
  CloseHandle(file);
  return text;
}

std::vector<std::wstring> ReadPeerLines(const std::wstring& path) {
  std::string text = ReadBytes(path);
  std::vector<std::wstring> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    std::wstring wide(MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), wide.data(),
                        static_cast<int>(wide.size()));
    lines.push_back(wide);
    start = end + 1;
  }
  return lines;
}

bool WaitForFile(const std::wstring& path, int milliseconds) {
  for (int waited = 0; waited < milliseconds; waited += 20) {
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    Sleep(20);
  }
  return false;
}

bool DragRunning() { return FindWindowW(L"WineDragDropTracker32", nullptr) != nullptr; }

POINT ItemPoint(TTavixMain& main, int item) {
  RECT rect{};
  rect.left = LVIR_LABEL;
  SendMessageW(main.ArcList().Handle(), LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&rect));
  POINT point{rect.left + 8, (rect.top + rect.bottom) / 2};
  ClientToScreen(main.ArcList().Handle(), &point);
  return point;
}

int FindItem(TTavixMain& main, const std::wstring& name, const std::wstring& folder) {
  for (int i = 0; i < main.ArcList().ItemCount(); ++i)
    if (ItemText(main, i, 0) == name && ItemText(main, i, 6) == folder) return i;
  return -1;
}

void SelectOnly(TTavixMain& main, const std::vector<int>& items) {
  HWND list = main.ArcList().Handle();
  LVITEMW state{};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  state.state = 0;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
  for (int item : items) {
    state.state = LVIS_SELECTED;
    state.stateMask = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&state));
  }
}

bool PerformDrag(const TGesture& gesture) {
  Xdotool(Move(gesture.from) + L" mousedown 1");
  POINT at = gesture.from;
  while (at.x - gesture.from.x < gesture.distance) {
    at.x += 5;
    Xdotool(Move(at));
  }
  bool running = false;
  if (gesture.expectDrag) {
    // The drag starts after the entries are extracted.
    for (int waited = 0; waited < 60000 && !running; waited += 20) {
      running = DragRunning();
      if (!running) Sleep(20);
    }
    // Over to the target in steps, as a hand would go.
    POINT step = at;
    for (int i = 1; i <= 5; ++i) {
      step.x = at.x + (gesture.to.x - at.x) * i / 5;
      step.y = at.y + (gesture.to.y - at.y) * i / 5;
      Xdotool(Move(step));
    }
    // Small moves until the target has seen the drag.
    for (int i = 0; i < 2000 && gesture.arrived && !gesture.arrived(); ++i)
      Xdotool(Move(POINT{gesture.to.x + (i % 2), gesture.to.y}));
    if (!gesture.arrived)
      for (int i = 0; i < 4; ++i) Xdotool(Move(POINT{gesture.to.x + (i % 2), gesture.to.y}));
  }
  Xdotool(L"mouseup 1");
  if (running)
    for (int waited = 0; waited < 30000 && DragRunning(); waited += 20) Sleep(20);
  return running;
}
