// The program's command line: which start-up job it asks for and what it
// names. Plain code without a window, so that every form can be checked
// directly; the main window runs the job (MainCommandLine.cpp).
#pragma once

#include "engine/ArchiveFile.h"

#include <functional>
#include <string>
#include <vector>

struct TCommandLine {
  bool melt = false;            // /MELT: the archives the shell extension handed over
  bool pack = false;            // /PACK, /PACKS, /AUTOPACK: the handed-over files into a new archive
  bool packEach = false;        // /PACKS, /AUTOPACK: one archive per file, then the program ends
  bool extractAndExit = false;  // -M, or IsDropToIcon
  bool add = false;             // -A files
  bool compressFile = false;    // the text names no archive: that file into a new archive
  bool view = false;            // /VIEW file: the viewer on a file, then the program ends
  std::wstring text;            // the text left, upper-cased
  std::wstring given;           // the same text as it was typed
  std::wstring fileToCompress;
  std::wstring fileToView;
  std::vector<std::wstring> addFiles;  // the arguments after -A, as typed

  // Nothing asked for: the window starts with a new archive.
  bool Empty() const { return !melt && !pack && !add && !view && given.empty(); }
};

// The kind an archive path selects; atAutoDetect when it names no archive.
using TKindOf = std::function<TArchiverType(const std::wstring& path)>;

// Parses the process's full command line (program path first). Switches are
// whole arguments: a path that merely contains "-a" stays a path.
TCommandLine ParseCommandLine(const std::wstring& commandLine, int isDropToIcon, const TKindOf& kindOf);

// The path with every existing component in its true case and long name;
// "\\server" paths and empty ones unchanged.
std::wstring LongForm(const std::wstring& path);
