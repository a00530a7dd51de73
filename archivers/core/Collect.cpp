// Finding the files to add: wildcards, recursion levels, hidden files, date
// bounds, short names and exclusions, the way the archiver family does it.
#include "archivers/core/ArcCore.h"

#include <unordered_set>

namespace arc {

namespace {

bool HasWildcard(const std::wstring& text) { return text.find_first_of(L"*?") != std::wstring::npos; }

bool IsAbsolute(const std::wstring& path) {
  return (path.size() >= 2 && path[1] == L':') || (!path.empty() && (path[0] == L'\\' || path[0] == L'/'));
}

class Collector {
 public:
  Collector(const std::wstring& base, const CollectOptions& options)
      : base_(base.empty() ? FullPath(L".") : FullPath(base)), options_(options) {
    while (base_.size() > 3 && (base_.back() == L'\\' || base_.back() == L'/')) base_.pop_back();
  }

  void Name(const std::wstring& name) {
    matched_ = false;
    Find(name);
    // A plain name that found nothing (a file gone since it was chosen) is
    // told to the caller rather than passed over.
    if (!matched_ && options_.unmatched && !HasWildcard(name)) options_.unmatched->push_back(name);
  }

  std::vector<FoundFile> Result() { return std::move(found_); }

 private:
  void Find(const std::wstring& name) {
    std::wstring path = IsAbsolute(name) ? name : JoinPath(base_, name);
    for (auto& c : path) {
      if (c == L'/') c = L'\\';
    }
    if (options_.recursion > 1 && !HasWildcard(path) && DirectoryExists(path)) {
      if (options_.folders) AddFolder(FullPath(path));
      Scan(FullPath(path), L"*.*");
      return;
    }
    if (options_.namedFolders && !HasWildcard(path) && DirectoryExists(path)) {
      AddFolder(FullPath(path));
      return;
    }
    size_t cut = path.find_last_of(L'\\');
    std::wstring folder = cut == std::wstring::npos ? base_ : path.substr(0, cut);
    if (folder.empty()) folder = L"\\";
    if (folder.size() == 2 && folder[1] == L':') folder += L'\\';
    std::wstring mask = cut == std::wstring::npos ? path : path.substr(cut + 1);
    if (mask.empty()) mask = L"*.*";
    Scan(FullPath(folder), mask);
  }

  bool InDateWindow(const FILETIME& time) const {
    int64_t local = IsZero(time) ? 0 : LocalSeconds(time);
    if (options_.notBefore != 0 && local < options_.notBefore) return false;
    if (options_.notAfter != 0 && local > options_.notAfter) return false;
    return true;
  }

  std::wstring Relative(const std::wstring& full) const {
    std::wstring prefix = base_.back() == L'\\' ? base_ : base_ + L"\\";
    if (Lower(full).compare(0, prefix.size(), Lower(prefix)) == 0) return full.substr(prefix.size());
    return full;
  }

  std::wstring ChildPath(const std::wstring& folder, const WIN32_FIND_DATAW& data) const {
    const wchar_t* name = options_.shortNames && data.cAlternateFileName[0] != 0 ? data.cAlternateFileName
                                                                                   : data.cFileName;
    return JoinPath(folder, name);
  }

  void Add(const std::wstring& full, const WIN32_FIND_DATAW& data, bool directory) {
    matched_ = true;
    if (!seen_.insert(Lower(full)).second) return;
    FoundFile file;
    file.fullPath = full;
    file.relative = Relative(full);
    file.isDirectory = directory;
    file.attributes = data.dwFileAttributes;
    file.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    file.writeTime = data.ftLastWriteTime;
    file.createTime = data.ftCreationTime;
    file.accessTime = data.ftLastAccessTime;
    if (options_.exclusions.MatchesAny(file.relative) || options_.exclusions.MatchesAny(FileNameOf(full))) return;
    found_.push_back(std::move(file));
  }

  void AddFolder(const std::wstring& full) {
    WIN32_FILE_ATTRIBUTE_DATA info;
    if (!GetFileAttributesExW(full.c_str(), GetFileExInfoStandard, &info)) return;
    WIN32_FIND_DATAW data{};
    data.dwFileAttributes = info.dwFileAttributes;
    data.ftLastWriteTime = info.ftLastWriteTime;
    data.ftCreationTime = info.ftCreationTime;
    data.ftLastAccessTime = info.ftLastAccessTime;
    Add(full, data, true);
  }

  void Scan(const std::wstring& folder, const std::wstring& mask) {
    WIN32_FIND_DATAW data;
    TFindHandle search(FindFirstFileW(JoinPath(folder, mask).c_str(), &data));
    if (search) {
      do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        if (!options_.includeHidden && (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)))
          continue;
        if (!InDateWindow(data.ftLastWriteTime)) continue;
        Add(ChildPath(folder, data), data, false);
      } while (FindNextFileW(search.get(), &data));
    }
    if (options_.recursion <= 0 || (options_.fullPathMatch && !HasWildcard(mask))) return;
    search.reset(FindFirstFileW(JoinPath(folder, L"*.*").c_str(), &data));
    if (!search) return;
    std::vector<std::wstring> folders;
    do {
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
      if (wcscmp(data.cFileName, L".") == 0 || wcscmp(data.cFileName, L"..") == 0) continue;
      // Junctions and links could lead in a circle.
      if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
      if (!options_.includeHidden && (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)))
        continue;
      std::wstring child = ChildPath(folder, data);
      if (options_.folders) Add(child, data, true);
      folders.push_back(child);
    } while (FindNextFileW(search.get(), &data));
    search.reset();  // closed before descending
    for (const auto& child : folders) Scan(child, mask);
  }

  std::wstring base_;
  const CollectOptions& options_;
  std::vector<FoundFile> found_;
  std::unordered_set<std::wstring> seen_;
  bool matched_ = false;
};

}  // namespace

std::vector<FoundFile> CollectFiles(const std::wstring& base, const std::vector<std::wstring>& names,
                                    const CollectOptions& options) {
  Collector collector(base, options);
  if (names.empty()) collector.Name(L"*.*");
  for (const auto& name : names) {
    if (!name.empty()) collector.Name(name);
  }
  return collector.Result();
}

int64_t LocalSeconds(const FILETIME& utc) {
  FILETIME local;
  if (!FileTimeToLocalFileTime(&utc, &local)) return UnixFromFileTime(utc);
  return UnixFromFileTime(local);
}

int64_t ParseDateBound(const std::wstring& given, bool endOfDay) {
  std::wstring text = given;
  if (text.size() > 1 && (text[0] == L'l' || text[0] == L'L')) text = text.substr(1);
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') throw Error{ERROR_TIME_STAMP, given};
  }
  auto number = [&](size_t at, size_t length) { return _wtoi(text.substr(at, length).c_str()); };
  SYSTEMTIME time{};
  size_t rest;
  if (text.size() == 6 || text.size() == 12) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    time.wYear = static_cast<WORD>(now.wYear / 100 * 100 + number(0, 2));
    rest = 2;
  } else if (text.size() == 8 || text.size() == 14) {
    time.wYear = static_cast<WORD>(number(0, 4));
    rest = 4;
  } else {
    return 0;
  }
  time.wMonth = static_cast<WORD>(number(rest, 2));
  time.wDay = static_cast<WORD>(number(rest + 2, 2));
  if (text.size() == 12 || text.size() == 14) {
    time.wHour = static_cast<WORD>(number(rest + 4, 2));
    time.wMinute = static_cast<WORD>(number(rest + 6, 2));
    time.wSecond = static_cast<WORD>(number(rest + 8, 2));
  } else if (endOfDay) {
    time.wHour = 23;
    time.wMinute = 59;
    time.wSecond = 59;
  }
  FILETIME asFileTime;
  if (!SystemTimeToFileTime(&time, &asFileTime)) throw Error{ERROR_TIME_STAMP, given};
  return UnixFromFileTime(asFileTime);
}

}  // namespace arc
