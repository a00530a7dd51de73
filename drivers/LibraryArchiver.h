// What every driver backed by one archiver library shares: the process-wide
// binding, listing through the library (the archive as a full path), the
// check, the owner-window pair, the command operations built from the
// family's table and the open-and-close probe. A driver gives its table: the
// command word of each operation and the switch table.
#pragma once

#include "engine/Archiver.h"

#include <functional>
#include <memory>
#include <string>

// The process-wide binding of one family's library, shared by every driver
// of the family and its probe.
class TLibraryBinding {
 public:
  virtual ~TLibraryBinding() = default;
  // Created and loaded on first use. Kept when loading fails, so the
  // failure recurs at the binding's next loading operation.
  virtual TCustomArchiverDll& Bind() = 0;
  virtual void Release() = 0;
};

template <typename Dll>
class TSharedLibrary final : public TLibraryBinding {
 public:
  // The arguments of the binding's constructor, kept until first use.
  template <typename... Args>
  explicit TSharedLibrary(Args... args) : make_([=] { return std::make_unique<Dll>(args...); }) {}

  Dll& Bind() override {
    if (!dll_) {
      dll_ = make_();
      dll_->Load();
    }
    return *dll_;
  }
  void Release() override { dll_.reset(); }
  // Null until first used.
  Dll* Current() const { return dll_.get(); }

 private:
  std::function<std::unique_ptr<Dll>()> make_;
  std::unique_ptr<Dll> dll_;
};

enum class TOperation { Extract, Add, Delete, Update, MakeSfx, ExtractMem };

// Whether an operation's names go into the response file: as the caller
// says, as the options' ResFileUsage says for one use, or never.
enum class TResponseChoice { Caller, Never, OnPack, OnUnpack, OnRemoveItem };

// One operation of a family: its command word and how its line is built.
struct TCommandWord {
  const char* word = nullptr;  // null: the family has no such operation
  TResponseChoice response = TResponseChoice::Caller;
  bool withFolder = true;       // false: entries are named inside the archive
  bool fullArchivePath = false;  // the archive made absolute first
  const char* flatWord = nullptr;  // the word instead when the options ask for no folders (x = 0)
};

class TLibraryArchiver;

// A family's driver table: its library, its command words and its switch
// table. The line is: word, switches, archive and folder, names.
struct TFamilyTable {
  TLibraryBinding& library;
  TCommandWord extract, add, remove, update, sfx, memory;
  // Adds the switches of one operation, in command-line order.
  void (*addSwitches)(TCmdOpt& cmd, const TArchiverOptions& options, TOperation operation,
                      const TLibraryArchiver& driver) = nullptr;
  // Null: "archive" "folder\".
  void (*addTarget)(TCmdOpt& cmd, const std::string& archivePath,
                    const std::string& directory) = nullptr;
  // Null: the library's Command entry.
  int (*send)(TCustomArchiverDll& library, TOperation operation, HWND window,
              const std::string& commandLine, std::string& output) = nullptr;
  // Raises, before any line is built, when the operation needs a library of
  // the family that is missing. Null: nothing to check.
  void (*require)(TCustomArchiverDll& library, TOperation operation) = nullptr;
};

class TLibraryArchiver : public TArchiver {
 public:
  explicit TLibraryArchiver(const TFamilyTable& table) : table_(table) {}

  void LoadDLL() override;
  void FreeDLL() override;
  HARC OpenArchive(HWND window, const std::string& path, DWORD mode) override;
  int FindFirst(HARC handle, const std::string& wildcard, TIndividualInfo* record) override;
  int FindNext(HARC handle, TIndividualInfo* record) override;
  int CloseArchive(HARC handle) override;
  // An operation without a command word raises the base message and sends nothing.
  int Extract(HWND window, const std::string& archivePath, const TArchiverOptions& options,
              const std::string& directory, const TNameList& files, bool useResponseFile,
              std::string& output) override;
  int Add(HWND window, const std::string& archivePath, const TArchiverOptions& options,
          const std::string& directory, const TNameList& files, bool useResponseFile,
          std::string& output) override;
  int Delete(HWND window, const std::string& archivePath, const TArchiverOptions& options,
             const std::string& directory, const TNameList& files, bool useResponseFile,
             std::string& output) override;
  int Update(HWND window, const std::string& archivePath, const TArchiverOptions& options,
             const std::string& directory, const TNameList& files, bool useResponseFile,
             std::string& output) override;
  int MakeSfx(HWND window, const std::string& archivePath, const TArchiverOptions& options,
              const std::string& directory, std::string& output) override;
  int ExtractMem(HWND window, const std::string& archivePath, const TArchiverOptions& options,
                 const std::string& entryName, BYTE* buffer, DWORD size, DWORD* written) override;
  // The library's check with the sum of mode and flags.
  bool CheckArchive(const std::string& archivePath, int mode, int flags) override;
  // Bookkeeping first, then the library with a null callback.
  bool SetOwnerWindow(HWND window) override;
  // The library first; the window is forgotten also when that call raises
  // (a missing entry), so later command lines ask for no progress to it.
  bool KillOwnerWindow(HWND window) override;

 protected:
  // The family's binding, created and loaded on first use.
  TCustomArchiverDll& Library() { return table_.library.Bind(); }
  const TFamilyTable& Table() const { return table_; }
  // The whole line of one operation.
  std::string BuildCommandLine(const TCommandWord& command, TOperation operation,
                               const TArchiverOptions& options, const std::string& archivePath,
                               const std::string& directory, const TNameList& files,
                               bool useResponseFile) const;

 private:
  // Builds the line, keeps it as LastCommandLine and sends it.
  int SendCommand(const TCommandWord& command, TOperation operation, HWND window,
                  const std::string& archivePath, const TArchiverOptions& options,
                  const std::string& directory, const TNameList& files, bool useResponseFile,
                  std::string& output);

  const TFamilyTable& table_;
};

// How a family's probe looks at a file before it asks the library to open it.
struct TProbeRules {
  bool existingFileOnly = false;  // anything but an existing file is a no without asking
  bool checkFirst = false;        // the library's whole-file check must say yes first
  bool closeNullHandle = false;   // the close call is made for a null handle too
};

// True when the family's library opens the file (made absolute) with the
// probes' mode. Never raises: a missing library or entry, or a library that
// raises, only means "not this kind".
bool ProbeLibrary(TLibraryBinding& library, const std::string& path, TProbeRules rules);
