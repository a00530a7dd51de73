// BGA archives (.gza, .bza) through BGA32.DLL.
#pragma once

#include "Archiver.h"

class TBGA32 : public TArchiver {
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
  int Delete(HWND window, const std::string& archivePath, const TArchiverOptions& options,
             const std::string& directory, const TNameList& files, bool useResponseFile,
             std::string& output) override;
  int MakeSfx(HWND window, const std::string& archivePath, const TArchiverOptions& options,
              const std::string& directory, std::string& output) override;
  bool CheckArchive(const std::string& archivePath, int mode, int flags) override;
  bool SetOwnerWindow(HWND window) override;
  bool KillOwnerWindow(HWND window) override;

 private:
  int Run(HWND window, const char* word, const TArchiverOptions& options,
          const std::string& archivePath, const std::string& directory, const TNameList& files,
          bool useResponseFile, std::string& output);
};

// True when the file exists and BGA32.DLL opens it. Never raises.
bool IsBgaArchive(const std::string& path);
