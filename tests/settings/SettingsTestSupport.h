// A fresh folder per test and raw access to the files there.
#pragma once

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "settings/IniGT.h"

class TempFolder {
 public:
  TempFolder() {
    wchar_t base[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, base);
    static int serial = 0;
    path_ = std::filesystem::path(base) /
            (L"tavix-settings-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
             std::to_wstring(++serial));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
      SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    std::filesystem::remove_all(path_, ignored);
  }
  std::wstring File(const std::wstring& name) const { return (path_ / name).wstring(); }

 private:
  std::filesystem::path path_;
};

inline void WriteBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream out(std::filesystem::path(path), std::ios::binary);
  out << bytes;
}

inline std::string ReadBytes(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Collects the warnings the settings code would show in a message box.
struct WarningRecorder {
  static inline std::vector<std::wstring> texts;
  static void Record(const std::wstring& text) { texts.push_back(text); }
  TSettingsWarningHook previous;
  WarningRecorder() : previous(SetSettingsWarningHook(Record)) { texts.clear(); }
  ~WarningRecorder() { SetSettingsWarningHook(previous); }
};
