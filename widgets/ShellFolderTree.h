// A tree of the shell namespace from the desktop: drives, the user's folders
// and everything below them, expanded lazily. Each node keeps its absolute
// item id list, so a node's path and the navigation by path need no caching.
#pragma once

#include "WidgetTexts.h"

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <string>

class TShellFolderTree {
 public:
  // The desktop node's name; its "path" is this name, as the shell gives no
  // file-system path for the namespace root.
  static constexpr const wchar_t* DesktopName = widget_texts::Desktop;

  ~TShellFolderTree();
  // Subclasses an existing tree view control (for example one of a dialog).
  void Attach(HWND treeView);
  HWND Handle() const { return tree_; }

  // The owner passes its WM_NOTIFY here: a user's expand click reaches the
  // tree's parent, not the tree. True when the notification was the tree's.
  bool Notify(const NMHDR* header);
  // Empties the tree and builds it again from the desktop.
  void Rebuild();
  // The selected node's file-system path, the desktop name for the desktop
  // node, empty when nothing is selected or the node has no path.
  std::wstring SelectedPath() const;
  // Selects the node of the folder at path, expanding its parents; false (and
  // the selection unchanged) when there is no such folder.
  bool SelectPath(const std::wstring& path);
  // The selected node's absolute item id list, owned by the tree (null when
  // nothing is selected): what a linked file list shows.
  PCIDLIST_ABSOLUTE SelectedPidl() const { return NodePidl(TreeView_GetSelection(tree_)); }

 private:
  static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  HTREEITEM AddNode(HTREEITEM parent, PIDLIST_ABSOLUTE pidl, bool knownChildren);
  void Expand(HTREEITEM node);
  void FreeNodes(HTREEITEM node);
  PIDLIST_ABSOLUTE NodePidl(HTREEITEM node) const;
  std::wstring NodePath(HTREEITEM node) const;

  HWND tree_ = nullptr;
  HTREEITEM desktop_ = nullptr;
  HIMAGELIST images_ = nullptr;
};
