#include "drivers/Tar.h"

#include "drivers/DriverSupport.h"
#include "drivers/DriverTexts.h"

namespace {

// Every TAR32 command, in command-line order. Values stand apart from their
// switch: -f "archive", -o "folder\".
void AddTarSwitches(TCmdOpt& cmd, const TArchiverOptions& o, TOperation operation,
                    const TLibraryArchiver& driver) {
  cmd.SeparateValue = true;
  if (o.a > 0) cmd.AddRaw("-AH");
  if (o.a == 0) cmd.AddRaw("-I");
  // Unlike ZIP and CAB, an owner window leaves this switch out.
  if (!driver.HasOwnerWindow() && o.n > 0) cmd.AddRaw("--display-dialog=0");
  if (o.o > 0) cmd.AddRaw("-g");
  // Without it an extraction that may not overwrite would overwrite anyway;
  // libraries of this family ignore long options they do not know.
  if (operation == TOperation::Extract && o.c < 1) cmd.AddRaw("--keep-newer-files");
  cmd.AddNumber("-check-all-path=", o.p);
  cmd.AddNumber("-use-directory=", o.x);
  if (dynamic_cast<const TTgz32*>(&driver)) {
    if (o.jm < 1) cmd.AddRaw("-z");
    else cmd.AddNumber("z", o.jm);
  }
  if (dynamic_cast<const TBZ232*>(&driver)) {
    if (o.jm < 1) cmd.AddRaw("-B");
    else cmd.AddNumber("B", o.jm);
  }
  cmd.AddRaw(o.UserOptions);
}

void AddTarTarget(TCmdOpt& cmd, const std::string& archivePath, const std::string& directory) {
  cmd.AddValue("f", archivePath);
  cmd.AddDir("o", directory);
}

TSharedLibrary<TArchiverDll> tarLibrary(driver_texts::TarFormat, L"TAR32.DLL", "Tar");

// Extraction and adding take the response-file choice from the options, not
// from the caller.
const TFamilyTable TarTable{
    .library = tarLibrary,
    .extract = {.word = "x", .response = TResponseChoice::OnUnpack},
    .add = {.word = "c", .response = TResponseChoice::OnPack},
    .memory = {""},
    .addSwitches = AddTarSwitches,
    .addTarget = AddTarTarget,
};

}  // namespace

TCTAR32::TCTAR32() : TLibraryArchiver(TarTable) {}

// The library takes no part in a self-extractor.
int TCTAR32::MakeSfx(HWND, const std::string& archivePath, const TArchiverOptions&,
                     const std::string& directory, std::string&) {
  if (dynamic_cast<const TBZ232*>(this)) throw EArchiver(driver_texts::Bz2NoSfx);
  TArchiverDll* library = tarLibrary.Current();
  std::string stub = SearchOutsideFile("kmtarsef.exe", library ? library->Module() : nullptr);
  if (stub.empty()) throw EArchiver(driver_texts::TarSfxNeedsStub);
  JoinStubAndArchive(stub, archivePath, SelfExtractorName(archivePath, directory));
  return 0;
}

TArchiverType TarFamilyKind(const std::string& path) {
  // A probe only answers; a missing library or entry means "none of the family".
  try {
    switch (tarLibrary.Bind().GetArchiveType(path)) {
      case 1:
        return atTar;
      case 2:
      case 3:
      case 4:
      case 5:
        return atTgz;
      case 6:
      case 7:
        return atBZ2;
      default:
        return atNone;
    }
  } catch (...) {
    return atNone;
  }
}
