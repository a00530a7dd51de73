// The entries of one shell folder in a list view, as a list or with details
// (size, type, date). It is linked to a TShellFolderTree by its owner, which
// hands it the tree's selected item id list; entries are named by their
// file-system names, so what the user picks maps back to real paths. Enter
// in the list reaches the owner as LVN_KEYDOWN, also inside a dialog.
#pragma once

#include "Handles.h"

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace shell_detail {
inline void FreePidl(PIDLIST_ABSOLUTE pidl) { CoTaskMemFree(pidl); }
}  // namespace shell_detail
// An absolute item id list from the shell's allocator.
using TPidl = TUniqueHandle<PIDLIST_ABSOLUTE, shell_detail::FreePidl, handles_detail::Null<PIDLIST_ABSOLUTE>>;

class TShellFileList {
 public:
  enum class TStyle { List, Details };

  TShellFileList() = default;
  ~TShellFileList();
  TShellFileList(const TShellFileList&) = delete;
  TShellFileList& operator=(const TShellFileList&) = delete;

  // Subclasses an existing list view control (for example one of a dialog).
  void Attach(HWND listView);
  HWND Handle() const { return list_; }

  // Lists the folder (the desktop for an empty list); the id list is copied.
  void ShowFolder(PCIDLIST_ABSOLUTE folder);
  // Lists the current folder again (after a change on disk).
  void Refresh();
  TStyle Style() const { return style_; }
  void SetStyle(TStyle style);

  int Count() const { return static_cast<int>(entries_.size()); }
  // Indexes of the selected entries, in list order.
  std::vector<int> SelectedIndexes() const;
  // The entry's name in its folder: the file name with its extension for
  // file-system entries, the display name for the others.
  std::wstring Name(int index) const;
  // The entry's full file-system path; empty for entries without one.
  std::wstring Path(int index) const;
  bool IsFolder(int index) const;
  // The list position of the entry with this name, -1 when absent.
  int Find(const std::wstring& name) const;

 private:
  struct TEntry {
    std::wstring name, path, type;
    bool folder = false;
    bool hasSize = false;
    ULONGLONG size = 0;
    FILETIME written{};
    int icon = 0;
  };
  static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  void Fill();
  void AddColumns();

  HWND list_ = nullptr;
  TPidl folder_;
  std::vector<TEntry> entries_;
  TStyle style_ = TStyle::List;
};
