// RAR archives, read only, through UNRAR32.DLL.
#pragma once

#include "drivers/LibraryArchiver.h"

class TRar32 : public TLibraryArchiver {
 public:
  TRar32();
};

// True when UNRAR32.DLL opens the file. Never raises.
bool IsRarArchive(const std::string& path);
