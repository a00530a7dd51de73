// The system's folder selection dialog, starting at a folder.
#pragma once

#include <windows.h>

#include <string>

// The chosen folder's path, or empty when the user cancelled.
std::wstring BrowseForFolder(HWND owner, const std::wstring& title, const std::wstring& start);
