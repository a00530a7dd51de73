// Cabinet archives through CAB32.DLL. A cabinet cannot be changed once
// written, so there is no deleting or freshening.
#pragma once

#include "drivers/LibraryArchiver.h"

class TCCAB32 : public TLibraryArchiver {
 public:
  TCCAB32();
};

// True when CAB32.DLL opens the file. Never raises.
bool IsCabArchive(const std::string& path);
