#include "drivers/DriverSupport.h"

#include "drivers/DriverTexts.h"
#include "engine/ArchiverDll.h"
#include "engine/CmdOpt.h"
#include "engine/EngineTexts.h"
#include "engine/Handles.h"
#include "engine/TextUtil.h"

#include <vector>

std::string FullArchivePath(const std::string& path) {
  if (path.empty()) return path;
  DWORD length = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
  if (length == 0) return path;
  std::string full(length, '\0');
  length = GetFullPathNameA(path.c_str(), length, full.data(), nullptr);
  if (length == 0 || length >= full.size()) return path;
  full.resize(length);
  return full;
}

bool IsProbeableFile(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

TFolderVisit::TFolderVisit(const std::string& folder) {
  if (folder.empty()) return;
  DWORD length = GetCurrentDirectoryW(0, nullptr);
  std::wstring current(length, L'\0');
  length = GetCurrentDirectoryW(length, current.data());
  current.resize(length);
  if (!SetCurrentDirectoryA(folder.c_str()))
    throw EArchiver(FormatMessageText(engine_texts::CannotEnterFolder, {AnsiToWide(folder)}));
  previous_ = current;
}

TFolderVisit::~TFolderVisit() {
  if (!previous_.empty()) SetCurrentDirectoryW(previous_.c_str());
}

namespace {

// The folder of a loaded module (the program for null), with its trailing
// backslash; empty when it cannot be told.
std::string ModuleFolder(HMODULE module) {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    DWORD length = GetModuleFileNameA(module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  size_t nameStart = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size())
      ++i;
    else if (path[i] == '\\' || path[i] == '/')
      nameStart = i + 1;
  }
  return path.substr(0, nameStart);
}

}  // namespace

std::string SearchOutsideFile(const std::string& fileName, HMODULE library) {
  std::vector<std::string> folders{ModuleFolder(nullptr)};
  if (library != nullptr) folders.push_back(ModuleFolder(library));
  for (const auto& folder : folders) {
    if (folder.empty()) continue;
    std::string path = folder + fileName;
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
      return path;
  }
  return {};
}

namespace {

// Byte offset just past the last path separator, double-byte aware.
size_t FilePartStart(const std::string& path) {
  size_t start = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size()) {
      ++i;
    } else if (path[i] == '\\' || path[i] == '/' || path[i] == ':') {
      start = i + 1;
    }
  }
  return start;
}

HANDLE OpenSourceForCopying(const std::string& path) {
  return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// False on a read or write error; which one is told by readFailed.
bool CopyRestOfFile(HANDLE from, HANDLE to, bool& readFailed) {
  std::vector<char> block(64 * 1024);
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(from, block.data(), static_cast<DWORD>(block.size()), &got, nullptr)) {
      readFailed = true;
      return false;
    }
    if (got == 0) return true;
    DWORD put = 0;
    if (!WriteFile(to, block.data(), got, &put, nullptr) || put != got) {
      readFailed = false;
      return false;
    }
  }
}

}  // namespace

std::string SelfExtractorName(const std::string& archivePath, const std::string& folder) {
  size_t filePart = FilePartStart(archivePath);
  size_t dot = archivePath.rfind('.');
  std::string output =
      (dot != std::string::npos && dot >= filePart ? archivePath.substr(0, dot) : archivePath) +
      ".EXE";
  if (folder.empty()) return output;
  std::string name = output.substr(FilePartStart(output));
  return EndsWithBackslash(folder) ? folder + name : folder + "\\" + name;
}

void JoinStubAndArchive(const std::string& stubPath, const std::string& archivePath,
                        const std::string& outputPath) {
  TFileHandle stub(OpenSourceForCopying(stubPath));
  if (!stub) throw EArchiver(FormatMessageText(driver_texts::CannotOpen, {AnsiToWide(stubPath)}));
  TFileHandle archive(OpenSourceForCopying(archivePath));
  if (!archive) throw EArchiver(FormatMessageText(driver_texts::CannotOpen, {AnsiToWide(archivePath)}));
  // The sources deny writing, so this fails rather than truncating either of them.
  TFileHandle output(CreateFileA(outputPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!output) throw EArchiver(FormatMessageText(driver_texts::CannotCreate, {AnsiToWide(outputPath)}));
  bool readFailed = false;
  bool copied = CopyRestOfFile(stub.get(), output.get(), readFailed);
  const std::string* failedSource = &stubPath;
  if (copied) {
    failedSource = &archivePath;
    copied = CopyRestOfFile(archive.get(), output.get(), readFailed);
  }
  output.reset();
  if (copied) return;
  // A stub without its whole archive is no self-extractor: do not leave it.
  DeleteFileA(outputPath.c_str());
  if (readFailed) throw EArchiver(FormatMessageText(driver_texts::CannotRead, {AnsiToWide(*failedSource)}));
  throw EArchiver(FormatMessageText(driver_texts::CannotWrite, {AnsiToWide(outputPath)}));
}
