// The main window's keys in the settings file (sections Options, DeskTop,
// DeksTop, ShortCut and Work): one table with each key's type, default and
// the moment it is written, so reading and writing cannot drift apart.
#pragma once

#include "settings/IniGT.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

constexpr int kToolButtonCount = 24;
constexpr int kMenuShortCutCount = 17;

// Every value the main window keeps in the settings file.
struct TMainSettings {
  // Options
  std::wstring WorkDir;
  std::wstring TextFiles;
  int ExtractFileOpt = 0;
  int ExtDirOption = 0;
  int FolderOption = 2;
  bool IsFolderOpen = false;
  int IsDropToIcon = 0;
  int ExistFileMode = 0;
  bool MakeArcDir = true;
  int PackDirOption = 2;
  std::wstring LhaCommand;
  bool FIleOpenMode = false;
  bool UseShellIcon = true;
  int NewMode = 3;
  int UseToolBar = 0;
  int LzhPackOption = 2;
  int CabPackOption = 0;
  int ZipPackOption = 2;
  int CanSetupMode = 0;
  bool ExtOpenDlg = false;
  bool CmnOpenDlg = true;
  bool IsLinkedObj = false;
  bool UseSpis = false;
  int ExtrDlgMode = 0;
  std::wstring SpisDir;
  int SaveDirOpt = 0;
  bool AutoNaming = false;
  bool GrpAutoSize = false;
  std::wstring Archives;
  bool AutoResize = false;

  // DeskTop
  int MainLeft = 110;
  int MainTop = 60;
  int MainWidth = 432;
  int MainHeight = 340;
  int IconStyle = 3;
  std::array<bool, kToolButtonCount> ToolBtn{};
  int ExtractLeft = 110;
  int ExtractTop = 60;
  std::wstring ExtractBoxText;  // DeskTop/LastExtract: the extraction dialog's box

  // DeksTop (spelled so in the file; a section of its own)
  std::wstring LastOpen;
  std::wstring LastExtract;  // read only

  // ShortCut: the 17 menu shortcuts as shortcut text ("Ctrl+M"), in table order.
  std::array<std::wstring, kMenuShortCutCount> ShortCuts;

  // Work
  int HowManyOpen = 0;
};

enum class TSettingType { Text, Number, Flag };

// When the main window writes a key.
enum class TSettingWrite {
  AtClose,             // the close sequence
  AfterExtractDialog,  // after every extraction dialog
  InstanceCounter,     // the instance counter's own start and close steps
  Never,               // read only
};

// Defaults that depend on the Windows folder.
enum class TSettingDefault {
  Fixed,         // the row's own text or number
  WindowsTemp,   // Windows folder + "\temp" ("c:\WIndows\Temp" when unknown)
  WindowsDrive,  // the drive part of the Windows folder, such as "C:"
};

struct TMainSettingKey {
  std::wstring Section;
  std::wstring Key;
  TSettingType Type;
  TSettingWrite Written;
  TSettingDefault DefaultKind;
  std::wstring TextDefault;  // Text rows with a fixed default
  int NumberDefault;         // Number rows; Flag rows: 1 or 0
  std::wstring DialogControl;  // the settings dialog's control that edits it, if any
  // The field the row reads into and writes from; only the one matching Type is set.
  std::function<std::wstring&(TMainSettings&)> Text;
  std::function<int&(TMainSettings&)> Number;
  std::function<bool&(TMainSettings&)> Flag;
};

// The rows in file order: Options, DeskTop, DeksTop, ShortCut, Work.
const std::vector<TMainSettingKey>& MainSettingKeys();
const TMainSettingKey* FindMainSettingKey(const std::wstring& section, const std::wstring& key);

// The Windows folder as the system reports it (260 characters); empty when unknown.
std::wstring WindowsFolderForDefaults();
std::wstring DefaultWorkDir(const std::wstring& windowsFolder);
std::wstring WindowsDrive(const std::wstring& windowsFolder);

// Every key at its default.
TMainSettings DefaultMainSettings(const std::wstring& windowsFolder);
// Reads every key (missing keys and garbage numbers give the defaults).
TMainSettings ReadMainSettings(const TIniGT& ini, const std::wstring& windowsFolder);
// Writes the keys written at the given moment.
void WriteMainSettings(TIniGT& ini, const TMainSettings& settings, TSettingWrite moment);
