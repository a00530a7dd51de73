#include "drivers/Bga.h"

#include "drivers/DriverTexts.h"

namespace {

// Every BGA command, in command-line order. Exactly one of -o and -n.
void AddBgaSwitches(TCmdOpt& cmd, const TArchiverOptions& o, TOperation,
                    const TLibraryArchiver& driver) {
  cmd.AddFlag("a", o.a > 0);                              // hidden and system files
  cmd.AddRaw(o.c > 0 ? "-o" : "-n");                      // overwrite / never overwrite
  if (o.n > 0 || driver.HasOwnerWindow()) cmd.AddRaw("-i");  // report to the owner window
  if (o.r > 0) cmd.AddRaw("-r");
  if (o.x < 1) cmd.AddRaw("-j");                          // without folders
  cmd.AddNumber("l", o.jm);                               // -l0 ... -l9: compression level
  cmd.AddRaw(o.UserOptions);
}

TSharedLibrary<TArchiverDll> bgaLibrary(driver_texts::BgaFormat, L"BGA32.DLL", "Bga");

// Entries to delete are named inside the archive, so no folder goes with
// them; deleting and self-extractors take the response-file choice from the
// options.
const TFamilyTable BgaTable{
    .library = bgaLibrary,
    .extract = {"x"},
    .add = {"a"},
    .remove = {.word = "d", .response = TResponseChoice::OnRemoveItem, .withFolder = false},
    .sfx = {.word = "s", .response = TResponseChoice::OnRemoveItem},
    .addSwitches = AddBgaSwitches,
};

}  // namespace

TBGA32::TBGA32() : TLibraryArchiver(BgaTable) {}

// The library knows no full-CRC level: the basic check stands in for it.
bool TBGA32::CheckArchive(const std::string& archivePath, int mode, int flags) {
  if (mode == 2) mode = 1;
  return TLibraryArchiver::CheckArchive(archivePath, mode, flags);
}

bool IsBgaArchive(const std::string& path) {
  return ProbeLibrary(bgaLibrary, path, {.existingFileOnly = true, .closeNullHandle = true});
}
