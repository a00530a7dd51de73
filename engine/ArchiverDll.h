// Run-time binding of one outside archiver library.
#pragma once

#include "engine/ArchiverApi.h"
#include "engine/Handles.h"
#include "engine/SystemText.h"

#include <exception>
#include <string>

// Engine failures carry a Japanese message for the user.
class EArchiver : public std::exception {
 public:
  explicit EArchiver(std::wstring message);
  const std::wstring& Message() const { return message_; }
  const char* what() const noexcept override { return utf8_.c_str(); }

 private:
  std::wstring message_;
  std::string utf8_;
};

class ENoArchiverDLL : public EArchiver {
 public:
  using EArchiver::EArchiver;
};

class EEntryNotFound : public EArchiver {
 public:
  using EArchiver::EArchiver;
};

// Thirteen entry pointers, each null until first used.
class TCustomArchiverDll {
 public:
  virtual ~TCustomArchiverDll() = default;

  virtual void Load() = 0;
  virtual void Unload();
  virtual int Command(HWND window, const std::string& commandLine, char* buffer, DWORD size);
  virtual BOOL CheckArchive(const std::string& path, int mode);
  virtual int CloseArchive(HARC handle);
  virtual int ExtractMem(HWND window, const std::string& commandLine, BYTE* buffer, DWORD size,
                         time_t* time, WORD* attributes, DWORD* written);
  virtual int FindFirst(HARC handle, const std::string& wildcard, TIndividualInfo* record);
  virtual int FindNext(HARC handle, TIndividualInfo* record);
  virtual BOOL KillOwnerWindowEx(HWND window);
  virtual HARC OpenArchive(HWND window, const std::string& path, DWORD mode);
  virtual BOOL SetOwnerWindowEx(HWND window, void* callback);
  virtual BOOL GetWriteTimeEx(HARC handle, FILETIME* time);
  virtual BOOL GetCreateTimeEx(HARC handle, FILETIME* time);
  virtual BOOL GetAccessTimeEx(HARC handle, FILETIME* time);
  virtual int GetArchiveType(const std::string& path);

 protected:
  void FillFileTimes(HARC handle, TIndividualInfo* record);

  TArcCommand command_ = nullptr;
  TArcOpenArchive openArchive_ = nullptr;
  TArcCloseArchive closeArchive_ = nullptr;
  TArcFindFirst findFirst_ = nullptr;
  TArcFindNext findNext_ = nullptr;
  TArcExtractMem extractMem_ = nullptr;
  TArcCheckArchive checkArchive_ = nullptr;
  TArcSetOwnerWindowEx setOwnerWindowEx_ = nullptr;
  TArcKillOwnerWindowEx killOwnerWindowEx_ = nullptr;
  TArcGetFileTime getWriteTimeEx_ = nullptr;
  TArcGetFileTime getCreateTimeEx_ = nullptr;
  TArcGetFileTime getAccessTimeEx_ = nullptr;
  TArcGetArchiveType getArchiveType_ = nullptr;
};

class TArchiverDll : public TCustomArchiverDll {
 public:
  TArchiverDll(std::wstring description, std::wstring dllName, std::string prefix);
  ~TArchiverDll() override;
  TArchiverDll(const TArchiverDll&) = delete;
  TArchiverDll& operator=(const TArchiverDll&) = delete;

  void Load() override;
  void Unload() override;
  int Command(HWND window, const std::string& commandLine, char* buffer, DWORD size) override;
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
  int GetArchiveType(const std::string& path) override;

  HMODULE Module() const { return module_.get(); }
  const std::wstring& Description() const { return description_; }
  const std::wstring& DllName() const { return dllName_; }
  const std::string& Prefix() const { return prefix_; }

 protected:
  // Looks up Prefix + suffix once; a required entry that is missing raises EEntryNotFound.
  template <typename Entry>
  bool Resolve(Entry& slot, const char* suffix, bool required) {
    return ResolveEntry(reinterpret_cast<FARPROC&>(slot), suffix, required);
  }
  bool ResolveEntry(FARPROC& slot, const char* suffix, bool required);

 private:
  TModule module_;
  std::wstring description_;
  std::wstring dllName_;
  std::string prefix_;
};

// Keeps the current folder out of the library search, so that an archiver
// library planted beside an archive is never loaded. The program's folder,
// the system folders and PATH stay.
void RemoveCurrentDirectoryFromDllSearch();
