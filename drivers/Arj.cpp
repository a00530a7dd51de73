#include "Arj.h"

#include <memory>

// Listing, extraction (command "x", the LHA line) and memory extraction go to
// UNARJ32.DLL; the operations that write an archive are refused.

namespace {

std::unique_ptr<TArchiverDll> arjLibrary;

}  // namespace

TArchiverDll& ArjLibrary() {
  if (!arjLibrary) {
    arjLibrary = std::make_unique<TArchiverDll>(L"ARJ 形式書庫", L"UNARJ32.DLL", "Arj");
    arjLibrary->Load();
  }
  return *arjLibrary;
}

bool IsArjArchive(const std::string& path) {
  try {
    TArchiverDll& library = ArjLibrary();
    std::string full = FullArchivePath(path);
    if (!IsProbeableFile(full)) return false;
    return ProbeByOpenArchive(library, full, false);
  } catch (...) {
    // A missing library or entry only means "not this kind".
    return false;
  }
}

void TCARJ32::LoadDLL() {
  if (!arjLibrary) ArjLibrary();
}

void TCARJ32::FreeDLL() { arjLibrary.reset(); }

TArchiverDll& TCARJ32::Library() { return ArjLibrary(); }

int TCARJ32::Add(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                 const std::string& directory, const TNameList& files, bool useResponseFile,
                 std::string& output) {
  return TArchiver::Add(window, archivePath, options, directory, files, useResponseFile, output);
}

int TCARJ32::Delete(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                    const std::string& directory, const TNameList& files, bool useResponseFile,
                    std::string& output) {
  return TArchiver::Delete(window, archivePath, options, directory, files, useResponseFile, output);
}

int TCARJ32::Update(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                    const std::string& directory, const TNameList& files, bool useResponseFile,
                    std::string& output) {
  return TArchiver::Update(window, archivePath, options, directory, files, useResponseFile, output);
}

int TCARJ32::MakeSfx(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                     const std::string& directory, std::string& output) {
  return TArchiver::MakeSfx(window, archivePath, options, directory, output);
}
