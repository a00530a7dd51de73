// An OLE drag source that offers a list of files to other windows as dropped
// files: the file-drop format (wide names) and "Preferred DropEffect" copy.
// The drag runs modally inside Execute, as DoDragDrop does.
#pragma once

#include "Handles.h"

#include <windows.h>
#include <ole2.h>

#include <string>
#include <vector>

class TDropSourceEx {
 public:
  // The files offered by the next drag (full paths).
  std::vector<std::wstring> Files;
  // The effects the drag allows the target to choose from.
  DWORD AllowedEffects = DROPEFFECT_COPY;

  // Starts the drag and returns when the mouse button is released (or Esc
  // pressed): the effect the target chose, DROPEFFECT_NONE when nothing took
  // the files. The calling thread needs OLE initialised.
  DWORD Execute();
  // The HRESULT of the last Execute (DRAGDROP_S_DROP, DRAGDROP_S_CANCEL, or a failure).
  // A drag whose button is already up when Execute begins does not start
  // (DRAGDROP_S_CANCEL).
  HRESULT LastResult() const { return lastResult_; }
  // Whether the button that drags (the primary one) is down right now, by
  // the hardware's state rather than the thread's messages.
  static bool DragButtonDown();

  // The file-drop block for the files: header, each name with its NUL and the
  // final NUL, sized to the names (no fixed limit cuts a name). Null when the
  // memory could not be had.
  static TGlobalMemory FileDropBlock(const std::vector<std::wstring>& files);

 private:
  HRESULT lastResult_ = S_OK;
};

// The data object the drag hands over, usable on its own (clipboard, tests).
// Returned with one reference; null when the block could not be made.
IDataObject* CreateFileDataObject(const std::vector<std::wstring>& files, DWORD preferredEffect = DROPEFFECT_COPY);
