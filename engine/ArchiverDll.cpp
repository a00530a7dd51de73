#include "engine/ArchiverDll.h"

#include "engine/EngineTexts.h"
#include "engine/TextUtil.h"

#include <cstring>

EArchiver::EArchiver(std::wstring message)
    : message_(std::move(message)), utf8_(WideToUtf8(message_)) {}

void TCustomArchiverDll::Unload() {
  command_ = nullptr;
  openArchive_ = nullptr;
  closeArchive_ = nullptr;
  findFirst_ = nullptr;
  findNext_ = nullptr;
  extractMem_ = nullptr;
  checkArchive_ = nullptr;
  setOwnerWindowEx_ = nullptr;
  killOwnerWindowEx_ = nullptr;
  getWriteTimeEx_ = nullptr;
  getCreateTimeEx_ = nullptr;
  getAccessTimeEx_ = nullptr;
  getArchiveType_ = nullptr;
}

int TCustomArchiverDll::Command(HWND window, const std::string& commandLine, char* buffer,
                                DWORD size) {
  return command_(window, commandLine.c_str(), size == 0 ? nullptr : buffer, size);
}

BOOL TCustomArchiverDll::CheckArchive(const std::string& path, int mode) {
  return checkArchive_(path.c_str(), mode);
}

int TCustomArchiverDll::CloseArchive(HARC handle) { return closeArchive_(handle); }

int TCustomArchiverDll::ExtractMem(HWND window, const std::string& commandLine, BYTE* buffer,
                                   DWORD size, time_t* time, WORD* attributes, DWORD* written) {
  return extractMem_(window, commandLine.c_str(), buffer, size, time, attributes, written);
}

int TCustomArchiverDll::FindFirst(HARC handle, const std::string& wildcard,
                                  TIndividualInfo* record) {
  int result = findFirst_(handle, wildcard.c_str(), record);
  if (result == 0) FillFileTimes(handle, record);
  return result;
}

int TCustomArchiverDll::FindNext(HARC handle, TIndividualInfo* record) {
  int result = findNext_(handle, record);
  if (result == 0) FillFileTimes(handle, record);
  return result;
}

BOOL TCustomArchiverDll::KillOwnerWindowEx(HWND window) { return killOwnerWindowEx_(window); }

HARC TCustomArchiverDll::OpenArchive(HWND window, const std::string& path, DWORD mode) {
  return openArchive_(window, path.c_str(), mode);
}

BOOL TCustomArchiverDll::SetOwnerWindowEx(HWND window, void* callback) {
  return setOwnerWindowEx_(window, callback);
}

BOOL TCustomArchiverDll::GetWriteTimeEx(HARC handle, FILETIME* time) {
  return getWriteTimeEx_ ? getWriteTimeEx_(handle, time) : FALSE;
}

BOOL TCustomArchiverDll::GetCreateTimeEx(HARC handle, FILETIME* time) {
  return getCreateTimeEx_ ? getCreateTimeEx_(handle, time) : FALSE;
}

BOOL TCustomArchiverDll::GetAccessTimeEx(HARC handle, FILETIME* time) {
  return getAccessTimeEx_ ? getAccessTimeEx_(handle, time) : FALSE;
}

int TCustomArchiverDll::GetArchiveType(const std::string& path) {
  return getArchiveType_(path.c_str());
}

void TCustomArchiverDll::FillFileTimes(HARC handle, TIndividualInfo* record) {
  // Libraries without the time entries still give the DOS date and time.
  auto fromDos = [record](FILETIME* time) {
    if (!DosDateTimeToFileTime(record->wDate, record->wTime, time)) *time = FILETIME{};
  };
  if (!GetWriteTimeEx(handle, &record->ftLastWriteTime)) fromDos(&record->ftLastWriteTime);
  if (!GetAccessTimeEx(handle, &record->ftLastAccessTime)) fromDos(&record->ftLastAccessTime);
  if (!GetCreateTimeEx(handle, &record->ftCreationTime)) fromDos(&record->ftCreationTime);
}

TArchiverDll::TArchiverDll(std::wstring description, std::wstring dllName, std::string prefix)
    : description_(std::move(description)), dllName_(std::move(dllName)), prefix_(std::move(prefix)) {}

TArchiverDll::~TArchiverDll() { Unload(); }

void TArchiverDll::Load() {
  if (!module_) module_.reset(LoadLibraryW(dllName_.c_str()));
  if (!module_) throw ENoArchiverDLL(FormatMessageText(engine_texts::LibraryNeeded, {description_, dllName_}));
}

void TArchiverDll::Unload() {
  TCustomArchiverDll::Unload();
  module_.reset();
}

bool TArchiverDll::ResolveEntry(FARPROC& slot, const char* suffix, bool required) {
  if (slot != nullptr) return true;
  std::string name = prefix_ + suffix;
  if (module_) slot = GetProcAddress(module_.get(), name.c_str());
  if (slot != nullptr) return true;
  if (!required) return false;
  std::wstring path = module_ ? ModulePath(module_.get()) : std::wstring();
  throw EEntryNotFound(FormatMessageText(engine_texts::EntryNotFound, {path, AnsiToWide(name)}));
}

int TArchiverDll::Command(HWND window, const std::string& commandLine, char* buffer, DWORD size) {
  Load();
  Resolve(command_, "", true);
  return TCustomArchiverDll::Command(window, commandLine, buffer, size);
}

BOOL TArchiverDll::CheckArchive(const std::string& path, int mode) {
  Load();
  Resolve(checkArchive_, "CheckArchive", true);
  return TCustomArchiverDll::CheckArchive(path, mode);
}

int TArchiverDll::CloseArchive(HARC handle) {
  Load();
  Resolve(closeArchive_, "CloseArchive", true);
  return TCustomArchiverDll::CloseArchive(handle);
}

int TArchiverDll::ExtractMem(HWND window, const std::string& commandLine, BYTE* buffer, DWORD size,
                             time_t* time, WORD* attributes, DWORD* written) {
  Resolve(extractMem_, "ExtractMem", true);
  return TCustomArchiverDll::ExtractMem(window, commandLine, buffer, size, time, attributes,
                                        written);
}

int TArchiverDll::FindFirst(HARC handle, const std::string& wildcard, TIndividualInfo* record) {
  Load();
  Resolve(findFirst_, "FindFirst", true);
  return TCustomArchiverDll::FindFirst(handle, wildcard, record);
}

int TArchiverDll::FindNext(HARC handle, TIndividualInfo* record) {
  Resolve(findNext_, "FindNext", true);
  return TCustomArchiverDll::FindNext(handle, record);
}

BOOL TArchiverDll::KillOwnerWindowEx(HWND window) {
  Resolve(killOwnerWindowEx_, "KillOwnerWindowEx", true);
  return TCustomArchiverDll::KillOwnerWindowEx(window);
}

HARC TArchiverDll::OpenArchive(HWND window, const std::string& path, DWORD mode) {
  Load();
  Resolve(openArchive_, "OpenArchive", true);
  return TCustomArchiverDll::OpenArchive(window, path, mode);
}

BOOL TArchiverDll::SetOwnerWindowEx(HWND window, void* callback) {
  Resolve(setOwnerWindowEx_, "SetOwnerWindowEx", true);
  return TCustomArchiverDll::SetOwnerWindowEx(window, callback);
}

BOOL TArchiverDll::GetWriteTimeEx(HARC handle, FILETIME* time) {
  Resolve(getWriteTimeEx_, "GetWriteTimeEx", false);
  return TCustomArchiverDll::GetWriteTimeEx(handle, time);
}

BOOL TArchiverDll::GetCreateTimeEx(HARC handle, FILETIME* time) {
  Resolve(getCreateTimeEx_, "GetCreateTimeEx", false);
  return TCustomArchiverDll::GetCreateTimeEx(handle, time);
}

BOOL TArchiverDll::GetAccessTimeEx(HARC handle, FILETIME* time) {
  Resolve(getAccessTimeEx_, "GetAccessTimeEx", false);
  return TCustomArchiverDll::GetAccessTimeEx(handle, time);
}

int TArchiverDll::GetArchiveType(const std::string& path) {
  Load();
  Resolve(getArchiveType_, "GetArchiveType", true);
  return TCustomArchiverDll::GetArchiveType(path);
}

void RemoveCurrentDirectoryFromDllSearch() {
  // A DLL directory takes the place of the current folder in the search order.
  // Wine ignores an empty one, so name the program's own folder, which is
  // searched first anyway.
  std::wstring path = ModulePath(nullptr);
  if (path.empty()) {
    SetDllDirectoryW(L"");
    return;
  }
  size_t slash = path.rfind(L'\\');
  if (slash != std::wstring::npos) path.resize(slash);
  SetDllDirectoryW(path.c_str());
}
