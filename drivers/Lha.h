// LZH archives through UNLHA32.DLL: the one driver that writes the whole
// switch set, each option as the LHA switch of the same name.
#pragma once

#include "drivers/LibraryArchiver.h"

class TCLHA32 : public TLibraryArchiver {
 public:
  TCLHA32();

 protected:
  // For a family that speaks the LHA command syntax through its own library.
  explicit TCLHA32(const TFamilyTable& table) : TLibraryArchiver(table) {}
};

// The LHA switches of every operation, in command-line order.
void AddLhaSwitches(TCmdOpt& cmd, const TArchiverOptions& options, TOperation operation,
                    const TLibraryArchiver& driver);

// The process-wide UNLHA32.DLL binding, created (and loaded) on first use.
// Kept even when loading failed, so the next loading call tries again.
TArchiverDll& LhaLibrary();

// True when UNLHA32.DLL finds an LZH archive in the file (also inside a
// self-extractor). Never raises: any failure answers false.
bool IsLhaArchive(const std::string& path);
