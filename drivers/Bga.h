// BGA archives (.gza, .bza) through BGA32.DLL.
#pragma once

#include "LibraryArchiver.h"

class TBGA32 : public TLibraryArchiver {
 public:
  void LoadDLL() override;
  void FreeDLL() override;
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

 protected:
  TArchiverDll& Library() override;

 private:
  int Run(HWND window, const char* word, const TArchiverOptions& options,
          const std::string& archivePath, const std::string& directory, const TNameList& files,
          bool useResponseFile, std::string& output);
};

// True when the file exists and BGA32.DLL opens it. Never raises.
bool IsBgaArchive(const std::string& path);
