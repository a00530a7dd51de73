#include "WorkFolder.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <vector>

namespace {

const wchar_t WorkPrefix[] = L"~Tavix";

std::wstring Numbered(const std::wstring& workDir, int number) {
  return workDir + L"\\" + WorkPrefix + std::to_wstring(number);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// More numbers than anyone runs instances; stops a loop on a broken folder.
constexpr int LastNumber = 9999;

}  // namespace

std::wstring FreeWorkFolder(const std::wstring& workDir) {
  for (int number = 0; number <= LastNumber; ++number)
    if (!Exists(Numbered(workDir, number))) return Numbered(workDir, number);
  return Numbered(workDir, 0);
}

bool CreateWorkFolder(const std::wstring& workDir, std::wstring& path, int& number) {
  if (!Exists(workDir)) SHCreateDirectoryExW(nullptr, workDir.c_str(), nullptr);
  // Creating at once claims the number: a second instance starting at the same
  // moment fails on it and takes the next one.
  for (number = 0; number <= LastNumber; ++number) {
    path = Numbered(workDir, number);
    if (CreateDirectoryW(path.c_str(), nullptr)) return true;
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  number = 0;
  path = FreeWorkFolder(workDir);
  return false;
}

void DeleteFolderSilently(const std::wstring& folder) {
  if (folder.empty() || !Exists(folder)) return;
  std::vector<wchar_t> from(folder.begin(), folder.end());
  from.push_back(0);
  from.push_back(0);  // the shell takes a list ended by an empty name
  SHFILEOPSTRUCTW operation{};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.data();
  operation.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
  SHFileOperationW(&operation);
}

void DeleteAllWorkFolders(const std::wstring& workDir) {
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW((workDir + L"\\" + WorkPrefix + L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  std::vector<std::wstring> folders;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) folders.push_back(workDir + L"\\" + found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  for (const std::wstring& folder : folders) DeleteFolderSilently(folder);
}
