#include "archivers/sfx/SfxArchive.h"

#include "archivers/bga/BgaFormat.h"
#include "archivers/bga/BgaReader.h"

#include <cstdio>
#include <vector>

namespace sfx {

namespace {

// Installer files larger than this are no definition of ours.
constexpr size_t InstallerFileLimit = 64 * 1024;

bool IsInstallerFile(const std::wstring& name) { return name == L"$" || name == L"!"; }

uint64_t AppendedOffset(const std::wstring& program, bool& bga) {
  std::FILE* file = _wfopen(program.c_str(), L"rb");
  if (file == nullptr) throw arc::Error{ERROR_ARC_FILE_OPEN, program};
  _fseeki64(file, 0, SEEK_END);
  uint64_t size = static_cast<uint64_t>(_ftelli64(file));
  uint64_t offset = bga::AppendedDataOffset(file, size);
  bga::Entry entry;
  bga = offset != 0 && bga::ReadEntry(file, offset, size, entry) == bga::Status::Ok;
  std::fclose(file);
  if (offset == 0 || offset >= size) throw arc::Error{ERROR_NOT_ARC_FILE, program};
  return offset;
}

// Existing files are replaced only when the entry is newer (DOS times are exact
// to two seconds).
bool EntryIsNewer(const arc::EntryInfo& entry, const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return true;
  return arc::UnixFromFileTime(entry.writeTime) > arc::UnixFromFileTime(data.ftLastWriteTime) + 1;
}

}  // namespace

std::unique_ptr<arc::EntryReader> OpenAppendedArchive(const std::wstring& program) {
  bool bga = false;
  uint64_t offset = AppendedOffset(program, bga);
  if (bga) return std::make_unique<TBgaReader>(program);
  // LZH and ZIP without the UTF-8 flag store names in the ANSI code page.
  return arc::OpenLibarchive(program, arc::ReadFormats::All, "lha:hdrcharset=CP932,zip:hdrcharset=CP932", offset);
}

Survey SurveyArchive(const std::wstring& program) {
  Survey survey;
  try {
    auto reader = OpenAppendedArchive(program);
    arc::EntryInfo entry;
    std::vector<char> block(256 * 1024);
    while (reader->Next(entry)) {
      if (entry.isDirectory || entry.isLink) continue;
      bool keep = IsInstallerFile(entry.name);
      std::string content;
      while (size_t got = reader->Read(block.data(), block.size())) {
        survey.bytes += got;
        if (keep && content.size() + got <= InstallerFileLimit) content.append(block.data(), got);
      }
      ++survey.files;
      if (entry.name == L"$") {
        survey.definition = content;
        survey.hasDefinition = true;
      } else if (entry.name == L"!") {
        survey.message = content;
        survey.hasMessage = true;
      }
    }
    survey.intact = survey.files > 0;
    if (!survey.intact) survey.problem = arc::StandardMessage(ERROR_NOT_ARC_FILE);
  } catch (const arc::Error& error) {
    survey.intact = false;
    survey.problem = arc::StandardMessage(error.code) + (error.text.empty() ? L"" : L"\n" + error.text);
  } catch (const std::bad_alloc&) {
    survey.intact = false;
    survey.problem = arc::StandardMessage(ERROR_ENOUGH_MEMORY);
  }
  return survey;
}

ExtractOutcome ExtractArchive(const std::wstring& program, const ExtractSettings& settings) {
  ExtractOutcome outcome;
  bool askAll = settings.overwrite == Overwrite::Ask;
  try {
    auto reader = OpenAppendedArchive(program);
    std::wstring root = arc::FullPath(settings.destination.empty() ? L"." : settings.destination);
    if (!arc::CreateFolders(root)) throw arc::Error{ERROR_MAKEDIRECTORY, root};
    arc::EntryInfo entry;
    std::vector<char> block(256 * 1024);
    while (reader->Next(entry)) {
      if (settings.skipInstallerFiles && IsInstallerFile(entry.name)) continue;
      if (entry.isLink) continue;  // links could point anywhere: never followed or made
      std::wstring target;
      try {
        target = arc::SafeDestination(root, entry.name, true);
      } catch (const arc::Error&) {
        ++outcome.refused;  // nothing left of the name (".."): no place for it
        continue;
      }
      if (entry.isDirectory) {
        if (!arc::CreateFolders(target)) throw arc::Error{ERROR_MAKEDIRECTORY, target};
        continue;
      }
      if (arc::DirectoryExists(target)) {
        ++outcome.refused;  // a folder of that name is in the way
        continue;
      }
      if (arc::FileExists(target)) {
        bool replace = false;
        switch (settings.overwrite) {
          case Overwrite::Always:
            replace = true;
            break;
          case Overwrite::Never:
            replace = false;
            break;
          case Overwrite::IfNewer:
            replace = EntryIsNewer(entry, target);
            break;
          case Overwrite::Ask:
            if (settings.askWhenNewerOnly && !EntryIsNewer(entry, target)) {
              replace = false;
            } else if (!askAll) {
              replace = true;
            } else {
              Answer answer = settings.ask ? settings.ask(target) : Answer::No;
              if (answer == Answer::Cancel) throw arc::Error{ERROR_USER_CANCEL, L""};
              if (answer == Answer::All) askAll = false;
              replace = answer != Answer::No;
            }
            break;
        }
        if (!replace) {
          ++outcome.kept;
          continue;
        }
        // A read-only file is replaced like any other: the user chose to.
        SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
      }
      if (!arc::CreateFolders(arc::FolderOf(target))) throw arc::Error{ERROR_MAKEDIRECTORY, arc::FolderOf(target)};
      arc::AtomicFile file(target);
      while (size_t got = reader->Read(block.data(), block.size())) file.Write(block.data(), got);
      DWORD attributes = settings.restoreAttributes
                             ? entry.attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                   FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE)
                             : 0;
      file.Commit(&entry.writeTime, attributes);
      ++outcome.written;
      if (settings.step && !settings.step(entry.name)) throw arc::Error{ERROR_USER_CANCEL, L""};
    }
  } catch (const arc::Error& error) {
    outcome.code = error.code;
    outcome.problem = arc::StandardMessage(error.code) + (error.text.empty() ? L"" : L"\n" + error.text);
  } catch (const std::bad_alloc&) {
    outcome.code = ERROR_ENOUGH_MEMORY;
    outcome.problem = arc::StandardMessage(ERROR_ENOUGH_MEMORY);
  }
  return outcome;
}

}  // namespace sfx
