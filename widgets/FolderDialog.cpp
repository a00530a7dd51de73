#include "FolderDialog.h"

#include "ShellFileList.h"

#include <shlobj.h>

namespace {

int CALLBACK StartAt(HWND dialog, UINT message, LPARAM, LPARAM data) {
  auto start = reinterpret_cast<const std::wstring*>(data);
  if (message == BFFM_INITIALIZED && !start->empty())
    SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(start->c_str()));
  return 0;
}

}  // namespace

std::optional<std::wstring> BrowseForFolder(HWND owner, const std::wstring& title, const std::wstring& start) {
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  info.lpfn = StartAt;
  info.lParam = reinterpret_cast<LPARAM>(&start);
  TPidl chosen(SHBrowseForFolderW(&info));
  wchar_t path[MAX_PATH] = L"";
  if (!chosen || !SHGetPathFromIDListW(chosen.get(), path)) return std::nullopt;
  return std::wstring(path);
}
