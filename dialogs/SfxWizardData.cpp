#include "SfxWizardData.h"

#include "DialogTexts.h"

#include <windows.h>

namespace {

constexpr wchar_t Section[] = L"SFXWizard";

// One line of "$" per setting: a line break inside a field would start a
// setting of its own, so breaks become blanks.
std::wstring OneLine(std::wstring text) {
  for (wchar_t& c : text)
    if (c == L'\r' || c == L'\n') c = L' ';
  return text;
}

// The message keeps its line breaks in the one value of the definition file
// as "\n"; a backslash is doubled so that it reads back as it was.
std::wstring EncodeLines(const std::wstring& text) {
  std::wstring out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\\') out += L"\\\\";
    else if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') out += L"\\n", ++i;
    else if (text[i] == L'\r' || text[i] == L'\n') out += L"\\n";
    else out += text[i];
  }
  return out;
}

std::wstring DecodeLines(const std::wstring& text) {
  std::wstring out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\\' && i + 1 < text.size() && text[i + 1] == L'n') out += L"\r\n", ++i;
    else if (text[i] == L'\\' && i + 1 < text.size() && text[i + 1] == L'\\') out += L'\\', ++i;
    else out += text[i];
  }
  return out;
}

bool WriteValue(const std::wstring& path, const wchar_t* key, const std::wstring& value) {
  // The quotes keep blanks at both ends; the reader takes one pair off.
  std::wstring quoted = L"\"" + OneLine(value) + L"\"";
  return WritePrivateProfileStringW(Section, key, quoted.c_str(), path.c_str()) != FALSE;
}

bool WriteFlag(const std::wstring& path, const wchar_t* key, bool value) {
  return WritePrivateProfileStringW(Section, key, value ? L"1" : L"0", path.c_str()) != FALSE;
}

std::wstring ReadValue(const std::wstring& path, const wchar_t* key, const std::wstring& fallback) {
  std::vector<wchar_t> text(32768);
  GetPrivateProfileStringW(Section, key, L"\x1", text.data(), static_cast<DWORD>(text.size()), path.c_str());
  std::wstring value = text.data();
  if (value == L"\x1") return fallback;
  return value;
}

bool ReadFlag(const std::wstring& path, const wchar_t* key, bool fallback) {
  return GetPrivateProfileIntW(Section, key, fallback ? 1 : 0, path.c_str()) != 0;
}

}  // namespace

void TSfxWizardData::DeriveFromAppTitle(const std::wstring& title) {
  appTitle = title;
  message = title + dialog_texts::SfxDefaultMessage;
  dialogTitle = title + dialog_texts::SfxDefaultDialogTitle;
  folderTitle = title + dialog_texts::SfxDefaultFolderTitle;
  extractFolder = L"%ProgramFiles%\\" + title;
  appGroup = title;
  attachExt = L".???";
  notes = title + dialog_texts::SfxDefaultNotes;
  regKeyName = title;
}

int SfxFlag(const TSfxWizardData& data) {
  // Each option has an "on" bit and an "off" bit eight places higher.
  return (data.autoExec ? 0x001 : 0x100) + (data.silentOW ? 0x002 : 0x200) + (data.forceOW ? 0x008 : 0x800) +
         (data.extArchive ? 0x010 : 0x1000);
}

std::vector<std::wstring> InstallerDefinitionLines(const TSfxWizardData& data) {
  std::vector<std::wstring> lines;
  lines.push_back(L"$WindowTitle=" + OneLine(data.dialogTitle));
  lines.push_back(L"$InstallTitle=" + OneLine(data.folderTitle));
  lines.push_back(L"$InstallDir=" + OneLine(data.extractFolder));
  if (data.fileAttach) {
    lines.push_back(L"$ClassTitle=" + OneLine(data.regGuide));
    lines.push_back(L"Class=" + OneLine(data.attachExt) + L"," + OneLine(data.notes) + L"," +
                    OneLine(data.attachedApp) + L"," + OneLine(data.regKeyName));
  }
  if (data.addStartMenu) {
    lines.push_back(L"$GroupTitle=" + OneLine(data.groupGuide));
    for (size_t row = 0; row < data.menuTitles.size(); ++row)
      if (!data.menuTitles[row].empty() && !data.menuFiles[row].empty())
        lines.push_back(L"$Group=" + OneLine(data.appGroup) + L"," + OneLine(data.menuTitles[row]) + L"," +
                        OneLine(data.menuFiles[row]));
  }
  if (!data.autoExecute.empty()) lines.push_back(L"$Command=" + OneLine(data.autoExecute));
  lines.push_back(L"$Flag=" + std::to_wstring(SfxFlag(data)));
  return lines;
}

std::vector<std::wstring> MessageLines(const TSfxWizardData& data) {
  std::vector<std::wstring> lines;
  std::wstring text = data.message;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of(L"\r\n", start);
    if (end == std::wstring::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end;
    if (start < text.size() && text[start] == L'\r') ++start;
    if (start < text.size() && text[start] == L'\n') ++start;
  }
  return lines;
}

bool SaveSfxDefinition(const std::wstring& path, const TSfxWizardData& data) {
  bool ok = WriteFlag(path, L"ShowMsgBox", data.showMsgBox);
  ok = WriteValue(path, L"AppTitle", data.appTitle) && ok;
  ok = WriteValue(path, L"Message", EncodeLines(data.message)) && ok;
  ok = WriteValue(path, L"DialogTitle", data.dialogTitle) && ok;
  ok = WriteValue(path, L"FolderTitle", data.folderTitle) && ok;
  ok = WriteValue(path, L"ExtractFolder", data.extractFolder) && ok;
  ok = WriteValue(path, L"AutoExecute", data.autoExecute) && ok;
  ok = WriteFlag(path, L"FileAttach", data.fileAttach) && ok;
  ok = WriteValue(path, L"RegGuide", data.regGuide) && ok;
  ok = WriteValue(path, L"AttachExt", data.attachExt) && ok;
  ok = WriteValue(path, L"ExtNote", data.notes) && ok;
  ok = WriteValue(path, L"AttachedApp", data.attachedApp) && ok;
  ok = WriteValue(path, L"RegKeyName", data.regKeyName) && ok;
  ok = WriteFlag(path, L"AddStartmenu", data.addStartMenu) && ok;
  ok = WriteValue(path, L"MenuTitle", data.groupGuide) && ok;
  ok = WriteValue(path, L"AppGroup", data.appGroup) && ok;
  ok = WriteFlag(path, L"AutoExec", data.autoExec) && ok;
  ok = WriteFlag(path, L"SilentOW", data.silentOW) && ok;
  ok = WriteFlag(path, L"ForceOW", data.forceOW) && ok;
  ok = WriteFlag(path, L"ExtArchive", data.extArchive) && ok;
  for (size_t row = 0; row < data.menuTitles.size(); ++row) {
    std::wstring n = std::to_wstring(row + 1);
    ok = WriteValue(path, (L"Menu" + n).c_str(), data.menuTitles[row]) && ok;
    ok = WriteValue(path, (L"Comd" + n).c_str(), data.menuFiles[row]) && ok;
  }
  return ok;
}

TSfxWizardData ReadSfxDefinition(const std::wstring& path) {
  TSfxWizardData defaults, data;
  data.showMsgBox = ReadFlag(path, L"ShowMsgBox", true);
  data.appTitle = ReadValue(path, L"AppTitle", L"");
  data.message = DecodeLines(ReadValue(path, L"Message", L""));
  data.dialogTitle = ReadValue(path, L"DialogTitle", defaults.dialogTitle);
  data.folderTitle = ReadValue(path, L"FolderTitle", defaults.folderTitle);
  data.extractFolder = ReadValue(path, L"ExtractFolder", L"");
  data.autoExecute = ReadValue(path, L"AutoExecute", L"");
  data.fileAttach = ReadFlag(path, L"FileAttach", false);
  data.regGuide = ReadValue(path, L"RegGuide", defaults.regGuide);
  data.attachExt = ReadValue(path, L"AttachExt", defaults.attachExt);
  data.notes = ReadValue(path, L"ExtNote", defaults.notes);
  data.attachedApp = ReadValue(path, L"AttachedApp", L"");
  data.regKeyName = ReadValue(path, L"RegKeyName", L"");
  data.addStartMenu = ReadFlag(path, L"AddStartmenu", false);
  data.groupGuide = ReadValue(path, L"MenuTitle", defaults.groupGuide);
  data.appGroup = ReadValue(path, L"AppGroup", L"");
  data.autoExec = ReadFlag(path, L"AutoExec", false);
  data.silentOW = ReadFlag(path, L"SilentOW", false);
  data.forceOW = ReadFlag(path, L"ForceOW", false);
  data.extArchive = ReadFlag(path, L"ExtArchive", false);
  for (size_t row = 0; row < data.menuTitles.size(); ++row) {
    std::wstring n = std::to_wstring(row + 1);
    data.menuTitles[row] = ReadValue(path, (L"Menu" + n).c_str(), L"");
    data.menuFiles[row] = ReadValue(path, (L"Comd" + n).c_str(), L"");
  }
  return data;
}
