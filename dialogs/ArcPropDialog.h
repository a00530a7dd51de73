// The archive properties dialog: facts of the open archive, the read-only
// switch and the base folder for adding.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

class TArcProp {
 public:
  // What the main window knows of its archive.
  struct TFacts {
    std::wstring Name;           // without folder
    bool FileKnown = false;      // the archive file exists
    FILETIME WriteTime{};        // of the archive file
    uint64_t ArchiveSize = 0;
    bool ListingAvailable = true;
    int64_t EntryCount = 0;
    uint64_t OriginalSize = 0;   // sum over the entries
    std::wstring CompressionType;
    bool EditableKind = false;   // LZH, ZIP and CAB archives can be changed
  };
  struct TTexts {
    std::wstring Name, Mdate, FilesN, ASize, CType, OrgSize, TotalRatio;
    bool CanEditEnabled = false;
  };
  // The value labels as the dialog shows them; plain code for tests.
  static TTexts TextsFor(const TFacts& facts);

  // The editable values: handed back however the dialog is closed.
  struct TChoice {
    bool ReadOnly = true;
    std::wstring BaseDir;
  };
  static TChoice ShowModal(HWND owner, const TFacts& facts, const TChoice& initial);

  // Handlers, named after their controls and events.
  static void BaseDirButtonClick(HWND dialog);

 private:
  static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
};
