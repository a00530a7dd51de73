#include "settings/MainSettings.h"

#include "engine/SystemText.h"

namespace {

using W = TSettingWrite;
using D = TSettingDefault;

TMainSettingKey TextKey(std::wstring section, std::wstring key, W written, D kind,
                        std::wstring fixed, std::wstring control,
                        std::function<std::wstring&(TMainSettings&)> field) {
  TMainSettingKey row{std::move(section), std::move(key), TSettingType::Text, written, kind,
                      std::move(fixed), 0, std::move(control)};
  row.Text = std::move(field);
  return row;
}

TMainSettingKey NumberKey(std::wstring section, std::wstring key, W written, int fixed,
                          std::wstring control, std::function<int&(TMainSettings&)> field) {
  TMainSettingKey row{std::move(section), std::move(key), TSettingType::Number, written, D::Fixed,
                      L"", fixed, std::move(control)};
  row.Number = std::move(field);
  return row;
}

TMainSettingKey FlagKey(std::wstring section, std::wstring key, W written, bool fixed,
                        std::wstring control, std::function<bool&(TMainSettings&)> field) {
  TMainSettingKey row{std::move(section), std::move(key), TSettingType::Flag, written, D::Fixed,
                      L"", fixed ? 1 : 0, std::move(control)};
  row.Flag = std::move(field);
  return row;
}

template <typename T>
auto Field(T TMainSettings::*member) {
  return [member](TMainSettings& s) -> T& { return s.*member; };
}

struct ShortCutDefault {
  const wchar_t* key;
  const wchar_t* text;
};

// Menu commands in the order the settings dialog lists them.
constexpr ShortCutDefault kShortCuts[kMenuShortCutCount] = {
    {L"sLOpen", L"F3"},      {L"sLNew", L"F2"},     {L"sMelt", L"Ctrl+M"},  {L"sView", L"Ctrl+W"},
    {L"sExec", L"Ctrl+X"},   {L"sAdd", L"Ctrl+A"},  {L"sDel", L"Ctrl+D"},   {L"sProp", L"Ctrl+P"},
    {L"sInst", L"Ctrl+I"},   {L"sSFXwiz", L"Ctrl+S"}, {L"sHelp", L"Ctrl+H"}, {L"sQuit", L"Ctrl+Q"},
    {L"sCopy", L"Ctrl+C"},   {L"sPaste", L"Ctrl+V"}, {L"sLSaveAs", L""},    {L"sSellAll", L""},
    {L"sFProp", L""},
};

std::vector<TMainSettingKey> BuildKeys() {
  const std::wstring o = L"Options", d = L"DeskTop", k = L"DeksTop", s = L"ShortCut";
  using M = TMainSettings;
  std::vector<TMainSettingKey> rows = {
      TextKey(o, L"WorkDir", W::AtClose, D::WindowsTemp, L"", L"WorkDir", Field(&M::WorkDir)),
      TextKey(o, L"TextFiles", W::AtClose, D::Fixed, L".TXT.INI.C.CPP.PAS.INC.H.HPP.ASM.DOC",
              L"TextFiles", Field(&M::TextFiles)),
      NumberKey(o, L"ExtractFileOpt", W::AtClose, 0, L"FileOption", Field(&M::ExtractFileOpt)),
      NumberKey(o, L"ExtDirOption", W::AtClose, 0, L"DirOption", Field(&M::ExtDirOption)),
      NumberKey(o, L"FolderOption", W::AtClose, 2, L"FolderOption", Field(&M::FolderOption)),
      FlagKey(o, L"IsFolderOpen", W::AtClose, false, L"IsFolderOpen", Field(&M::IsFolderOpen)),
      NumberKey(o, L"IsDropToIcon", W::AtClose, 0, L"IsDropToIcon", Field(&M::IsDropToIcon)),
      NumberKey(o, L"ExistFileMode", W::AtClose, 0, L"ExistFileMode", Field(&M::ExistFileMode)),
      FlagKey(o, L"MakeArcDir", W::AtClose, true, L"MakeArcFolder", Field(&M::MakeArcDir)),
      NumberKey(o, L"PackDirOption", W::AtClose, 2, L"PackDirOption", Field(&M::PackDirOption)),
      TextKey(o, L"LhaCommand", W::AtClose, D::Fixed, L"", L"ProgCommd", Field(&M::LhaCommand)),
      FlagKey(o, L"FIleOpenMode", W::AtClose, false, L"UseOwnViewer", Field(&M::FIleOpenMode)),
      FlagKey(o, L"UseShellIcon", W::AtClose, true, L"UseShellIcon", Field(&M::UseShellIcon)),
      NumberKey(o, L"NewMode", W::AtClose, 3, L"NewLHA NewZIP NewCAB NewDLG", Field(&M::NewMode)),
      NumberKey(o, L"UseToolBar", W::AtClose, 0, L"", Field(&M::UseToolBar)),
      NumberKey(o, L"LzhPackOption", W::AtClose, 2, L"LhaCompMode", Field(&M::LzhPackOption)),
      NumberKey(o, L"CabPackOption", W::AtClose, 0, L"CabCompMode", Field(&M::CabPackOption)),
      NumberKey(o, L"ZipPackOption", W::AtClose, 2, L"ZipCompMode", Field(&M::ZipPackOption)),
      NumberKey(o, L"CanSetupMode", W::AtClose, 0, L"", Field(&M::CanSetupMode)),
      FlagKey(o, L"ExtOpenDlg", W::AtClose, false, L"ExtOpenDlg", Field(&M::ExtOpenDlg)),
      FlagKey(o, L"CmnOpenDlg", W::AtClose, true, L"CmnOpenDlg", Field(&M::CmnOpenDlg)),
      FlagKey(o, L"IsLinkedObj", W::AtClose, false, L"IsLinkedObject", Field(&M::IsLinkedObj)),
      FlagKey(o, L"UseSpis", W::AtClose, false, L"UseSpis", Field(&M::UseSpis)),
      NumberKey(o, L"ExtrDlgMode", W::AtClose, 0, L"ExtrDlgMode", Field(&M::ExtrDlgMode)),
      TextKey(o, L"SpisDir", W::AtClose, D::WindowsDrive, L"", L"SpisDir", Field(&M::SpisDir)),
      NumberKey(o, L"SaveDirOpt", W::AtClose, 0, L"SaveDirOpt", Field(&M::SaveDirOpt)),
      FlagKey(o, L"AutoNaming", W::AtClose, false, L"AutoNaming", Field(&M::AutoNaming)),
      FlagKey(o, L"GrpAutoSize", W::AtClose, false, L"GrpAutoSize", Field(&M::GrpAutoSize)),
      TextKey(o, L"Archives", W::AtClose, D::Fixed, L".LZH.ZIP.CAB.ARJ.RAR.TAR.TZ.BZ2.GZ.Z",
              L"Archives", Field(&M::Archives)),
      FlagKey(o, L"AutoResize", W::AtClose, false, L"AutoResize", Field(&M::AutoResize)),

      NumberKey(d, L"MainLeft", W::AtClose, 110, L"", Field(&M::MainLeft)),
      NumberKey(d, L"MainTop", W::AtClose, 60, L"", Field(&M::MainTop)),
      NumberKey(d, L"MainWidth", W::AtClose, 432, L"", Field(&M::MainWidth)),
      NumberKey(d, L"MainHeight", W::AtClose, 340, L"", Field(&M::MainHeight)),
      NumberKey(d, L"IconStyle", W::AtClose, 3, L"", Field(&M::IconStyle)),
  };
  for (int i = 0; i < kToolButtonCount; ++i) {
    rows.push_back(FlagKey(d, L"ToolBtn" + std::to_wstring(i), W::AtClose, true, L"ToolList",
                           [i](M& m) -> bool& { return m.ToolBtn[i]; }));
  }
  rows.push_back(NumberKey(d, L"ExtractLeft", W::AfterExtractDialog, 110, L"", Field(&M::ExtractLeft)));
  rows.push_back(NumberKey(d, L"ExtractTop", W::AfterExtractDialog, 60, L"", Field(&M::ExtractTop)));
  rows.push_back(TextKey(d, L"LastExtract", W::AfterExtractDialog, D::Fixed, L"", L"",
                         Field(&M::ExtractBoxText)));

  rows.push_back(TextKey(k, L"LastOpen", W::AtClose, D::WindowsDrive, L"", L"", Field(&M::LastOpen)));
  rows.push_back(
      TextKey(k, L"LastExtract", W::Never, D::WindowsDrive, L"", L"", Field(&M::LastExtract)));

  for (int i = 0; i < kMenuShortCutCount; ++i) {
    rows.push_back(TextKey(s, kShortCuts[i].key, W::AtClose, D::Fixed, kShortCuts[i].text, L"",
                           [i](M& m) -> std::wstring& { return m.ShortCuts[i]; }));
  }

  rows.push_back(NumberKey(L"Work", L"HowManyOpen", W::InstanceCounter, 0, L"", Field(&M::HowManyOpen)));
  return rows;
}

std::wstring TextDefault(const TMainSettingKey& row, const std::wstring& windowsFolder) {
  switch (row.DefaultKind) {
    case D::WindowsTemp: return DefaultWorkDir(windowsFolder);
    case D::WindowsDrive: return WindowsDrive(windowsFolder);
    case D::Fixed: break;
  }
  return row.TextDefault;
}

bool SameText(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

const std::vector<TMainSettingKey>& MainSettingKeys() {
  static const std::vector<TMainSettingKey> rows = BuildKeys();
  return rows;
}

const TMainSettingKey* FindMainSettingKey(const std::wstring& section, const std::wstring& key) {
  for (const auto& row : MainSettingKeys()) {
    if (SameText(row.Section, section) && SameText(row.Key, key)) return &row;
  }
  return nullptr;
}

std::wstring WindowsFolderForDefaults() {
  return ReadSystemText(GetWindowsDirectoryW);
}

std::wstring DefaultWorkDir(const std::wstring& windowsFolder) {
  if (windowsFolder.empty()) return L"c:\\WIndows\\Temp";
  return windowsFolder + L"\\temp";
}

std::wstring WindowsDrive(const std::wstring& windowsFolder) {
  if (windowsFolder.size() >= 2 && windowsFolder[1] == L':') return windowsFolder.substr(0, 2);
  // A network Windows folder: the drive part is \\server\share.
  if (windowsFolder.rfind(L"\\\\", 0) == 0) {
    size_t server = windowsFolder.find(L'\\', 2);
    if (server == std::wstring::npos) return windowsFolder;
    return windowsFolder.substr(0, windowsFolder.find(L'\\', server + 1));
  }
  return {};
}

TMainSettings DefaultMainSettings(const std::wstring& windowsFolder) {
  TMainSettings settings;
  for (const auto& row : MainSettingKeys()) {
    switch (row.Type) {
      case TSettingType::Text: row.Text(settings) = TextDefault(row, windowsFolder); break;
      case TSettingType::Number: row.Number(settings) = row.NumberDefault; break;
      case TSettingType::Flag: row.Flag(settings) = row.NumberDefault != 0; break;
    }
  }
  return settings;
}

TMainSettings ReadMainSettings(const TIniGT& ini, const std::wstring& windowsFolder) {
  TMainSettings settings;
  for (const auto& row : MainSettingKeys()) {
    switch (row.Type) {
      case TSettingType::Text:
        row.Text(settings) = ini.ReadString(row.Section, row.Key, TextDefault(row, windowsFolder));
        break;
      case TSettingType::Number:
        row.Number(settings) = ini.ReadInteger(row.Section, row.Key, row.NumberDefault);
        break;
      case TSettingType::Flag:
        row.Flag(settings) = ini.ReadBool(row.Section, row.Key, row.NumberDefault != 0);
        break;
    }
  }
  return settings;
}

void WriteMainSettings(TIniGT& ini, const TMainSettings& settings, TSettingWrite moment) {
  // The accessors hand out references; writing only reads through them.
  auto& values = const_cast<TMainSettings&>(settings);
  for (const auto& row : MainSettingKeys()) {
    if (row.Written != moment) continue;
    switch (row.Type) {
      case TSettingType::Text: ini.WriteString(row.Section, row.Key, row.Text(values)); break;
      case TSettingType::Number: ini.WriteInteger(row.Section, row.Key, row.Number(values)); break;
      case TSettingType::Flag: ini.WriteBool(row.Section, row.Key, row.Flag(values)); break;
    }
  }
}
