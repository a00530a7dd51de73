// The other program of the drag tests (DragPeer) and the user's drag gesture
// with real mouse input, shared by the drag tests and the drag benchmark.
#pragma once

#include "app/TavixMain.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// A running DragPeer and its window.
struct TDragPeer {
  PROCESS_INFORMATION process{};
  HWND window = nullptr;
  std::wstring out;
  ~TDragPeer();
};

// Starts DragPeer ("target" or "source") with its window at x,y; false when
// its window did not come up.
bool StartDragPeer(TDragPeer& peer, const std::wstring& mode, const std::wstring& out, int x, int y,
                   const std::vector<std::wstring>& files = {});
// The lines of a UTF-8 file written by DragPeer (empty when it does not exist).
std::vector<std::wstring> ReadPeerLines(const std::wstring& path);
std::string ReadBytes(const std::wstring& path);
// Waits for a file to appear.
bool WaitForFile(const std::wstring& path, int milliseconds);
// Wine's drag-tracking window exists while a drag runs (in any program).
bool DragRunning();
// Screen point of the middle of a list item's label.
POINT ItemPoint(TTavixMain& main, int item);
// The item whose name (column 0) and folder (column 6) are these; -1 when none.
int FindItem(TTavixMain& main, const std::wstring& name, const std::wstring& folder);
void SelectOnly(TTavixMain& main, const std::vector<int>& items);

// The user's gesture, for a thread of its own while the window's thread runs
// messages: button down at from, moves of step pixels to the right until
// past distance, then (when a drag runs) over to with small moves until
// arrived() says the target saw it (null: a few moves), button up. Returns
// whether a drag was seen running.
struct TGesture {
  POINT from{};
  int distance = 40;
  POINT to{};
  bool expectDrag = true;
  std::function<bool()> arrived;
};
bool PerformDrag(const TGesture& gesture);
