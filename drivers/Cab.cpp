#include "Cab.h"

#include "DriverSupport.h"

namespace {

// Every CAB command, in command-line order.
void AddCabSwitches(TCmdOpt& cmd, const TArchiverOptions& o, bool ownerWindow) {
  if (o.c == 1) cmd.AddRaw("-o");                 // overwrite without asking
  if (o.n > 0 || ownerWindow) cmd.AddRaw("-i");   // report to the owner window
  if (o.r > 0) cmd.AddRaw("-r");
  cmd.AddDir("h", o.w);                           // work folder: "-hC:\tmp\" as one word
  if (o.x == 0) cmd.AddRaw("-j");                 // without folders
  if (o.ji > 0) cmd.AddRaw("-q");
  cmd.AddRaw(o.UserOptions);
}

std::unique_ptr<TArchiverDll> cabDll;

TArchiverDll& Binding() {
  BindSharedLibrary(cabDll, L"CAB 形式書庫", L"CAB32.DLL", "Cab");
  return *cabDll;
}

}  // namespace

void TCCAB32::LoadDLL() { Binding(); }

void TCCAB32::FreeDLL() { cabDll.reset(); }

TArchiverDll& TCCAB32::Library() { return Binding(); }

int TCCAB32::Run(HWND window, const char* word, const TArchiverOptions& options,
                 const std::string& archivePath, const std::string& directory,
                 const TNameList& files, bool useResponseFile, std::string& output) {
  TCmdOpt cmd;
  AddCabSwitches(cmd, options, HasOwnerWindow());
  AddTarget(cmd, archivePath, directory);
  AddFileList(cmd, options, useResponseFile, files);
  LastCommandLine = word + cmd.Text();
  return Binding().Command(window, LastCommandLine, output.data(),
                           static_cast<DWORD>(output.size()));
}

// Extract and Add take the response-file choice from the options, not from the caller.
int TCCAB32::Extract(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                     const std::string& directory, const TNameList& files, bool,
                     std::string& output) {
  return Run(window, "-x", options, FullArchivePath(archivePath), directory, files,
             options.ResFileUsage.Contains(ruOnUnpack), output);
}

int TCCAB32::Add(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                 const std::string& directory, const TNameList& files, bool,
                 std::string& output) {
  return Run(window, "-a", options, archivePath, directory, files,
             options.ResFileUsage.Contains(ruOnPack), output);
}

int TCCAB32::MakeSfx(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                     const std::string& directory, std::string& output) {
  return Run(window, "-f", options, archivePath, directory, {}, false, output);
}

int TCCAB32::ExtractMem(HWND window, const std::string& archivePath,
                        const TArchiverOptions& options, const std::string& entryName,
                        BYTE* buffer, DWORD size, DWORD* written) {
  TCmdOpt cmd;
  AddCabSwitches(cmd, options, HasOwnerWindow());
  AddTarget(cmd, archivePath, "");
  AddFileList(cmd, options, false, {entryName});
  LastCommandLine = cmd.Text();
  return Binding().ExtractMem(window, LastCommandLine, buffer, size, nullptr, nullptr, written);
}

bool IsCabArchive(const std::string& path) {
  // A probe only answers; a missing library or entry means "not a cabinet".
  try {
    TArchiverDll& dll = Binding();
    return ProbeByOpenArchive(dll, FullArchivePath(path), true);
  } catch (...) {
    return false;
  }
}
