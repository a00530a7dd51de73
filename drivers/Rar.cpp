#include "Rar.h"

#include "DriverSupport.h"

namespace {

// Every RAR command, in command-line order.
void AddRarSwitches(TCmdOpt& cmd, const TArchiverOptions& o) {
  if (o.c < 1) cmd.AddRaw("-u");   // extract only what is newer
  if (o.m > 0) cmd.AddRaw("-y");   // yes to every question
  if (o.p > 0) cmd.AddRaw("-s");   // names match whole paths
  cmd.AddRaw(o.UserOptions);
}

std::unique_ptr<TArchiverDll> rarDll;

TArchiverDll& Binding() {
  BindSharedLibrary(rarDll, L"RAR 形式書庫", L"UNRAR32.DLL", "Unrar");
  return *rarDll;
}

std::string CommandLine(const char* word, const TArchiverOptions& options,
                        const std::string& archivePath, const std::string& directory,
                        const TNameList& files, bool useResponseFile) {
  TCmdOpt cmd;
  AddRarSwitches(cmd, options);
  TArchiverAccess::AddTarget(cmd, archivePath, directory);
  TArchiverAccess::AddFileList(cmd, options, useResponseFile, files);
  return word + cmd.Text();
}

}  // namespace

void TRar32::LoadDLL() { Binding(); }

void TRar32::FreeDLL() { rarDll.reset(); }

TArchiverDll& TRar32::Library() { return Binding(); }

// The response-file choice comes from the options, not from the caller.
int TRar32::Extract(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                    const std::string& directory, const TNameList& files, bool,
                    std::string& output) {
  LastCommandLine = CommandLine(options.x == 0 ? "-e" : "-x", options, archivePath, directory,
                                files, options.ResFileUsage.Contains(ruOnUnpack));
  return Binding().Command(window, LastCommandLine, output.data(),
                           static_cast<DWORD>(output.size()));
}

int TRar32::ExtractMem(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                       const std::string& entryName, BYTE* buffer, DWORD size, DWORD* written) {
  LastCommandLine = CommandLine("", options, archivePath, "", {entryName}, false);
  return Binding().ExtractMem(window, LastCommandLine, buffer, size, nullptr, nullptr, written);
}

bool IsRarArchive(const std::string& path) {
  // A probe only answers; a missing library or entry means "not RAR".
  try {
    TArchiverDll& dll = Binding();
    return ProbeByOpenArchive(dll, FullArchivePath(path), true);
  } catch (...) {
    return false;
  }
}
