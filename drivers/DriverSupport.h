// Pieces the ZIP, CAB, TAR, RAR and BGA drivers share: the process-wide
// binding of a family and joining a self-extractor in front of an archive.
// Path expansion and the probe's file test are the LZH driver's
// (FullArchivePath, IsProbeableFile).
#pragma once

#include "Archiver.h"
#include "Lha.h"

#include <memory>
#include <string>

// The base class's shared command-building steps, for the builders that live
// outside a driver class.
struct TArchiverAccess : TArchiver {
  using TArchiver::AddFileList;
  using TArchiver::AddTarget;
};

// Creates the family's binding on first use and loads it. The binding is kept
// before loading, so after a failed load the next call does nothing and the
// failure recurs at the binding's next loading operation.
void BindSharedLibrary(std::unique_ptr<TArchiverDll>& binding, const wchar_t* description,
                       const wchar_t* dllName, const char* prefix);

// Makes folder the process's current folder for the scope (nothing when it
// is empty), for a library that resolves names against it. Raises EArchiver
// when the folder cannot be entered: the names would be taken from elsewhere.
class TFolderVisit {
 public:
  explicit TFolderVisit(const std::string& folder);
  ~TFolderVisit();
  TFolderVisit(const TFolderVisit&) = delete;
  TFolderVisit& operator=(const TFolderVisit&) = delete;

 private:
  std::wstring previous_;
};

// Finds an outside file in the program's folder, then in the folder of the
// library it belongs with (may be null); empty when not found. Never the
// current folder or PATH: a file planted there would be built into the output.
std::string SearchOutsideFile(const std::string& fileName, HMODULE library);

// The archive's name with its extension replaced by ".EXE", placed in
// folder when one is given.
std::string SelfExtractorName(const std::string& archivePath, const std::string& folder);

// Writes output as the stub followed by the archive. Both sources stay open
// with writing denied while copying, so an output that names one of them
// cannot be truncated. A failure raises EArchiver and removes an output
// file this call created or truncated; a file it never opened stays.
void JoinStubAndArchive(const std::string& stubPath, const std::string& archivePath,
                        const std::string& outputPath);
