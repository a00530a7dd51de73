// Cabinet archives through CAB32.DLL. A cabinet cannot be changed once
// written, so there is no deleting or freshening.
#pragma once

#include "LibraryArchiver.h"

class TCCAB32 : public TLibraryArchiver {
 public:
  void LoadDLL() override;
  void FreeDLL() override;
  int Extract(HWND window, const std::string& archivePath, const TArchiverOptions& options,
              const std::string& directory, const TNameList& files, bool useResponseFile,
              std::string& output) override;
  int Add(HWND window, const std::string& archivePath, const TArchiverOptions& options,
          const std::string& directory, const TNameList& files, bool useResponseFile,
          std::string& output) override;
  int MakeSfx(HWND window, const std::string& archivePath, const TArchiverOptions& options,
              const std::string& directory, std::string& output) override;
  int ExtractMem(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                 const std::string& entryName, BYTE* buffer, DWORD size, DWORD* written) override;

 protected:
  TArchiverDll& Library() override;

 private:
  int Run(HWND window, const char* word, const TArchiverOptions& options,
          const std::string& archivePath, const std::string& directory, const TNameList& files,
          bool useResponseFile, std::string& output);
};

// True when CAB32.DLL opens the file. Never raises.
bool IsCabArchive(const std::string& path);
