// The command handlers of our three ZIP libraries (UNZIP32, ZIP32J, QXZIP32).
#pragma once

#include "../core/ArcCore.h"

#include <memory>
#include <string>

namespace zip {

// UnZip: [-x] [-o] [-j] [--i] [-P<password>] [-t] archive [destination\] [names...]
// Extracts (or tests with -t); "--X" turns a switch off again.
int RunUnZip(HWND window, const std::string& line, arc::Output& output);

// Zip: [-d|-f|-u|-A] [-S -D -v -q -r -o -j -FF -k -J -0..-9 -P <password>]
// archive [base\] [names...] with Info-ZIP's meanings; letters may be combined
// ("-ru").
int RunZip(HWND window, const std::string& line, arc::Output& output);

// ExtractMem: the extraction switches and archive, then the one entry name.
int ExtractMem(HWND window, const std::string& line, arc::MemoryTarget& target, arc::Output& output);

std::unique_ptr<arc::EntryCursor> OpenListing(const std::wstring& path, DWORD mode);
bool CheckZip(const std::wstring& path, int mode);

}  // namespace zip
