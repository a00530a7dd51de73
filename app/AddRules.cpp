#include "AddRules.h"

#include "app/MainTexts.h"

#include <windows.h>

namespace {

std::wstring Upper(std::wstring text) {
  if (!text.empty()) CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

std::wstring WithoutTrailingBackslash(std::wstring path) {
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

std::wstring ExtensionOf(const std::wstring& path) {
  size_t dot = path.rfind(L'.');
  size_t slash = path.find_last_of(L"\\/");
  if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return L"";
  return path.substr(dot);
}

std::wstring DriveOf(const std::wstring& path) {
  if (path.size() >= 2 && path[1] == L':') return path.substr(0, 2);
  if (path.rfind(L"\\\\", 0) == 0) {
    // \\server\share
    size_t server = path.find(L'\\', 2);
    if (server == std::wstring::npos) return path;
    size_t share = path.find(L'\\', server + 1);
    return share == std::wstring::npos ? path : path.substr(0, share);
  }
  return L"";
}

}  // namespace

std::wstring FolderOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring FileNameOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring BaseFolderRule(const std::wstring& baseFolder, const std::wstring& folder) {
  std::wstring chosen = folder;
  if (!baseFolder.empty() && Upper(folder).rfind(Upper(baseFolder), 0) == 0) chosen = baseFolder;
  return WithoutTrailingBackslash(chosen) + L"\\";
}

std::wstring MarkLiteralName(const std::wstring& name) {
  if (!name.empty() && (name[0] == L'-' || name[0] == L'@')) return L"-gb" + name;
  return name;
}

TAddPlan PlanAdd(const std::vector<std::wstring>& files, int packDirOption, const std::wstring& baseFolder,
                 const std::function<bool(const std::wstring&)>& isFolder) {
  TAddPlan plan;
  plan.x = packDirOption == 0 ? 0 : 1;
  plan.jf = packDirOption == 1 ? 1 : 0;
  for (const std::wstring& file : files) {
    if (file.empty()) continue;
    // A folder stands for its content, stored under the folder's own name.
    std::wstring path = WithoutTrailingBackslash(file);
    std::wstring base =
        BaseFolderRule(baseFolder, packDirOption == 1 ? DriveOf(path) : FolderOf(path));
    std::wstring name = isFolder(path) ? path + L"\\*.*" : path;
    // Compared as the file system compares names: without regard to case.
    if (Upper(name).rfind(Upper(base), 0) == 0) name.erase(0, base.size());
    name = MarkLiteralName(name);
    auto same = [&](const TAddCall& call) { return Upper(call.base) == Upper(base); };
    auto call = std::find_if(plan.calls.begin(), plan.calls.end(), same);
    if (call == plan.calls.end()) {
      plan.calls.push_back({base, {}});
      call = plan.calls.end() - 1;
    }
    call->names.push_back(name);
  }
  return plan;
}

std::wstring AutoNamedArchive(const std::wstring& archivePath, const std::wstring& firstFile,
                              const std::wstring& baseFolder) {
  std::wstring name = FileNameOf(WithoutTrailingBackslash(firstFile));
  std::wstring own = ExtensionOf(name);
  if (!own.empty()) name.erase(name.size() - own.size());
  return BaseFolderRule(baseFolder, FolderOf(archivePath)) + name + ExtensionOf(archivePath);
}

TSaveAsChoice SaveAsChoiceFor(TArchiverType kind, const std::wstring& archivePath) {
  // "*.*" for every file: a pattern "*.*)" would show none.
  const std::wstring all = texts::AddFilter;
  std::wstring extension = ExtensionOf(archivePath);
  switch (kind) {
    case atLha: return {texts::SaveAsLzhFilter + all, L"lzh"};
    case atZip:
      if (Upper(extension) == L".ZIP")
        return {texts::SaveAsZipFilter + all, L"zip"};
      return {texts::SaveAsJarFilter + all, L"jar"};
    case atCab: return {texts::SaveAsCabFilter + all, L"cab"};
    default: return {all, extension.empty() ? L"" : extension.substr(1)};
  }
}

std::wstring FilterForDialog(const std::wstring& filter) {
  std::wstring result = filter;
  for (wchar_t& c : result)
    if (c == L'|') c = L'\0';
  result.push_back(L'\0');
  result.push_back(L'\0');
  return result;
}

int CompressionSwitch(TArchiverType kind, int index) {
  if (kind == atZip) {
    static constexpr int levels[] = {0, 1, 5, 9};
    return index >= 0 && index < 4 ? levels[index] : -1;
  }
  return index;
}
