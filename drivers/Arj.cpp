#include "drivers/Arj.h"

namespace {

TSharedLibrary<TArchiverDll> arjLibrary(L"ARJ 形式書庫", L"UNARJ32.DLL", "Arj");

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
