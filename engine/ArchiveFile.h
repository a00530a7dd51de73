// The archive component: the one object through which the windows work on an
// archive. It decides the archive's kind, owns the matching driver, forwards
// listing, extraction, adding, deleting and self-extractor creation to it, and
// turns the library's progress messages into OnProgress.
//
// Strings are in the system code page (what the libraries take); the windows
// convert at their side. Every operation returns the library's result
// unchanged (0 = success); engine failures are EArchiver exceptions.
//
// Listing: SetFileName(path); OpenArchive(window, 1) == 0; FindFirst("*.*",
// &record), then FindNext(&record) while 0; CloseArchive().
#pragma once

#include "engine/Archiver.h"

#include <exception>
#include <functional>
#include <memory>
#include <string>

class TArchiveFile;

// Called on the window thread from inside a running operation (the library
// sends its progress while the command runs). Setting abort stops the command
// (the library returns 0x8020); state 2053 is a file taken by the collector.
// An exception thrown here stops the command and comes out of the operation.
using TArchiverProgressEvent =
    std::function<void(TArchiveFile* sender, int state, LPEXTRACTINGINFOEX lpEis, bool& abort)>;

// The kind a file name's extension names: atNone for an unknown extension,
// atAutoDetect for ".exe" (self-extractors are told by their content).
TArchiverType ArchiveKindFromExtension(const std::string& fileName);

// What the component asks of the drivers: the driver for a kind, its library
// bound (raises ENoArchiverDLL when the library is missing), and a file's
// kind by its content (never raises).
struct TDriverFactory {
  std::unique_ptr<TArchiver> (*create)(TArchiverType kind);
  TArchiverType (*kindFromContent)(const std::string& path);
};

class TArchiveFile {
 public:
  // With the program's own driver table (drivers/DriverTable.cpp).
  TArchiveFile();
  explicit TArchiveFile(TDriverFactory drivers);
  ~TArchiveFile();
  TArchiveFile(const TArchiveFile&) = delete;
  TArchiveFile& operator=(const TArchiveFile&) = delete;

  // Setting the path first sets ArchiverType from the extension (".exe": from
  // the content); when that raises, FileName stays as it was.
  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& fileName);

  // Size of the output buffer handed to the library; 0 = no buffer.
  int OutputSize() const { return static_cast<int>(outputBuffer_.size()); }
  void SetOutputSize(int size);
  // The library's output text of the last command (NUL-terminated inside).
  const char* OutputText() const { return outputBuffer_.c_str(); }

  // Used by every operation that is given no options of its own.
  TArchiverOptions& Options() { return *options_; }
  void SetOptions(const TArchiverOptions& options) { options_->Assign(options); }

  // Setting atLha..atBga creates that kind's driver (the previous one stays when
  // its library is missing: ENoArchiverDLL); atNone changes nothing;
  // atAutoDetect keeps the driver and detects the kind at the next listing,
  // Add or Delete; atYz1, atGCA, atBel raise "書庫の形式を特定できませんでした。".
  TArchiverType ArchiverType() const { return archiverType_; }
  void SetArchiverType(TArchiverType type);

  TArchiverProgressEvent OnProgress;

  // The command line the last operation sent.
  const std::string& LastCommandLine() const { return lastCommandLine_; }
  // The driver of the current kind; null until a kind is set.
  TArchiver* Archiver() const { return archiver_.get(); }

  // Returns 0 when the archive opened, 1 when not.
  int OpenArchive(HWND window, DWORD mode);
  int FindFirst(const std::string& wildcard, TIndividualInfo* record);
  int FindNext(TIndividualInfo* record);
  void CloseArchive();

  // options may be null, meaning Options(). files: names or patterns as
  // TNameList sources; entry paths for Extract and Delete, files to add for Add
  // (relative ones against baseDirectory).
  int Extract(HWND window, const TArchiverOptions* options, const std::string& directory,
              const TNameList& files);
  // With PackFilter pfComponent the component collects the files itself
  // (wildcards, sub-folders, date window, exclusions) and hands the library
  // the exact list; 0x8020 when OnProgress cancelled the collection, 0 without
  // calling the library when nothing was found.
  int Add(HWND window, const TArchiverOptions* options, const std::string& baseDirectory,
          const TNameList& files);
  int Delete(HWND window, const TArchiverOptions* options, const std::string& directory,
             const TNameList& files);
  int MakeSfx(HWND window, const TArchiverOptions* options, const std::string& directory);

  // Component states: while designing only values are stored; while loading
  // from the stored form an unsupported kind is stored instead of refused.
  bool Designing = false;
  bool Loading = false;

 private:
  void ResolveKind();
  TArchiver& RequireArchiver();
  void Hook();
  void Unhook();
  void RethrowProgressFailure();
  template <typename Command>
  int RunHooked(TArchiver& archiver, Command command);
  int AddWithArchiver(HWND window, const TArchiverOptions& options,
                      const std::string& baseDirectory, const TNameList& files);
  static void RegisterProgressWindowClass(HINSTANCE instance);
  static LRESULT CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam);

  TDriverFactory drivers_;
  std::string fileName_;
  std::string outputBuffer_;
  std::unique_ptr<TArchiverOptions> options_;
  TArchiverType archiverType_ = atAutoDetect;
  std::unique_ptr<TArchiver> archiver_;
  std::string lastCommandLine_;
  HWND progressWindow_ = nullptr;
  bool hooked_ = false;
  std::exception_ptr progressFailure_;
  HARC handle_ = nullptr;
};
