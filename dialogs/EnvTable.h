// The table of display environments (section "Environ" of the program's
// settings file): ten rows of name, environment file and file-name masks.
// Plain code: the environment dialog edits it, the viewer asks it which
// environment a file picks.
#pragma once

#include "IniGT.h"

#include <array>
#include <string>

struct TEnvEntry {
  std::wstring name;   // empty: a free row
  std::wstring file;   // full path of its environment file
  std::wstring masks;  // "*.c,*.h"
  bool operator==(const TEnvEntry&) const = default;
};

class TEnvTable {
 public:
  static constexpr int kRows = 10;
  static constexpr const wchar_t* kDefaultName = L"Default";

  TEnvTable();  // row 1 "Default", "*.*", default.env beside the program

  // The settings file's table (missing keys: the defaults).
  void Read(const TIniGT& ini);
  void Write(TIniGT& ini) const;

  TEnvEntry& Row(int index) { return rows_[index]; }  // 0-based
  const TEnvEntry& Row(int index) const { return rows_[index]; }

  // The row a file name picks: the first of rows 2..10 with a name one of whose
  // masks matches, else row 1 (0-based result).
  int Choose(const std::wstring& fileName) const;
  // The first row whose name equals name without regard to case, or -1.
  int Find(const std::wstring& name) const;
  // The first of rows 2..10 whose name equals name (case-insensitive) or is empty, or -1.
  int TargetForSave(const std::wstring& name) const;
  // Rows after index move up by one; row 10 becomes free.
  void Delete(int index);
  // What loading an environment named name does: a row of that name gets the
  // masks; otherwise the first free row gets all three. The row touched, or -1 (table full).
  int Merge(const std::wstring& name, const std::wstring& masks, const std::wstring& file);

  static std::wstring DefaultFile();  // the program's folder + "default.env"

 private:
  std::array<TEnvEntry, kRows> rows_;
};

// Masks separated by commas (blanks around each ignored); "*" and "?" as in
// file names, letter case ignored. Empty masks match nothing.
bool MatchesMasks(const std::wstring& fileName, const std::wstring& masks);
bool MatchesMask(const std::wstring& fileName, const std::wstring& mask);
