// RAR archives, read only, through UNRAR32.DLL.
#pragma once

#include "Archiver.h"

class TRar32 : public TArchiver {
 public:
  void LoadDLL() override;
  void FreeDLL() override;
  HARC OpenArchive(HWND window, const std::string& path, DWORD mode) override;
  int FindFirst(HARC handle, const std::string& wildcard, TIndividualInfo* record) override;
  int FindNext(HARC handle, TIndividualInfo* record) override;
  int CloseArchive(HARC handle) override;
  int Extract(HWND window, const std::string& archivePath, const TArchiverOptions& options,
              const std::string& directory, const TNameList& files, bool useResponseFile,
              std::string& output) override;
  int ExtractMem(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                 const std::string& entryName, BYTE* buffer, DWORD size, DWORD* written) override;
  bool CheckArchive(const std::string& archivePath, int mode, int flags) override;
  bool SetOwnerWindow(HWND window) override;
  bool KillOwnerWindow(HWND window) override;
};

// True when UNRAR32.DLL opens the file. Never raises.
bool IsRarArchive(const std::string& path);
