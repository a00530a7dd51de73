// What every driver backed by one archiver library shares: listing through
// the library (the archive as a full path), the check, the owner-window pair
// and the probe that opens and closes the archive. A driver adds its switch
// tables and command words.
#pragma once

#include "Archiver.h"

class TLibraryArchiver : public TArchiver {
 public:
  HARC OpenArchive(HWND window, const std::string& path, DWORD mode) override;
  int FindFirst(HARC handle, const std::string& wildcard, TIndividualInfo* record) override;
  int FindNext(HARC handle, TIndividualInfo* record) override;
  int CloseArchive(HARC handle) override;
  // The library's check with the sum of mode and flags.
  bool CheckArchive(const std::string& archivePath, int mode, int flags) override;
  // Bookkeeping first, then the library with a null callback.
  bool SetOwnerWindow(HWND window) override;
  // The library first; the window is forgotten also when that call raises
  // (a missing entry), so later command lines ask for no progress to it.
  bool KillOwnerWindow(HWND window) override;

 protected:
  // The family's process-wide binding, created and loaded on first use.
  virtual TCustomArchiverDll& Library() = 0;
};

// Opens the file (a full path) with the probes' mode and closes it again;
// true when the library gave a handle. With closeNullHandle the close call
// is made for a null handle too. Raises what the library raises.
bool ProbeByOpenArchive(TCustomArchiverDll& library, const std::string& fullPath,
                        bool closeNullHandle);
