// The command line's switches and the long form of a path.
#include "app/CommandLine.h"

#include "engine/Handles.h"

#include <windows.h>

namespace {

// One argument: where it lies in the text with the quotes removed.
struct TArgument {
  size_t begin = 0;
  size_t end = 0;
};

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// Splits as the program's own arguments are split, except that a backslash
// never escapes a quote ("C:\" stays a path). Every quote is removed; an
// unclosed one runs to the end.
std::wstring SplitArguments(const std::wstring& commandLine, std::vector<TArgument>& arguments) {
  std::wstring plain;
  plain.reserve(commandLine.size());
  bool quoted = false;
  bool inArgument = false;
  for (wchar_t c : commandLine) {
    if (c == L'"') {
      quoted = !quoted;
      if (!inArgument) {
        arguments.push_back({plain.size(), plain.size()});
        inArgument = true;
      }
      continue;
    }
    if (!quoted && IsBlank(c)) {
      inArgument = false;
    } else if (!inArgument) {
      arguments.push_back({plain.size(), plain.size()});
      inArgument = true;
    }
    plain += c;
    if (inArgument) arguments.back().end = plain.size();
  }
  return plain;
}

std::wstring Upper(std::wstring text) {
  if (!text.empty()) CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

std::wstring Trimmed(const std::wstring& text) {
  size_t first = text.find_first_not_of(L" \t");
  if (first == std::wstring::npos) return L"";
  size_t last = text.find_last_not_of(L" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

TCommandLine ParseCommandLine(const std::wstring& commandLine, int isDropToIcon, const TKindOf& kindOf) {
  TCommandLine result;
  std::vector<TArgument> arguments;
  std::wstring plain = SplitArguments(commandLine, arguments);
  auto word = [&](size_t i) { return Upper(plain.substr(arguments[i].begin, arguments[i].end - arguments[i].begin)); };
  // The program's own path is the first argument, whatever its name ends in.
  size_t restAt = arguments.empty() ? plain.size() : arguments[0].end;
  size_t next = 1;
  if (next < arguments.size()) {
    std::wstring first = word(next);
    bool known = true;
    if (first == L"/VIEW") {
      result.view = true;
      result.fileToView = Trimmed(plain.substr(arguments[next].end));
      return result;
    } else if (first == L"/MELT") {
      result.melt = true;
    } else if (first == L"/PACKS") {
      result.pack = result.packEach = true;
    } else if (first == L"/PACK") {
      result.pack = true;
    } else if (first == L"-M") {
      result.extractAndExit = true;
    } else if (first != L"-MD") {
      known = false;
    }
    if (known) restAt = arguments[next++].end;
  }
  for (size_t i = next; i < arguments.size(); ++i)
    if (word(i) == L"/AUTOPACK") {
      result.pack = result.packEach = true;
      restAt = arguments[i].end;
      next = i + 1;
      break;
    }
  for (size_t i = next; i < arguments.size(); ++i)
    if (word(i) == L"-A") {
      restAt = arguments[i].end;
      for (size_t file = i + 1; file < arguments.size(); ++file)
        result.addFiles.push_back(plain.substr(arguments[file].begin, arguments[file].end - arguments[file].begin));
      result.add = !result.addFiles.empty();
      break;
    }
  result.given = Trimmed(plain.substr(restAt));
  result.text = Upper(result.given);
  if (!result.given.empty() && kindOf(result.given) == atAutoDetect) {
    result.compressFile = true;
    result.fileToCompress = result.given;
  }
  // Only an archive dropped on the icon is extracted; any other file is compressed.
  if (isDropToIcon == 1 && !result.extractAndExit && !result.add && !result.compressFile)
    result.extractAndExit = true;
  return result;
}

std::wstring LongForm(const std::wstring& path) {
  if (path.empty() || path.rfind(L"\\\\", 0) == 0) return path;
  // Asked with no buffer, the call answers the size the full path needs.
  DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::wstring expanded(needed, L'\0');
  DWORD length = GetFullPathNameW(path.c_str(), needed, expanded.data(), nullptr);
  if (length == 0 || length >= needed) return path;
  expanded.resize(length);
  if (expanded.size() < 2) return expanded;
  std::wstring result = expanded.substr(0, 2);
  if (result[1] == L':') CharUpperBuffW(result.data(), 1);
  size_t position = 2;
  while (position < expanded.size()) {
    if (expanded[position] == L'\\') ++position;
    if (position >= expanded.size()) break;
    size_t next = expanded.find(L'\\', position);
    std::wstring upTo = expanded.substr(0, next);
    std::wstring component = expanded.substr(position, next == std::wstring::npos ? next : next - position);
    WIN32_FIND_DATAW found{};
    // A wildcard would find some other file: such a component stays as typed.
    bool wild = component.find_first_of(L"*?") != std::wstring::npos;
    if (wild || !TFindHandle(FindFirstFileW(upTo.c_str(), &found))) {
      result += L"\\" + expanded.substr(position);
      return result;
    }
    result += L"\\";
    result += found.cFileName;
    if (next == std::wstring::npos) break;
    position = next;
  }
  return result;
}
