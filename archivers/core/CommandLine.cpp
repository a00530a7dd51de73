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

PatternSet::PatternSet(std::vector<std::wstring> patterns) : patterns_(std::move(patterns)) {}

PatternSet PatternSet::FromText(const std::string& ansi) {
  std::vector<std::wstring> patterns;
  for (const auto& word : Tokenize(ansi)) patterns.push_back(FromAnsi(word));
  return PatternSet(std::move(patterns));
}

bool PatternSet::Matches(const std::wstring& path) const { return patterns_.empty() || MatchesAny(path); }

bool PatternSet::MatchesAny(const std::wstring& path) const {
  for (const auto& pattern : patterns_) {
    if (WildcardMatch(pattern, path)) return true;
  }
  return false;
}

}  // namespace arc
