// Command lines: words, response files, -gb names, switch lookup, wildcards.
#include "archivers/core/ArcCore.h"

#include <algorithm>

namespace arc {

// Blanks and quotes are single-byte in CP932 (trail bytes start at 0x40), so
// splitting bytes is safe.
std::vector<std::string> Tokenize(const std::string& line) {
  std::vector<std::string> words;
  size_t i = 0, n = line.size();
  while (i < n) {
    while (i < n && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n')) ++i;
    if (i >= n) break;
    std::string word;
    bool quoted = false;
    while (i < n) {
      char c = line[i];
      if (c == '"') {
        quoted = !quoted;
        ++i;
        continue;
      }
      if (!quoted && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) break;
      word += c;
      ++i;
    }
    words.push_back(word);
  }
  return words;
}

std::vector<std::wstring> ReadResponseFile(const std::wstring& path) {
  TFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw Error{ERROR_RESPONSE_READ, path};
  std::string content;
  char block[65536];
  DWORD got = 0;
  while (ReadFile(file.get(), block, sizeof block, &got, nullptr) && got > 0) content.append(block, got);
  file.reset();
  std::vector<std::wstring> names;
  size_t start = 0;
  while (start <= content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(start, end - start);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
    size_t first = line.find_first_not_of(" \t");
    line = first == std::string::npos ? std::string() : line.substr(first);
    // One name per line; quotes only group, so a name may contain blanks.
    if (line.size() >= 2 && line.front() == '"' && line.back() == '"') line = line.substr(1, line.size() - 2);
    if (!line.empty()) names.push_back(FromAnsi(line));
    start = end + 1;
  }
  return names;
}

CommandLine ParseCommandLine(const std::string& line, const std::vector<std::wstring>& separateValue,
                             bool commandWord) {
  CommandLine result;
  std::vector<std::string> words = Tokenize(line);
  size_t i = 0;
  if (commandWord && !words.empty() && !words[0].empty() && words[0][0] != '-' && words[0][0] != '@') {
    result.command = FromAnsi(words[0]);
    i = 1;
  }
  for (; i < words.size(); ++i) {
    std::wstring word = FromAnsi(words[i]);
    if (word.size() > 1 && word[0] == L'-') {
      std::wstring body = word.substr(1);
      // -gb<name>: the rest is a name, whatever it begins with.
      if (body.size() >= 2 && (body[0] == L'g' || body[0] == L'G') && (body[1] == L'b' || body[1] == L'B')) {
        if (body.size() > 2) result.words.push_back({body.substr(2), true});
        continue;
      }
      if (std::find(separateValue.begin(), separateValue.end(), body) != separateValue.end() &&
          i + 1 < words.size()) {
        result.switches.push_back(body + FromAnsi(words[++i]));
        continue;
      }
      result.switches.push_back(body);
      continue;
    }
    if (word.size() > 1 && word[0] == L'@') {
      for (auto& name : ReadResponseFile(word.substr(1))) result.words.push_back({name, true});
      continue;
    }
    if (!word.empty()) result.words.push_back({word, false});
  }
  return result;
}

Switches::Switches(const std::vector<std::wstring>& given, std::vector<std::wstring> known) {
  std::sort(known.begin(), known.end(), [](const auto& a, const auto& b) { return a.size() > b.size(); });
  for (const auto& body : given) {
    std::wstring lower = Lower(body);
    bool found = false;
    for (const auto& name : known) {
      // Case matters for a few families (TAR32's -B vs -b); exact first, then case-blind.
      if (body.compare(0, name.size(), name) == 0) {
        parsed_.emplace_back(name, body.substr(name.size()));
        found = true;
        break;
      }
    }
    if (!found) {
      for (const auto& name : known) {
        if (lower.compare(0, name.size(), Lower(name)) == 0) {
          parsed_.emplace_back(name, body.substr(name.size()));
          found = true;
          break;
        }
      }
    }
    if (!found) unknown_.push_back(body);
  }
}

int Switches::Number(const std::wstring& name, int absent) const {
  int result = absent;
  for (const auto& [key, value] : parsed_) {
    if (key != name) continue;
    if (value.empty() || value == L"+") result = 1;
    else if (value == L"-") result = 0;
    else result = _wtoi(value.c_str());
  }
  return result;
}

SwitchValue Switches::Text(const std::wstring& name) const {
  SwitchValue result;
  for (const auto& [key, value] : parsed_) {
    if (key == name) result = {true, value};
  }
  return result;
}

std::vector<std::wstring> Switches::All(const std::wstring& name) const {
  std::vector<std::wstring> result;
  for (const auto& [key, value] : parsed_) {
    if (key == name) result.push_back(value);
  }
  return result;
}

std::vector<std::wstring> Switches::Unknown() const { return unknown_; }

namespace {

wchar_t Fold(wchar_t c) {
  if (c == L'\\') return L'/';
  return static_cast<wchar_t>(reinterpret_cast<uintptr_t>(CharLowerW(reinterpret_cast<LPWSTR>(static_cast<uintptr_t>(c)))));
}

}  // namespace

bool WildcardMatch(const std::wstring& pattern, const std::wstring& name) {
  if (pattern == L"*" || pattern == L"*.*") return true;
  // Iterative matcher with one backtrack point: linear for ordinary patterns.
  size_t p = 0, n = 0, star = std::wstring::npos, mark = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == L'?' || Fold(pattern[p]) == Fold(name[n]))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == L'*') {
      star = p++;
      mark = n;
    } else if (star != std::wstring::npos) {
      p = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == L'*') ++p;
  // "name.*" also matches "name" without an extension, as in the DOS tradition.
  if (p + 2 == pattern.size() && pattern[p] == L'.' && pattern[p + 1] == L'*') return true;
  return p == pattern.size();
}

std::wstring ListedName(const std::wstring& name) { return FromAnsi(ToAnsi(name)); }

namespace {

bool SameName(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Fold(a[i]) != Fold(b[i])) return false;
  }
  return true;
}

bool HasFolder(const std::wstring& pattern) { return pattern.find_first_of(L"/\\") != std::wstring::npos; }

std::wstring NamePart(const std::wstring& path) {
  size_t slash = path.find_last_of(L"/\\");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool IsListedAs(const std::wstring& name, const std::wstring& entryName) {
  return SameName(name, ListedName(entryName));
}

bool MayBeListedName(const std::wstring& name) {
  return name.find(L'?') != std::wstring::npos && name.find(L'*') == std::wstring::npos;
}

namespace {

// Fold applied to a whole name at once: one call instead of one per character.
std::wstring FoldKey(std::wstring text) {
  if (!text.empty()) CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  std::replace(text.begin(), text.end(), L'\\', L'/');
  return text;
}

}  // namespace

PatternSet::PatternSet(std::vector<std::wstring> patterns, bool anyFolder)
    : patterns_(std::move(patterns)), literal_(patterns_.size(), 0), anyFolder_(anyFolder) {
  for (size_t i = 0; i < patterns_.size(); ++i) {
    const std::wstring& pattern = patterns_[i];
    if (pattern.find_first_of(L"*?") == std::wstring::npos) {
      // Without wildcards a pattern matches exactly the names equal to it.
      std::wstring key = FoldKey(pattern);
      if (anyFolder_ && !HasFolder(pattern)) plainAnywhere_.insert(key);
      plain_.insert(std::move(key));
      continue;
    }
    wildcards_.push_back(i);
    if (MayBeListedName(pattern)) maybeListed_.emplace(FoldKey(pattern), i);
  }
}

PatternSet PatternSet::FromText(const std::string& ansi) {
  std::vector<std::wstring> patterns;
  for (const auto& word : Tokenize(ansi)) patterns.push_back(FromAnsi(word));
  return PatternSet(std::move(patterns));
}

bool PatternSet::NeedsListing() const { return !maybeListed_.empty(); }

void PatternSet::MarkLiteral(const std::wstring& key, bool nameOnly) {
  auto [first, last] = maybeListed_.equal_range(key);
  for (auto found = first; found != last; ++found) {
    size_t i = found->second;
    bool folder = HasFolder(patterns_[i]);
    if (literal_[i] || (nameOnly && folder)) continue;
    literal_[i] = 1;
    literals_.insert(key);
    if (anyFolder_ && !folder) literalsAnywhere_.insert(key);
  }
}

void PatternSet::Learn(const std::wstring& entryName) {
  if (maybeListed_.empty()) return;
  std::wstring listed = FoldKey(ListedName(entryName));
  MarkLiteral(listed, false);
  if (anyFolder_) MarkLiteral(NamePart(listed), true);
}

void PatternSet::Settle(EntryCursor& listing) {
  EntryInfo entry;
  while (listing.Next(entry)) Learn(entry.name);
}

void PatternSet::Settle(const std::function<std::unique_ptr<EntryCursor>()>& open) {
  if (!NeedsListing()) return;
  auto listing = open();
  Settle(*listing);
}

bool PatternSet::Matches(const std::wstring& path) const { return patterns_.empty() || MatchesAny(path); }

bool PatternSet::MatchesAny(const std::wstring& path) const {
  if (!plain_.empty()) {
    std::wstring key = FoldKey(path);
    if (plain_.count(key) != 0) return true;
    if (!plainAnywhere_.empty() && plainAnywhere_.count(NamePart(key)) != 0) return true;
  }
  if (!literals_.empty()) {
    std::wstring listed = FoldKey(ListedName(path));
    if (literals_.count(listed) != 0) return true;
    if (!literalsAnywhere_.empty() && literalsAnywhere_.count(NamePart(listed)) != 0) return true;
  }
  for (size_t i : wildcards_) {
    // A literal pattern is matched through its key above, never as a wildcard.
    if (literal_[i]) continue;
    const std::wstring& pattern = patterns_[i];
    if (WildcardMatch(pattern, path) || (anyFolder_ && !HasFolder(pattern) && WildcardMatch(pattern, NamePart(path))))
      return true;
  }
  return false;
}

}  // namespace arc
