// ARJ archives through UNARJ32.DLL, which speaks the LHA command syntax.
// UNARJ32.DLL lists and extracts only: adding, deleting, updating and
// self-extractors are refused with the base messages, never handed to another
// family's library.
#pragma once

#include "drivers/Lha.h"

class TCARJ32 : public TCLHA32 {
 public:
  TCARJ32();
};

// The process-wide UNARJ32.DLL binding, created (and loaded) on first use.
TArchiverDll& ArjLibrary();

// True when UNARJ32.DLL opens the file as an archive. Never raises.
bool IsArjArchive(const std::string& path);
