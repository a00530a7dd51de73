// The context-menu extension through its exports, as Explorer drives it: a
// file-drop data object, the menu, the key states and the invocation that
// starts the main program (a recorder here) with the hand-over block.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

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

// A data object that offers only a file-drop list, as Explorer's does.
class TDropData : public IDataObject {
 public:
  explicit TDropData(std::vector<std::wstring> files) : files_(std::move(files)) {}
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
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (format->cfFormat != CF_HDROP || !(format->tymed & TYMED_HGLOBAL)) return DV_E_FORMATETC;
    std::wstring names;
    for (const std::wstring& file : files_) names += file + L'\0';
    names += L'\0';
    if (files_.empty()) names += L'\0';
    size_t bytes = sizeof(DROPFILES) + names.size() * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    {
      TGlobalLock<BYTE> lock(memory);
      auto* drop = reinterpret_cast<DROPFILES*>(lock.get());
      drop->pFiles = sizeof(DROPFILES);
      drop->fWide = TRUE;
      memcpy(lock.get() + sizeof(DROPFILES), names.data(), names.size() * sizeof(wchar_t));
    }
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = memory;
    medium->pUnkForRelease = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

 private:
  std::vector<std::wstring> files_;
};

void HoldKeys(bool shift, bool control) {
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_SHIFT] = shift ? 0x80 : 0;
  keys[VK_CONTROL] = control ? 0x80 : 0;
  SetKeyboardState(keys);
}

BOOL CALLBACK TakeStaticText(HWND child, LPARAM found) {
  wchar_t name[32], buffer[512];
  GetClassNameW(child, name, 32);
  if (lstrcmpiW(name, L"Static") == 0 && GetWindowTextW(child, buffer, 512) > 0)
    *reinterpret_cast<std::wstring*>(found) = buffer;
  return TRUE;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void SetProgramValue(const std::wstring& value) {
  TRegKey key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, (ClassKey + L"\\Tavix").c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                            key.put(), nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>((value.size() + 1) * 2)),
            ERROR_SUCCESS);
}

struct TRecord {
  std::wstring commandLine;
  std::string block;
};

class ContextMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int counter = 0;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    // A blank in the folder: the registered program path arrives quoted.
    // Wine reuses process ids: the time keeps the name new.
    folder_ = std::wstring(temp) + L"shell ext " + std::to_wstring(GetCurrentProcessId()) + L"-" +
              std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(++counter) + L"\\";
    ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
    std::wstring bin = WinPath(TAVIX_BINARY_DIR) + L"\\bin\\";
    ASSERT_TRUE(CopyFileW((bin + L"TavixEx.dll").c_str(), (folder_ + L"TavixEx.dll").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW((bin + L"handover_recorder.exe").c_str(), (folder_ + L"Tavix.exe").c_str(), FALSE));
    library_ = LoadLibraryW((folder_ + L"TavixEx.dll").c_str());
    ASSERT_NE(library_, nullptr);
    getClassObject_ = reinterpret_cast<decltype(getClassObject_)>(
        reinterpret_cast<void*>(GetProcAddress(library_, "DllGetClassObject")));
    ASSERT_NE(getClassObject_, nullptr);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKey.c_str());
    SetProgramValue(L"\"" + folder_ + L"Tavix.exe\"");
    HoldKeys(false, false);
  }
  void TearDown() override {
    // A program still held by its test may go on.
    Touch(L"release");
    HoldKeys(false, false);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKey.c_str());
    if (library_ != nullptr) FreeLibrary(library_);
  }

  template <typename F>
  F Export(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(library_, name)));
  }

  TComPtr<IContextMenu> MenuFor(const std::vector<std::wstring>& files) {
    TComPtr<IClassFactory> factory;
    EXPECT_EQ(getClassObject_(ClassId, IID_IClassFactory, factory.put_void()), S_OK);
    TComPtr<IShellExtInit> init;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IShellExtInit, init.put_void()), S_OK);
    TDropData data(files);
    EXPECT_EQ(init->Initialize(nullptr, &data, nullptr), S_OK);
    TComPtr<IContextMenu> menu;
    EXPECT_EQ(init->QueryInterface(IID_IContextMenu, menu.put_void()), S_OK);
    return menu;
  }

  // The caption the menu got, or empty when no item was added.
  static std::wstring Caption(IContextMenu* menu) {
    TMenu popup(CreatePopupMenu());
    HRESULT added = menu->QueryContextMenu(popup.get(), 0, 100, 200, CMF_NORMAL);
    if (added == 0) return L"";
    EXPECT_EQ(added, 1);
    wchar_t text[256] = {};
    GetMenuStringW(popup.get(), 100, text, 256, MF_BYCOMMAND);
    return text;
  }

  static HRESULT Invoke(IContextMenu* menu, UINT_PTR verb) {
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof(info);
    info.lpVerb = reinterpret_cast<LPCSTR>(verb);
    info.nShow = SW_SHOWNORMAL;
    return menu->InvokeCommand(&info);
  }

  void Touch(const wchar_t* name) {
    HANDLE file = CreateFileW((folder_ + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
  bool WaitForFile(const wchar_t* name) {
    auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!Exists(folder_ + name) && std::chrono::steady_clock::now() < limit)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return Exists(folder_ + name);
  }
  // Invokes the item for the files, the way the user does it.
  void InvokeFor(const std::vector<std::wstring>& files) {
    TComPtr<IContextMenu> menu = MenuFor(files);
    ASSERT_EQ(Caption(menu.get()), L"Tavixで開く...");
    ASSERT_EQ(Invoke(menu.get(), 0), S_OK);
  }
  // The files a record's block held (empty when the block was empty).
  static std::vector<std::wstring> Listed(const TRecord& record) {
    return hand_over::Decode(record.block.substr(0, record.block.find('\0')));
  }

  TRecord WaitForRecord() {
    std::wstring path = folder_ + L"record.bin";
    auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!Exists(path) && std::chrono::steady_clock::now() < limit)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::ifstream in(path.c_str(), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    std::string all = bytes.str();
    in.close();
    DeleteFileW(path.c_str());
    size_t mark = all.find(std::string("\0\0|BLOCK|", 9));
    TRecord record;
    if (mark == std::string::npos) return record;
    if (mark % 2 == 1) ++mark;  // the wide text ends on an even offset
    record.commandLine.assign(reinterpret_cast<const wchar_t*>(all.data()), (mark - 0) / 2);
    record.block = all.substr(mark + 9);
    return record;
  }

  // Runs the invocation on a thread of its own and answers the message box it
  // shows; returns the box's title and text.
  std::pair<std::wstring, std::wstring> InvokeExpectingMessage(IContextMenu* menu, const wchar_t* title) {
    HRESULT result = E_UNEXPECTED;
    std::thread invoke([&] { result = Invoke(menu, 0); });
    HWND box = nullptr;
    auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while ((box = FindWindowW(L"#32770", title)) == nullptr && std::chrono::steady_clock::now() < limit)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::wstring text;
    if (box != nullptr) {
      EnumChildWindows(box, TakeStaticText, reinterpret_cast<LPARAM>(&text));
      PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    invoke.join();
    EXPECT_EQ(result, S_OK);
    return {box != nullptr ? title : L"", text};
  }

  std::wstring folder_;
  HMODULE library_ = nullptr;
  HRESULT(STDAPICALLTYPE* getClassObject_)(REFCLSID, REFIID, void**) = nullptr;
};

TEST_F(ContextMenuTest, OffersOneItemByKeysAndTheArchiveList) {
  struct Case {
    const wchar_t* file;
    bool shift, control;
    const char* archives;  // nullptr: no settings file
    const wchar_t* caption;
    const wchar_t* switchWord;
  } cases[] = {
      {L"C:\\data\\x.LZH", false, false, nullptr, L"Tavixで開く...", L"/MELT"},
      {L"C:\\data\\a.zip", false, false, nullptr, L"Tavixで開く...", L"/MELT"},
      {L"C:\\data\\x.txt", false, false, nullptr, L"", nullptr},
      {L"C:\\data\\x.txt", true, false, nullptr, L"Tavixで圧縮...", L"/PACK"},
      {L"C:\\data\\x.txt", false, true, nullptr, L"Tavixで開く...", L"/MELT"},
      {L"C:\\data\\x.txt", true, true, nullptr, L"Tavixでﾌｧｲﾙ毎に圧縮...", L"/PACKS"},
      {L"C:\\data.zip\\readme", false, false, nullptr, L"Tavixで開く...", nullptr},
      {L"C:\\data\\x.LZH", false, false, ".lzh.zip", L"", nullptr},
      {L"C:\\data\\a.zip", false, false, ".LZH.ZIP", L"Tavixで開く...", nullptr},
      {L"C:\\data\\x.H", false, false, nullptr, L"", nullptr},
      {L"C:\\data\\x.lzh", false, false, "", L"Tavixで開く...", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(hand_over::Narrow(c.file, CP_UTF8, nullptr) + " archives=" + (c.archives ? c.archives : "-"));
    std::wstring ini = folder_ + L"Tavix.ini";
    DeleteFileW(ini.c_str());
    if (c.archives != nullptr)
      WritePrivateProfileStringW(L"Options", L"Archives", hand_over::Widen(c.archives, CP_UTF8).c_str(),
                                 ini.c_str());
    TComPtr<IContextMenu> menu = MenuFor({c.file});
    HoldKeys(c.shift, c.control);
    EXPECT_EQ(Caption(menu.get()), c.caption);
    HoldKeys(false, false);
    if (c.switchWord == nullptr) continue;
    ASSERT_EQ(Invoke(menu.get(), 0), S_OK);
    TRecord record = WaitForRecord();
    EXPECT_EQ(record.commandLine, L"\"" + folder_ + L"Tavix.exe\" " + c.switchWord);
  }
}

TEST_F(ContextMenuTest, HandsEveryFileOverInTheShellsOrder) {
  std::wstring longName = L"C:\\" + std::wstring(290, L'n') + L".txt";
  std::vector<std::wstring> files = {L"C:\\b\\second file.LZH", L"C:\\a\\丸①と¥.txt", longName,
                                     L"C:\\データ\\日本語.lzh"};
  TComPtr<IContextMenu> menu = MenuFor(files);
  ASSERT_EQ(Caption(menu.get()), L"Tavixで開く...");
  ASSERT_EQ(Invoke(menu.get(), 0), S_OK);
  TRecord record = WaitForRecord();
  ASSERT_FALSE(record.block.empty()) << "the program did not start or found no block";
  std::string text = record.block.substr(0, record.block.find('\0'));
  EXPECT_EQ(hand_over::Decode(text), files);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");

  // Paths the code page can hold keep the plain layout.
  TComPtr<IContextMenu> plain = MenuFor({L"C:\\x\\a.lzh", L"C:\\y\\b.txt"});
  Caption(plain.get());
  ASSERT_EQ(Invoke(plain.get(), 0), S_OK);
  record = WaitForRecord();
  EXPECT_EQ(record.block.substr(0, record.block.find('\0')), "C:\\x\\a.lzh\r\nC:\\y\\b.txt\r\n");
}

// A list that does not fit the block is not cut into a list that looks
// complete: the user is told and nothing starts. One path less fits.
TEST_F(ContextMenuTest, ListTooLongForTheBlockIsToldAndStartsNothing) {
  std::vector<std::wstring> files;
  std::wstring text;
  for (int i = 0; text.size() + 300 < 0x7FFF; ++i) {
    files.push_back(L"C:\\folder\\" + std::to_wstring(1000 + i) + std::wstring(240, L'x') + L".lzh");
    text += files.back() + L"\r\n";
  }
  // Exactly full: the last line and its zero end at the block's last byte.
  std::wstring last = L"C:\\" + std::wstring(0x7FFF - text.size() - 2 - 1 - 3 - 4, L'z') + L".lzh";
  files.push_back(last);
  TComPtr<IContextMenu> fits = MenuFor(files);
  Caption(fits.get());
  ASSERT_EQ(Invoke(fits.get(), 0), S_OK);
  TRecord record = WaitForRecord();
  ASSERT_EQ(record.block.size(), 0x7FFFu);
  EXPECT_EQ(hand_over::Decode(record.block.substr(0, record.block.find('\0'))), files);

  files.push_back(L"C:\\one more.lzh");
  TComPtr<IContextMenu> menu = MenuFor(files);
  Caption(menu.get());
  auto told = InvokeExpectingMessage(menu.get(), L"実行ｴﾗｰ");
  EXPECT_EQ(told.second, L"選択されたﾌｧｲﾙが多すぎて Tavix に渡せません. 数を減らして選び直してください.");
  EXPECT_FALSE(Exists(folder_ + L"record.bin"));
}

TEST_F(ContextMenuTest, BadRegistrationIsToldAndStartsNothing) {
  TComPtr<IContextMenu> menu = MenuFor({L"C:\\data\\x.lzh"});
  Caption(menu.get());

  RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKey.c_str());
  auto missing = InvokeExpectingMessage(menu.get(), L"実行ｴﾗｰ");
  EXPECT_EQ(missing.first, L"実行ｴﾗｰ");
  EXPECT_EQ(missing.second, L"Tavix を実行出来ません.");

  TRegKey key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, (ClassKey + L"\\Tavix").c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                            key.put(), nullptr),
            ERROR_SUCCESS);
  DWORD number = 1;
  RegSetValueExW(key.get(), nullptr, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
  auto invalid = InvokeExpectingMessage(menu.get(), L"エラー");
  EXPECT_EQ(invalid.second, L"Tavixの登録情報が不正です.");

  SetProgramValue(L"\"" + folder_ + L"missing.exe\"");
  auto notStarted = InvokeExpectingMessage(menu.get(), L"実行ｴﾗｰ");
  EXPECT_EQ(notStarted.second, L"Tavix を実行出来ません.");
  EXPECT_FALSE(Exists(folder_ + L"record.bin"));
}

// A program that is slow to take its list does not hold Explorer: the next
// invocation returns at once (the test lets the first program go only
// after that), and each program still gets its own list, in order.
TEST_F(ContextMenuTest, SlowProgramHoldsNeitherTheCallerNorTheNextList) {
  const std::vector<std::wstring> first = {L"C:\\data\\first.lzh"};
  const std::vector<std::wstring> second = {L"C:\\data\\second.zip", L"C:\\data\\third.lzh"};
  Touch(L"hold");
  InvokeFor(first);
  ASSERT_TRUE(WaitForFile(L"held")) << "the first program did not start";
  InvokeFor(second);
  Touch(L"release");
  TRecord one = WaitForRecord();
  EXPECT_EQ(Listed(one), first);
  TRecord two = WaitForRecord();
  EXPECT_EQ(Listed(two), second);
  EXPECT_EQ(two.commandLine, L"\"" + folder_ + L"Tavix.exe\" /MELT");
}

// A program that never takes its list is taken as hung after a while: the
// next list reaches its own program, and the hung one, should it wake,
// finds no list rather than another's.
TEST_F(ContextMenuTest, ProgramThatNeverTakesItsListIsPassedInTheEnd) {
  const std::vector<std::wstring> first = {L"C:\\data\\first.lzh"};
  const std::vector<std::wstring> second = {L"C:\\data\\second.zip"};
  Touch(L"hold");
  InvokeFor(first);
  ASSERT_TRUE(WaitForFile(L"held")) << "the first program did not start";
  InvokeFor(second);
  TRecord two = WaitForRecord();
  EXPECT_EQ(Listed(two), second);
  Touch(L"release");
  TRecord one = WaitForRecord();
  ASSERT_FALSE(one.commandLine.empty()) << "the first program wrote no record";
  EXPECT_TRUE(Listed(one).empty());
}

TEST_F(ContextMenuTest, AnswersOnlyForItsOwnCommand) {
  TComPtr<IContextMenu> menu = MenuFor({L"C:\\data\\x.lzh"});
  Caption(menu.get());
  EXPECT_EQ(Invoke(menu.get(), reinterpret_cast<UINT_PTR>("open")), E_FAIL);
  EXPECT_EQ(Invoke(menu.get(), 1), E_INVALIDARG);

  char narrow[64] = {};
  EXPECT_EQ(menu->GetCommandString(0, GCS_HELPTEXTA, nullptr, narrow, sizeof(narrow)), S_OK);
  EXPECT_STREQ(narrow, "Tavix ComtextMenu");
  char cut[6] = {};
  EXPECT_EQ(menu->GetCommandString(0, GCS_VERBA, nullptr, cut, sizeof(cut)), S_OK);
  EXPECT_STREQ(cut, "Tavix");
  wchar_t wide[64] = {};
  EXPECT_EQ(menu->GetCommandString(0, GCS_HELPTEXTW, nullptr, reinterpret_cast<char*>(wide), 64), S_OK);
  EXPECT_STREQ(wide, L"Tavix ComtextMenu");
  EXPECT_EQ(menu->GetCommandString(0, GCS_VALIDATEA, nullptr, nullptr, 0), S_OK);
  EXPECT_EQ(menu->GetCommandString(1, GCS_VERBA, nullptr, narrow, sizeof(narrow)), E_INVALIDARG);

  TComPtr<IClassFactory> factory;
  ASSERT_EQ(getClassObject_(ClassId, IID_IClassFactory, factory.put_void()), S_OK);
  TComPtr<IShellExtInit> init;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IShellExtInit, init.put_void()), S_OK);
  EXPECT_EQ(init->Initialize(nullptr, nullptr, nullptr), E_FAIL);
  TDropData empty({});
  EXPECT_EQ(init->Initialize(nullptr, &empty, nullptr), E_FAIL);
  TComPtr<IContextMenu> afterEmpty;
  ASSERT_EQ(init->QueryInterface(IID_IContextMenu, afterEmpty.put_void()), S_OK);
  EXPECT_EQ(Caption(afterEmpty.get()), L"");
}

TEST_F(ContextMenuTest, RegistersItselfAndUnloadsOnlyWhenUnused) {
  auto registerServer = Export<HRESULT(STDAPICALLTYPE*)()>("DllRegisterServer");
  auto unregisterServer = Export<HRESULT(STDAPICALLTYPE*)()>("DllUnregisterServer");
  auto canUnload = Export<HRESULT(STDAPICALLTYPE*)()>("DllCanUnloadNow");
  ASSERT_NE(registerServer, nullptr);
  ASSERT_NE(unregisterServer, nullptr);
  ASSERT_NE(canUnload, nullptr);

  ASSERT_EQ(registerServer(), S_OK);
  auto read = [](const std::wstring& name) {
    wchar_t value[1024] = {};
    LONG size = sizeof(value);
    return RegQueryValueW(HKEY_CLASSES_ROOT, name.c_str(), value, &size) == ERROR_SUCCESS ? std::wstring(value)
                                                                                      : L"<missing>";
  };
  EXPECT_EQ(read(ClassKey), L"Tavix ContextMenu");
  EXPECT_EQ(read(ClassKey + L"\\InProcServer32"), L"\"" + folder_ + L"TavixEx.dll\"");
  // The program's subkey, as the options dialog writes it, does not keep the class.
  ASSERT_EQ(unregisterServer(), S_OK);
  EXPECT_EQ(read(ClassKey), L"<missing>");

  EXPECT_EQ(canUnload(), S_OK);
  {
    TComPtr<IContextMenu> menu = MenuFor({L"C:\\data\\x.lzh"});
    EXPECT_EQ(canUnload(), S_FALSE);
  }
  EXPECT_EQ(canUnload(), S_OK);
}

}  // namespace
