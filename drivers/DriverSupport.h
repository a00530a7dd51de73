// Pieces the drivers share: path expansion, the probe's file test, a
// current-folder visit, the outside-file search and joining a
// self-extractor in front of an archive.
#pragma once

#include <windows.h>

#include <string>

// The path made absolute against the current folder; unchanged when that fails.
std::string FullArchivePath(const std::string& path);
// True for an existing file that is not a folder: the only things a probe
// hands to a library.
bool IsProbeableFile(const std::string& path);

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
