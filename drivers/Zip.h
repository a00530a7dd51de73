// ZIP archives, spread over three outside libraries: UNZIP32.DLL reads,
// ZIP32J.DLL writes, QXZIP32.DLL does both and is the first choice for
// listing. Each call takes the function from the first library that has it.
#pragma once

#include "drivers/LibraryArchiver.h"
#include "engine/Handles.h"

#include <string>

class TZipDll : public TCustomArchiverDll {
 public:
  TZipDll() = default;
  ~TZipDll() override;
  TZipDll(const TZipDll&) = delete;
  TZipDll& operator=(const TZipDll&) = delete;

  // Loads whichever of the three libraries are not loaded yet; never fails.
  void Load() override;
  void Unload() override;
  // No library is asked for these two; calling them raises EEntryNotFound.
  int Command(HWND window, const std::string& commandLine, char* buffer, DWORD size) override;
  int GetArchiveType(const std::string& path) override;

  BOOL CheckArchive(const std::string& path, int mode) override;
  int CloseArchive(HARC handle) override;
  int ExtractMem(HWND window, const std::string& commandLine, BYTE* buffer, DWORD size,
                 time_t* time, WORD* attributes, DWORD* written) override;
  int FindFirst(HARC handle, const std::string& wildcard, TIndividualInfo* record) override;
  int FindNext(HARC handle, TIndividualInfo* record) override;
  BOOL KillOwnerWindowEx(HWND window) override;
  HARC OpenArchive(HWND window, const std::string& path, DWORD mode) override;
  BOOL SetOwnerWindowEx(HWND window, void* callback) override;
  BOOL GetWriteTimeEx(HARC handle, FILETIME* time) override;
  BOOL GetCreateTimeEx(HARC handle, FILETIME* time) override;
  BOOL GetAccessTimeEx(HARC handle, FILETIME* time) override;

  int Zip(HWND window, const std::string& commandLine, char* buffer, DWORD size);
  int UnZip(HWND window, const std::string& commandLine, char* buffer, DWORD size);

  HMODULE Unzip32() const { return unzip32_.get(); }
  HMODULE Zip32j() const { return zip32j_.get(); }
  HMODULE Qxzip32() const { return qxzip32_.get(); }

 private:
  enum Library { UNZIP32, ZIP32J, QXZIP32 };
  FARPROC Find(const char* name, std::initializer_list<Library> order, bool required) const;
  // The owner-window pair lives in UNZIP32.DLL only.
  FARPROC FindInUnzip32(const char* name) const;

  TModule unzip32_;
  TModule qxzip32_;
  TModule zip32j_;
  TArcCommand zip_ = nullptr;
  TArcCommand unzip_ = nullptr;
};

class TCZIP32 : public TLibraryArchiver {
 public:
  TCZIP32();
  // Each goes to whichever library is there; a missing one is named.
  int Add(HWND window, const std::string& archivePath, const TArchiverOptions& options,
          const std::string& directory, const TNameList& files, bool useResponseFile,
          std::string& output) override;
  int MakeSfx(HWND window, const std::string& archivePath, const TArchiverOptions& options,
              const std::string& directory, std::string& output) override;
  // The check takes no flags.
  bool CheckArchive(const std::string& archivePath, int mode, int flags) override;
  // The library call comes first: without UNZIP32.DLL the owner stays unset.
  bool SetOwnerWindow(HWND window) override;
};

// The ZIP binding every TCZIP32 and the probe share; null until first used.
TZipDll* SharedZipDll();

// ZIP stores "/" between folders and the libraries read "[" as a wildcard:
// every "\" becomes "/" and every "[" becomes "[[]" (double-byte aware).
std::string ZipNameFilter(const std::string& name);

// True when the file exists and a ZIP library opens it. Never raises.
bool IsZipArchive(const std::string& path);
