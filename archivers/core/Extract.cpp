// Extraction shared by every family: selection, safe destinations, the
// existing-file rule, progress with cancel, and no partial file left behind.
#include "archivers/core/ArcCore.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

namespace arc {

namespace {

const Error Cancelled{ERROR_USER_CANCEL, L""};

// Existing files are kept unless the entry is newer (by more than the two
// seconds of DOS time resolution).
bool EntryIsNewer(const EntryInfo& entry, const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return true;
  return UnixFromFileTime(entry.writeTime) > UnixFromFileTime(data.ftLastWriteTime) + 1;
}

// Reads the rest of the entry's data to check it (test mode, skipped entries
// need nothing: the reader skips by itself).
uint64_t Drain(EntryReader& reader, std::vector<char>& block, Progress* progress) {
  uint64_t total = 0;
  while (size_t got = reader.Read(block.data(), block.size())) {
    total += got;
    if (progress != nullptr && !progress->Advance(got)) throw Cancelled;
  }
  return total;
}

enum class Claim { Write, Skip, InTheWay };

// Deeper or longer paths are refused before anything is created: Windows
// cannot open them anyway, and creating thousands of folders one by one
// takes minutes.
constexpr size_t MaxDepth = 256;
constexpr size_t MaxPath = 32000;
constexpr size_t MaxComponent = 255;

bool PathTooLong(const std::wstring& root, const std::wstring& destination) {
  if (destination.size() > MaxPath) return true;
  size_t depth = 0, length = 0;
  for (size_t i = root.size(); i < destination.size(); ++i) {
    if (destination[i] == L'\\') {
      if (length > 0) ++depth;
      length = 0;
    } else if (++length > MaxComponent) {
      return true;
    }
  }
  return depth > MaxDepth;
}

// Claims the destination of a file entry: a new file in place, or a
// replacement for an existing file that the rules allow to be overwritten.
// Trying to create first costs one call for the usual case of a free name.
Claim ClaimDestination(ExtractedFile& file, const EntryInfo& entry, const ExtractOptions& options, int& warning,
                       std::vector<std::wstring>& created) {
  const std::wstring& destination = file.Target();
  DWORD error = file.CreateNew();
  if (error == ERROR_PATH_NOT_FOUND) {
    std::wstring folder = FolderOf(destination);
    if (!CreateFolders(folder, &created)) {
      // A file of that name on the way ("a" then "a/b"), a device, ...
      warning = ERROR_MAKEDIRECTORY;
      return Claim::InTheWay;
    }
    error = file.CreateNew();
  }
  if (error == 0) return Claim::Write;
  DWORD attributes = GetFileAttributesW(destination.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    warning = ERROR_CANNOT_WRITE;
    return Claim::InTheWay;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    warning = ERROR_ALREADY_EXIST;
    return Claim::InTheWay;
  }
  if (!options.overwrite && !EntryIsNewer(entry, destination)) return Claim::Skip;
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    warning = ERROR_READ_ONLY;
    return Claim::InTheWay;
  }
  file.CreateReplacement();
  return Claim::Write;
}

}  // namespace

ExtractResult ExtractEntries(EntryReader& reader, const std::wstring& archive, const ExtractOptions& options,
                             Output& output) {
  ExtractResult result;
  auto warn = [&](int code, const std::wstring& name) {
    output.Message(code, name);
    if (result.code == 0) result.code = code;
    ++result.skipped;
  };
  Progress progress(archive);
  if (!progress.Open()) throw Cancelled;
  std::vector<char> block(64 * 1024);  // a progress report at least every 64 KiB
  struct Pending {
    std::unique_ptr<ExtractedFile> file;
    DWORD attributes;
    bool checked;  // data passed its CRC: right whatever became of other entries
  };
  std::vector<Pending> pending;
  DestinationFolder folder(options.destination);
  if (!options.testOnly && !CreateFolders(folder.Root())) throw Error{ERROR_MAKEDIRECTORY, folder.Root()};
  // Files this extraction wrote: the only ones a hard link may copy.
  std::set<std::wstring> written;
  size_t selected = 0;
  EntryInfo entry;
  while (reader.Next(entry)) {
    if (!options.patterns.Matches(entry.name)) continue;
    ++selected;
    if (options.exclusions.MatchesAny(entry.name)) continue;
    if (options.testOnly) {
      if (entry.isDirectory || entry.isLink) continue;
      if (!progress.Begin(entry, L"")) throw Cancelled;
      try {
        Drain(reader, block, &progress);
      } catch (const Error& error) {
        if (IsCancelResult(error.code) || IsFatalResult(error.code)) throw;
        warn(error.code, entry.name);
        continue;
      }
      if (!progress.Finish()) throw Cancelled;
      ++result.extracted;
      output.Line(L"OK  " + entry.name);
      continue;
    }
    // "." and "./" name the destination itself.
    if (entry.isDirectory && SanitizeEntryPath(entry.name).empty()) continue;
    std::wstring destination;
    try {
      destination = folder.Place(entry.name, options.keepFolders);
    } catch (const Error& error) {
      warn(error.code, entry.name);
      continue;
    }
    if (PathTooLong(folder.Root(), destination)) {
      warn(ERROR_LONG_FILE_NAME, entry.name.substr(0, 256));
      continue;
    }
    if (entry.isDirectory) {
      // One folder that cannot be made is that entry's failure, not the archive's.
      if (options.keepFolders && !CreateFolders(destination)) warn(ERROR_MAKEDIRECTORY, destination);
      continue;
    }
    if (entry.isLink && !(entry.isHardLink && !entry.linkTarget.empty())) {
      warn(ERROR_NOT_SUPPORT, entry.name + L" -> " + entry.linkTarget);
      continue;
    }
    // A hard link becomes a copy of the file it names, when that one was written here.
    std::unique_ptr<InputFile> linked;
    if (entry.isLink) {
      try {
        std::wstring target = folder.Place(entry.linkTarget, options.keepFolders);
        if (written.count(Lower(target)) != 0 && FileExists(target)) linked = std::make_unique<InputFile>(target);
      } catch (const Error&) {
        // An unsafe or unreadable link target: the entry is reported below.
      }
      if (!linked) {
        warn(ERROR_NOT_SUPPORT, entry.name + L" -> " + entry.linkTarget);
        continue;
      }
    }
    auto owned = std::make_unique<ExtractedFile>(destination);
    ExtractedFile& file = *owned;
    int warning = 0;
    std::vector<std::wstring> created;  // folders made for this entry, gone again if it fails
    Claim claim;
    try {
      claim = ClaimDestination(file, entry, options, warning, created);
    } catch (const Error& error) {
      RemoveCreatedFolders(created);
      warn(error.code, destination);
      continue;
    }
    switch (claim) {
      case Claim::Write: break;
      case Claim::Skip: ++result.skipped; continue;  // the silent skip the caller asked for
      case Claim::InTheWay: RemoveCreatedFolders(created); warn(warning, destination); continue;
    }
    DWORD keep = entry.attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                     FILE_ATTRIBUTE_ARCHIVE);
    if (linked) {
      uint64_t offset = 0;
      try {
        while (size_t got = linked->ReadAt(offset, block.data(), block.size())) {
          file.Write(block.data(), got);
          offset += got;
        }
      } catch (const Error& error) {
        file.Drop();
        RemoveCreatedFolders(created);
        if (error.code == ERROR_DISK_SPACE) throw;
        warn(error.code, destination);
        continue;
      }
      linked.reset();
    } else {
      if (!progress.Begin(entry, destination)) {
        file.Drop();
        RemoveCreatedFolders(created);
        throw Cancelled;
      }
      bool reading = true;  // a failure of the archive, or of the file written
      try {
        for (;;) {
          reading = true;
          size_t got = reader.Read(block.data(), block.size());
          if (got == 0) break;
          reading = false;
          file.Write(block.data(), got);
          if (!progress.Advance(got)) throw Cancelled;
        }
      } catch (const Error& error) {
        file.Drop();
        RemoveCreatedFolders(created);
        if (error.code == ERROR_USER_CANCEL || error.code == ERROR_DISK_SPACE) throw;
        // A broken archive cannot be read on; a file that cannot be written
        // costs only that file.
        if (reading && IsFatalResult(error.code)) throw;
        warn(error.code, reading ? entry.name : destination);
        continue;
      }
      if (!progress.Finish()) throw Cancelled;
    }
    if (options.commitAtEnd) {
      file.Close(&entry.writeTime);
      pending.push_back({std::move(owned), keep, entry.originalSize > 0});
    } else {
      try {
        file.Commit(&entry.writeTime, keep);
      } catch (const Error& error) {
        RemoveCreatedFolders(created);
        warn(error.code, destination);
        continue;
      }
    }
    written.insert(Lower(destination));
    ++result.extracted;
    output.Line(entry.name);
  }
  const bool doubtful = options.allOrNothing && result.code != 0;
  for (auto& item : pending) {
    if (doubtful && !item.checked) {
      item.file->Drop();
      --result.extracted;
    } else {
      item.file->Commit(nullptr, item.attributes);
    }
  }
  if (options.namesGiven && selected == 0) {
    std::wstring names;
    for (const auto& pattern : options.patterns.Patterns()) names += (names.empty() ? L"" : L" ") + pattern;
    output.Message(ERROR_NOT_FIND_FILE, names);
    if (result.code == 0) result.code = ERROR_NOT_FIND_FILE;
  }
  progress.End();
  return result;
}

bool NamesSelect(const std::vector<std::wstring>& names) {
  for (const auto& name : names) {
    if (name != L"*" && name != L"*.*") return true;
  }
  return false;
}

int ExtractToMemory(EntryReader& reader, const std::wstring& name, MemoryTarget& target) {
  // The first entry listed under name wins. A name that may be a listed one
  // only takes a wildcard match when no entry is listed under it, so such a
  // match waits in the buffer while the rest of the archive is searched.
  bool mayBeListed = MayBeListedName(name);
  bool found = false, waiting = false;
  int result = 0;
  DWORD copied = 0;
  EntryInfo chosen;
  std::vector<char> block(64 * 1024);
  auto take = [&](const EntryInfo& entry) {
    uint64_t total = 0;
    while (size_t got = reader.Read(block.data(), block.size())) {
      if (target.buffer != nullptr && total < target.size) {
        size_t room = static_cast<size_t>(std::min<uint64_t>(got, target.size - total));
        std::memcpy(target.buffer + total, block.data(), room);
      }
      total += got;
    }
    copied = static_cast<DWORD>(std::min<uint64_t>(total, target.buffer != nullptr ? target.size : 0));
    result = total > copied ? ERROR_MORE_HEAP_MEMORY : 0;
    chosen = entry;
    found = true;
  };
  EntryInfo entry;
  while (reader.Next(entry)) {
    if (entry.isDirectory || entry.isLink) continue;
    bool listed = mayBeListed && IsListedAs(name, entry.name);
    if (!listed && (waiting || !WildcardMatch(name, entry.name))) continue;
    take(entry);
    waiting = !listed && mayBeListed;
    if (!waiting) break;
  }
  if (!found) throw Error{ERROR_NOT_FIND_FILE, name};
  if (target.written != nullptr) *target.written = copied;
  if (target.time != nullptr) *target.time = static_cast<time_t>(UnixFromFileTime(chosen.writeTime));
  if (target.attributes != nullptr) *target.attributes = static_cast<WORD>(chosen.attributes);
  return result;
}

}  // namespace arc
