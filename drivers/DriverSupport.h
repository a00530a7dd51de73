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

// Finds an outside file by the system's default search (program folder,
// current folder, system folders, PATH); empty when not found.
std::string SearchOutsideFile(const std::string& fileName);

// The archive's name with its extension replaced by ".EXE", placed in
// folder when one is given.
std::string SelfExtractorName(const std::string& archivePath, const std::string& folder);

// Writes output as the stub followed by the archive. Both sources stay open
// with writing denied while copying, so an output that names one of them
// cannot be truncated. A failure raises EArchiver and removes an output
// file this call created or truncated; a file it never opened stays.
void JoinStubAndArchive(const std::string& stubPath, const std::string& archivePath,
                        const std::string& outputPath);
