#include "app/ClipboardFiles.h"

#include "engine/Handles.h"

#include <shlobj.h>

#include <cstring>

namespace {

// The longest path the system takes (with the long-path prefix).
constexpr size_t MaxPathLength = 32767;

bool PlainPart(const std::wstring& part) {
  if (part.empty() || part == L"." || part == L"..") return false;
  // The system drops trailing dots and spaces: ".. " would be "..".
  if (part.back() == L'.' || part.back() == L' ') return false;
  for (wchar_t c : part)
    if (c < 32) return false;
  return part.find_first_of(L":*?\"<>|") == std::wstring::npos;
}

// Splits at "\" (and "/" when asked); true when every part is plain.
bool PlainParts(const std::wstring& text, bool slashToo) {
  size_t start = 0;
  for (;;) {
    size_t end = text.find_first_of(slashToo ? L"\\/" : L"\\", start);
    if (!PlainPart(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start))) return false;
    if (end == std::wstring::npos) return true;
    start = end + 1;
  }
}

}  // namespace

HGLOBAL MakeFileDropBlock(const std::vector<std::wstring>& paths) {
  size_t characters = 1;  // the empty name that ends the list
  for (const std::wstring& path : paths) characters += path.size() + 1;
  // Readers skip a first name before they look for the end.
  if (paths.empty()) characters = 2;
  size_t size = sizeof(DROPFILES) + characters * sizeof(wchar_t);
  TGlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size));
  if (!memory) return nullptr;
  {
    TGlobalLock<BYTE> data(memory.get());
    if (!data.get()) return nullptr;
    auto* header = reinterpret_cast<DROPFILES*>(data.get());
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    auto* names = reinterpret_cast<wchar_t*>(data.get() + sizeof(DROPFILES));
    for (const std::wstring& path : paths) {
      std::memcpy(names, path.data(), path.size() * sizeof(wchar_t));
      names += path.size() + 1;  // the zero fill gives each NUL
    }
  }
  return memory.release();
}

std::vector<std::wstring> ReadFileDropList(const void* block, size_t size) {
  std::vector<std::wstring> names;
  if (!block || size < sizeof(DROPFILES)) return names;
  DROPFILES header;
  std::memcpy(&header, block, sizeof header);
  if (header.pFiles < sizeof(DROPFILES) || header.pFiles >= size) return names;
  const BYTE* start = static_cast<const BYTE*>(block) + header.pFiles;
  size_t bytes = size - header.pFiles;
  if (header.fWide) {
    size_t count = bytes / sizeof(wchar_t);
    std::vector<wchar_t> text(count);
    std::memcpy(text.data(), start, count * sizeof(wchar_t));
    for (size_t at = 0; at < count;) {
      size_t end = at;
      while (end < count && text[end] != L'\0') ++end;
      if (end == at || end == count) break;  // the list's end, or a name cut off
      if (end - at <= MaxPathLength) names.emplace_back(text.data() + at, end - at);
      at = end + 1;
    }
  } else {
    const char* text = reinterpret_cast<const char*>(start);
    for (size_t at = 0; at < bytes;) {
      size_t end = at;
      while (end < bytes && text[end] != '\0') ++end;
      if (end == at || end == bytes) break;
      size_t length = end - at;
      if (length <= MaxPathLength) {
        int wide = MultiByteToWideChar(CP_ACP, 0, text + at, static_cast<int>(length), nullptr, 0);
        std::wstring name(static_cast<size_t>(wide), L'\0');
        if (wide > 0) MultiByteToWideChar(CP_ACP, 0, text + at, static_cast<int>(length), name.data(), wide);
        if (!name.empty()) names.push_back(std::move(name));
      }
      at = end + 1;
    }
  }
  return names;
}

bool IsPlainFullPath(const std::wstring& path) {
  if (path.size() > MaxPathLength) return false;
  std::wstring rest;
  if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\' && ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'))) {
    rest = path.substr(3);
  } else if (path.size() > 2 && path[0] == L'\\' && path[1] == L'\\') {
    rest = path.substr(2);  // \\server\share\...; "\\?\" and "\\.\" fail as parts
    if (rest.find(L'\\') == std::wstring::npos) return false;
  } else {
    return false;
  }
  if (!rest.empty() && rest.back() == L'\\') rest.pop_back();
  if (rest.empty()) return false;  // a whole drive is no file to add
  if (path.find(L'/') != std::wstring::npos) return false;
  return PlainParts(rest, false);
}

bool IsPlainRelativePath(const std::wstring& path) {
  if (path.empty() || path.size() > MaxPathLength) return false;
  return PlainParts(path, true);
}
