#include "app/WorkFolder.h"

#include "engine/Handles.h"

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

namespace {

// Removes, below folder, every entry whose path is too long for the shell's
// delete: it cannot address them, and Wine's turned such a path into the
// current folder and emptied that instead. Links are removed, not followed.
void RemoveDeepEntries(const std::wstring& folder) {
  WIN32_FIND_DATAW found{};
  TFindHandle search(FindFirstFileW((L"\\\\?\\" + folder + L"\\*").c_str(), &found));
  if (!search) return;
  do {
    std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    std::wstring path = folder + L"\\" + name;
    bool directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (directory && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) RemoveDeepEntries(path);
    if (path.size() < MAX_PATH - 1) continue;  // the shell's delete reaches it
    std::wstring longPath = L"\\\\?\\" + path;
    SetFileAttributesW(longPath.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (directory) RemoveDirectoryW(longPath.c_str());
    else DeleteFileW(longPath.c_str());
  } while (FindNextFileW(search.get(), &found));
}

}  // namespace

void DeleteFolderSilently(const std::wstring& folder) {
  if (folder.empty() || !Exists(folder)) return;
  RemoveDeepEntries(folder);
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
  TFindHandle search(FindFirstFileW((workDir + L"\\" + WorkPrefix + L"*").c_str(), &found));
  if (!search) return;
  std::vector<std::wstring> folders;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) folders.push_back(workDir + L"\\" + found.cFileName);
  } while (FindNextFileW(search.get(), &found));
  search.reset();
  for (const std::wstring& folder : folders) DeleteFolderSilently(folder);
}
