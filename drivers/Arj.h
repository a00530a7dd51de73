// ARJ archives through UNARJ32.DLL, which speaks the LHA command syntax.
// UNARJ32.DLL lists and extracts only: adding, deleting, updating and
// self-extractors are refused with the base messages, never handed to another
// family's library.
#pragma once

#include "Lha.h"

class TCARJ32 : public TCLHA32 {
 public:
  void LoadDLL() override;
  void FreeDLL() override;
  int Add(HWND window, const std::string& archivePath, const TArchiverOptions& options,
          const std::string& directory, const TNameList& files, bool useResponseFile,
          std::string& output) override;
  int Delete(HWND window, const std::string& archivePath, const TArchiverOptions& options,
             const std::string& directory, const TNameList& files, bool useResponseFile,
             std::string& output) override;
  int Update(HWND window, const std::string& archivePath, const TArchiverOptions& options,
             const std::string& directory, const TNameList& files, bool useResponseFile,
             std::string& output) override;
  int MakeSfx(HWND window, const std::string& archivePath, const TArchiverOptions& options,
              const std::string& directory, std::string& output) override;

 protected:
  TArchiverDll& Library() override;
};

// The process-wide UNARJ32.DLL binding, created (and loaded) on first use.
TArchiverDll& ArjLibrary();

// True when UNARJ32.DLL opens the file as an archive. Never raises.
bool IsArjArchive(const std::string& path);
