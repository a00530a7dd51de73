#include "ShellIntegration.h"

#include "DialogTexts.h"
#include "engine/Handles.h"

#include <shlobj.h>

#include <vector>

namespace {

constexpr wchar_t ExtensionClassKey[] = L"CLSID\\{C90C7380-DF4C-11D1-ABBA-92D758412512}";
constexpr wchar_t HandlerKey[] = L"*\\shellex\\ContextMenuHandlers\\{C90C7380-DF4C-11D1-ABBA-92D758412512}";

std::wstring Upper(std::wstring text) {
  if (!text.empty()) CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// The default value of a key of HKEY_CLASSES_ROOT; empty when missing.
std::wstring ReadDefault(const std::wstring& keyName) {
  TRegKey key;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, keyName.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return L"";
  DWORD type = 0, bytes = 0;
  if (RegQueryValueExW(key.get(), nullptr, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return L"";
  std::vector<wchar_t> data(bytes / sizeof(wchar_t) + 1, L'\0');
  if (RegQueryValueExW(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &bytes) !=
      ERROR_SUCCESS)
    return L"";
  return data.data();
}

void WriteValue(const std::wstring& keyName, const wchar_t* valueName, const std::wstring& value) {
  TRegKey key;
  LONG status = RegCreateKeyExW(HKEY_CLASSES_ROOT, keyName.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.put(),
                                nullptr);
  if (status != ERROR_SUCCESS) throw ERegistry(status);
  status = RegSetValueExW(key.get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  if (status != ERROR_SUCCESS) throw ERegistry(status);
}

// Missing keys are nothing to delete.
void DeleteTree(const std::wstring& keyName) { RegDeleteTreeW(HKEY_CLASSES_ROOT, keyName.c_str()); }

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

}  // namespace

ERegistry::ERegistry(LONG code)
    : std::runtime_error("registry"), message_(dialog_texts::RegistryFailed + std::to_wstring(code)) {}

const TAssociation LzhAssociation = {L".lzh", L"LHA Archive File", dialog_texts::LzhDescription, 1};
const TAssociation ZipAssociation = {L".zip", L"ZIP Archive File", dialog_texts::ZipDescription, 2};

TShellIntegration::TShellIntegration(std::wstring programPath) : program_(std::move(programPath)) {
  size_t slash = program_.find_last_of(L'\\');
  folder_ = slash == std::wstring::npos ? std::wstring() : program_.substr(0, slash + 1);
}

bool TShellIntegration::IsAssociated(const TAssociation& association) const {
  std::wstring className = ReadDefault(association.Extension);
  if (className.empty()) return false;
  std::wstring command = Upper(ReadDefault(className + L"\\shell\\open\\command"));
  std::wstring path = Upper(program_);
  return command == path + L" %1" || command == Quoted(path) + L" \"%1\"";
}

bool TShellIntegration::HasExtractVerb(const TAssociation& association) const {
  std::wstring command = Upper(ReadDefault(std::wstring(association.ClassName) + L"\\shell\\extract\\command"));
  std::wstring path = Upper(program_);
  return command == path + L" -M %1" || command == Quoted(path) + L" -M \"%1\"";
}

TShellState TShellIntegration::Read() const {
  TShellState state;
  state.LzhAssociated = IsAssociated(LzhAssociation);
  state.ZipAssociated = IsAssociated(ZipAssociation);
  state.ExtractVerb = (state.LzhAssociated && HasExtractVerb(LzhAssociation)) ||
                      (state.ZipAssociated && HasExtractVerb(ZipAssociation));
  TRegKey key;
  state.ExtensionRegistered =
      RegOpenKeyExW(HKEY_CLASSES_ROOT, ExtensionClassKey, 0, KEY_READ, key.put()) == ERROR_SUCCESS;
  std::wstring sendTo = SendToFolder();
  state.PackShortcut = !sendTo.empty() && FileExists(sendTo + L"\\" + PackShortcutName);
  state.OpenShortcut = !sendTo.empty() && FileExists(sendTo + L"\\" + OpenShortcutName);
  return state;
}

void TShellIntegration::Associate(const TAssociation& association) const {
  std::wstring className = association.ClassName;
  WriteValue(association.Extension, nullptr, className);
  WriteValue(className, nullptr, association.Description);
  WriteValue(className + L"\\DefaultIcon", nullptr, Quoted(program_) + L"," + std::to_wstring(association.IconIndex));
  WriteValue(className + L"\\shell\\open\\command", nullptr, Quoted(program_) + L" \"%1\"");
}

void TShellIntegration::RemoveAssociation(const TAssociation& association) const {
  DeleteTree(association.Extension);
  DeleteTree(association.ClassName);
}

void TShellIntegration::AddExtractVerb(const TAssociation& association) const {
  std::wstring verb = std::wstring(association.ClassName) + L"\\shell\\extract";
  WriteValue(verb, nullptr, dialog_texts::ExtractVerb);
  WriteValue(verb + L"\\command", nullptr, Quoted(program_) + L" -M \"%1\"");
}

void TShellIntegration::RemoveExtractVerb(const TAssociation& association) const {
  DeleteTree(std::wstring(association.ClassName) + L"\\shell\\extract");
}

void TShellIntegration::RegisterExtension() const {
  std::wstring classKey = ExtensionClassKey;
  WriteValue(classKey, nullptr, L"Tavix Context Menu Shell Extension");
  WriteValue(classKey + L"\\InProcServer32", nullptr, folder_ + L"TavixEx.dll");
  WriteValue(classKey + L"\\InProcServer32", L"ThreadingModel", L"Apartment");
  WriteValue(classKey + L"\\Tavix", nullptr, Quoted(program_));
  WriteValue(HandlerKey, nullptr, L"TavixEx");
}

void TShellIntegration::UnregisterExtension() const { DeleteTree(ExtensionClassKey); }

std::wstring TShellIntegration::SendToFolder() {
  TRegKey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0,
                    KEY_READ, key.put()) != ERROR_SUCCESS)
    return L"";
  DWORD type = 0, bytes = 0;
  if (RegQueryValueExW(key.get(), L"SendTo", nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) return L"";
  std::vector<wchar_t> data(bytes / sizeof(wchar_t) + 1, L'\0');
  if (RegQueryValueExW(key.get(), L"SendTo", nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &bytes) !=
      ERROR_SUCCESS)
    return L"";
  return data.data();
}

void TShellIntegration::CreateShortcut(const wchar_t* name, const std::wstring& target) const {
  std::vector<wchar_t> sendTo(32768);
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_SENDTO, nullptr, SHGFP_TYPE_CURRENT, sendTo.data()))) return;
  TComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())))
    return;
  link->SetPath(target.c_str());
  std::wstring workFolder = folder_.empty() ? folder_ : folder_.substr(0, folder_.size() - 1);
  link->SetWorkingDirectory(workFolder.c_str());
  TComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void()))) return;
  file->Save((std::wstring(sendTo.data()) + L"\\" + name).c_str(), TRUE);
}

void TShellIntegration::CreatePackShortcut() const { CreateShortcut(PackShortcutName, folder_ + L"TavixA.exe"); }

void TShellIntegration::CreateOpenShortcut() const { CreateShortcut(OpenShortcutName, program_); }

void TShellIntegration::DeleteShortcut(const wchar_t* name) {
  std::wstring sendTo = SendToFolder();
  if (!sendTo.empty()) DeleteFileW((sendTo + L"\\" + name).c_str());
}
