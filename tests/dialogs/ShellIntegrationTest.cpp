// The options dialog's shell work on the (test prefix's) registry and Send To folder.
#include "ShellIntegration.h"
#include "engine/Handles.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::wstring ExtensionKey = L"CLSID\\{C90C7380-DF4C-11D1-ABBA-92D758412512}";
const std::wstring HandlerKey = L"*\\shellex\\ContextMenuHandlers\\{C90C7380-DF4C-11D1-ABBA-92D758412512}";

std::wstring Value(const std::wstring& key, const wchar_t* name = nullptr) {
  TRegKey handle;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, handle.put()) != ERROR_SUCCESS) return L"<no key>";
  wchar_t data[1024] = {};
  DWORD bytes = sizeof(data);
  if (RegQueryValueExW(handle.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &bytes) != ERROR_SUCCESS)
    return L"<no value>";
  return data;
}

void SetValue(const std::wstring& key, const std::wstring& value) {
  TRegKey handle;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, handle.put(), nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(handle.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * 2));
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class ShellIntegrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    Clean();
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    program_ = std::wstring(temp) + L"プログラム " + std::to_wstring(GetCurrentProcessId()) + L"\\Tavix.exe";
  }
  void TearDown() override {
    Clean();
    CoUninitialize();
  }
  static void Clean() {
    for (const wchar_t* key : {L".lzh", L".zip", L"LHA Archive File", L"ZIP Archive File"})
      RegDeleteTreeW(HKEY_CLASSES_ROOT, key);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, ExtensionKey.c_str());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, HandlerKey.c_str());
    TShellIntegration::DeleteShortcut(PackShortcutName);
    TShellIntegration::DeleteShortcut(OpenShortcutName);
  }
  std::wstring program_;
};

TEST_F(ShellIntegrationTest, AssociationsAndTheExtractVerbAreWrittenAndRecognised) {
  TShellIntegration shell(program_);
  TShellState state = shell.Read();
  EXPECT_FALSE(state.LzhAssociated || state.ZipAssociated || state.ExtractVerb || state.ExtensionRegistered);

  shell.Associate(LzhAssociation);
  EXPECT_EQ(Value(L".lzh"), L"LHA Archive File");
  EXPECT_EQ(Value(L"LHA Archive File"), L"LHA書庫ﾌｧｲﾙ");
  EXPECT_EQ(Value(L"LHA Archive File\\DefaultIcon"), L"\"" + program_ + L"\",1");
  EXPECT_EQ(Value(L"LHA Archive File\\shell\\open\\command"), L"\"" + program_ + L"\" \"%1\"");
  state = shell.Read();
  EXPECT_TRUE(state.LzhAssociated);
  EXPECT_FALSE(state.ZipAssociated);

  // Another program's association is not ours; the unquoted form of ours is.
  SetValue(L".zip", L"Other.Zip");
  SetValue(L"Other.Zip\\shell\\open\\command", L"C:\\other\\other.exe \"%1\"");
  EXPECT_FALSE(shell.Read().ZipAssociated);
  std::wstring upper = program_;
  CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  SetValue(L"Other.Zip\\shell\\open\\command", upper + L" %1");
  EXPECT_TRUE(shell.Read().ZipAssociated);
  RegDeleteTreeW(HKEY_CLASSES_ROOT, L"Other.Zip");

  shell.AddExtractVerb(LzhAssociation);
  EXPECT_EQ(Value(L"LHA Archive File\\shell\\extract"), L"Tavixで解凍");
  EXPECT_EQ(Value(L"LHA Archive File\\shell\\extract\\command"), L"\"" + program_ + L"\" -M \"%1\"");
  EXPECT_TRUE(shell.Read().ExtractVerb);
  shell.RemoveExtractVerb(LzhAssociation);
  EXPECT_FALSE(shell.Read().ExtractVerb);

  shell.RemoveAssociation(LzhAssociation);
  EXPECT_EQ(Value(L".lzh"), L"<no key>");
  EXPECT_EQ(Value(L"LHA Archive File"), L"<no key>");
  EXPECT_FALSE(shell.Read().LzhAssociated);
}

TEST_F(ShellIntegrationTest, ExtensionRegistrationHasItsFourEntriesAndGoesAsAWhole) {
  TShellIntegration shell(program_);
  shell.RegisterExtension();
  std::wstring folder = program_.substr(0, program_.rfind(L'\\') + 1);
  EXPECT_EQ(Value(ExtensionKey), L"Tavix Context Menu Shell Extension");
  EXPECT_EQ(Value(ExtensionKey + L"\\InProcServer32"), folder + L"TavixEx.dll");
  EXPECT_EQ(Value(ExtensionKey + L"\\InProcServer32", L"ThreadingModel"), L"Apartment");
  EXPECT_EQ(Value(ExtensionKey + L"\\Tavix"), L"\"" + program_ + L"\"");
  EXPECT_EQ(Value(HandlerKey), L"TavixEx");
  EXPECT_TRUE(shell.Read().ExtensionRegistered);
  shell.UnregisterExtension();
  EXPECT_EQ(Value(ExtensionKey), L"<no key>");
  EXPECT_FALSE(shell.Read().ExtensionRegistered);
}

TEST_F(ShellIntegrationTest, SendToShortcutsPointAtTheProgramAndItsCompanion) {
  TShellIntegration shell(program_);
  std::wstring sendTo = TShellIntegration::SendToFolder();
  ASSERT_FALSE(sendTo.empty());
  shell.CreateOpenShortcut();
  shell.CreatePackShortcut();
  TShellState state = shell.Read();
  EXPECT_TRUE(state.OpenShortcut);
  EXPECT_TRUE(state.PackShortcut);

  std::wstring folder = program_.substr(0, program_.rfind(L'\\') + 1);
  for (auto [name, target] : {std::pair{OpenShortcutName, program_}, std::pair{PackShortcutName, folder + L"TavixA.exe"}}) {
    TComPtr<IShellLinkW> link;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void()), S_OK);
    TComPtr<IPersistFile> file;
    ASSERT_EQ(link->QueryInterface(IID_IPersistFile, file.put_void()), S_OK);
    ASSERT_EQ(file->Load((sendTo + L"\\" + name).c_str(), STGM_READ), S_OK);
    wchar_t path[1024] = {}, work[1024] = {};
    link->GetPath(path, 1024, nullptr, SLGP_RAWPATH);
    link->GetWorkingDirectory(work, 1024);
    EXPECT_EQ(std::wstring(path), target);
    EXPECT_EQ(std::wstring(work) + L"\\", folder);
  }

  TShellIntegration::DeleteShortcut(OpenShortcutName);
  TShellIntegration::DeleteShortcut(PackShortcutName);
  EXPECT_FALSE(Exists(sendTo + L"\\" + OpenShortcutName));
  state = shell.Read();
  EXPECT_FALSE(state.OpenShortcut || state.PackShortcut);
}

}  // namespace
