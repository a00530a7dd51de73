#include "drivers/Cab.h"

#include "drivers/DriverTexts.h"

namespace {

// Every CAB command, in command-line order.
void AddCabSwitches(TCmdOpt& cmd, const TArchiverOptions& o, TOperation,
                    const TLibraryArchiver& driver) {
  if (o.c == 1) cmd.AddRaw("-o");                            // overwrite without asking
  if (o.n > 0 || driver.HasOwnerWindow()) cmd.AddRaw("-i");  // report to the owner window
  if (o.r > 0) cmd.AddRaw("-r");
  cmd.AddDir("h", o.w);                                      // work folder: "-hC:\tmp\" as one word
  if (o.x == 0) cmd.AddRaw("-j");                            // without folders
  if (o.ji > 0) cmd.AddRaw("-q");
  cmd.AddRaw(o.UserOptions);
}

TSharedLibrary<TArchiverDll> cabLibrary(driver_texts::CabFormat, L"CAB32.DLL", "Cab");

// Extraction and adding take the response-file choice from the options, not
// from the caller.
const TFamilyTable CabTable{
    .library = cabLibrary,
    .extract = {.word = "-x", .response = TResponseChoice::OnUnpack, .fullArchivePath = true},
    .add = {.word = "-a", .response = TResponseChoice::OnPack},
    .sfx = {.word = "-f", .response = TResponseChoice::Never},
    .memory = {""},
    .addSwitches = AddCabSwitches,
};

}  // namespace

TCCAB32::TCCAB32() : TLibraryArchiver(CabTable) {}

bool IsCabArchive(const std::string& path) {
  return ProbeLibrary(cabLibrary, path, {.closeNullHandle = true});
}
