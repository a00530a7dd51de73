// What the self-extractor wizard collects, the installer's definition ("$")
// and message ("!") files made from it, and its definition file (*.sfx).
#pragma once

#include "DialogTexts.h"

#include <array>
#include <string>
#include <vector>

struct TSfxWizardData {
  bool showMsgBox = true;
  std::wstring appTitle;
  std::wstring message;  // the lines of Messg, joined with CR LF
  std::wstring dialogTitle = dialog_texts::SfxNoTitleDialogTitle;
  std::wstring folderTitle = dialog_texts::SfxNoTitleFolderTitle;
  std::wstring extractFolder;
  std::wstring autoExecute;
  bool fileAttach = false;
  std::wstring regGuide = dialog_texts::SfxRegGuide;
  std::wstring attachExt = L".???";
  std::wstring notes = L"???";
  std::wstring attachedApp;
  std::wstring regKeyName;
  bool addStartMenu = false;
  std::wstring groupGuide = dialog_texts::SfxGroupGuide;
  std::wstring appGroup;
  bool autoExec = false;
  bool silentOW = false;
  bool forceOW = false;
  bool extArchive = false;
  std::array<std::wstring, 10> menuTitles, menuFiles;  // the grid's rows 1-10

  // The defaults every edit of the application's name sets (AppTitleChange).
  void DeriveFromAppTitle(const std::wstring& title);
};

// The value of the $Flag line.
int SfxFlag(const TSfxWizardData& data);
// The lines of the installer definition file "$", in their order.
std::vector<std::wstring> InstallerDefinitionLines(const TSfxWizardData& data);
// The lines of the message file "!" (none: the file is not written).
std::vector<std::wstring> MessageLines(const TSfxWizardData& data);

// The definition file: section SFXWizard, values in double quotes. Saving
// raises nothing; it returns false when the file could not be written.
bool SaveSfxDefinition(const std::wstring& path, const TSfxWizardData& data);
// Keys the file lacks take their defaults.
TSfxWizardData ReadSfxDefinition(const std::wstring& path);
