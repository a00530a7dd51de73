#include "Bga.h"

#include "DriverSupport.h"

namespace {

// Every BGA command, in command-line order. Exactly one of -o and -n.
void AddBgaSwitches(TCmdOpt& cmd, const TArchiverOptions& o, bool ownerWindow) {
  cmd.AddFlag("a", o.a > 0);                      // hidden and system files
  cmd.AddRaw(o.c > 0 ? "-o" : "-n");              // overwrite / never overwrite
  if (o.n > 0 || ownerWindow) cmd.AddRaw("-i");   // report to the owner window
  if (o.r > 0) cmd.AddRaw("-r");
  if (o.x < 1) cmd.AddRaw("-j");                  // without folders
  cmd.AddNumber("l", o.jm);                       // -l0 ... -l9: compression level
  cmd.AddRaw(o.UserOptions);
}

std::unique_ptr<TArchiverDll> bgaDll;

TArchiverDll& Binding() {
  BindSharedLibrary(bgaDll, L"BGA 形式書庫", L"BGA32.DLL", "Bga");
  return *bgaDll;
}

}  // namespace

void TBGA32::LoadDLL() { Binding(); }

void TBGA32::FreeDLL() { bgaDll.reset(); }

TArchiverDll& TBGA32::Library() { return Binding(); }

int TBGA32::Run(HWND window, const char* word, const TArchiverOptions& options,
                const std::string& archivePath, const std::string& directory,
                const TNameList& files, bool useResponseFile, std::string& output) {
  TCmdOpt cmd;
  AddBgaSwitches(cmd, options, HasOwnerWindow());
  AddTarget(cmd, archivePath, directory);
  AddFileList(cmd, options, useResponseFile, files);
  LastCommandLine = word + cmd.Text();
  return Binding().Command(window, LastCommandLine, output.data(),
                           static_cast<DWORD>(output.size()));
}

int TBGA32::Extract(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                    const std::string& directory, const TNameList& files, bool useResponseFile,
                    std::string& output) {
  return Run(window, "x", options, archivePath, directory, files, useResponseFile, output);
}

int TBGA32::Add(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                const std::string& directory, const TNameList& files, bool useResponseFile,
                std::string& output) {
  return Run(window, "a", options, archivePath, directory, files, useResponseFile, output);
}

// Entries are named inside the archive, so no folder goes with them; the
// response-file choice comes from the options.
int TBGA32::Delete(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                   const std::string&, const TNameList& files, bool, std::string& output) {
  return Run(window, "d", options, archivePath, "", files,
             options.ResFileUsage.Contains(ruOnRemoveItem), output);
}

int TBGA32::MakeSfx(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                    const std::string& directory, std::string& output) {
  return Run(window, "s", options, archivePath, directory, {},
             options.ResFileUsage.Contains(ruOnRemoveItem), output);
}

// The library knows no full-CRC level: the basic check stands in for it.
bool TBGA32::CheckArchive(const std::string& archivePath, int mode, int flags) {
  if (mode == 2) mode = 1;
  return TLibraryArchiver::CheckArchive(archivePath, mode, flags);
}

bool IsBgaArchive(const std::string& path) {
  // A probe only answers; a missing library or entry means "not BGA".
  try {
    TArchiverDll& dll = Binding();
    std::string full = FullArchivePath(path);
    if (!IsProbeableFile(full)) return false;
    return ProbeByOpenArchive(dll, full, true);
  } catch (...) {
    return false;
  }
}
