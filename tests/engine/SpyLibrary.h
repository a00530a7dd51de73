// Access to a loaded spy archiver library's recordings.
#pragma once

#include "engine/ArchiverApi.h"

#include <cstdint>
#include <string>
#include <vector>

class SpyLibrary {
 public:
  explicit SpyLibrary(const wchar_t* fileName);  // the library must be loaded
  void Reset() const;
  std::vector<std::string> Calls() const;  // one "Entry(args)" per call
  void AddEntry(const char* name, WORD date, WORD time) const;
  void SetResult(int result, const char* output = "") const;

 private:
  HMODULE module_;
};

// A pointer as the spy writes it ("%p": its width is the architecture's).
std::string PointerText(const void* pointer);
inline std::string PointerText(std::uintptr_t value) {
  return PointerText(reinterpret_cast<const void*>(value));
}

// The calls whose entry name starts with the given text.
std::vector<std::string> CallsTo(const std::vector<std::string>& calls, const std::string& entry);
