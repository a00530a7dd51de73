// Makes a window an OLE drop target for files: a drop of the file-drop format
// reaches the window as WM_DROPFILES (posted, so the source's drag ends at
// once), with the drop point in the window's client coordinates. Windows that
// handle WM_DROPFILES thus take OLE drags from other programs too.
#pragma once

#include "Handles.h"

#include <windows.h>
#include <ole2.h>

#include <functional>

class TFileDropTarget {
 public:
  TFileDropTarget() = default;
  TFileDropTarget(const TFileDropTarget&) = delete;
  TFileDropTarget& operator=(const TFileDropTarget&) = delete;
  ~TFileDropTarget() { Revoke(); }

  // refuses: asked on entering, moving and dropping; true refuses the files
  // (the pointer shows "no drop", nothing is posted). Initialises OLE for
  // the thread when needed; false when the window could not be registered.
  bool Register(HWND window, std::function<bool()> refuses);
  void Revoke();
  bool Registered() const { return window_ != nullptr; }

 private:
  HWND window_ = nullptr;
  bool oleInitialized_ = false;
  TComPtr<IDropTarget> target_;
};
