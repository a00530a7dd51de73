// Where our libraries find the self-extractor stubs, and how a self-extractor
// is put together: the stub program, then the archive, byte for byte. The
// stubs find the archive right after their own program image.
#pragma once

#include <windows.h>

#include "engine/Handles.h"

#include <string>
#include <vector>

namespace sfx {

// File names of the stubs, beside the library DLLs (see README.md here).
inline constexpr wchar_t GuiStub[] = L"sfx32gui.dat";        // asks for the folder; all families
inline constexpr wchar_t ConsoleStub[] = L"sfx16.dat";       // console; the DOS roles
inline constexpr wchar_t InstallerStub[] = L"sfxinst.dat";   // reads the "$" and "!" entries
inline constexpr wchar_t TarStub[] = L"kmtarsef.exe";        // the GUI stub under its TAR name

// Full path of stub name in the folder of the module that contains address
// (pass the address of any function or object of the calling DLL); "" when
// there is no such file.
inline std::wstring StubBesideModule(const wchar_t* name, const void* address) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          static_cast<LPCWSTR>(address), &module))
    return L"";
  std::wstring path(32768, L'\0');
  DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) return L"";
  path.resize(length);
  size_t slash = path.find_last_of(L"\\/");
  path = (slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1)) + name;
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) ? path : L"";
}

// Writes stub + archive to target through a temporary file in target's folder,
// which replaces target only when complete. Returns 0 or the Win32 error.
inline DWORD JoinStubAndArchive(const std::wstring& stub, const std::wstring& archive, const std::wstring& target) {
  size_t slash = target.find_last_of(L"\\/");
  std::wstring folder = slash == std::wstring::npos ? L"." : target.substr(0, slash + 1);
  wchar_t temporary[MAX_PATH + 1];  // the call's contract is a MAX_PATH buffer
  if (GetTempFileNameW(folder.c_str(), L"sfx", 0, temporary) == 0) return GetLastError();
  TFileHandle out(CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD error = !out ? GetLastError() : 0;
  std::vector<char> block(256 * 1024);
  for (const std::wstring* source : {&stub, &archive}) {
    if (error != 0) break;
    TFileHandle in(CreateFileW(source->c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in) {
      error = GetLastError();
      break;
    }
    DWORD got = 0, written = 0;
    for (;;) {
      if (!ReadFile(in.get(), block.data(), static_cast<DWORD>(block.size()), &got, nullptr)) {
        error = GetLastError();
        break;
      }
      if (got == 0) break;
      if (!WriteFile(out.get(), block.data(), got, &written, nullptr) || written != got) {
        error = GetLastError();
        if (error == 0) error = ERROR_WRITE_FAULT;
        break;
      }
    }
  }
  out.reset();  // closed before the move
  if (error == 0 && !MoveFileExW(temporary, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    error = GetLastError();
  if (error != 0) DeleteFileW(temporary);
  return error;
}

}  // namespace sfx
