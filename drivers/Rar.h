// RAR archives, read only, through UNRAR32.DLL.
#pragma once

#include "LibraryArchiver.h"

class TRar32 : public TLibraryArchiver {
 public:
  void LoadDLL() override;
  void FreeDLL() override;
  int Extract(HWND window, const std::string& archivePath, const TArchiverOptions& options,
              const std::string& directory, const TNameList& files, bool useResponseFile,
              std::string& output) override;
  int ExtractMem(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                 const std::string& entryName, BYTE* buffer, DWORD size, DWORD* written) override;

 protected:
  TArchiverDll& Library() override;
};

// True when UNRAR32.DLL opens the file. Never raises.
bool IsRarArchive(const std::string& path);
