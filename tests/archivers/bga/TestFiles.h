// Files and folders for the archiver tests: a scratch folder removed at the
// end, and whole-file reads and writes through wide names.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <fstream>
#include <sstream>
#include <string>

namespace testfiles {

namespace fs = std::filesystem;

class ScratchFolder {
 public:
  ScratchFolder() {
    static int counter = 0;
    path_ = fs::temp_directory_path() /
            (L"tavix-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    // Read-only files would stop the removal; a destructor must not throw.
    fs::recursive_directory_iterator item(path_, ignored), end;
    while (!ignored && item != end) {
      SetFileAttributesW(item->path().c_str(), FILE_ATTRIBUTE_NORMAL);
      item.increment(ignored);
    }
    fs::remove_all(path_, ignored);
  }
  const fs::path& Path() const { return path_; }
  fs::path operator/(const std::wstring& name) const { return path_ / name; }

 private:
  fs::path path_;
};

inline void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline std::string Ansi(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string result(n, '\0');
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, result.data(), n, nullptr, nullptr);
  result.resize(n > 0 ? n - 1 : 0);
  return result;
}

// Every regular file below root, as "relative\path" -> contents.
inline std::map<std::wstring, std::string> Tree(const fs::path& root) {
  std::map<std::wstring, std::string> files;
  if (!fs::exists(root)) return files;
  for (auto& item : fs::recursive_directory_iterator(root)) {
    if (item.is_regular_file()) files[fs::relative(item.path(), root).wstring()] = ReadFile(item.path());
  }
  return files;
}

// Runs a program and waits; returns its exit code (-1 when it did not start).
inline int RunProgram(const std::wstring& commandLine, DWORD timeout = 60000) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::wstring line = commandLine;
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return -1;
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, timeout) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
  else TerminateProcess(process.hProcess, 99);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

}  // namespace testfiles
