// Finding the files to add: wildcards, recursion levels, hidden files, date
// bounds, short names and exclusions, the way the archiver family does it.
#include "archivers/core/ArcCore.h"

#include <unordered_map>
#include <unordered_set>

namespace arc {

namespace {

bool HasWildcard(const std::wstring& text) { return text.find_first_of(L"*?") != std::wstring::npos; }

// "<", ">" and '"' are wildcards to the file search as well.
bool IsPlain(const std::wstring& text) { return text.find_first_of(L"*?<>\"") == std::wstring::npos; }

// A folder with at least this many plain names in one call is read once
// rather than searched once per name.
constexpr size_t ListedFolderNames = 4;

bool IsAbsolute(const std::wstring& path) {
  return (path.size() >= 2 && path[1] == L':') || (!path.empty() && (path[0] == L'\\' || path[0] == L'/'));
}

class Collector {
 public:
  Collector(const std::wstring& base, const CollectOptions& options)
      : base_(base.empty() ? FullPath(L".") : FullPath(base)), options_(options) {
    while (base_.size() > 3 && (base_.back() == L'\\' || base_.back() == L'/')) base_.pop_back();
  }

  // A caller that collected the files itself hands over one plain name per
  // file: each search costs an open, a read and a close of the folder (three
  // trips to the server under Wine), so the folders named often are read
  // once and the names looked up in what was read.
  void Plan(const std::vector<std::wstring>& names) {
    if (options_.recursion > 0 && !options_.fullPathMatch) return;  // plain names are searched below too
    for (const auto& name : names) {
      if (name.empty()) continue;
      Place place = Locate(name);
      if (!IsPlain(place.path)) continue;
      Folder& folder = folders_[place.folder];
      ++folder.names;
      folder.wanted.insert(Lower(place.mask));
    }
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
  struct Place {
    std::wstring path, folder, mask;
  };

  // The path of a name, the folder it is searched in and the mask searched for.
  Place Locate(const std::wstring& name) const {
    Place place;
    place.path = IsAbsolute(name) ? name : JoinPath(base_, name);
    for (auto& c : place.path) {
      if (c == L'/') c = L'\\';
    }
    const std::wstring& path = place.path;
    size_t cut = path.find_last_of(L'\\');
    place.folder = cut == std::wstring::npos ? base_ : path.substr(0, cut);
    if (place.folder.empty()) place.folder = L"\\";
    if (place.folder.size() == 2 && place.folder[1] == L':') place.folder += L'\\';
    place.mask = cut == std::wstring::npos ? path : path.substr(cut + 1);
    if (place.mask.empty()) place.mask = L"*.*";
    return place;
  }

  // The folders of the plain names, read once each when named often enough.
  struct Folder {
    size_t names = 0;
    std::unordered_set<std::wstring> wanted;  // lower-case masks
    bool read = false;
    std::wstring full;
    std::unordered_multimap<std::wstring, WIN32_FIND_DATAW> entries;  // by lower-case long and short name
  };

  // The one entry a search for the plain name would find; false where the
  // search itself must decide (a folder, a name found twice or not at all,
  // a name written otherwise than the file's).
  bool FindListed(const Place& place, std::wstring& folderPath, WIN32_FIND_DATAW& data) {
    auto known = folders_.find(place.folder);
    if (known == folders_.end() || known->second.names < ListedFolderNames) return false;
    Folder& folder = known->second;
    if (!folder.read) {
      folder.read = true;
      folder.full = FullPath(place.folder);
      WIN32_FIND_DATAW found;
      TFindHandle search(FindFirstFileW(JoinPath(folder.full, L"*").c_str(), &found));
      if (search) {
        do {
          std::wstring name = Lower(found.cFileName);
          std::wstring shortName = Lower(found.cAlternateFileName);
          if (folder.wanted.count(name)) folder.entries.emplace(name, found);
          if (!shortName.empty() && shortName != name && folder.wanted.count(shortName))
            folder.entries.emplace(shortName, found);
        } while (FindNextFileW(search.get(), &found));
      }
      folder.wanted.clear();
    }
    auto range = folder.entries.equal_range(Lower(place.mask));
    if (range.first == range.second || std::next(range.first) != range.second) return false;
    data = range.first->second;
    // Names that differ from the file's own, if only in case, are left to the
    // search and its rules of comparison.
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || place.mask != data.cFileName) return false;
    folderPath = folder.full;
    return true;
  }

  void Find(const std::wstring& name) {
    Place place = Locate(name);
    const std::wstring& path = place.path;
    if (IsPlain(path)) {
      std::wstring folder;
      WIN32_FIND_DATAW data;
      if (FindListed(place, folder, data)) {
        Take(folder, data);
        return;
      }
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
    Scan(FullPath(place.folder), place.mask);
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

  // One match of a search: a file that passes the filters is added.
  void Take(const std::wstring& folder, const WIN32_FIND_DATAW& data) {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return;
    if (!options_.includeHidden && (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))) return;
    if (!InDateWindow(data.ftLastWriteTime)) return;
    Add(ChildPath(folder, data), data, false);
  }

  void Scan(const std::wstring& folder, const std::wstring& mask) {
    WIN32_FIND_DATAW data;
    TFindHandle search(FindFirstFileW(JoinPath(folder, mask).c_str(), &data));
    if (search) {
      do {
        Take(folder, data);
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
  std::unordered_map<std::wstring, Folder> folders_;  // by the folder as the names give it
  bool matched_ = false;
};

}  // namespace

std::vector<FoundFile> CollectFiles(const std::wstring& base, const std::vector<std::wstring>& names,
                                    const CollectOptions& options) {
  Collector collector(base, options);
  collector.Plan(names);
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
