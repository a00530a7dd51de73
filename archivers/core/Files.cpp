// Paths made safe for extraction, and files written beside their target.
#include "archivers/core/ArcCore.h"

#include <algorithm>
#include <cstring>

namespace arc {

bool FileExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderIsEmpty(const std::wstring& path) {
  WIN32_FIND_DATAW data;
  TFindHandle find(FindFirstFileW(JoinPath(path, L"*").c_str(), &data));
  if (!find) return false;
  do {
    if (wcscmp(data.cFileName, L".") != 0 && wcscmp(data.cFileName, L"..") != 0) return false;
  } while (FindNextFileW(find.get(), &data));
  return true;
}

std::wstring FullPath(const std::wstring& path) {
  if (path.empty()) return path;
  // Usually one call: the full path is rarely much longer than the given one.
  std::wstring result(path.size() + MAX_PATH, L'\0');
  DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(result.size()), result.data(), nullptr);
  if (length >= result.size()) {
    result.resize(length);
    length = GetFullPathNameW(path.c_str(), length, result.data(), nullptr);
  }
  if (length == 0 || length >= result.size()) return path;
  result.resize(length);
  return result;
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
  if (folder.empty()) return name;
  if (folder.back() == L'\\' || folder.back() == L'/') return folder + name;
  return folder + L"\\" + name;
}

std::wstring FolderOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return L"";
  if (slash == 2 && path[1] == L':') return path.substr(0, 3);
  return path.substr(0, slash);
}

std::wstring FileNameOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/:");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool CreateFolders(const std::wstring& folder, std::vector<std::wstring>* created) {
  if (folder.empty()) return true;
  // Creating first costs one call for a new folder, the usual case on extraction.
  if (CreateDirectoryW(folder.c_str(), nullptr)) {
    if (created != nullptr) created->push_back(folder);
    return true;
  }
  if (GetLastError() != ERROR_PATH_NOT_FOUND) return DirectoryExists(folder);
  // Find the deepest folder that exists, then create the rest downwards in
  // one pass (no recursion: a hostile depth cannot exhaust the stack).
  std::vector<std::wstring> missing{folder};
  std::wstring parent = FolderOf(folder);
  while (!parent.empty() && parent != missing.back() && !DirectoryExists(parent)) {
    missing.push_back(parent);
    parent = FolderOf(parent);
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (CreateDirectoryW(it->c_str(), nullptr)) {
      if (created != nullptr) created->push_back(*it);
    } else if (!DirectoryExists(*it)) {
      return false;
    }
  }
  return true;
}

void RemoveCreatedFolders(const std::vector<std::wstring>& created) {
  for (auto it = created.rbegin(); it != created.rend(); ++it) RemoveDirectoryW(it->c_str());
}

namespace {

bool IsDeviceName(const std::wstring& component) {
  std::wstring base = Lower(component.substr(0, component.find(L'.')));
  while (!base.empty() && base.back() == L' ') base.pop_back();
  static const wchar_t* const devices[] = {L"con", L"prn", L"aux", L"nul", L"clock$", L"conin$", L"conout$"};
  for (auto device : devices) {
    if (base == device) return true;
  }
  // Windows also takes the superscript digits 1-3 as port numbers.
  if (base.size() == 4 && (base.compare(0, 3, L"com") == 0 || base.compare(0, 3, L"lpt") == 0) &&
      ((base[3] >= L'0' && base[3] <= L'9') || base[3] == L'\u00B9' || base[3] == L'\u00B2' || base[3] == L'\u00B3'))
    return true;
  return false;
}

}  // namespace

std::wstring SanitizeEntryPath(const std::wstring& stored) {
  std::wstring path = stored;
  // A drive ("C:") or a UNC/device prefix ("\\?\", "\\server\") is dropped with the root.
  if (path.size() >= 2 && path[1] == L':') path = path.substr(2);
  std::vector<std::wstring> parts;
  std::wstring part;
  auto flush = [&]() {
    // Windows drops trailing dots and blanks, which would turn "..." into "..".
    while (!part.empty() && (part.back() == L'.' || part.back() == L' ')) part.pop_back();
    if (!part.empty()) {
      for (auto& c : part) {
        if (c < 0x20 || c == L':' || c == L'*' || c == L'?' || c == L'"' || c == L'<' || c == L'>' || c == L'|')
          c = L'_';
      }
      if (IsDeviceName(part)) part = L"_" + part;
      parts.push_back(part);
    }
    part.clear();
  };
  for (wchar_t c : path) {
    if (c == L'/' || c == L'\\') flush();
    else part += c;
  }
  flush();
  std::wstring result;
  for (const auto& p : parts) {
    if (!result.empty()) result += L'\\';
    result += p;
  }
  return result;
}

DestinationFolder::DestinationFolder(const std::wstring& destination)
    : root_(FullPath(destination.empty() ? L"." : destination)) {
  while (root_.size() > 3 && (root_.back() == L'\\' || root_.back() == L'/')) root_.pop_back();
  prefix_ = !root_.empty() && root_.back() == L'\\' ? root_ : root_ + L"\\";
}

std::wstring DestinationFolder::Place(const std::wstring& stored, bool keepFolders) const {
  std::wstring relative = SanitizeEntryPath(stored);
  if (!keepFolders) relative = FileNameOf(relative);
  if (relative.empty()) throw Error{ERROR_INVALID_PATH, stored};
  std::wstring result = FullPath(prefix_ + relative);
  if (result.size() <= prefix_.size() ||
      CompareStringOrdinal(result.c_str(), static_cast<int>(prefix_.size()), prefix_.c_str(),
                           static_cast<int>(prefix_.size()), TRUE) != CSTR_EQUAL)
    throw Error{ERROR_INVALID_PATH, stored};
  return result;
}

std::wstring SafeDestination(const std::wstring& destination, const std::wstring& stored, bool keepFolders) {
  return DestinationFolder(destination).Place(stored, keepFolders);
}

AtomicFile::AtomicFile(const std::wstring& target, const std::wstring& workFolder) : target_(FullPath(target)) {
  std::wstring folder = FolderOf(target_);
  if (folder.empty()) folder = L".";
  if (!workFolder.empty() && DirectoryExists(workFolder) && Lower(FullPath(workFolder)) != Lower(folder)) {
    folder = workFolder;
    elsewhere_ = true;
  }
  wchar_t name[MAX_PATH + 1];  // the call's contract is a MAX_PATH buffer
  if (GetTempFileNameW(folder.c_str(), L"arc", 0, name) == 0) throw Error{ERROR_TMP_OPEN, folder};
  temporary_ = name;
  file_.reset(CreateFileW(temporary_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file_) {
    DeleteFileW(temporary_.c_str());
    throw Error{ERROR_TMP_OPEN, temporary_};
  }
}

AtomicFile::~AtomicFile() { Drop(); }

namespace {

void WriteAll(HANDLE file, const void* data, size_t size, const std::wstring& target) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1 << 30)), done = 0;
    // A short write is what a filling disk gives first: the next one tells why.
    if (!WriteFile(file, bytes, chunk, &done, nullptr) || done == 0) {
      DWORD error = GetLastError();
      throw Error{error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ? ERROR_DISK_SPACE : ERROR_CANNOT_WRITE,
                  target};
    }
    bytes += done;
    size -= done;
  }
}

}  // namespace

void AtomicFile::Write(const void* data, size_t size) {
  WriteAll(file_.get(), data, size, target_);
  position_ += size;
}

void AtomicFile::Seek(uint64_t position) {
  LARGE_INTEGER distance;
  distance.QuadPart = static_cast<LONGLONG>(position);
  if (!SetFilePointerEx(file_.get(), distance, nullptr, FILE_BEGIN)) throw Error{ERROR_CANNOT_WRITE, target_};
  position_ = position;
}

void AtomicFile::Close(const FILETIME* writeTime) {
  if (!file_) return;
  if (writeTime != nullptr && !IsZero(*writeTime)) SetFileTime(file_.get(), nullptr, nullptr, writeTime);
  file_.reset();
}

void AtomicFile::Commit(const FILETIME* writeTime, DWORD attributes) {
  Close(writeTime);
  if (elsewhere_) {
    // Built in the work folder: copy beside the target first, so the final
    // step is still a rename within one folder.
    std::wstring folder = FolderOf(target_);
    wchar_t name[MAX_PATH + 1];  // the call's contract is a MAX_PATH buffer
    if (GetTempFileNameW(folder.empty() ? L"." : folder.c_str(), L"arc", 0, name) == 0) {
      Drop();
      throw Error{ERROR_TMP_COPY, target_};
    }
    if (!CopyFileW(temporary_.c_str(), name, FALSE)) {
      DeleteFileW(name);
      Drop();
      throw Error{ERROR_TMP_COPY, target_};
    }
    DeleteFileW(temporary_.c_str());
    temporary_ = name;
  }
  if (!MoveFileExW(temporary_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(temporary_.c_str());
    temporary_.clear();
    throw Error{ERROR_CANNOT_WRITE, target_};
  }
  temporary_.clear();
  if (attributes != 0) SetFileAttributesW(target_.c_str(), attributes);
}

void AtomicFile::Drop() {
  file_.reset();
  if (!temporary_.empty()) {
    DeleteFileW(temporary_.c_str());
    temporary_.clear();
  }
}

DWORD ExtractedFile::CreateNew() {
  // CREATE_NEW decides "nothing of that name" and claims the name in one step.
  file_.reset(CreateFileW(target_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file_) return GetLastError();
  created_ = true;
  return 0;
}

void ExtractedFile::CreateReplacement() { replacement_ = std::make_unique<AtomicFile>(target_); }

void ExtractedFile::Write(const void* data, size_t size) {
  if (replacement_) replacement_->Write(data, size);
  else WriteAll(file_.get(), data, size, target_);
}

void ExtractedFile::Close(const FILETIME* writeTime) {
  if (replacement_) {
    replacement_->Close(writeTime);
    return;
  }
  if (!file_) return;
  if (writeTime != nullptr && !IsZero(*writeTime)) SetFileTime(file_.get(), nullptr, nullptr, writeTime);
  file_.reset();
}

void ExtractedFile::Commit(const FILETIME* writeTime, DWORD attributes) {
  if (replacement_) {
    replacement_->Commit(writeTime, attributes);
    replacement_.reset();
    return;
  }
  Close(writeTime);
  created_ = false;
  // A new file has the archive bit already; anything else needs a call.
  if (attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE)) SetFileAttributesW(target_.c_str(), attributes);
}

void ExtractedFile::Drop() {
  if (replacement_) {
    replacement_->Drop();
    replacement_.reset();
  }
  file_.reset();
  if (created_) {
    DeleteFileW(target_.c_str());
    created_ = false;
  }
}

InputFile::InputFile(const std::wstring& path) {
  file_.reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file_) {
    DWORD error = GetLastError();
    throw Error{error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ERROR_NOT_FIND_ARC_FILE
                                                                                 : ERROR_ARC_FILE_OPEN,
                path};
  }
  LARGE_INTEGER size{};
  GetFileSizeEx(file_.get(), &size);
  size_ = static_cast<uint64_t>(size.QuadPart);
}

InputFile::~InputFile() = default;

size_t InputFile::ReadAt(uint64_t offset, void* buffer, size_t size) {
  constexpr size_t Block = 32 * 1024;
  if (size >= Block) return ReadDirect(offset, buffer, size);
  if (offset < aheadOffset_ || offset + size > aheadOffset_ + aheadSize_) {
    ahead_.resize(Block);
    aheadSize_ = 0;  // stays empty if the read throws
    aheadSize_ = ReadDirect(offset, ahead_.data(), Block);
    aheadOffset_ = offset;
  }
  size_t available = offset - aheadOffset_ < aheadSize_ ? aheadSize_ - static_cast<size_t>(offset - aheadOffset_) : 0;
  size_t n = std::min(size, available);
  if (n > 0) std::memcpy(buffer, ahead_.data() + (offset - aheadOffset_), n);
  return n;
}

size_t InputFile::ReadDirect(uint64_t offset, void* buffer, size_t size) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD got = 0;
  if (!ReadFile(file_.get(), buffer, static_cast<DWORD>(size), &got, &at)) {
    if (GetLastError() == ERROR_HANDLE_EOF) return 0;
    throw Error{ERROR_CANNOT_READ, L""};
  }
  return got;
}

}  // namespace arc
