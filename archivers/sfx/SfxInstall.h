// The installer self-extractor's definition: the "$" entry of its archive
// (one "key=value" line per setting) and what it asks for after extraction:
// a file association, start-menu entries and a command to run.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace sfx {

struct Association {
  std::wstring extension;    // ".txt"
  std::wstring description;  // shown by Explorer for the type
  std::wstring application;  // relative to the installation folder
  std::wstring keyName;      // the type's key under Classes
};

struct StartMenuEntry {
  std::wstring group;  // folder under the user's Programs menu
  std::wstring title;  // name of the shortcut
  std::wstring file;   // relative to the installation folder
};

// $Flag: option n is on with bit n, off with bit n + 8; anything else leaves
// the wizard's default.
struct InstallFlags {
  bool autoExecute = false;       // 0x001: no dialogs, straight to extraction
  bool askOverwrite = true;       // 0x002: ask before replacing a file
  bool ignoreTimestamps = false;  // 0x008: replace even newer files
  bool restoreAttributes = false; // 0x010: restore the stored attributes
};
InstallFlags DecodeFlags(unsigned value);

struct InstallDefinition {
  std::wstring windowTitle;
  std::wstring installTitle;
  std::wstring installDir;  // with %ProgramFiles% and the like still in it
  std::wstring classTitle;
  std::vector<Association> associations;
  std::wstring groupTitle;
  std::vector<StartMenuEntry> startMenu;
  std::wstring command;
  InstallFlags flags;
};

// Parses the "$" text (ANSI code page, or UTF-8 with a byte-order mark).
InstallDefinition ParseDefinition(const std::string& text);
// The "!" message as wide text, line breaks as CR LF.
std::wstring DecodeMessage(const std::string& text);

// Replaces %ProgramFiles%, %WinDir%, %SystemDir% and %WORK% (the temporary
// folder), case-blind; other text stays.
std::wstring ExpandInstallFolder(const std::wstring& text);

// A name from the definition made a path inside folder; "" when it would leave it.
std::wstring InsideFolder(const std::wstring& folder, const std::wstring& relative);

// Registers the association for the current user (Software\Classes). Returns
// false when the definition's values are unusable (a placeholder extension,
// a key name with '\', an application that was not installed) or the
// registry refuses.
bool RegisterAssociation(const Association& association, const std::wstring& folder);

// Creates <Programs>\group\title.lnk pointing at the file, which must have
// been installed. Returns the link path, "" on failure.
std::wstring AddStartMenuEntry(const StartMenuEntry& entry, const std::wstring& folder);

// Opens the command's file (relative to the folder) in that folder.
bool RunInstalledCommand(const std::wstring& command, const std::wstring& folder);

}  // namespace sfx
