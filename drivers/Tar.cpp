#include "Tar.h"

#include "DriverSupport.h"

#include <string_view>

namespace {

// Every TAR32 command, in command-line order. Values stand apart from their
// switch: -f "archive", -o "folder\".
void AddTarSwitches(TCmdOpt& cmd, const TArchiverOptions& o, bool ownerWindow,
                    const TCTAR32& driver, bool extracting) {
  if (o.a > 0) cmd.AddRaw("-AH");
  if (o.a == 0) cmd.AddRaw("-I");
  // Unlike ZIP and CAB, an owner window leaves this switch out.
  if (!ownerWindow && o.n > 0) cmd.AddRaw("--display-dialog=0");
  if (o.o > 0) cmd.AddRaw("-g");
  // Without it an extraction that may not overwrite would overwrite anyway;
  // libraries of this family ignore long options they do not know.
  if (extracting && o.c < 1) cmd.AddRaw("--keep-newer-files");
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

std::unique_ptr<TArchiverDll> tarDll;

TArchiverDll& Binding() {
  BindSharedLibrary(tarDll, L"tar/tgz/taz/bz2 形式書庫", L"TAR32.DLL", "Tar");
  return *tarDll;
}

}  // namespace

void TCTAR32::LoadDLL() { Binding(); }

void TCTAR32::FreeDLL() { tarDll.reset(); }

TArchiverDll& TCTAR32::Library() { return Binding(); }

std::string TCTAR32::CommandLine(const char* word, const TArchiverOptions& options,
                                 const std::string& archivePath, const std::string& directory,
                                 const TNameList& files, bool useResponseFile) const {
  TCmdOpt cmd;
  cmd.SeparateValue = true;
  AddTarSwitches(cmd, options, HasOwnerWindow(), *this, std::string_view(word) == "x");
  cmd.AddValue("f", archivePath);
  cmd.AddDir("o", directory);
  AddFileList(cmd, options, useResponseFile, files);
  return word + cmd.Text();
}

// Extract and Add take the response-file choice from the options, not from the caller.
int TCTAR32::Extract(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                     const std::string& directory, const TNameList& files, bool,
                     std::string& output) {
  LastCommandLine = CommandLine("x", options, archivePath, directory, files,
                                options.ResFileUsage.Contains(ruOnUnpack));
  return Binding().Command(window, LastCommandLine, output.data(),
                           static_cast<DWORD>(output.size()));
}

int TCTAR32::Add(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                 const std::string& directory, const TNameList& files, bool,
                 std::string& output) {
  LastCommandLine = CommandLine("c", options, archivePath, directory, files,
                                options.ResFileUsage.Contains(ruOnPack));
  return Binding().Command(window, LastCommandLine, output.data(),
                           static_cast<DWORD>(output.size()));
}

// The self-extractor is an outside program with the archive appended; the
// library takes no part.
int TCTAR32::MakeSfx(HWND, const std::string& archivePath, const TArchiverOptions&,
                     const std::string& directory, std::string&) {
  if (dynamic_cast<const TBZ232*>(this))
    throw EArchiver(L"BZ2 形式書庫は自己解凍形式にできません。");
  std::string stub = SearchOutsideFile("kmtarsef.exe", tarDll ? tarDll->Module() : nullptr);
  if (stub.empty())
    throw EArchiver(L"tar/tgz 書庫からの自己解凍書庫の作成には kmtarsef.exe が必要です。");
  JoinStubAndArchive(stub, archivePath, SelfExtractorName(archivePath, directory));
  return 0;
}

int TCTAR32::ExtractMem(HWND window, const std::string& archivePath,
                        const TArchiverOptions& options, const std::string& entryName,
                        BYTE* buffer, DWORD size, DWORD* written) {
  LastCommandLine = CommandLine("", options, archivePath, "", {entryName}, false);
  return Binding().ExtractMem(window, LastCommandLine, buffer, size, nullptr, nullptr, written);
}

TArchiverType TarFamilyKind(const std::string& path) {
  // A probe only answers; a missing library or entry means "none of the family".
  try {
    switch (Binding().GetArchiveType(path)) {
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
