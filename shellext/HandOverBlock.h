// The file list that the context-menu extension hands to the main program
// through the named shared-memory block "TavixEx". Header only: both
// deliverables use it and the extension links nothing of Tavix.
#pragma once

#include <windows.h>

#include "engine/Handles.h"

#include <string>
#include <vector>

namespace hand_over {

inline constexpr wchar_t BlockName[] = L"TavixEx";
inline constexpr DWORD BlockSize = 0x7FFF;
// Paths that the ANSI code page cannot hold go over as UTF-8 behind this mark;
// an ANSI-only list keeps the plain layout.
inline constexpr char Utf8Mark[] = "\xEF\xBB\xBF";

inline std::string Narrow(const std::wstring& text, UINT codePage, bool* lossy) {
  if (text.empty()) return {};
  BOOL usedDefault = FALSE;
  BOOL* usedDefaultOut = codePage == CP_UTF8 ? nullptr : &usedDefault;
  DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  int size = WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr,
                                 0, nullptr, usedDefaultOut);
  std::string result(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()), result.data(), size,
                      nullptr, usedDefaultOut);
  if (lossy != nullptr) *lossy = usedDefault != FALSE;
  return result;
}

inline std::wstring Widen(const std::string& text, UINT codePage) {
  if (text.empty()) return {};
  int size = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring result(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), result.data(), size);
  return result;
}

// The block's text: every path followed by CR LF, whole lines only, so that a
// list too long for the block loses its last paths rather than ending in a
// cut path that names another file; complete tells whether all fitted. The
// caller adds the terminating zero.
inline std::string Encode(const std::vector<std::wstring>& paths, bool* complete = nullptr) {
  std::string text;
  bool anyLossy = false;
  for (const std::wstring& path : paths) {
    bool lossy = false;
    Narrow(path, CP_ACP, &lossy);
    anyLossy = anyLossy || lossy;
  }
  UINT codePage = anyLossy ? CP_UTF8 : CP_ACP;
  if (anyLossy) text = Utf8Mark;
  for (const std::wstring& path : paths) {
    std::string line = Narrow(path, codePage, nullptr) + "\r\n";
    if (text.size() + line.size() + 1 > BlockSize) {
      if (complete != nullptr) *complete = false;
      return text;
    }
    text += line;
  }
  if (complete != nullptr) *complete = true;
  return text;
}

inline std::vector<std::wstring> Decode(std::string text) {
  UINT codePage = CP_ACP;
  if (text.rfind(Utf8Mark, 0) == 0) {
    text.erase(0, sizeof(Utf8Mark) - 1);
    codePage = CP_UTF8;
  }
  std::vector<std::wstring> paths;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    if (end > start) paths.push_back(Widen(text.substr(start, end - start), codePage));
    start = end + 2;
  }
  return paths;
}

// Held while the block is written or taken, so that a reader never sees half
// of a list.
inline constexpr wchar_t LockName[] = L"TavixEx.Lock";

class THandOverLock {
 public:
  THandOverLock() : mutex_(CreateMutexW(nullptr, FALSE, LockName)) {
    // An owner that died still leaves the block whole enough to read.
    if (mutex_) held_ = WaitForSingleObject(mutex_.get(), 5000) != WAIT_TIMEOUT;
  }
  ~THandOverLock() {
    if (held_) ReleaseMutex(mutex_.get());
  }
  THandOverLock(const THandOverLock&) = delete;
  THandOverLock& operator=(const THandOverLock&) = delete;

 private:
  TKernelHandle mutex_;
  bool held_ = false;
};

// True while the block holds a list that no program has taken yet.
inline bool Pending(const void* view) { return static_cast<const char*>(view)[0] != '\0'; }

// The main program's side: takes the list out of the block at once (the block
// is left empty, so a second invocation may hand over its own list), or
// nothing when no block exists (the program was started with "/MELT" by
// hand). A block without a terminating zero is read to its end.
inline std::vector<std::wstring> Take() {
  TKernelHandle block(OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, BlockName));
  if (!block) return {};
  TMappedView view(MapViewOfFile(block.get(), FILE_MAP_ALL_ACCESS, 0, 0, BlockSize));
  if (!view) return {};
  THandOverLock lock;
  char* bytes = static_cast<char*>(view.get());
  size_t length = 0;
  while (length < BlockSize && bytes[length] != '\0') ++length;
  std::string text(bytes, length);
  bytes[0] = '\0';
  return Decode(text);
}

}  // namespace hand_over
