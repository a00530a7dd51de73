// BGA archives (.gza, .bza) through BGA32.DLL.
#pragma once

#include "drivers/LibraryArchiver.h"

class TBGA32 : public TLibraryArchiver {
 public:
  TBGA32();
  bool CheckArchive(const std::string& archivePath, int mode, int flags) override;
};

// True when the file exists and BGA32.DLL opens it. Never raises.
bool IsBgaArchive(const std::string& path);
