// UNRAR32.DLL: reads RAR archives (RAR 1.5-4 and RAR 5) through libarchive.
// Read-only. Command words: -x (with folders), -e (flat), -l (list), -t (test).
// Switches: existing files are overwritten unless -u (only newer entries),
// -y yes to all,
// -o / -o- overwrite / never overwrite, -s strict whole-path matching,
// -p<password>, -q quiet; others are accepted and ignored.
#include "archivers/core/ArcCore.h"
#include "archivers/rar/FamilyTools.h"

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

// RAR 5 sizes: 7 bits a byte, low bits first.
bool ReadVint(arc::InputFile& file, uint64_t& at, uint64_t& value) {
  value = 0;
  for (int shift = 0; shift < 64; shift += 7) {
    uint8_t byte = 0;
    if (file.ReadAt(at++, &byte, 1) != 1) return false;
    value |= static_cast<uint64_t>(byte & 0x7F) << shift;
    if (!(byte & 0x80)) return true;
  }
  return false;
}

// What the block walk finds out beside libarchive.
struct Layout {
  bool cut = false;
  // RAR 4 names without the Unicode form, raw, one per file header in order.
  std::vector<std::string> plainNames;
  std::vector<bool> hasPlainName;
};

bool IsUtf8BeyondAscii(const std::string& bytes) {
  bool beyond = false;
  for (size_t i = 0; i < bytes.size();) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    int follow = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
    if (follow < 0 || (follow == 1 && c < 0xC2) || i + follow >= bytes.size()) return false;
    for (int k = 1; k <= follow; ++k) {
      if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
    }
    beyond |= follow > 0;
    i += follow + 1;
  }
  return beyond;
}

// Whether the archive is cut short: libarchive ends quietly when a cut falls
// between two entries. Walks the block sizes up to the end-of-archive block
// (always there in RAR 5; RAR 4 archives of old versions may end without one).
// Encrypted headers cannot be walked and count as complete.
bool Walk(const std::wstring& path, const Located& where, Layout& layout) {
  arc::InputFile file(path);
  const uint64_t size = file.Size();
  if (where.version == 5) {
    uint64_t at = where.offset + 8;
    while (at < size) {
      uint64_t headerSize = 0, type = 0, flags = 0, extra = 0, data = 0;
      uint64_t pos = at + 4;
      if (!ReadVint(file, pos, headerSize)) return true;
      uint64_t body = pos;
      if (!ReadVint(file, pos, type) || !ReadVint(file, pos, flags)) return true;
      if (flags & 0x1 && !ReadVint(file, pos, extra)) return true;
      if (flags & 0x2 && !ReadVint(file, pos, data)) return true;
      if (type == 5) return false;  // end of archive
      if (type == 4) return false;  // headers encrypted from here on
      at = body + headerSize + data;
      if (headerSize == 0 || at > size) return true;
    }
    return true;
  }
  uint64_t at = where.offset + 7;
  while (at < size) {
    uint8_t h[11] = {};
    size_t got = file.ReadAt(at, h, sizeof h);
    if (got < 7) return true;
    uint8_t type = h[2];
    uint16_t flags = static_cast<uint16_t>(h[3] | h[4] << 8);
    uint64_t block = static_cast<uint16_t>(h[5] | h[6] << 8);
    if (block < 7) return false;  // broken rather than cut: libarchive says so
    if (type == 0x7B) return false;
    if (type == 0x73 && (flags & 0x80)) return false;  // encrypted headers
    if (flags & 0x8000) {
      if (got < 11) return true;
      block += static_cast<uint64_t>(h[7]) | h[8] << 8 | h[9] << 16 | static_cast<uint64_t>(h[10]) << 24;
      if (type == 0x74 && (flags & 0x100)) {
        uint8_t high[4];
        if (file.ReadAt(at + 32, high, 4) != 4) return true;
        block += (static_cast<uint64_t>(high[0]) | high[1] << 8 | high[2] << 16 | static_cast<uint64_t>(high[3]) << 24)
                 << 32;
      }
    }
    if (type == 0x74) {
      // A name without the Unicode form is in whatever code page its maker used.
      uint8_t nameSize[2];
      std::string name;
      bool plain = false;
      if (file.ReadAt(at + 26, nameSize, 2) == 2 && !(flags & 0x200)) {
        name.resize(static_cast<size_t>(nameSize[0] | nameSize[1] << 8));
        plain = file.ReadAt(at + (flags & 0x100 ? 40 : 32), name.data(), name.size()) == name.size();
      }
      layout.plainNames.push_back(plain ? name : std::string());
      layout.hasPlainName.push_back(plain);
    }
    at += block;
    if (at > size) return true;
  }
  return false;
}

std::unique_ptr<arc::EntryReader> OpenRar(const std::wstring& path, bool searchAll) {
  Located where = Locate(path, searchAll);
  std::string charset = family::AnsiCharsetOption();
  auto inner = arc::OpenLibarchive(path, arc::ReadFormats::All, charset.c_str(), where.offset);
  std::string method = where.version == 5 ? "-rar5-" : "-rar4-";
  auto layout = std::make_shared<Layout>();
  layout->cut = Walk(path, where, *layout);
  auto index = std::make_shared<size_t>(0);
  return std::make_unique<family::AdaptedReader>(
      std::move(inner),
      [method, layout, index](arc::EntryInfo& entry) {
        entry.method = method;
        entry.osType = OSTYPE_NTFS;
        // Archives made on Unix-like systems store UTF-8 there; a name that
        // reads as UTF-8 beyond ASCII is almost never meant as Shift-JIS.
        size_t i = (*index)++;
        if (i < layout->plainNames.size() && layout->hasPlainName[i] && IsUtf8BeyondAscii(layout->plainNames[i])) {
          entry.name = arc::FromCodePage(layout->plainNames[i], CP_UTF8);
          for (auto& c : entry.name) {
            if (c == L'\\') c = L'/';
          }
        }
        return true;
      },
      false,
      [layout, path] {
        if (layout->cut) throw arc::Error{ERROR_UNEXPECTED_EOF, path};
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
  selection.Settle([&] { return OpenRar(archive, false); });

  if (command == L"l" || command == L"v") {
    auto reader = OpenRar(archive, false);
    return family::ListEntries(*reader, selection, output);
  }

  // The library never asks, so without -u an existing file is overwritten;
  // -u extracts only entries newer than the file on disk.
  bool update = options.Number(L"u", 0) > 0;
  Existing existing = update ? Existing::IfNewer : Existing::Overwrite;
  if (options.Number(L"o", -1) == 0) existing = Existing::Never;

  arc::ExtractOptions extract;
  extract.destination = words.folder;
  extract.keepFolders = command != L"e";
  extract.overwrite = existing == Existing::Overwrite;
  extract.testOnly = command == L"t";
  extract.namesGiven = arc::NamesSelect(words.names);
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
  return family::ExtractMemory(text, {}, [](const std::wstring& path) { return OpenRar(path, false); }, target);
}

}  // namespace

ARC_EXPORT_COMMAND(Unrar, RunRar)
ARC_EXPORT_COMMON(Unrar, 100)
ARC_EXPORT_LISTING(Unrar, OpenListing, CheckRar)
ARC_EXPORT_EXTRACTMEM(Unrar, ExtractMem)
