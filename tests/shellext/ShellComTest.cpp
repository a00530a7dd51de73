// The context-menu extension as Explorer meets it, end to end: the release
// folder copied to a folder with blanks, the library registered by regsvr32,
// the object made by CoCreateInstance, a data object from the shell's own
// folder for real files, the menu with the keys held, and the invocation
// starting the real Tavix, whose archives lhasa and unzip judge.
#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../support/XInput.h"
#include "engine/Handles.h"
#include "shellext/HandOverBlock.h"

namespace {

constexpr CLSID ClassId = {0xC90C7380, 0xDF4C, 0x11D1, {0xAB, 0xBA, 0x92, 0xD7, 0x58, 0x41, 0x25, 0x12}};
const std::wstring ClassKey = L"CLSID\\{C90C7380-DF4C-11D1-ABBA-92D758412512}";

std::wstring WinPath(std::string path) {
  for (char& c : path)
    if (c == '/') c = '\\';
  return L"Z:" + hand_over::Widen(path, CP_UTF8);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  TFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::wstring Lower(std::wstring text) {
  CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

void HoldKeys(bool shift, bool control) {
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_SHIFT] = shift ? 0x80 : 0;
  keys[VK_CONTROL] = control ? 0x80 : 0;
  SetKeyboardState(keys);
}

// Runs a program and waits for its exit code.
DWORD RunAndWait(std::wstring commandLine) {
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return 0xFFFFFFFF;
  TKernelHandle thread(process.hThread);
  TKernelHandle running(process.hProcess);
  if (WaitForSingleObject(running.get(), 60000) != WAIT_OBJECT_0) return 0xFFFFFFFE;
  DWORD code = 0;
  GetExitCodeProcess(running.get(), &code);
  return code;
}

// The processes whose program is folder's Tavix.exe.
std::vector<DWORD> TavixProcesses(const std::wstring& folder) {
  std::vector<DWORD> found;
  TKernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{sizeof entry};
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
    if (lstrcmpiW(entry.szExeFile, L"Tavix.exe") != 0) continue;
    TKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
    wchar_t image[MAX_PATH * 2] = {};
    DWORD size = MAX_PATH * 2;
    if (process && QueryFullProcessImageNameW(process.get(), 0, image, &size) &&
        Lower(image) == Lower(folder + L"Tavix.exe"))
      found.push_back(entry.th32ProcessID);
  }
  return found;
}

struct TWindowSearch {
  std::vector<DWORD> processes;
  std::vector<HWND> windows;
};

BOOL CALLBACK CollectMainWindows(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<TWindowSearch*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  // The main window's caption names the archive kind first ("ZIP: a.zip").
  if (IsWindowVisible(window) && std::count(search->processes.begin(), search->processes.end(), process) &&
      wcsstr(text, L": ") != nullptr)
    search->windows.push_back(window);
  return TRUE;
}

BOOL CALLBACK CollectQuestions(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<TWindowSearch*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t name[32] = {};
  GetClassNameW(window, name, 32);
  if (IsWindowVisible(window) && std::count(search->processes.begin(), search->processes.end(), process) &&
      lstrcmpW(name, L"#32770") == 0)
    search->windows.push_back(window);
  return TRUE;
}

std::vector<std::wstring> MainWindowCaptions(const std::wstring& folder) {
  TWindowSearch search{TavixProcesses(folder)};
  EnumWindows(CollectMainWindows, reinterpret_cast<LPARAM>(&search));
  std::vector<std::wstring> captions;
  for (HWND window : search.windows) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    captions.push_back(text);
  }
  std::sort(captions.begin(), captions.end());
  return captions;
}

template <typename F>
bool WaitFor(F done, int milliseconds = 90000) {
  for (int waited = 0; waited < milliseconds; waited += 50) {
    if (done()) return true;
    Sleep(50);
  }
  return done();
}

// A data object with text only, as an application that drops no files offers.
class TTextOnlyData : public IDataObject {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject)) {
      *object = this;
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM*) override {
    return format->cfFormat == CF_TEXT ? E_NOTIMPL : DV_E_FORMATETC;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC*) override { return DV_E_FORMATETC; }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
};

class ShellCom : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetACP(), 932u);
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static int counter = 0;
    // Wine reuses process ids: the time keeps the name new.
    folder_ = std::wstring(temp) + L"Tavix release " + std::to_wstring(GetCurrentProcessId()) + L"-" +
              std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(++counter) + L"\\";
    ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
    // The release folder as cmake --install lays it out, all in one folder.
    std::wstring release = WinPath(TAVIX_BINARY_DIR) + L"\\release\\";
    WIN32_FIND_DATAW found{};
    TFindHandle find(FindFirstFileW((release + L"*").c_str(), &found));
    ASSERT_TRUE(find) << "no release folder";
    std::vector<std::wstring> names;
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileW(find.get(), &found));
    for (const wchar_t* needed : {L"Tavix.exe", L"TavixEx.dll", L"UNLHA32.DLL", L"UNZIP32.DLL", L"ZIP32J.DLL",
                                  L"CAB32.DLL", L"Tavix.ini"})
      EXPECT_TRUE(std::count(names.begin(), names.end(), needed)) << hand_over::Narrow(needed, CP_UTF8, nullptr);
    for (const std::wstring& name : names)
      ASSERT_TRUE(CopyFileW((release + name).c_str(), (folder_ + name).c_str(), FALSE));
    std::wstring ini = folder_ + L"Tavix.ini";
    WritePrivateProfileStringW(L"Options", L"WorkDir", (folder_ + L"work").c_str(), ini.c_str());
    WritePrivateProfileStringW(L"Options", L"UseShellIcon", L"0", ini.c_str());
    WritePrivateProfileStringW(L"Options", L"NewMode", L"1", ini.c_str());
    WritePrivateProfileStringW(L"Options", L"AutoNaming", L"0", ini.c_str());
    data_ = folder_ + L"data files\\";
    ASSERT_TRUE(CreateDirectoryW(data_.c_str(), nullptr));

    RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKey.c_str());
    ASSERT_EQ(RunAndWait(L"regsvr32.exe /s \"" + folder_ + L"TavixEx.dll\""), 0u);
    // The program's path, as the settings dialog writes it beside the class.
    TRegKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, (ClassKey + L"\\Tavix").c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                              key.put(), nullptr),
              ERROR_SUCCESS);
    std::wstring program = L"\"" + folder_ + L"Tavix.exe\"";
    ASSERT_EQ(RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(program.c_str()),
                             static_cast<DWORD>((program.size() + 1) * 2)),
              ERROR_SUCCESS);
    HoldKeys(false, false);
  }

  void TearDown() override {
    HoldKeys(false, false);
    // Whatever is still open is closed as a user closes it (again when the
    // window was still busy with its first job), and a new archive not saved
    // yet is let go.
    int round = 0;
    EXPECT_TRUE(WaitFor(
        [&] {
          TWindowSearch search{TavixProcesses(folder_)};
          EnumWindows(CollectQuestions, reinterpret_cast<LPARAM>(&search));
          for (HWND question : search.windows) PostMessageW(question, WM_COMMAND, IDNO, 0);
          if (search.windows.empty() && round++ % 20 == 0) {
            EnumWindows(CollectMainWindows, reinterpret_cast<LPARAM>(&search));
            for (HWND window : search.windows) PostMessageW(window, WM_CLOSE, 0, 0);
          }
          return search.processes.empty();
        },
        30000));
    for (DWORD process : TavixProcesses(folder_)) {
      TKernelHandle running(OpenProcess(PROCESS_TERMINATE, FALSE, process));
      TerminateProcess(running.get(), 1);
    }
    RunAndWait(L"regsvr32.exe /s /u \"" + folder_ + L"TavixEx.dll\"");
    CoUninitialize();
    // The copy of the release folder is large: it goes with the test.
    std::wstring from = folder_.substr(0, folder_.size() - 1) + L'\0';
    SHFILEOPSTRUCTW remove{};
    remove.wFunc = FO_DELETE;
    remove.pFrom = from.c_str();
    remove.fFlags = FOF_NO_UI;
    SHFileOperationW(&remove);
  }

  std::wstring Data(const std::wstring& name, const std::string& content) {
    WriteBytes(data_ + name, content);
    return data_ + name;
  }

  // The shell's own data object for files of the data folder.
  TComPtr<IDataObject> ShellDataObject(const std::vector<std::wstring>& names) {
    TComPtr<IShellFolder> desktop;
    EXPECT_EQ(SHGetDesktopFolder(desktop.put()), S_OK);
    TComPtr<IShellFolder> folder;
    PIDLIST_RELATIVE folderId = nullptr;
    EXPECT_EQ(desktop->ParseDisplayName(nullptr, nullptr, const_cast<wchar_t*>(data_.c_str()), nullptr, &folderId,
                                        nullptr),
              S_OK);
    EXPECT_EQ(desktop->BindToObject(folderId, nullptr, IID_IShellFolder, folder.put_void()), S_OK);
    CoTaskMemFree(folderId);
    std::vector<PITEMID_CHILD> items;
    for (const std::wstring& name : names) {
      PIDLIST_RELATIVE item = nullptr;
      EXPECT_EQ(folder->ParseDisplayName(nullptr, nullptr, const_cast<wchar_t*>(name.c_str()), nullptr, &item, nullptr),
                S_OK);
      items.push_back(static_cast<PITEMID_CHILD>(item));
    }
    TComPtr<IDataObject> data;
    EXPECT_EQ(folder->GetUIObjectOf(nullptr, static_cast<UINT>(items.size()),
                                    const_cast<PCUITEMID_CHILD_ARRAY>(items.data()), IID_IDataObject, nullptr,
                                    data.put_void()),
              S_OK);
    for (PITEMID_CHILD item : items) CoTaskMemFree(item);
    return data;
  }

  // Right-click with the keys held: the item's caption, and the menu object.
  TComPtr<IContextMenu> RightClick(const std::vector<std::wstring>& names, bool shift, bool control,
                                   std::wstring& caption) {
    TComPtr<IShellExtInit> init;
    EXPECT_EQ(CoCreateInstance(ClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit, init.put_void()), S_OK);
    TComPtr<IContextMenu> menu;
    if (!init) return menu;
    TComPtr<IDataObject> data = ShellDataObject(names);
    EXPECT_EQ(init->Initialize(nullptr, data.get(), nullptr), S_OK);
    EXPECT_EQ(init->QueryInterface(IID_IContextMenu, menu.put_void()), S_OK);
    TMenu popup(CreatePopupMenu());
    AppendMenuW(popup.get(), MF_STRING, 1, L"開く(&O)");
    HoldKeys(shift, control);
    HRESULT added = menu->QueryContextMenu(popup.get(), 0, 100, 200, CMF_NORMAL);
    HoldKeys(false, false);
    caption.clear();
    if (added == 1) {
      wchar_t text[256] = {};
      GetMenuStringW(popup.get(), 0, text, 256, MF_BYPOSITION);
      caption = text;
    }
    return menu;
  }

  static HRESULT Choose(IContextMenu* menu) {
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof(info);
    info.lpVerb = MAKEINTRESOURCEA(0);
    info.nShow = SW_SHOWNORMAL;
    return menu->InvokeCommand(&info);
  }

  int Tool(const std::wstring& command) { return RunUnix(L"", command + L" >/dev/null 2>&1"); }

  std::wstring folder_, data_;
};

TEST_F(ShellCom, RegsvrRegistersTheLibraryItSits) {
  wchar_t value[1024] = {};
  LONG size = sizeof(value);
  ASSERT_EQ(RegQueryValueW(HKEY_CLASSES_ROOT, (ClassKey + L"\\InprocServer32").c_str(), value, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(value), L"\"" + folder_ + L"TavixEx.dll\"");
  size = sizeof(value);
  ASSERT_EQ(RegQueryValueW(HKEY_CLASSES_ROOT, ClassKey.c_str(), value, &size), ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(value), L"Tavix ContextMenu");
}

TEST_F(ShellCom, CompressEachGivesAZipBesideEveryFileAndEnds) {
  const std::vector<std::wstring> names = {L"report.doc", L"notes.txt", L"two words.txt"};
  for (const std::wstring& name : names) Data(name, "content of " + hand_over::Narrow(name, CP_ACP, nullptr) + "\n");
  std::wstring caption;
  TComPtr<IContextMenu> menu = RightClick(names, true, true, caption);
  ASSERT_TRUE(menu);
  EXPECT_EQ(caption, L"Tavixでﾌｧｲﾙ毎に圧縮...");
  ASSERT_EQ(Choose(menu.get()), S_OK);
  EXPECT_TRUE(WaitFor([&] { return !TavixProcesses(folder_).empty(); }, 30000)) << "Tavix did not start";
  // The program ends by itself after the last archive.
  EXPECT_TRUE(WaitFor([&] { return TavixProcesses(folder_).empty(); }));
  for (const std::wstring& name : names) {
    std::wstring zip = data_ + name + L".zip";
    ASSERT_TRUE(Exists(zip)) << hand_over::Narrow(zip, CP_UTF8, nullptr);
    EXPECT_EQ(Tool(L"unzip -t '" + UnixPath(zip) + L"'"), 0);
    EXPECT_EQ(Tool(L"unzip -p '" + UnixPath(zip) + L"' '" + name + L"' | grep -q 'content of'"), 0);
  }
}

TEST_F(ShellCom, CompressPutsEveryFileIntoOneNewArchive) {
  Data(L"a.txt", "alpha\n");
  Data(L"b.txt", "beta\n");
  std::wstring caption;
  TComPtr<IContextMenu> menu = RightClick({L"a.txt", L"b.txt"}, true, false, caption);
  ASSERT_TRUE(menu);
  EXPECT_EQ(caption, L"Tavixで圧縮...");
  ASSERT_EQ(Choose(menu.get()), S_OK);
  // The window stays open in new-archive mode; the archive waits in its work folder.
  EXPECT_TRUE(WaitFor([&] { return MainWindowCaptions(folder_) == std::vector<std::wstring>{L"ZIP: Newfile.zip"}; }));
  std::wstring zip = folder_ + L"work\\~Tavix0\\Newfile.zip";
  EXPECT_TRUE(WaitFor([&] { return Tool(L"unzip -l '" + UnixPath(zip) + L"' | grep -q b.txt") == 0; }));
  EXPECT_EQ(Tool(L"unzip -p '" + UnixPath(zip) + L"' a.txt | grep -q alpha"), 0);
}

TEST_F(ShellCom, OpenStartsAnInstancePerFurtherArchive) {
  for (const wchar_t* name : {L"first.txt", L"second.txt", L"third.txt"}) Data(name, "x\n");
  std::vector<std::wstring> archives = {L"One.zip", L"Two Words.zip", L"Three.zip"};
  for (size_t i = 0; i < archives.size(); ++i)
    ASSERT_EQ(Tool(L"cd '" + UnixPath(data_) + L"' && zip -q '" + archives[i] + L"' first.txt second.txt"), 0);
  std::wstring caption;
  TComPtr<IContextMenu> menu = RightClick(archives, false, false, caption);
  ASSERT_TRUE(menu);
  EXPECT_EQ(caption, L"Tavixで開く...");
  ASSERT_EQ(Choose(menu.get()), S_OK);
  std::vector<std::wstring> expected = {L"ZIP: One.zip", L"ZIP: Three.zip", L"ZIP: Two Words.zip"};
  EXPECT_TRUE(WaitFor([&] { return MainWindowCaptions(folder_) == expected; }));
  EXPECT_EQ(TavixProcesses(folder_).size(), 3u);
}

// Two quick choices: each program gets its own list, although the second
// choice comes before the first program has read the block.
TEST_F(ShellCom, TwoQuickChoicesEachOpenTheirOwnArchive) {
  Data(L"first.txt", "x\n");
  ASSERT_EQ(Tool(L"cd '" + UnixPath(data_) + L"' && zip -q Left.zip first.txt && zip -q Right.zip first.txt"), 0);
  std::wstring caption;
  TComPtr<IContextMenu> left = RightClick({L"Left.zip"}, false, false, caption);
  ASSERT_TRUE(left);
  ASSERT_EQ(Choose(left.get()), S_OK);
  TComPtr<IContextMenu> right = RightClick({L"Right.zip"}, false, false, caption);
  ASSERT_TRUE(right);
  ASSERT_EQ(Choose(right.get()), S_OK);
  std::vector<std::wstring> expected = {L"ZIP: Left.zip", L"ZIP: Right.zip"};
  EXPECT_TRUE(WaitFor([&] { return MainWindowCaptions(folder_) == expected; }));
}

TEST_F(ShellCom, ADataObjectWithoutFilesOffersNothing) {
  TComPtr<IShellExtInit> init;
  ASSERT_EQ(CoCreateInstance(ClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit, init.put_void()), S_OK);
  TTextOnlyData text;
  EXPECT_EQ(init->Initialize(nullptr, &text, nullptr), DV_E_FORMATETC);
}

// The settings file beside the library may be anything: the default list.
TEST_F(ShellCom, AGarbageOrReadOnlySettingsFileGivesTheDefaultList) {
  Data(L"x.lzh", "");
  Data(L"x.txt", "");
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 7919 + 13) & 0xFF);
  WriteBytes(folder_ + L"Tavix.ini", garbage);
  std::wstring caption;
  RightClick({L"x.lzh"}, false, false, caption);
  EXPECT_EQ(caption, L"Tavixで開く...");
  RightClick({L"x.txt"}, false, false, caption);
  EXPECT_EQ(caption, L"");

  DeleteFileW((folder_ + L"Tavix.ini").c_str());
  WritePrivateProfileStringW(L"Options", L"Archives", L".TXT", (folder_ + L"Tavix.ini").c_str());
  SetFileAttributesW((folder_ + L"Tavix.ini").c_str(), FILE_ATTRIBUTE_READONLY);
  RightClick({L"x.txt"}, false, false, caption);
  EXPECT_EQ(caption, L"Tavixで開く...");
  SetFileAttributesW((folder_ + L"Tavix.ini").c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
