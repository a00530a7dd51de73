#include "drivers/Arj.h"

#include "drivers/DriverTexts.h"

namespace {

TSharedLibrary<TArchiverDll> arjLibrary(driver_texts::ArjFormat, L"UNARJ32.DLL", "Arj");

// Listing, extraction (the LHA line) and memory extraction go to
// UNARJ32.DLL; the operations that write an archive are left out.
const TFamilyTable ArjTable{
    .library = arjLibrary,
    .extract = {"x"},
    .memory = {""},
    .addSwitches = AddLhaSwitches,
};

}  // namespace

TArchiverDll& ArjLibrary() { return arjLibrary.Bind(); }

TCARJ32::TCARJ32() : TCLHA32(ArjTable) {}

bool IsArjArchive(const std::string& path) {
  return ProbeLibrary(arjLibrary, path, {.existingFileOnly = true});
}
