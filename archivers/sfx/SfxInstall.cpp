#include "archivers/sfx/SfxInstall.h"

#include "archivers/core/ArcCore.h"
#include "engine/Handles.h"
#include "engine/SystemText.h"

#include <objbase.h>
#include <shlobj.h>
#include <shellapi.h>

namespace sfx {

namespace {

std::wstring Trim(const std::wstring& text) {
  size_t first = text.find_first_not_of(L" \t\r\n");
  if (first == std::wstring::npos) return L"";
  size_t last = text.find_last_not_of(L" \t\r\n");
  return text.substr(first, last - first + 1);
}

std::vector<std::wstring> SplitCommas(const std::wstring& text) {
  std::vector<std::wstring> parts;
  size_t start = 0;
  for (;;) {
    size_t comma = text.find(L',', start);
    parts.push_back(Trim(text.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start)));
    if (comma == std::wstring::npos) break;
    start = comma + 1;
  }
  return parts;
}

std::wstring Decode(const std::string& text) {
  if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0)
    return arc::FromCodePage(text.substr(3), CP_UTF8);
  return arc::FromAnsi(text);
}

// One path component from a definition value: separators and forbidden characters made harmless.
std::wstring SafeComponent(std::wstring text) {
  for (auto& c : text) {
    if (c == L'\\' || c == L'/') c = L'_';
  }
  return arc::SanitizeEntryPath(text);
}

std::wstring KnownFolder(int csidl) {
  // The call's contract is a MAX_PATH buffer.
  wchar_t path[MAX_PATH];
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return L"";
  return path;
}

bool SetDefaultValue(HKEY root, const std::wstring& key, const std::wstring& value) {
  TRegKey handle;
  if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, handle.put(), nullptr) !=
      ERROR_SUCCESS)
    return false;
  LONG status = RegSetValueExW(handle.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                               static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  return status == ERROR_SUCCESS;
}

}  // namespace

InstallFlags DecodeFlags(unsigned value) {
  InstallFlags flags;
  auto option = [value](int bit, bool fallback) {
    bool on = value & (1u << bit), off = value & (1u << (bit + 8));
    return on == off ? fallback : on;
  };
  flags.autoExecute = option(0, flags.autoExecute);
  flags.askOverwrite = option(1, flags.askOverwrite);
  flags.ignoreTimestamps = option(3, flags.ignoreTimestamps);
  flags.restoreAttributes = option(4, flags.restoreAttributes);
  return flags;
}

InstallDefinition ParseDefinition(const std::string& text) {
  InstallDefinition definition;
  std::wstring wide = Decode(text);
  size_t start = 0;
  while (start < wide.size()) {
    size_t end = wide.find(L'\n', start);
    if (end == std::wstring::npos) end = wide.size();
    std::wstring line = wide.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    size_t equals = line.find(L'=');
    if (equals == std::wstring::npos) continue;
    std::wstring key = arc::Lower(Trim(line.substr(0, equals)));
    std::wstring value = line.substr(equals + 1);
    if (key == L"$windowtitle") {
      definition.windowTitle = value;
    } else if (key == L"$installtitle") {
      definition.installTitle = value;
    } else if (key == L"$installdir") {
      definition.installDir = Trim(value);
    } else if (key == L"$classtitle") {
      definition.classTitle = value;
    } else if (key == L"class") {
      auto parts = SplitCommas(value);
      if (parts.size() >= 4) definition.associations.push_back({parts[0], parts[1], parts[2], parts[3]});
    } else if (key == L"$grouptitle") {
      definition.groupTitle = value;
    } else if (key == L"$group") {
      auto parts = SplitCommas(value);
      if (parts.size() >= 3 && !parts[1].empty() && !parts[2].empty())
        definition.startMenu.push_back({parts[0], parts[1], parts[2]});
    } else if (key == L"$command") {
      definition.command = Trim(value);
    } else if (key == L"$flag") {
      definition.flags = DecodeFlags(static_cast<unsigned>(wcstoul(Trim(value).c_str(), nullptr, 10)));
    }
  }
  return definition;
}

std::wstring DecodeMessage(const std::string& text) {
  std::wstring wide = Decode(text), result;
  for (size_t i = 0; i < wide.size(); ++i) {
    if (wide[i] == L'\r') continue;
    if (wide[i] == L'\n') result += L'\r';
    result += wide[i];
  }
  while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r')) result.pop_back();
  return result;
}

std::wstring ExpandInstallFolder(const std::wstring& text) {
  std::wstring windows = ReadSystemText(GetWindowsDirectoryW);
  std::wstring system = ReadSystemText(GetSystemDirectoryW);
  std::wstring temporary = ReadSystemText([](wchar_t* buffer, DWORD size) { return GetTempPathW(size, buffer); });
  while (!temporary.empty() && temporary.back() == L'\\') temporary.pop_back();
  const std::pair<std::wstring, std::wstring> variables[] = {
      {L"%programfiles%", KnownFolder(CSIDL_PROGRAM_FILES)},
      {L"%windir%", windows},
      {L"%systemdir%", system},
      {L"%work%", temporary},
  };
  std::wstring result = text;
  for (const auto& [name, value] : variables) {
    for (size_t at = arc::Lower(result).find(name); at != std::wstring::npos;
         at = arc::Lower(result).find(name, at + value.size())) {
      result.replace(at, name.size(), value);
    }
  }
  return result;
}

std::wstring InsideFolder(const std::wstring& folder, const std::wstring& relative) {
  try {
    return arc::SafeDestination(folder, relative, true);
  } catch (const arc::Error&) {
    return L"";
  }
}

bool RegisterAssociation(const Association& association, const std::wstring& folder) {
  const std::wstring& ext = association.extension;
  if (ext.size() < 2 || ext[0] != L'.' || ext.find_first_of(L"\\/?* \"") != std::wstring::npos) return false;
  const std::wstring& key = association.keyName;
  if (key.empty() || key.find_first_of(L"\\/\"") != std::wstring::npos || key[0] == L'.') return false;
  std::wstring application = InsideFolder(folder, association.application);
  if (application.empty() || !arc::FileExists(application)) return false;
  const std::wstring classes = L"Software\\Classes\\";
  bool done = SetDefaultValue(HKEY_CURRENT_USER, classes + ext, key) &&
              SetDefaultValue(HKEY_CURRENT_USER, classes + key, association.description) &&
              SetDefaultValue(HKEY_CURRENT_USER, classes + key + L"\\DefaultIcon", application + L",0") &&
              SetDefaultValue(HKEY_CURRENT_USER, classes + key + L"\\shell\\open\\command",
                              L"\"" + application + L"\" \"%1\"");
  if (done) SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
  return done;
}

std::wstring AddStartMenuEntry(const StartMenuEntry& entry, const std::wstring& folder) {
  std::wstring target = InsideFolder(folder, entry.file);
  std::wstring programs = KnownFolder(CSIDL_PROGRAMS);
  std::wstring group = SafeComponent(entry.group), title = SafeComponent(entry.title);
  if (target.empty() || !arc::FileExists(target) || programs.empty() || title.empty()) return L"";
  std::wstring linkFolder = group.empty() ? programs : arc::JoinPath(programs, group);
  if (!arc::CreateFolders(linkFolder)) return L"";
  std::wstring link = arc::JoinPath(linkFolder, title + L".lnk");
  bool initialised = SUCCEEDED(CoInitialize(nullptr));
  bool done = false;
  {
    // Released before COM is let go.
    TComPtr<IShellLinkW> shellLink;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   shellLink.put_void()))) {
      shellLink->SetPath(target.c_str());
      shellLink->SetWorkingDirectory(arc::FolderOf(target).c_str());
      TComPtr<IPersistFile> file;
      if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, file.put_void())))
        done = SUCCEEDED(file->Save(link.c_str(), TRUE));
    }
  }
  if (initialised) CoUninitialize();
  return done ? link : L"";
}

bool RunInstalledCommand(const std::wstring& command, const std::wstring& folder) {
  std::wstring file = InsideFolder(folder, command);
  if (file.empty() || !arc::FileExists(file)) return false;
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOASYNC;
  info.lpVerb = L"open";
  info.lpFile = file.c_str();
  std::wstring directory = arc::FolderOf(file);
  info.lpDirectory = directory.c_str();
  info.nShow = SW_SHOWNORMAL;
  return ShellExecuteExW(&info) != FALSE;
}

}  // namespace sfx
