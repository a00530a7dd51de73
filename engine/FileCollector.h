// Turns the names given to Add into the exact, sorted list of files to add:
// wildcards, sub-folders, hidden and system files, a date window and
// exclusion patterns, as the options ask. Plain functions, no state.
#pragma once

#include "engine/Archiver.h"

#include <functional>
#include <string>
#include <vector>

// The collector's own progress state: one file taken into the list.
constexpr int CollectProgressState = 2053;

// Receives each newly taken file (its name in szSourceFileName); setting
// abort cancels the collection.
using TCollectProgress = std::function<void(int state, LPEXTRACTINGINFOEX record, bool& abort)>;

// Collects the files named by files (paths or patterns, absolute or relative
// to baseDirectory), reading options a, r, p, x, ji, jf, jo, job and jx. An
// empty folder met on the way is taken itself when folder names are stored
// (x not 0), so that it is not lost; other folders never are. The
// result is sorted and free of duplicates, both case-insensitively. At the
// end the options hold r = -1, p = 1 and empty jo and job, so the library
// neither recurses nor filters dates again.
//
// The current directory is baseDirectory while collecting and is restored in
// every case. cancel is set when progress asked to stop. Raises EConvertError
// for a bad date text in jo/job, EArchiver when baseDirectory cannot be entered.
std::vector<std::string> CollectFiles(TArchiverOptions& options, const std::string& baseDirectory,
                                      const TNameList& files, bool& cancel,
                                      const TCollectProgress& progress);

// A jo/job date text, [l]YYMMDD[hhmmss] or [l]YYYYMMDD[hhmmss], as local time
// in 100 ns ticks; defaultTime (hhmmss) when the text has no time; 0 (no
// bound) for any other length. Raises EConvertError for a non-number or an
// impossible date or time.
ULONGLONG DateTextToLocalTime(const std::string& text, const std::string& defaultTime);
