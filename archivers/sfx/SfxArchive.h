// What every self-extractor stub does with the archive appended to it: find it,
// check all of it, then extract it inside one destination folder.
#pragma once

#include "archivers/core/ArcCore.h"

#include <functional>
#include <memory>
#include <string>

namespace sfx {

// The archive appended to program (any family: LZH, ZIP, CAB, TAR, TGZ, BGA...).
// Throws arc::Error 0x8019 when nothing or nothing readable is appended.
std::unique_ptr<arc::EntryReader> OpenAppendedArchive(const std::wstring& program);

// Result of reading the whole archive once without writing anything.
struct Survey {
  bool intact = false;
  std::wstring problem;   // why not, for the message
  int files = 0;
  uint64_t bytes = 0;
  std::string definition;  // contents of a top-level "$" entry (installer definition)
  std::string message;     // contents of a top-level "!" entry (installer message)
  bool hasDefinition = false;
  bool hasMessage = false;
};
Survey SurveyArchive(const std::wstring& program);

enum class Overwrite { Ask, Always, Never, IfNewer };
enum class Answer { Yes, No, All, Cancel };

struct ExtractSettings {
  std::wstring destination;
  Overwrite overwrite = Overwrite::Never;
  bool askWhenNewerOnly = false;  // with Ask: ask only when the entry is newer
  bool restoreAttributes = false;
  bool skipInstallerFiles = false;  // leave the "$" and "!" entries in the archive
  std::function<Answer(const std::wstring& path)> ask;  // for Overwrite::Ask
  std::function<bool(const std::wstring& name)> step;  // each file written; false = stop
};

struct ExtractOutcome {
  int code = 0;  // 0, arc error code, or 0x8020 when stopped
  std::wstring problem;
  int written = 0;
  int kept = 0;     // existing files left alone
  int refused = 0;  // entries without a usable name, or with a folder in their place
};
ExtractOutcome ExtractArchive(const std::wstring& program, const ExtractSettings& settings);

// Exit codes of every stub.
enum ExitCode { ExitOk = 0, ExitCancelled = 1, ExitDamaged = 2, ExitWriteFailed = 3 };

}  // namespace sfx
