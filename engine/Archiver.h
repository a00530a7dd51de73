// The driver base class every archive family derives from, and the switch set
// handed to every archive operation.
//
// Writing a driver for a library of the common archiver family:
//  - derive from TLibraryArchiver (drivers/LibraryArchiver.h) and give it the
//    family's table: its shared library binding, the command word of each
//    operation it offers and its switch table, in command-line order; an
//    operation without a word raises the base message below and sends nothing;
//  - override an operation only where the family does more than send one line
//    (another library, an outside program);
//  - constructors load nothing: CreateDriver<T>() constructs the driver and
//    calls its LoadDLL at once;
//  - register the class and its probe (ProbeLibrary) in drivers/DriverTable.cpp.
#pragma once

#include "engine/ArchiverApi.h"
#include "engine/ArchiverDll.h"
#include "engine/CmdOpt.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

// Archive kinds, in the order the settings and the main window store them.
enum TArchiverType : int {
  atLha = 0,
  atZip = 1,
  atCab = 2,
  atArj = 3,
  atTar = 4,
  atTgz = 5,
  atBZ2 = 6,
  atRar = 7,
  atBga = 8,
  atYz1 = 9,
  atGCA = 10,
  atBel = 11,
  atNone = 12,
  atAutoDetect = 13,
};

// A text that is not a valid number, date or time, or an assignment between
// objects of unrelated kinds. A kin of EArchiver so that the general error
// display shows its message like any other engine failure.
class EConvertError : public EArchiver {
 public:
  using EArchiver::EArchiver;
};

// The persistent-object root: objects that can copy their state from another
// object of a kind they know, and refuse every other kind.
class TPersistent {
 public:
  virtual ~TPersistent() = default;
  virtual const wchar_t* ClassName() const { return L"TPersistent"; }
  // Copies source's state onto this object; raises EConvertError
  // "Cannot assign a <source class> to a <this class>" for a kind it does not know.
  virtual void Assign(const TPersistent& source);
  bool operator==(const TPersistent&) const { return true; }  // no state of its own

 protected:
  [[noreturn]] void AssignError(const TPersistent* source) const;
};

enum TPackFilter : int { pfArchiver = 0, pfComponent = 1 };

enum TResFileUse : int { ruOnPack = 0, ruOnUnpack = 1, ruOnRemoveItem = 2, ruOnUpdate = 3 };

// A set of TResFileUse.
class TResFileUsage {
 public:
  constexpr TResFileUsage() = default;
  constexpr TResFileUsage(std::initializer_list<TResFileUse> members) {
    for (auto m : members) bits_ |= Bit(m);
  }
  constexpr bool Contains(TResFileUse member) const { return (bits_ & Bit(member)) != 0; }
  constexpr void Include(TResFileUse member) { bits_ |= Bit(member); }
  constexpr void Exclude(TResFileUse member) { bits_ &= ~Bit(member); }
  constexpr bool operator==(const TResFileUsage&) const = default;

 private:
  static constexpr unsigned Bit(TResFileUse member) { return 1u << static_cast<unsigned>(member); }
  unsigned bits_ = 0;
};

// One 8-bit switch: -1 means "not given", 0 or more is the switch's value.
using TSwitch = std::int8_t;

// The switch set of every archive operation. Names are the LHA library's
// switch letters; the LZH driver writes every one of them, the other drivers
// read the few they have an equivalent for.
class TArchiverOptions : public TPersistent {
 public:
  TArchiverOptions() = default;
  TArchiverOptions(const TArchiverOptions&) = default;
  TArchiverOptions& operator=(const TArchiverOptions&) = default;

  const wchar_t* ClassName() const override { return L"TArchiverOptions"; }
  // Copies every property (jx line by line); any other kind of source is refused.
  void Assign(const TPersistent& source) override;
  // Every property back to its default.
  void Reset();

  TSwitch a = -1, c = -1, e = -1, f = -1, h = -1, i = -1, l = -1, m = -1, n = -1, o = -1, p = -1,
          r = -1, s = -1, t = -1, u = -1;
  std::string w;  // work directory
  TSwitch x = -1, y = -1, z = -1, jc = -1, jd = -1, je = -1, jf = -1, jh = -1, ji = -1, jm = -1,
          jn = -1;
  std::string jo, job;  // date bounds: [l]YYMMDD[hhmmss] or [l]YYYYMMDD[hhmmss]
  TSwitch jp = -1, jr = -1, jsb = -1, jsc = -1, jsd = -1, jse = -1, jsf = -1, jsl = -1, jso = -1,
          jss = -1, jst = -1, jsv = -1, jsz = -1, jw = -1;
  std::vector<std::string> jx;  // exclusion patterns
  TSwitch jyc = -1, jyd = -1, jyk = -1, jyn = -1, jyo = -1;
  std::string jz;
  TSwitch ga = -1, gd = -1, ge = -1, gf = -1, gj = -1, gm = -1, gn = -1, go = -1, gp = -1;
  std::string gr;
  TSwitch gs = -1, gu = -1, gw = -1;
  std::string UserOptions;   // appended raw after the switches
  std::string UserFileList;  // appended raw after the file names
  TPackFilter PackFilter = pfComponent;
  std::string ResFileName;  // response file path; empty = names go on the command line
  TResFileUsage ResFileUsage{ruOnPack, ruOnUnpack, ruOnRemoveItem};

  bool operator==(const TArchiverOptions&) const = default;
};

// The abstract driver of one archive format. The virtual operations are
// declared in their fixed slot order (0-15).
class TArchiver {
 public:
  TArchiver() = default;
  TArchiver(const TArchiver&) = delete;
  TArchiver& operator=(const TArchiver&) = delete;
  virtual ~TArchiver() = default;

  // 0, 1: bind and release the family's process-wide library binding.
  virtual void LoadDLL();
  virtual void FreeDLL();
  // 2-5: listing. The base has no library: no handle, no entries.
  virtual HARC OpenArchive(HWND window, const std::string& path, DWORD mode);
  virtual int FindFirst(HARC handle, const std::string& wildcard, TIndividualInfo* record);
  virtual int FindNext(HARC handle, TIndividualInfo* record);
  virtual int CloseArchive(HARC handle);
  // 6-9: command operations. output is the caller's output buffer; its size()
  // is the size offered to the library (0 = the library gets a null buffer).
  virtual int Extract(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                      const std::string& directory, const TNameList& files, bool useResponseFile,
                      std::string& output) = 0;
  virtual int Add(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                  const std::string& directory, const TNameList& files, bool useResponseFile,
                  std::string& output);
  virtual int Delete(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                     const std::string& directory, const TNameList& files, bool useResponseFile,
                     std::string& output);
  virtual int Update(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                     const std::string& directory, const TNameList& files, bool useResponseFile,
                     std::string& output);
  // 10
  virtual int MakeSfx(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                      const std::string& directory, std::string& output);
  // 11: extracts one entry into buffer; written receives the byte count.
  virtual int ExtractMem(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                         const std::string& entryName, BYTE* buffer, DWORD size, DWORD* written);
  // 12
  virtual bool CheckArchive(const std::string& archivePath, int mode, int flags);
  // 13, 14: the base only keeps the owner window and answers false; an
  // override calls the base first (13) or last (14) around the library call.
  virtual bool SetOwnerWindow(HWND window);
  virtual bool KillOwnerWindow(HWND window);
  // 15: called before every Add; a family whose packer is another library loads it here.
  virtual void LoadPackDLL();

  // The last command line built and sent.
  std::string LastCommandLine;

  HWND OwnerWindow() const { return ownerWindow_; }
  // True while an owner window is registered; drivers then add their own
  // "report progress" switch (the LHA family writes -n1).
  bool HasOwnerWindow() const { return ownerWindow_ != nullptr; }

 protected:
  // The archive path quoted, then the directory quoted with a trailing backslash.
  static void AddTarget(TCmdOpt& cmd, const std::string& archivePath, const std::string& directory);
  // The names into ResFileName (when useResponseFile and ResFileName is set)
  // or onto the line, then UserFileList raw. Returns the number of names.
  static int AddFileList(TCmdOpt& cmd, const TArchiverOptions& options, bool useResponseFile,
                         const TNameList& files);

 private:
  HWND ownerWindow_ = nullptr;
};

// Constructs a driver and binds its library, the way every driver comes to life.
template <typename Driver>
std::unique_ptr<TArchiver> CreateDriver() {
  auto driver = std::make_unique<Driver>();
  driver->LoadDLL();
  return driver;
}
