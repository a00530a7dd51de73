// What stands behind the exported entries: the busy flag, the owner window,
// progress reports and the listing handles.
#include "archivers/core/ArcCore.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <set>

namespace arc {

namespace {

std::atomic<bool> running{false};
HWND owner = nullptr;
LPARCHIVERPROC ownerProc = nullptr;

// The libraries are not re-entrant: a second call while one runs (typically
// from inside a progress report) is refused with 0x801F.
class Busy {
 public:
  Busy() {
    bool expected = false;
    acquired_ = running.compare_exchange_strong(expected, true);
  }
  ~Busy() {
    if (acquired_) running = false;
  }
  bool Acquired() const { return acquired_; }

 private:
  bool acquired_;
};

UINT ExtractMessage() {
  static UINT message = RegisterWindowMessageA(WM_ARCEXTRACT_NAME);
  return message;
}

struct Listing {
  ListingOpener opener;
  std::wstring path;
  DWORD mode;
  std::unique_ptr<EntryCursor> cursor;
  bool fresh = true;
  PatternSet patterns;
  EntryInfo current;
  bool hasCurrent = false;
};

std::mutex listingsLock;
std::set<Listing*> listings;

Listing* Find(HARC handle) {
  std::lock_guard<std::mutex> lock(listingsLock);
  auto found = listings.find(static_cast<Listing*>(handle));
  return found == listings.end() ? nullptr : *found;
}

int NextMatching(Listing& listing, INDIVIDUALINFO* record) {
  try {
    EntryInfo entry;
    while (listing.cursor->Next(entry)) {
      if (!listing.patterns.Matches(entry.name)) continue;
      listing.current = entry;
      listing.hasCurrent = true;
      if (record != nullptr) FillRecord(entry, *record, listing.cursor->BackslashNames());
      return 0;
    }
    listing.hasCurrent = false;
    return -1;
  } catch (const Error& error) {
    listing.hasCurrent = false;
    return error.code;
  } catch (const std::bad_alloc&) {
    return ERROR_ENOUGH_MEMORY;
  }
}

}  // namespace

HWND OwnerWindow() { return owner; }

Progress::Progress(const std::wstring& archive) : archive_(archive) {}

bool Progress::Send(UINT state) {
  if (owner == nullptr) return true;
  if (ownerProc != nullptr) return ownerProc(owner, ExtractMessage(), state, &info_) != FALSE;
  return SendMessageA(owner, ExtractMessage(), state, reinterpret_cast<LPARAM>(&info_)) == 0;
}

bool Progress::Open() {
  std::memset(&info_, 0, sizeof info_);
  CopyAnsiField(info_.szSourceFileName, sizeof info_.szSourceFileName, ToAnsi(archive_));
  return Send(ARCEXTRACT_OPEN);
}

bool Progress::Begin(const EntryInfo& entry, const std::wstring& destination) {
  written_ = 0;
  reported_ = 0;
  if (owner == nullptr) return true;  // nobody to tell: the record is not worth building
  std::memset(&info_, 0, sizeof info_);
  info_.dwFileSize = static_cast<DWORD>(entry.originalSize);
  CopyAnsiField(info_.szSourceFileName, sizeof info_.szSourceFileName, ToAnsi(entry.name));
  CopyAnsiField(info_.szDestFileName, sizeof info_.szDestFileName, ToAnsi(destination));
  info_.dwCompressedSize = static_cast<DWORD>(entry.compressedSize);
  info_.dwCRC = entry.crc;
  info_.uOSType = entry.osType;
  info_.wRatio = Ratio(entry.originalSize, entry.compressedSize);
  DosDateTime(entry.writeTime, info_.wDate, info_.wTime);
  CopyAnsiField(info_.szAttribute, sizeof info_.szAttribute, AttributeText(entry.attributes));
  CopyAnsiField(info_.szMode, sizeof info_.szMode, entry.method);
  return Send(ARCEXTRACT_BEGIN);
}

bool Progress::Advance(uint64_t written) {
  written_ += written;
  if (written_ - reported_ < 65536) return true;
  reported_ = written_;
  info_.dwWriteSize = static_cast<DWORD>(written_);
  return Send(ARCEXTRACT_INPROCESS);
}

bool Progress::Finish() {
  reported_ = written_;
  info_.dwWriteSize = static_cast<DWORD>(written_);
  return Send(ARCEXTRACT_INPROCESS);
}

void Progress::End() {
  info_.dwWriteSize = static_cast<DWORD>(written_);
  Send(ARCEXTRACT_END);  // the answer to END does not matter
}

int RunCommand(CommandHandler handler, HWND window, LPCSTR line, LPSTR output, DWORD size) {
  if (output != nullptr && size > 0) output[0] = '\0';
  Output out;
  Busy busy;
  if (!busy.Acquired()) {
    out.Message(ERROR_ALREADY_RUNNING, L"");
    out.CopyTo(output, size);
    return ERROR_ALREADY_RUNNING;
  }
  int code;
  try {
    code = handler(window, line != nullptr ? std::string(line) : std::string(), out);
  } catch (const Error& error) {
    out.Message(error.code, error.text);
    code = error.code;
  } catch (const std::bad_alloc&) {
    out.Message(ERROR_ENOUGH_MEMORY, L"");
    code = ERROR_ENOUGH_MEMORY;
  }
  out.CopyTo(output, size);
  return code;
}

BOOL IsRunning() { return running ? TRUE : FALSE; }

BOOL SetOwner(HWND window, LPARCHIVERPROC proc) {
  if (window != nullptr && !IsWindow(window)) return FALSE;
  owner = window;
  ownerProc = proc;
  return TRUE;
}

BOOL KillOwner(HWND window) {
  if (owner == nullptr || window != owner) return FALSE;
  owner = nullptr;
  ownerProc = nullptr;
  return TRUE;
}

HARC OpenListing(ListingOpener opener, HWND window, LPCSTR path, DWORD mode) {
  if (path == nullptr || running) return nullptr;
  try {
    auto listing = std::make_unique<Listing>();
    listing->opener = opener;
    listing->path = FromAnsi(path);
    listing->mode = mode;
    listing->cursor = opener(listing->path, mode);
    if (!listing->cursor) return nullptr;
    std::lock_guard<std::mutex> lock(listingsLock);
    listings.insert(listing.get());
    return static_cast<HARC>(listing.release());
  } catch (...) {
    // Any failure to open means "no handle"; the caller only sees NULL.
    return nullptr;
  }
}

int CloseListing(HARC handle) {
  std::lock_guard<std::mutex> lock(listingsLock);
  auto found = listings.find(static_cast<Listing*>(handle));
  if (found == listings.end()) return ERROR_HARC_ISNOT_OPENED;
  delete *found;
  listings.erase(found);
  return 0;
}

int FindFirstEntry(HARC handle, LPCSTR wildcard, INDIVIDUALINFO* record) {
  Listing* listing = Find(handle);
  if (listing == nullptr) return ERROR_HARC_ISNOT_OPENED;
  if (!listing->fresh) {
    try {
      listing->cursor = listing->opener(listing->path, listing->mode);
    } catch (const Error& error) {
      return error.code;
    }
  }
  listing->fresh = false;
  listing->patterns = PatternSet::FromText(wildcard != nullptr ? wildcard : "");
  try {
    listing->patterns.Settle([listing] { return listing->opener(listing->path, listing->mode); });
  } catch (const Error& error) {
    return error.code;
  } catch (const std::bad_alloc&) {
    return ERROR_ENOUGH_MEMORY;
  }
  return NextMatching(*listing, record);
}

int FindNextEntry(HARC handle, INDIVIDUALINFO* record) {
  Listing* listing = Find(handle);
  if (listing == nullptr) return ERROR_HARC_ISNOT_OPENED;
  if (listing->fresh) return ERROR_NOT_SEARCH_MODE;
  return NextMatching(*listing, record);
}

BOOL EntryTime(HARC handle, int which, FILETIME* time) {
  Listing* listing = Find(handle);
  if (listing == nullptr || !listing->hasCurrent || time == nullptr) return FALSE;
  const FILETIME& value = which == 0   ? listing->current.writeTime
                          : which == 1 ? listing->current.createTime
                                       : listing->current.accessTime;
  if (IsZero(value)) return FALSE;
  *time = value;
  return TRUE;
}

BOOL CheckArchive(ArchiveChecker checker, LPCSTR path, int mode) {
  if (path == nullptr) return FALSE;
  Busy busy;
  if (!busy.Acquired()) return FALSE;
  try {
    return checker(FromAnsi(path), mode) ? TRUE : FALSE;
  } catch (...) {
    // Any failure while checking means "not a valid archive".
    return FALSE;
  }
}

int RunExtractMem(MemoryHandler handler, HWND window, LPCSTR line, LPBYTE buffer, DWORD size, time_t* time,
                  LPWORD attributes, LPDWORD written) {
  if (written != nullptr) *written = 0;
  Busy busy;
  if (!busy.Acquired()) return ERROR_ALREADY_RUNNING;
  MemoryTarget target{buffer, size, time, attributes, written};
  Output out;
  try {
    return handler(window, line != nullptr ? std::string(line) : std::string(), target, out);
  } catch (const Error& error) {
    return error.code;
  } catch (const std::bad_alloc&) {
    return ERROR_ENOUGH_MEMORY;
  }
}

}  // namespace arc
