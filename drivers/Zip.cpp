#include "drivers/Zip.h"

#include "drivers/DriverSupport.h"
#include "drivers/DriverTexts.h"
#include "engine/EngineTexts.h"
#include "engine/TextUtil.h"

namespace {

// Extraction (UnZip, UnZipExtractMem), in command-line order.
void AddExtractionSwitches(TCmdOpt& cmd, const TArchiverOptions& o, bool ownerWindow) {
  if (o.c == 1) cmd.AddRaw("-o");                  // overwrite without asking
  if (o.n > 0 || ownerWindow) cmd.AddRaw("--i");   // report to the owner window, no dialog
  if (o.x == 0) cmd.AddRaw("-j");                  // without folders
  cmd.AddRaw(o.UserOptions);
}

// ZIP32J's Zip (add, delete, freshen), in command-line order.
void AddZip32jSwitches(TCmdOpt& cmd, const TArchiverOptions& o) {
  if (o.a > 0) cmd.AddRaw("-S");     // hidden and system files
  if (o.a < 2) cmd.AddRaw("-D");     // no folder entries
  if (o.l > 0) cmd.AddRaw("-v");
  if (o.n > 0) cmd.AddRaw("-q");
  if (o.r > 0) cmd.AddRaw("-r");
  if (o.n > 0) cmd.AddRaw("-o");     // archive time = newest entry
  if (o.u > 0) cmd.AddRaw("-u");
  if (o.x == 0) cmd.AddRaw("-j");
  if (o.jc > 0) cmd.AddRaw("-FF");
  if (o.ji > 0) cmd.AddRaw("-k");    // DOS names
  cmd.AddNumber("", o.jm);           // -0 ... -9: compression level
  if (o.gd > 0) cmd.AddRaw("-J");
  cmd.AddRaw(o.UserOptions);
}

// Extraction goes to UnZip, everything else to ZIP32J's Zip; names are
// written the way ZIP stores them.
void AddZipSwitches(TCmdOpt& cmd, const TArchiverOptions& o, TOperation operation,
                    const TLibraryArchiver& driver) {
  cmd.NameFilter = ZipNameFilter;
  if (operation == TOperation::Extract || operation == TOperation::ExtractMem)
    AddExtractionSwitches(cmd, o, driver.HasOwnerWindow());
  else
    AddZip32jSwitches(cmd, o);
}

// QXZIP32's Zip "-ru": names go as given, and there is no base folder.
void AddQxzip32Switches(TCmdOpt& cmd, const TArchiverOptions& o) {
  if (o.c == 1) cmd.AddRaw("-o");
  if (o.x == 0) cmd.AddRaw("-j");
  cmd.AddRaw(o.UserOptions);
}

DWORD OutputRoom(const std::string& output) { return static_cast<DWORD>(output.size()); }

// Extraction goes to UnZip, everything else to Zip.
int SendToLibrary(TCustomArchiverDll& library, TOperation operation, HWND window,
                  const std::string& commandLine, std::string& output) {
  auto& zip = static_cast<TZipDll&>(library);
  if (operation == TOperation::Extract)
    return zip.UnZip(window, commandLine, output.data(), OutputRoom(output));
  return zip.Zip(window, commandLine, output.data(), OutputRoom(output));
}

void RequireReader(TCustomArchiverDll& library, TOperation operation) {
  auto& zip = static_cast<TZipDll&>(library);
  if (operation == TOperation::Extract && zip.Unzip32() == nullptr && zip.Qxzip32() == nullptr)
    throw EArchiver(driver_texts::ZipExtractNeedsLibrary);
}

TSharedLibrary<TZipDll> zipLibrary;

// Add and MakeSfx first see which library is there (below); the words here
// are the ones they send.
const TFamilyTable ZipTable{
    .library = zipLibrary,
    .extract = {"-x"},
    .add = {""},
    .remove = {"-d"},
    .update = {"-f"},
    .memory = {""},
    .addSwitches = AddZipSwitches,
    .send = SendToLibrary,
    .require = RequireReader,
};

// An archive file that holds no bytes is a placeholder "-ru" may refuse; one
// with entries is left for "-ru" to update.
void RemoveEmptyPlaceholder(const std::string& archivePath) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (GetFileAttributesExA(archivePath.c_str(), GetFileExInfoStandard, &data) &&
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && data.nFileSizeLow == 0 &&
      data.nFileSizeHigh == 0)
    DeleteFileA(archivePath.c_str());
}

}  // namespace

std::string ZipNameFilter(const std::string& name) {
  std::string converted;
  converted.reserve(name.size() + 8);
  for (size_t i = 0; i < name.size(); ++i) {
    char c = name[i];
    if (IsDBCSLeadByte(static_cast<BYTE>(c)) && i + 1 < name.size()) {
      converted += c;
      converted += name[++i];
    } else if (c == '\\') {
      converted += '/';
    } else if (c == '[') {
      converted += "[[]";
    } else {
      converted += c;
    }
  }
  return converted;
}

// ---- TZipDll ----

TZipDll::~TZipDll() { Unload(); }

void TZipDll::Load() {
  if (!unzip32_) unzip32_.reset(LoadLibraryW(L"UNZIP32.DLL"));
  if (!zip32j_) zip32j_.reset(LoadLibraryW(L"ZIP32J.DLL"));
  if (!qxzip32_) qxzip32_.reset(LoadLibraryW(L"QXZIP32.DLL"));
}

void TZipDll::Unload() {
  unzip32_.reset();
  zip32j_.reset();
  qxzip32_.reset();
  zip_ = nullptr;
  unzip_ = nullptr;
  TCustomArchiverDll::Unload();
}

FARPROC TZipDll::Find(const char* name, std::initializer_list<Library> order,
                      bool required) const {
  for (Library library : order) {
    HMODULE module = library == UNZIP32 ? Unzip32() : library == ZIP32J ? Zip32j() : Qxzip32();
    if (module == nullptr) continue;
    std::string spelled = name;
    // QXZIP32 spells its entries "Unzip...".
    if (library == QXZIP32 && spelled.size() >= 3 && spelled[2] == 'Z') spelled[2] = 'z';
    if (FARPROC entry = GetProcAddress(module, spelled.c_str())) return entry;
  }
  if (!required) return nullptr;
  throw EEntryNotFound(FormatMessageText(driver_texts::EntryNotInLibrary, {AnsiToWide(name)}));
}

FARPROC TZipDll::FindInUnzip32(const char* name) const {
  if (unzip32_)
    if (FARPROC entry = GetProcAddress(unzip32_.get(), name)) return entry;
  std::wstring path = unzip32_ ? ModulePath(unzip32_.get()) : L"UNZIP32.DLL";
  throw EEntryNotFound(FormatMessageText(engine_texts::EntryNotFound, {path, AnsiToWide(name)}));
}

template <typename Entry>
static Entry EntryAs(FARPROC entry) {
  return reinterpret_cast<Entry>(reinterpret_cast<void*>(entry));
}

int TZipDll::Command(HWND, const std::string&, char*, DWORD) {
  throw EEntryNotFound(FormatMessageText(driver_texts::EntryNotInLibrary, {L"Command"}));
}

int TZipDll::GetArchiveType(const std::string&) {
  throw EEntryNotFound(FormatMessageText(driver_texts::EntryNotInLibrary, {L"GetArchiveType"}));
}

int TZipDll::Zip(HWND window, const std::string& commandLine, char* buffer, DWORD size) {
  Load();
  zip_ = EntryAs<TArcCommand>(Find("Zip", {ZIP32J, QXZIP32}, true));
  return zip_(window, commandLine.c_str(), size == 0 ? nullptr : buffer, size);
}

int TZipDll::UnZip(HWND window, const std::string& commandLine, char* buffer, DWORD size) {
  Load();
  unzip_ = EntryAs<TArcCommand>(Find("UnZip", {UNZIP32, QXZIP32}, true));
  return unzip_(window, commandLine.c_str(), size == 0 ? nullptr : buffer, size);
}

HARC TZipDll::OpenArchive(HWND window, const std::string& path, DWORD mode) {
  Load();
  openArchive_ = EntryAs<TArcOpenArchive>(Find("UnZipOpenArchive", {QXZIP32, ZIP32J, UNZIP32}, true));
  return TCustomArchiverDll::OpenArchive(window, path, mode);
}

int TZipDll::CloseArchive(HARC handle) {
  Load();
  closeArchive_ =
      EntryAs<TArcCloseArchive>(Find("UnZipCloseArchive", {QXZIP32, ZIP32J, UNZIP32}, true));
  return TCustomArchiverDll::CloseArchive(handle);
}

int TZipDll::FindFirst(HARC handle, const std::string& wildcard, TIndividualInfo* record) {
  Load();
  findFirst_ = EntryAs<TArcFindFirst>(Find("UnZipFindFirst", {QXZIP32, ZIP32J, UNZIP32}, true));
  return TCustomArchiverDll::FindFirst(handle, wildcard, record);
}

int TZipDll::FindNext(HARC handle, TIndividualInfo* record) {
  findNext_ = EntryAs<TArcFindNext>(Find("UnZipFindNext", {QXZIP32, ZIP32J, UNZIP32}, true));
  return TCustomArchiverDll::FindNext(handle, record);
}

BOOL TZipDll::GetWriteTimeEx(HARC handle, FILETIME* time) {
  getWriteTimeEx_ =
      EntryAs<TArcGetFileTime>(Find("UnzipGetWriteTimeEx", {QXZIP32, ZIP32J, UNZIP32}, false));
  return TCustomArchiverDll::GetWriteTimeEx(handle, time);
}

BOOL TZipDll::GetCreateTimeEx(HARC handle, FILETIME* time) {
  getCreateTimeEx_ =
      EntryAs<TArcGetFileTime>(Find("UnZipGetCreateTimeEx", {QXZIP32, ZIP32J, UNZIP32}, false));
  return TCustomArchiverDll::GetCreateTimeEx(handle, time);
}

BOOL TZipDll::GetAccessTimeEx(HARC handle, FILETIME* time) {
  getAccessTimeEx_ =
      EntryAs<TArcGetFileTime>(Find("UnZipGetAccessTimeEx", {QXZIP32, ZIP32J, UNZIP32}, false));
  return TCustomArchiverDll::GetAccessTimeEx(handle, time);
}

BOOL TZipDll::CheckArchive(const std::string& path, int mode) {
  Load();
  checkArchive_ =
      EntryAs<TArcCheckArchive>(Find("UnZipCheckArchive", {UNZIP32, QXZIP32, ZIP32J}, true));
  return TCustomArchiverDll::CheckArchive(path, mode);
}

int TZipDll::ExtractMem(HWND window, const std::string& commandLine, BYTE* buffer, DWORD size,
                        time_t* time, WORD* attributes, DWORD* written) {
  extractMem_ = EntryAs<TArcExtractMem>(Find("UnZipExtractMem", {UNZIP32, QXZIP32, ZIP32J}, true));
  return TCustomArchiverDll::ExtractMem(window, commandLine, buffer, size, time, attributes,
                                        written);
}

BOOL TZipDll::SetOwnerWindowEx(HWND window, void* callback) {
  setOwnerWindowEx_ = EntryAs<TArcSetOwnerWindowEx>(FindInUnzip32("UnZipSetOwnerWindowEx"));
  return TCustomArchiverDll::SetOwnerWindowEx(window, callback);
}

BOOL TZipDll::KillOwnerWindowEx(HWND window) {
  killOwnerWindowEx_ = EntryAs<TArcKillOwnerWindowEx>(FindInUnzip32("UnZipKillOwnerWindowEx"));
  return TCustomArchiverDll::KillOwnerWindowEx(window);
}

// ---- TCZIP32 ----

TZipDll* SharedZipDll() { return zipLibrary.Current(); }

TCZIP32::TCZIP32() : TLibraryArchiver(ZipTable) {}

int TCZIP32::Add(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                 const std::string& directory, const TNameList& files, bool useResponseFile,
                 std::string& output) {
  TZipDll& dll = zipLibrary.Bind();
  if (dll.Zip32j() != nullptr) {
    LastCommandLine = BuildCommandLine(ZipTable.add, TOperation::Add, options, archivePath,
                                       directory, files, useResponseFile);
    return dll.Zip(window, LastCommandLine, output.data(), OutputRoom(output));
  }
  if (dll.Qxzip32() == nullptr) throw EArchiver(driver_texts::ZipCreateNeedsLibrary);
  TCmdOpt cmd;
  AddQxzip32Switches(cmd, options);
  // The library runs in the base folder (below): a relative archive name
  // must still name the caller's archive.
  AddTarget(cmd, directory.empty() ? archivePath : FullArchivePath(archivePath), "");
  AddFileList(cmd, options, useResponseFile, files);
  LastCommandLine = "-ru" + cmd.Text();
  // Adding to an archive that has entries must keep them: only an empty
  // placeholder file goes before "-ru" writes the archive anew.
  RemoveEmptyPlaceholder(archivePath);
  // QXZIP32 takes no base folder and reads relative names against the
  // current folder: make that the base folder while it runs.
  TFolderVisit visit(directory);
  return dll.Zip(window, LastCommandLine, output.data(), OutputRoom(output));
}

int TCZIP32::MakeSfx(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                     const std::string& directory, std::string& output) {
  TZipDll& dll = zipLibrary.Bind();
  if (dll.Zip32j() == nullptr) throw EArchiver(driver_texts::ZipSfxNeedsLibrary);
  bool gui = options.gw > 0;
  std::string stub = SearchOutsideFile(gui ? "sfx32gui.dat" : "sfx16.dat", dll.Zip32j());
  if (stub.empty()) throw EArchiver(gui ? driver_texts::ZipGuiSfxNeedsStub : driver_texts::ZipDosSfxNeedsStub);
  std::string target = SelfExtractorName(archivePath, directory);
  JoinStubAndArchive(stub, archivePath, target);
  // The library splits its line at blanks; a path with one must stay one word.
  bool blank = target.find(' ') != std::string::npos;
  LastCommandLine = "-A " + (blank ? "\"" + target + "\"" : target);
  return dll.Zip(window, LastCommandLine, output.data(), OutputRoom(output));
}

bool TCZIP32::CheckArchive(const std::string& archivePath, int mode, int flags) {
  return zipLibrary.Bind().CheckArchive(archivePath, mode) != FALSE;
}

bool TCZIP32::SetOwnerWindow(HWND window) {
  BOOL done = zipLibrary.Bind().SetOwnerWindowEx(window, nullptr);
  TArchiver::SetOwnerWindow(window);
  return done != FALSE;
}

bool IsZipArchive(const std::string& path) {
  return ProbeLibrary(zipLibrary, path, {.existingFileOnly = true});
}
