#include "archivers/rar/FamilyTools.h"

#include <algorithm>
#include <cstring>

namespace family {

namespace {

bool EndsWithSlash(const std::wstring& text) {
  return !text.empty() && (text.back() == L'\\' || text.back() == L'/');
}

}  // namespace

Positional SplitPositional(const arc::CommandLine& line) {
  Positional result;
  size_t i = 0;
  if (i < line.words.size()) result.archive = line.words[i++].text;
  if (result.archive.empty()) throw arc::Error{ERROR_NOT_FILENAME, L""};
  if (i < line.words.size() && !line.words[i].listed && EndsWithSlash(line.words[i].text))
    result.folder = line.words[i++].text;
  for (; i < line.words.size(); ++i) result.names.push_back(line.words[i].text);
  return result;
}

Selection::Selection(std::vector<std::wstring> patterns, bool strict) : patterns_(std::move(patterns), !strict) {}

AdaptedReader::AdaptedReader(std::unique_ptr<arc::EntryReader> inner, std::function<bool(arc::EntryInfo&)> keep,
                             bool readThrough, std::function<void()> atEnd)
    : inner_(std::move(inner)), keep_(std::move(keep)), readThrough_(readThrough), atEnd_(std::move(atEnd)) {}

bool AdaptedReader::Next(arc::EntryInfo& entry) {
  std::vector<char> block;
  for (;;) {
    if (readThrough_ && unread_) {
      block.resize(64 * 1024);
      while (inner_->Read(block.data(), block.size()) > 0) {
      }
    }
    unread_ = false;
    if (!inner_->Next(entry)) {
      if (atEnd_) atEnd_();
      return false;
    }
    unread_ = !entry.isDirectory && !entry.isLink;
    if (keep_(entry)) return true;
  }
}

size_t AdaptedReader::Read(void* buffer, size_t size) {
  size_t got = inner_->Read(buffer, size);
  if (got == 0) unread_ = false;
  return got;
}

bool FindArchiveStart(const std::wstring& path, std::string_view signature, bool searchAll,
                      const std::function<bool(arc::InputFile&, uint64_t)>& valid, uint64_t& offset,
                      uint64_t executableLimit) {
  arc::InputFile file(path);
  std::vector<char> block(256 * 1024 + signature.size());
  size_t got = file.ReadAt(0, block.data(), std::max<size_t>(signature.size(), 2));
  if (got >= signature.size() && std::memcmp(block.data(), signature.data(), signature.size()) == 0 &&
      valid(file, 0)) {
    offset = 0;
    return true;
  }
  bool executable = got >= 2 && block[0] == 'M' && block[1] == 'Z';
  if (!searchAll && !executable) return false;
  uint64_t limit = searchAll ? file.Size() : std::min<uint64_t>(file.Size(), executableLimit);
  const size_t step = block.size() - signature.size();
  for (uint64_t base = 1; base < limit; base += step) {
    got = file.ReadAt(base, block.data(), block.size());
    if (got < signature.size()) break;
    for (size_t i = 0; i + signature.size() <= got && base + i < limit; ++i) {
      if (block[i] != signature[0] || std::memcmp(block.data() + i, signature.data(), signature.size()) != 0)
        continue;
      if (valid(file, base + i)) {
        offset = base + i;
        return true;
      }
    }
  }
  return false;
}

int ExtractMemory(const std::string& text, const std::vector<std::wstring>& commands,
                  const std::function<std::unique_ptr<arc::EntryReader>(const std::wstring&)>& open,
                  arc::MemoryTarget& target) {
  arc::CommandLine line = arc::ParseCommandLine(text);
  if (std::find(commands.begin(), commands.end(), arc::Lower(line.command)) == commands.end())
    line = arc::ParseCommandLine(text, {}, false);
  Positional words = SplitPositional(line);
  if (words.names.empty()) throw arc::Error{ERROR_NOT_FILENAME, L""};
  auto reader = open(arc::FullPath(words.archive));
  return arc::ExtractToMemory(*reader, words.names.front(), target);
}

int ListEntries(arc::EntryCursor& cursor, const Selection& selection, arc::Output& output) {
  output.Line(L"  Original  Packed    Ratio  Date       Time     Attr   Method  Name");
  output.Line(L"---------- ---------- ----- ---------- -------- ------ ------- ----");
  arc::EntryInfo entry;
  int count = 0;
  uint64_t original = 0, packed = 0;
  while (cursor.Next(entry)) {
    if (!selection.Matches(entry.name)) continue;
    WORD date = 0, time = 0;
    arc::DosDateTime(entry.writeTime, date, time);
    wchar_t line[160];
    WORD ratio = arc::Ratio(entry.originalSize, entry.compressedSize);
    swprintf(line, sizeof line / sizeof line[0], L"%10llu %10llu %3u.%u %04u-%02u-%02u %02u:%02u:%02u ",
             static_cast<unsigned long long>(entry.originalSize), static_cast<unsigned long long>(entry.compressedSize),
             ratio / 10, ratio % 10, 1980 + (date >> 9), (date >> 5) & 15, date & 31, time >> 11, (time >> 5) & 63,
             (time & 31) * 2);
    std::wstring attributes = arc::FromAnsi(arc::AttributeText(entry.attributes));
    std::wstring method = arc::FromAnsi(entry.method);
    attributes.resize(std::max<size_t>(attributes.size(), 6), L' ');
    method.resize(std::max<size_t>(method.size(), 7), L' ');
    output.Line(line + attributes + L" " + method + L" " + entry.name);
    ++count;
    original += entry.originalSize;
    packed += entry.compressedSize;
  }
  output.Line(L"---------- ---------- -----");
  wchar_t total[120];
  WORD ratio = arc::Ratio(original, packed);
  swprintf(total, sizeof total / sizeof total[0], L"%10llu %10llu %3u.%u %d", static_cast<unsigned long long>(original),
           static_cast<unsigned long long>(packed), ratio / 10, ratio % 10, count);
  output.Line(total);
  return 0;
}

bool ReadAllData(arc::EntryReader& reader) {
  std::vector<char> block(256 * 1024);
  arc::EntryInfo entry;
  while (reader.Next(entry)) {
    if (entry.isDirectory || entry.isLink) continue;
    while (reader.Read(block.data(), block.size()) > 0) {
    }
  }
  return true;
}

std::string AnsiCharsetOption() { return "hdrcharset=CP" + std::to_string(GetACP()); }

}  // namespace family
