// The rules of the add step, Save As and delete that need no window: which
// base folder and names the library gets, the archive a new one is named
// after, and the save dialog's filters. The main window's commands use them.
#pragma once

#include "Archiver.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

// The base folder the user set (empty: none) wins over folders inside it.
// Returns the folder with one trailing backslash.
std::wstring BaseFolderRule(const std::wstring& baseFolder, const std::wstring& folder);

// "-gb" in front of a name the library would read as a switch or a response file.
std::wstring MarkLiteralName(const std::wstring& name);

// One library call of the add step: names relative to base.
struct TAddCall {
  std::wstring base;
  std::vector<std::wstring> names;
};
struct TAddPlan {
  int x = 0;   // store folder names
  int jf = 0;  // store them from the root
  std::vector<TAddCall> calls;
};
// Files from several folders go in one call per base folder: cut by the first
// file's base, names from elsewhere would turn into other names.
TAddPlan PlanAdd(const std::vector<std::wstring>& files, int packDirOption, const std::wstring& baseFolder,
                 const std::function<bool(const std::wstring&)>& isFolder);

// The archive a new one is named after when AutoNaming is on: in the folder of
// the archive path (by the base-folder rule), the first file's name with the
// archive's extension.
std::wstring AutoNamedArchive(const std::wstring& archivePath, const std::wstring& firstFile,
                              const std::wstring& baseFolder);

struct TSaveAsChoice {
  std::wstring filter;            // "text|pattern|..." as the dialog's filter list
  std::wstring defaultExtension;  // without dot
};
TSaveAsChoice SaveAsChoiceFor(TArchiverType kind, const std::wstring& archivePath);
// The filter list in the form the common dialog takes ("a\0b\0...\0\0").
std::wstring FilterForDialog(const std::wstring& filter);

// Path parts as the add step takes them (no trailing backslash on folders).
std::wstring FolderOf(const std::wstring& path);
std::wstring FileNameOf(const std::wstring& path);

// The jm value the library gets for the compression choice of the new-archive
// dialog: the LZH index is the library's own method number; a ZIP choice is
// labelled by the level it stands for (ZIP/0, ZIP/1, ZIP/5, ZIP/9).
int CompressionSwitch(TArchiverType kind, int index);
