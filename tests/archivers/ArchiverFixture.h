// Loads one of our archiver libraries by file name (as Tavix does) and gives
// the tests typed entries, a scratch folder and small file helpers.
#pragma once

#include <windows.h>

#include "archivers/core/ArcApi.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;

// The records as the libraries fill them.
using EntryRecord = INDIVIDUALINFO;
using ProgressRecord = EXTRACTINGINFOEX;

class ArchiverLibrary {
 public:
  ArchiverLibrary(const wchar_t* file, const std::string& prefix);
  int Command(const std::string& line, std::string* output = nullptr, HWND window = nullptr);
  HGLOBAL Open(const std::string& path, DWORD mode = 0);
  int FindFirst(HGLOBAL handle, const std::string& wildcard, EntryRecord* record);
  int FindNext(HGLOBAL handle, EntryRecord* record);
  int Close(HGLOBAL handle);
  BOOL Check(const std::string& path, int mode);
  int ExtractMem(const std::string& line, std::vector<char>& buffer, DWORD* written);
  BOOL SetOwner(HWND window);
  BOOL KillOwner(HWND window);
  BOOL Running();
  BOOL WriteTime(HGLOBAL handle, FILETIME* time);
  int ArchiveType(const std::string& path);
  // Every record of a listing (wildcard "*.*").
  std::vector<EntryRecord> List(const std::string& path, const std::string& wildcard = "*.*");
  HMODULE Module() const { return module_; }

 private:
  void* Entry(const char* suffix) const;
  HMODULE module_;
  std::string prefix_;
};

// A fresh folder per test, removed afterwards.
class ScratchTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  fs::path Path(const std::wstring& relative) const { return root_ / relative; }
  // ANSI text of a path for command lines.
  static std::string A(const fs::path& path);
  // A UTF-8 literal in the ANSI code page, as the libraries take and give names.
  static std::string S(const char* utf8);
  static std::string Q(const fs::path& path) { return "\"" + A(path) + "\""; }
  static std::string QFolder(const fs::path& path) { return "\"" + A(path) + "\\\""; }
  static void Write(const fs::path& path, const std::string& content);
  static std::string Read(const fs::path& path);
  static std::string Pattern(size_t size, uint32_t seed);  // compressible but not trivial
  static void SetTime(const fs::path& path, int year);
  fs::path root_;
};

// Window that records "wm_arcextract" reports and can answer "stop".
class ProgressWindow {
 public:
  ProgressWindow();
  ~ProgressWindow();
  HWND Handle() const { return window_; }
  struct Report {
    WPARAM state;
    ProgressRecord record;
  };
  std::vector<Report> reports;
  int stopAtState = -1;  // answer non-zero to the first report of this state
  std::string stopForSource;  // when set: only to a report about this entry
  std::function<void()> during;  // runs inside the first INPROCESS report

 private:
  static LRESULT CALLBACK Procedure(HWND, UINT, WPARAM, LPARAM);
  HWND window_;
  UINT message_;
  bool ran_ = false;
};

// Tiny archive builders for hostile input that our own writers refuse to make.
std::string LhaLevel0Stored(const std::vector<std::pair<std::string, std::string>>& entries);
std::string LhaLevel2Stored(const std::string& folderBytes, const std::string& name, const std::string& data);
// Little-endian fields of the binary headers the tests build.
void Put16(std::string& out, uint32_t v);
void Put32(std::string& out, uint32_t v);
// zlib at level 9: windowBits -15 raw deflate, 31 a gzip stream.
std::string Deflated(const std::string& data, int windowBits);
std::string TarStored(const std::vector<std::pair<std::string, std::string>>& entries);
// A ustar header of any type (hard links: '1' with a link name) and its data.
std::string TarEntry(const std::string& name, char type, const std::string& link, const std::string& data);
uint16_t Crc16(const std::string& data);
