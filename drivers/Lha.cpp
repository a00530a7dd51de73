#include "Lha.h"

#include <memory>

// The LHA command line, in the order it is built:
//
//   <command> -+ -a -c -e -f -h -i -l -m -n -o -p -r -s -t -u "-w<dir\>"
//   -x -y -z -jc -jd -je -jf -jh -ji -jm -jn "-jo<date>" "-job<date>"
//   -jp -jr -jsb -jsc -jsd -jse -jsf -jsl -jso -jss -jst -jsv -jsz -jw
//   "-jx<pattern>"... -jyc -jyd -jyk -jyn -jyo "-jz<text>"
//   -ga -gd -ge -gf -gj -gm -gn -go -gp "-gr<text>" -gs -gu -gw
//   <UserOptions> "<archive>" "<directory\>" "<name>"... | "@<response file>"
//   <UserFileList>
//
// A switch at -1 and an empty text are left out; -n becomes -n1 while an
// owner window is registered, so the library reports progress to it.

namespace {

std::unique_ptr<TArchiverDll> lhaLibrary;

}  // namespace

TArchiverDll& LhaLibrary() {
  if (!lhaLibrary) {
    lhaLibrary = std::make_unique<TArchiverDll>(L"LHA 形式書庫", L"UNLHA32.DLL", "Unlha");
    lhaLibrary->Load();
  }
  return *lhaLibrary;
}

std::string FullArchivePath(const std::string& path) {
  if (path.empty()) return path;
  DWORD length = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
  if (length == 0) return path;
  std::string full(length, '\0');
  length = GetFullPathNameA(path.c_str(), length, full.data(), nullptr);
  if (length == 0 || length >= full.size()) return path;
  full.resize(length);
  return full;
}

bool IsProbeableFile(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsLhaArchive(const std::string& path) {
  try {
    TArchiverDll& library = LhaLibrary();
    std::string full = FullArchivePath(path);
    if (!IsProbeableFile(full)) return false;
    if (!library.CheckArchive(full, CHECKARCHIVE_ALL)) return false;
    return ProbeByOpenArchive(library, full, false);
  } catch (...) {
    // A missing library or entry only means "not this kind".
    return false;
  }
}

void TCLHA32::LoadDLL() {
  // The binding is stored before it loads: a failed load raises here and is
  // tried again by the binding's next loading call.
  if (!lhaLibrary) LhaLibrary();
}

void TCLHA32::FreeDLL() { lhaLibrary.reset(); }

TArchiverDll& TCLHA32::Library() { return LhaLibrary(); }

std::string TCLHA32::BuildCommandLine(const std::string& command, const std::string& archivePath,
                                      const TArchiverOptions& o, const std::string& directory,
                                      const TNameList& files, bool useResponseFile) {
  TCmdOpt cmd;
  cmd.AddRaw("-+");
  for (auto [name, value] : {std::pair{"a", o.a}, {"c", o.c}, {"e", o.e}, {"f", o.f}, {"h", o.h},
                             {"i", o.i}, {"l", o.l}, {"m", o.m}})
    cmd.AddNumber(name, value);
  cmd.AddNumber("n", HasOwnerWindow() ? 1 : o.n);
  for (auto [name, value] : {std::pair{"o", o.o}, {"p", o.p}, {"r", o.r}, {"s", o.s}, {"t", o.t},
                             {"u", o.u}})
    cmd.AddNumber(name, value);
  cmd.AddDir("w", o.w);
  for (auto [name, value] : {std::pair{"x", o.x}, {"y", o.y}, {"z", o.z}, {"jc", o.jc},
                             {"jd", o.jd}, {"je", o.je}, {"jf", o.jf}, {"jh", o.jh}, {"ji", o.ji},
                             {"jm", o.jm}, {"jn", o.jn}})
    cmd.AddNumber(name, value);
  cmd.AddValue("jo", o.jo);
  cmd.AddValue("job", o.job);
  for (auto [name, value] :
       {std::pair{"jp", o.jp}, {"jr", o.jr}, {"jsb", o.jsb}, {"jsc", o.jsc}, {"jsd", o.jsd},
        {"jse", o.jse}, {"jsf", o.jsf}, {"jsl", o.jsl}, {"jso", o.jso}, {"jss", o.jss},
        {"jst", o.jst}, {"jsv", o.jsv}, {"jsz", o.jsz}, {"jw", o.jw}})
    cmd.AddNumber(name, value);
  cmd.AddFiles("jx", {o.jx});
  for (auto [name, value] : {std::pair{"jyc", o.jyc}, {"jyd", o.jyd}, {"jyk", o.jyk},
                             {"jyn", o.jyn}, {"jyo", o.jyo}})
    cmd.AddNumber(name, value);
  cmd.AddValue("jz", o.jz);
  for (auto [name, value] : {std::pair{"ga", o.ga}, {"gd", o.gd}, {"ge", o.ge}, {"gf", o.gf},
                             {"gj", o.gj}, {"gm", o.gm}, {"gn", o.gn}, {"go", o.go}, {"gp", o.gp}})
    cmd.AddNumber(name, value);
  cmd.AddValue("gr", o.gr);
  for (auto [name, value] : {std::pair{"gs", o.gs}, {"gu", o.gu}, {"gw", o.gw}})
    cmd.AddNumber(name, value);
  cmd.AddRaw(o.UserOptions);
  AddTarget(cmd, archivePath, directory);
  AddFileList(cmd, o, useResponseFile, files);
  return command + cmd.Text();
}

int TCLHA32::SendCommand(HWND window, const std::string& command, const std::string& archivePath,
                         const TArchiverOptions& options, const std::string& directory,
                         const TNameList& files, bool useResponseFile, std::string& output) {
  LastCommandLine =
      BuildCommandLine(command, archivePath, options, directory, files, useResponseFile);
  return Library().Command(window, LastCommandLine, output.data(),
                           static_cast<DWORD>(output.size()));
}

int TCLHA32::Extract(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                     const std::string& directory, const TNameList& files, bool useResponseFile,
                     std::string& output) {
  return SendCommand(window, "x", archivePath, options, directory, files, useResponseFile, output);
}

int TCLHA32::Add(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                 const std::string& directory, const TNameList& files, bool useResponseFile,
                 std::string& output) {
  return SendCommand(window, "u", archivePath, options, directory, files, useResponseFile, output);
}

int TCLHA32::Delete(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                    const std::string&, const TNameList& files, bool useResponseFile,
                    std::string& output) {
  return SendCommand(window, "d", archivePath, options, "", files, useResponseFile, output);
}

int TCLHA32::Update(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                    const std::string& directory, const TNameList& files, bool useResponseFile,
                    std::string& output) {
  return SendCommand(window, "f", archivePath, options, directory, files, useResponseFile, output);
}

int TCLHA32::MakeSfx(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                     const std::string& directory, std::string& output) {
  return SendCommand(window, "s", archivePath, options, directory, {}, false, output);
}

int TCLHA32::ExtractMem(HWND window, const std::string& archivePath,
                        const TArchiverOptions& options, const std::string& entryName,
                        BYTE* buffer, DWORD size, DWORD* written) {
  LastCommandLine = BuildCommandLine("", archivePath, options, "", {entryName}, false);
  return Library().ExtractMem(window, LastCommandLine, buffer, size, nullptr, nullptr, written);
}

