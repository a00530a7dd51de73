// tar, gzip and bzip2 archives through TAR32.DLL. The two subclasses only
// tell the shared code which compression switch to add.
#pragma once

#include "LibraryArchiver.h"

class TCTAR32 : public TLibraryArchiver {
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
  std::string CommandLine(const char* word, const TArchiverOptions& options,
                          const std::string& archivePath, const std::string& directory,
                          const TNameList& files, bool useResponseFile) const;
};

class TTgz32 : public TCTAR32 {};
class TBZ232 : public TCTAR32 {};

// atTar, atTgz or atBZ2 from TAR32.DLL's answer; atNone for anything else
// and on any failure. Never raises.
TArchiverType TarFamilyKind(const std::string& path);
