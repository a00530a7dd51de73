// UNRAR32.DLL: reads RAR archives (RAR 1.5-4 and RAR 5) through libarchive.
// Read-only. Command words: -x (with folders), -e (flat), -l (list), -t (test).
// Switches: -y yes to all (overwrite unless -u), -u only newer entries,
// -o / -o- overwrite / never overwrite, -s strict whole-path matching,
// -p<password>, -q quiet; others are accepted and ignored.
#include "ArcCore.h"
#include "FamilyTools.h"

#include <cstring>

namespace {

constexpr char Rar4Signature[] = "Rar!\x1a\x07\x00";
constexpr char Rar5Signature[] = "Rar!\x1a\x07\x01\x00";
const std::string_view RarPrefix("Rar!\x1a\x07", 6);

// Both generations begin with "Rar!" 1A 07, then 00 (RAR 4) or 01 00 (RAR 5).
bool ValidSignature(arc::InputFile& file, uint64_t offset, int* version = nullptr) {
  char bytes[8] = {};
  size_t got = file.ReadAt(offset, bytes, sizeof bytes);
  if (got >= 7 && std::memcmp(bytes, Rar4Signature, 7) == 0) {
    if (version) *version = 4;
    return true;
  }
  if (got >= 8 && std::memcmp(bytes, Rar5Signature, 8) == 0) {
    if (version) *version = 5;
    return true;
  }
  return false;
}

struct Located {
  uint64_t offset = 0;
  int version = 0;
};

Located Locate(const std::wstring& path, bool searchAll) {
  Located where;
  if (!family::FindArchiveStart(path, RarPrefix, searchAll,
                                [](arc::InputFile& f, uint64_t at) { return ValidSignature(f, at); }, where.offset))
    throw arc::Error{ERROR_NOT_ARC_FILE, path};
  arc::InputFile file(path);
  ValidSignature(file, where.offset, &where.version);
  return where;
}

std::unique_ptr<arc::EntryReader> OpenRar(const std::wstring& path, bool searchAll) {
  Located where = Locate(path, searchAll);
  std::string charset = family::AnsiCharsetOption();
  auto inner = arc::OpenLibarchive(path, arc::ReadFormats::All, charset.c_str(), where.offset);
  std::string method = where.version == 5 ? "-rar5-" : "-rar4-";
  return std::make_unique<family::AdaptedReader>(std::move(inner), [method](arc::EntryInfo& entry) {
    entry.method = method;
    entry.osType = OSTYPE_NTFS;
    return true;
  });
}

enum class Existing { IfNewer, Overwrite, Never };

int RunRar(HWND, const std::string& text, arc::Output& output) {
  arc::CommandLine line = arc::ParseCommandLine(text, {}, false);
  // The command is the first switch; -x when none of them is one.
  std::wstring command = L"x";
  std::vector<std::wstring> switches = line.switches;
  if (!switches.empty()) {
    std::wstring first = arc::Lower(switches.front());
    if (first == L"x" || first == L"e" || first == L"l" || first == L"v" || first == L"t") {
      command = first;
      switches.erase(switches.begin());
    }
  }
  arc::Switches options(switches, {L"y", L"u", L"o", L"s", L"p", L"q", L"r", L"i"});
  family::Positional words = family::SplitPositional(line);
  std::wstring archive = arc::FullPath(words.archive);
  family::Selection selection(words.names, options.Number(L"s", 0) > 0);

  if (command == L"l" || command == L"v") {
    auto reader = OpenRar(archive, false);
    return family::ListEntries(*reader, selection, output);
  }

  bool update = options.Number(L"u", 0) > 0;
  Existing existing = Existing::IfNewer;
  if (!update && (options.Number(L"y", 0) > 0 || options.Number(L"o", -1) == 1)) existing = Existing::Overwrite;
  if (options.Number(L"o", -1) == 0) existing = Existing::Never;

  arc::ExtractOptions extract;
  extract.destination = words.folder;
  extract.keepFolders = command != L"e";
  extract.overwrite = existing == Existing::Overwrite;
  extract.testOnly = command == L"t";
  std::wstring root = arc::FullPath(extract.destination.empty() ? L"." : extract.destination);
  auto rar = OpenRar(archive, false);
  family::AdaptedReader reader(std::move(rar), [&](arc::EntryInfo& entry) {
    if (!selection.Matches(entry.name)) return false;
    if (existing != Existing::Never || extract.testOnly || entry.isDirectory) return true;
    try {
      return !arc::FileExists(arc::SafeDestination(root, entry.name, extract.keepFolders));
    } catch (const arc::Error&) {
      return true;  // extraction reports the bad name
    }
  });
  arc::ExtractResult result = arc::ExtractEntries(reader, archive, extract, output);
  return result.code;
}

std::unique_ptr<arc::EntryCursor> OpenListing(const std::wstring& path, DWORD) { return OpenRar(path, false); }

bool CheckRar(const std::wstring& path, int mode) {
  auto reader = OpenRar(path, (mode & CHECKARCHIVE_ALL) != 0);
  int level = mode & 3;
  if (level == CHECKARCHIVE_FULLCRC) return family::ReadAllData(*reader);
  arc::EntryInfo entry;
  if (level == CHECKARCHIVE_RAPID) {
    reader->Next(entry);
    return true;
  }
  while (reader->Next(entry)) {
  }
  return true;
}

int ExtractMem(HWND, const std::string& text, arc::MemoryTarget& target, arc::Output&) {
  arc::CommandLine line = arc::ParseCommandLine(text, {}, false);
  family::Positional words = family::SplitPositional(line);
  if (words.names.empty()) throw arc::Error{ERROR_NOT_FILENAME, L""};
  auto reader = OpenRar(arc::FullPath(words.archive), false);
  return arc::ExtractToMemory(*reader, words.names.front(), target);
}

}  // namespace

ARC_EXPORT_COMMAND(Unrar, RunRar)
ARC_EXPORT_COMMON(Unrar, 100)
ARC_EXPORT_LISTING(Unrar, OpenListing, CheckRar)
ARC_EXPORT_EXTRACTMEM(Unrar, ExtractMem)
