#include "drivers/LibraryArchiver.h"

#include "drivers/DriverSupport.h"
#include "engine/Handles.h"

namespace {

bool UsesResponseFile(TResponseChoice choice, const TArchiverOptions& options, bool caller) {
  switch (choice) {
    case TResponseChoice::Caller: return caller;
    case TResponseChoice::Never: return false;
    case TResponseChoice::OnPack: return options.ResFileUsage.Contains(ruOnPack);
    case TResponseChoice::OnUnpack: return options.ResFileUsage.Contains(ruOnUnpack);
    case TResponseChoice::OnRemoveItem: return options.ResFileUsage.Contains(ruOnRemoveItem);
  }
  return caller;
}

}  // namespace

void TLibraryArchiver::LoadDLL() { table_.library.Bind(); }

void TLibraryArchiver::FreeDLL() { table_.library.Release(); }

HARC TLibraryArchiver::OpenArchive(HWND window, const std::string& path, DWORD mode) {
  return Library().OpenArchive(window, FullArchivePath(path), mode);
}

int TLibraryArchiver::FindFirst(HARC handle, const std::string& wildcard,
                                TIndividualInfo* record) {
  return Library().FindFirst(handle, wildcard, record);
}

int TLibraryArchiver::FindNext(HARC handle, TIndividualInfo* record) {
  return Library().FindNext(handle, record);
}

int TLibraryArchiver::CloseArchive(HARC handle) { return Library().CloseArchive(handle); }

std::string TLibraryArchiver::BuildCommandLine(const TCommandWord& command, TOperation operation,
                                               const TArchiverOptions& options,
                                               const std::string& archivePath,
                                               const std::string& directory,
                                               const TNameList& files,
                                               bool useResponseFile) const {
  TCmdOpt cmd;
  table_.addSwitches(cmd, options, operation, *this);
  std::string archive = command.fullArchivePath ? FullArchivePath(archivePath) : archivePath;
  std::string folder = command.withFolder ? directory : std::string();
  if (table_.addTarget != nullptr)
    table_.addTarget(cmd, archive, folder);
  else
    AddTarget(cmd, archive, folder);
  AddFileList(cmd, options, UsesResponseFile(command.response, options, useResponseFile), files);
  const char* word = command.flatWord != nullptr && options.x == 0 ? command.flatWord : command.word;
  return word + cmd.Text();
}

int TLibraryArchiver::SendCommand(const TCommandWord& command, TOperation operation, HWND window,
                                  const std::string& archivePath, const TArchiverOptions& options,
                                  const std::string& directory, const TNameList& files,
                                  bool useResponseFile, std::string& output) {
  if (table_.require != nullptr) table_.require(Library(), operation);
  LastCommandLine = BuildCommandLine(command, operation, options, archivePath, directory, files,
                                     useResponseFile);
  if (table_.send != nullptr)
    return table_.send(Library(), operation, window, LastCommandLine, output);
  return Library().Command(window, LastCommandLine, output.data(),
                           static_cast<DWORD>(output.size()));
}

int TLibraryArchiver::Extract(HWND window, const std::string& archivePath,
                              const TArchiverOptions& options, const std::string& directory,
                              const TNameList& files, bool useResponseFile, std::string& output) {
  // Every family extracts: its table always has the word.
  return SendCommand(table_.extract, TOperation::Extract, window, archivePath, options, directory,
                     files, useResponseFile, output);
}

int TLibraryArchiver::Add(HWND window, const std::string& archivePath,
                          const TArchiverOptions& options, const std::string& directory,
                          const TNameList& files, bool useResponseFile, std::string& output) {
  if (table_.add.word == nullptr)
    return TArchiver::Add(window, archivePath, options, directory, files, useResponseFile, output);
  return SendCommand(table_.add, TOperation::Add, window, archivePath, options, directory, files,
                     useResponseFile, output);
}

int TLibraryArchiver::Delete(HWND window, const std::string& archivePath,
                             const TArchiverOptions& options, const std::string& directory,
                             const TNameList& files, bool useResponseFile, std::string& output) {
  if (table_.remove.word == nullptr)
    return TArchiver::Delete(window, archivePath, options, directory, files, useResponseFile,
                             output);
  return SendCommand(table_.remove, TOperation::Delete, window, archivePath, options, directory,
                     files, useResponseFile, output);
}

int TLibraryArchiver::Update(HWND window, const std::string& archivePath,
                             const TArchiverOptions& options, const std::string& directory,
                             const TNameList& files, bool useResponseFile, std::string& output) {
  if (table_.update.word == nullptr)
    return TArchiver::Update(window, archivePath, options, directory, files, useResponseFile,
                             output);
  return SendCommand(table_.update, TOperation::Update, window, archivePath, options, directory,
                     files, useResponseFile, output);
}

int TLibraryArchiver::MakeSfx(HWND window, const std::string& archivePath,
                              const TArchiverOptions& options, const std::string& directory,
                              std::string& output) {
  if (table_.sfx.word == nullptr)
    return TArchiver::MakeSfx(window, archivePath, options, directory, output);
  return SendCommand(table_.sfx, TOperation::MakeSfx, window, archivePath, options, directory, {},
                     false, output);
}

int TLibraryArchiver::ExtractMem(HWND window, const std::string& archivePath,
                                 const TArchiverOptions& options, const std::string& entryName,
                                 BYTE* buffer, DWORD size, DWORD* written) {
  if (table_.memory.word == nullptr)
    return TArchiver::ExtractMem(window, archivePath, options, entryName, buffer, size, written);
  LastCommandLine = BuildCommandLine(table_.memory, TOperation::ExtractMem, options, archivePath,
                                     "", {entryName}, false);
  return Library().ExtractMem(window, LastCommandLine, buffer, size, nullptr, nullptr, written);
}

bool TLibraryArchiver::CheckArchive(const std::string& archivePath, int mode, int flags) {
  return Library().CheckArchive(archivePath, mode + flags) != FALSE;
}

bool TLibraryArchiver::SetOwnerWindow(HWND window) {
  TArchiver::SetOwnerWindow(window);
  return Library().SetOwnerWindowEx(window, nullptr) != FALSE;
}

bool TLibraryArchiver::KillOwnerWindow(HWND window) {
  TScopeExit forget([this, window] { TArchiver::KillOwnerWindow(window); });
  return Library().KillOwnerWindowEx(window) != FALSE;
}

bool ProbeLibrary(TLibraryBinding& binding, const std::string& path, TProbeRules rules) {
  try {
    TCustomArchiverDll& library = binding.Bind();
    std::string full = FullArchivePath(path);
    if (rules.existingFileOnly && !IsProbeableFile(full)) return false;
    if (rules.checkFirst && !library.CheckArchive(full, CHECKARCHIVE_ALL)) return false;
    HARC handle = library.OpenArchive(nullptr, full, ProbeOpenMode);
    if (handle != nullptr || rules.closeNullHandle) library.CloseArchive(handle);
    return handle != nullptr;
  } catch (...) {
    // A probe only answers: a missing library or entry means "not this kind".
    return false;
  }
}
