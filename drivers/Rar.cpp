#include "drivers/Rar.h"

#include "drivers/DriverTexts.h"

namespace {

// Every RAR command, in command-line order.
void AddRarSwitches(TCmdOpt& cmd, const TArchiverOptions& o, TOperation, const TLibraryArchiver&) {
  if (o.c < 1) cmd.AddRaw("-u");   // extract only what is newer
  if (o.m > 0) cmd.AddRaw("-y");   // yes to every question
  if (o.p > 0) cmd.AddRaw("-s");   // names match whole paths
  cmd.AddRaw(o.UserOptions);
}

TSharedLibrary<TArchiverDll> rarLibrary(driver_texts::RarFormat, L"UNRAR32.DLL", "Unrar");

// Extraction without folders is its own command word; the response-file
// choice comes from the options, not from the caller.
const TFamilyTable RarTable{
    .library = rarLibrary,
    .extract = {.word = "-x", .response = TResponseChoice::OnUnpack, .flatWord = "-e"},
    .memory = {""},
    .addSwitches = AddRarSwitches,
};

}  // namespace

TRar32::TRar32() : TLibraryArchiver(RarTable) {}

bool IsRarArchive(const std::string& path) {
  return ProbeLibrary(rarLibrary, path, {.closeNullHandle = true});
}
