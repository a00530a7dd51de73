// The system's folder selection dialog with a title and a starting folder.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

// The chosen folder's path, or nothing when the user cancelled or chose a
// node without a file-system path.
std::optional<std::wstring> BrowseForFolder(HWND owner, const std::wstring& title, const std::wstring& start);
