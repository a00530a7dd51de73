// tar, gzip and bzip2 archives through TAR32.DLL. The two subclasses only
// tell the shared code which compression switch to add.
#pragma once

#include "drivers/LibraryArchiver.h"

class TCTAR32 : public TLibraryArchiver {
 public:
  TCTAR32();
  // The self-extractor is an outside program with the archive appended.
  int MakeSfx(HWND window, const std::string& archivePath, const TArchiverOptions& options,
              const std::string& directory, std::string& output) override;
};

class TTgz32 : public TCTAR32 {};
class TBZ232 : public TCTAR32 {};

// atTar, atTgz or atBZ2 from TAR32.DLL's answer; atNone for anything else
// and on any failure. Never raises.
TArchiverType TarFamilyKind(const std::string& path);
