// Texts the system writes into a caller's buffer (paths, folder names), read
// into a buffer that grows until the whole text fits. Header only, so that
// our archiver libraries can use it without linking anything of Tavix.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>

// fill(buffer, size) is a call that either answers the text's length (less
// than size), or, when the text does not fit, the size it needs or the size
// it was given (calls that cut the text short). Empty when the call fails.
template <typename Fill>
std::wstring ReadSystemText(Fill fill) {
  std::wstring text(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = fill(text.data(), static_cast<DWORD>(text.size()));
    if (length == 0) return {};
    if (length < text.size()) {
      text.resize(length);
      return text;
    }
    if (text.size() > 0x10000) return {};  // longer than any Windows path
    text.resize(std::max<size_t>(length + 1, text.size() * 2));
  }
}

// The full path of a loaded module (the program for null); empty when it
// cannot be told.
inline std::wstring ModulePath(HMODULE module) {
  return ReadSystemText([module](wchar_t* buffer, DWORD size) {
    return GetModuleFileNameW(module, buffer, size);
  });
}
