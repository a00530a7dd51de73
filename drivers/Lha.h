// LZH archives through UNLHA32.DLL: the one driver that writes the whole
// switch set, each option as the LHA switch of the same name.
#pragma once

#include "LibraryArchiver.h"

class TCLHA32 : public TLibraryArchiver {
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
  int Update(HWND window, const std::string& archivePath, const TArchiverOptions& options,
             const std::string& directory, const TNameList& files, bool useResponseFile,
             std::string& output) override;
  int MakeSfx(HWND window, const std::string& archivePath, const TArchiverOptions& options,
              const std::string& directory, std::string& output) override;
  int ExtractMem(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                 const std::string& entryName, BYTE* buffer, DWORD size, DWORD* written) override;

 protected:
  // The library this driver talks to; the ARJ driver names its own.
  TArchiverDll& Library() override;

  // The LHA command line: command word + switches + target + names.
  std::string BuildCommandLine(const std::string& command, const std::string& archivePath,
                               const TArchiverOptions& options, const std::string& directory,
                               const TNameList& files, bool useResponseFile);
  // Builds the line, keeps it as LastCommandLine and sends it to Library().
  int SendCommand(HWND window, const std::string& command, const std::string& archivePath,
                  const TArchiverOptions& options, const std::string& directory,
                  const TNameList& files, bool useResponseFile, std::string& output);
};

// The process-wide UNLHA32.DLL binding, created (and loaded) on first use.
// Kept even when loading failed, so the next loading call tries again.
TArchiverDll& LhaLibrary();

// True when UNLHA32.DLL finds an LZH archive in the file (also inside a
// self-extractor). Never raises: any failure answers false.
bool IsLhaArchive(const std::string& path);

// The path made absolute against the current folder; unchanged when that fails.
std::string FullArchivePath(const std::string& path);
// True for an existing file that is not a folder: the only things a probe
// hands to a library.
bool IsProbeableFile(const std::string& path);
