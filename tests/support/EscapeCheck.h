// Finds files that an extraction of hostile names wrote where it must not:
// anywhere on the Wine drive C:, in the host's root folder, or in any folder
// above the destination. Files named with the test's marker inside the
// destination are allowed (sanitised names stay there).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace escape_check {

inline std::wstring Lower(std::wstring text) {
  CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

inline bool IsInside(const std::wstring& path, const std::wstring& folder) {
  std::wstring base = Lower(folder);
  if (!base.empty() && base.back() != L'\\') base += L'\\';
  return Lower(path).rfind(base, 0) == 0;
}

// Walks one folder (recursively when asked) without following links, adding
// every path whose name holds the marker.
inline void Walk(const std::wstring& folder, const std::wstring& marker, bool recursive,
                 std::vector<std::wstring>& found) {
  WIN32_FIND_DATAW data;
  std::wstring pattern = L"\\\\?\\" + folder + L"\\*";
  HANDLE find = FindFirstFileW(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  const std::wstring lowered_marker = Lower(marker);
  do {
    std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    std::wstring path = folder + L"\\" + name;
    if (Lower(name).find(lowered_marker) != std::wstring::npos) found.push_back(path);
    const bool folder_entry = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool link = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (recursive && folder_entry && !link) Walk(path, marker, true, found);
  } while (FindNextFileW(find, &data));
  FindClose(find);
}

// Every file or folder whose name holds `marker` (case-insensitive) on the
// whole of C:, at the host's root (Z:\) and in each folder above
// `destination`, except those inside `destination` itself.
inline std::vector<std::wstring> EscapedFiles(const std::wstring& marker, std::wstring destination) {
  wchar_t full[32768];
  DWORD length = GetFullPathNameW(destination.c_str(), 32768, full, nullptr);
  if (length > 0 && length < 32768) destination = full;
  while (destination.size() > 3 && destination.back() == L'\\') destination.pop_back();

  std::vector<std::wstring> candidates;
  Walk(L"C:", marker, true, candidates);
  Walk(L"Z:", marker, false, candidates);
  for (size_t cut = destination.rfind(L'\\'); cut != std::wstring::npos && cut > 2;
       cut = destination.rfind(L'\\', cut - 1)) {
    Walk(destination.substr(0, cut), marker, false, candidates);
  }
  std::vector<std::wstring> escaped;
  for (const auto& path : candidates) {
    if (!IsInside(path, destination)) escaped.push_back(path);
  }
  return escaped;
}

}  // namespace escape_check
