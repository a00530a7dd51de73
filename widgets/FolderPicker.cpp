#include "FolderPicker.h"

#include "engine/Handles.h"

#include <shlobj.h>

#include <vector>

std::wstring BrowseForFolder(HWND owner, const std::wstring& title, const std::wstring& start) {
  BROWSEINFOW browse{};
  browse.hwndOwner = owner;
  browse.lpszTitle = title.c_str();
  browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  browse.lParam = reinterpret_cast<LPARAM>(start.c_str());
  browse.lpfn = [](HWND window, UINT message, LPARAM, LPARAM data) -> int {
    const wchar_t* folder = reinterpret_cast<const wchar_t*>(data);
    if (message == BFFM_INITIALIZED && folder != nullptr && *folder != L'\0')
      SendMessageW(window, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder));
    return 0;
  };
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
  if (chosen == nullptr) return L"";
  TScopeExit freeChosen([&] { CoTaskMemFree(chosen); });
  std::vector<wchar_t> path(32768);
  if (!SHGetPathFromIDListEx(chosen, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT)) return L"";
  return path.data();
}
