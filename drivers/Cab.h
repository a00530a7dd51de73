// Cabinet archives through CAB32.DLL. A cabinet cannot be changed once
// written, so there is no deleting or freshening.
#pragma once

#include "Archiver.h"

class TCCAB32 : public TArchiver {
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
  int Add(HWND window, const std::string& archivePath, const TArchiverOptions& options,
          const std::string& directory, const TNameList& files, bool useResponseFile,
          std::string& output) override;
  int MakeSfx(HWND window, const std::string& archivePath, const TArchiverOptions& options,
              const std::string& directory, std::string& output) override;
  int ExtractMem(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                 const std::string& entryName, BYTE* buffer, DWORD size, DWORD* written) override;
  bool CheckArchive(const std::string& archivePath, int mode, int flags) override;
  bool SetOwnerWindow(HWND window) override;
  bool KillOwnerWindow(HWND window) override;

 private:
  int Run(HWND window, const char* word, const TArchiverOptions& options,
          const std::string& archivePath, const std::string& directory, const TNameList& files,
          bool useResponseFile, std::string& output);
};

// True when CAB32.DLL opens the file. Never raises.
bool IsCabArchive(const std::string& path);
