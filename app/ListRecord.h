// One display record per archive entry: the texts the list view shows, kept
// here because a virtual list view asks for them by index.
#pragma once

#include "engine/ArchiverApi.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Field widths follow the largest texts the formats can produce, so a record
// stays small (archives with 100,000 entries are kept in memory at once).
struct TListRecord {
  static constexpr int32_t IconUnknown = -1;  // the system icon is looked up when first shown
  int32_t iconIndex = 0;
  std::wstring name;     // at most 255 characters
  std::wstring folder;   // "\" as separator, no trailing "\"; at most 255 characters
  wchar_t date[11] = {};
  wchar_t time[9] = {};
  wchar_t size[14] = {};
  wchar_t ratio[9] = {};
  wchar_t compressed[14] = {};

  // The text of column 0 (name) to 6 (folder).
  const wchar_t* ColumnText(int column) const;
};

enum { ListColumnCount = 7 };

// Number texts in the locale's style, computed once per listing.
struct TNumberStyle {
  wchar_t thousands = L',';
  wchar_t decimal = L'.';
  static TNumberStyle FromLocale();
};

// "%8.0n": thousands separators, no decimals, at least 8 characters, right-aligned.
std::wstring FormatSize(uint64_t value, const TNumberStyle& style);
// "%3.1n%%" of tenths of a percent: one decimal, at least 3 characters, then "%".
std::wstring FormatRatio(unsigned tenths, const TNumberStyle& style);
std::wstring FormatDosDate(WORD date);  // "YYYY/MM/DD"
std::wstring FormatDosTime(WORD time);  // "HH:MM:SS", seconds stored halved

// "/" and "\" both separate folders; the name is the part after the last one.
void SplitEntryName(const std::wstring& stored, std::wstring& folder, std::wstring& name);
// How the engine names an entry: folder + "/" + name, with "/" throughout.
std::wstring EntryPath(const TListRecord& record);

// Fills a record from a library's entry record (names in the ANSI code page).
void FillListRecord(TListRecord& record, const TIndividualInfo& info, const TNumberStyle& style);

// Sorts by the text of column (locale-aware, case-sensitive); descending reverses.
void SortListRecords(std::vector<TListRecord>& records, int column, bool descending);
