#include "LibraryArchiver.h"

#include "Lha.h"

HARC TLibraryArchiver::OpenArchive(HWND window, const std::string& path, DWORD mode) {
  return Library().OpenArchive(window, FullArchivePath(path), mode);
}

int TLibraryArchiver::FindFirst(HARC handle, const std::string& wildcard,
                                TIndividualInfo* record) {
  return Library().FindFirst(handle, wildcard, record);
}

int TLibraryArchiver::FindNext(HARC handle, TIndividualInfo* record) {
  return Library().FindNext(handle, record);
}

int TLibraryArchiver::CloseArchive(HARC handle) { return Library().CloseArchive(handle); }

bool TLibraryArchiver::CheckArchive(const std::string& archivePath, int mode, int flags) {
  return Library().CheckArchive(archivePath, mode + flags) != FALSE;
}

bool TLibraryArchiver::SetOwnerWindow(HWND window) {
  TArchiver::SetOwnerWindow(window);
  return Library().SetOwnerWindowEx(window, nullptr) != FALSE;
}

bool TLibraryArchiver::KillOwnerWindow(HWND window) {
  struct Forget {
    TLibraryArchiver& driver;
    HWND window;
    ~Forget() { driver.TArchiver::KillOwnerWindow(window); }
  } forget{*this, window};
  return Library().KillOwnerWindowEx(window) != FALSE;
}

bool ProbeByOpenArchive(TCustomArchiverDll& library, const std::string& fullPath,
                        bool closeNullHandle) {
  HARC handle = library.OpenArchive(nullptr, fullPath, ProbeOpenMode);
  if (handle != nullptr || closeNullHandle) library.CloseArchive(handle);
  return handle != nullptr;
}
