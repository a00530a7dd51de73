#include "tests/drivers/DriverTestSupport.h"

#include <atomic>
#include <filesystem>

ScratchFolder::ScratchFolder() {
  static std::atomic<int> counter{0};
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  path_ = std::string(temp) + "tavix-drivers-" + std::to_string(GetCurrentProcessId()) + "-" +
          std::to_string(counter++);
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;  // a leftover scratch folder must not fail a test
  std::filesystem::remove_all(path_, ignored);
}

InFolder::InFolder(const std::string& folder) {
  char current[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, current);
  previous_ = current;
  SetCurrentDirectoryA(folder.c_str());
}

InFolder::~InFolder() { SetCurrentDirectoryA(previous_.c_str()); }

void WriteBytes(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD written = 0;
  if (!bytes.empty()) WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  ASSERT_EQ(written, bytes.size());
}

std::string ReadBytes(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  std::string bytes(GetFileSize(file, nullptr), '\0');
  DWORD read = 0;
  if (!bytes.empty()) ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  bytes.resize(read);
  return bytes;
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TArchiverOptions MakeOptions(const OptionSetter& set) {
  TArchiverOptions options;
  if (set) set(options);
  return options;
}

std::vector<std::string> ArgumentsTo(const SpyLibrary& spy, const std::string& entry) {
  std::vector<std::string> arguments;
  for (const auto& call : CallsTo(spy.Calls(), entry))
    arguments.push_back(call.substr(entry.size() + 1, call.size() - entry.size() - 2));
  return arguments;
}

std::vector<std::string> CommandsTo(const SpyLibrary& spy, const std::string& entry) {
  // window|command line|buffer|size
  std::vector<std::string> lines;
  for (const auto& arguments : ArgumentsTo(spy, entry)) {
    size_t first = arguments.find('|');
    size_t last = arguments.rfind('|');
    size_t beforeLast = arguments.rfind('|', last - 1);
    lines.push_back(arguments.substr(first + 1, beforeLast - first - 1));
  }
  return lines;
}
