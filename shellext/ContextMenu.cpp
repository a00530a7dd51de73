// The menu item, and starting the main program with the selected files.
#include "ContextMenu.h"

#include "engine/Handles.h"
#include "shellext/HandOverBlock.h"

#include <shellapi.h>

#include <cstring>
#include <string>
#include <vector>

std::atomic<long> g_serverReferences{0};

namespace {

constexpr wchar_t DefaultArchives[] = L".LZH.ZIP.CAB.ARJ.RAR.TAR.TZ.BZ2.GZ.Z";
constexpr char VerbText[] = "Tavix ComtextMenu";

enum TCommandKind { ckNone = 0, ckOpen = 1, ckPack = 2, ckPackEach = 3 };

std::vector<std::wstring> g_files;
int g_commandKind = ckNone;
std::wstring g_caption;
std::wstring g_libraryPath;
// Kept open for the life of the library so that the block still exists when
// the main program opens it.
TKernelHandle g_block;
TMappedView g_blockView;
// The program started last: while it runs and has not taken its list, a
// further invocation waits before it writes the block.
TKernelHandle g_started;
constexpr ULONGLONG TakeWaitLimit = 15000;

std::wstring FolderOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring ReadArchiveList() {
  std::wstring ini = FolderOf(g_libraryPath) + L"Tavix.ini";
  std::vector<wchar_t> buffer(1024);
  for (;;) {
    DWORD length = GetPrivateProfileStringW(L"Options", L"Archives", DefaultArchives, buffer.data(),
                                            static_cast<DWORD>(buffer.size()), ini.c_str());
    if (length + 1 < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

std::wstring ExtensionToken(const std::wstring& path) {
  size_t nameStart = path.find_last_of(L"\\/:");
  nameStart = nameStart == std::wstring::npos ? 0 : nameStart + 1;
  size_t dot = path.rfind(L'.');
  std::wstring token = dot == std::wstring::npos || dot < nameStart ? std::wstring() : path.substr(dot);
  if (!token.empty()) CharUpperBuffW(token.data(), static_cast<DWORD>(token.size()));
  token += L".";
  if (token[0] != L'.') token.insert(0, L".");
  return token;
}

bool KeyHeld(int key) { return (GetKeyState(key) & 0x8000) != 0; }

void ShowError(HWND owner, const wchar_t* text, const wchar_t* title) {
  MessageBoxW(owner, text, title, MB_OK | MB_ICONERROR);
}

// The quoted program path from the registration; false when the value is there
// but unusable, empty when the key or value is missing.
bool ReadProgramPath(std::wstring& path) {
  path.clear();
  TRegKey key;
  std::wstring name = std::wstring(ClassKeyName) + L"\\Tavix";
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, name.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return true;
  DWORD type = 0;
  DWORD bytes = 0;
  LONG status = RegQueryValueExW(key.get(), nullptr, nullptr, &type, nullptr, &bytes);
  if (status == ERROR_FILE_NOT_FOUND) return true;
  if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
  std::vector<wchar_t> data(bytes / sizeof(wchar_t) + 1, L'\0');
  if (RegQueryValueExW(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &bytes) !=
      ERROR_SUCCESS)
    return false;
  path = data.data();
  return true;
}

enum class TWrite { Written, TooLong, Failed };

TWrite WriteBlock() {
  // A partial list would look complete to the program: nothing is handed over.
  bool complete = false;
  std::string text = hand_over::Encode(g_files, &complete);
  if (!complete) return TWrite::TooLong;
  if (!g_block) {
    g_block.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, hand_over::BlockSize,
                                     hand_over::BlockName));
    if (!g_block) return TWrite::Failed;
    g_blockView.reset(MapViewOfFile(g_block.get(), FILE_MAP_ALL_ACCESS, 0, 0, hand_over::BlockSize));
    if (!g_blockView) {
      g_block.reset();
      return TWrite::Failed;
    }
  }
  // Two quick invocations: the first program takes its list at its start;
  // overwriting before that would hand it the second list and lose the first.
  ULONGLONG limit = GetTickCount64() + TakeWaitLimit;
  while (hand_over::Pending(g_blockView.get()) && GetTickCount64() < limit) {
    if (!g_started) {
      Sleep(20);
    } else if (WaitForSingleObject(g_started.get(), 20) == WAIT_OBJECT_0) {
      break;  // it ended without taking the list
    }
  }
  hand_over::THandOverLock lock;
  char* view = static_cast<char*>(g_blockView.get());
  std::memset(view, 0, hand_over::BlockSize);
  std::memcpy(view, text.data(), text.size());
  return TWrite::Written;
}

const wchar_t* SwitchFor(int kind) {
  switch (kind) {
    case ckPack: return L"/PACK";
    case ckPackEach: return L"/PACKS";
    default: return L"/MELT";
  }
}

}  // namespace

namespace context_menu_state {

void SetLibraryPath(HMODULE library) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    DWORD length = GetModuleFileNameW(library, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length < buffer.size()) {
      g_libraryPath.assign(buffer.data(), length);
      return;
    }
    buffer.resize(buffer.size() * 2);
  }
}

const std::wstring& LibraryPath() { return g_libraryPath; }

void Clear() {
  g_files.clear();
  g_caption.clear();
}

}  // namespace context_menu_state

TContextMenu::TContextMenu() { ++g_serverReferences; }

TContextMenu::~TContextMenu() { --g_serverReferences; }

HRESULT TContextMenu::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IShellExtInit)) {
    *object = static_cast<IShellExtInit*>(this);
  } else if (IsEqualIID(iid, IID_IContextMenu)) {
    *object = static_cast<IContextMenu*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG TContextMenu::AddRef() { return static_cast<ULONG>(++references_); }

ULONG TContextMenu::Release() {
  long left = --references_;
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT TContextMenu::Initialize(PCIDLIST_ABSOLUTE, IDataObject* data, HKEY) {
  if (data == nullptr) return E_FAIL;
  FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium{};
  HRESULT result = data->GetData(&format, &medium);
  if (FAILED(result)) return result;
  TScopeExit release([&] { ReleaseStgMedium(&medium); });
  HDROP drop = static_cast<HDROP>(medium.hGlobal);
  UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  g_files.clear();
  for (UINT i = 0; i < count; ++i) {
    // The real length: a fixed buffer would cut a long path into another name.
    UINT length = DragQueryFileW(drop, i, nullptr, 0);
    std::wstring name(length + 1, L'\0');
    name.resize(DragQueryFileW(drop, i, name.data(), length + 1));
    if (!name.empty()) g_files.push_back(name);
  }
  return g_files.empty() ? E_FAIL : S_OK;
}

HRESULT TContextMenu::QueryContextMenu(HMENU menu, UINT position, UINT firstId, UINT, UINT) {
  if (g_files.empty()) return 0;
  std::wstring archives = ReadArchiveList();
  if (archives.empty()) archives = std::wstring(DefaultArchives) + L".";
  if (archives.back() != L'.') archives += L".";
  std::wstring token = ExtensionToken(g_files.front());
  bool shift = KeyHeld(VK_SHIFT);
  bool control = KeyHeld(VK_CONTROL);
  const wchar_t* caption = nullptr;
  int kind = ckNone;
  if (shift && control) {
    caption = L"Tavixでﾌｧｲﾙ毎に圧縮...";
    kind = ckPackEach;
  } else if (shift) {
    caption = L"Tavixで圧縮...";
    kind = ckPack;
  } else if (control || archives.find(token) != std::wstring::npos) {
    caption = L"Tavixで開く...";
    kind = ckOpen;
  }
  if (caption == nullptr) return 0;
  g_caption = caption;
  g_commandKind = kind;
  InsertMenuW(menu, position, MF_BYPOSITION | MF_STRING, firstId, caption);
  return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1);
}

HRESULT TContextMenu::InvokeCommand(CMINVOKECOMMANDINFO* invocation) {
  if (invocation == nullptr) return E_INVALIDARG;
  UINT_PTR verb = reinterpret_cast<UINT_PTR>(invocation->lpVerb);
  if (HIWORD(verb) != 0) return E_FAIL;
  if (LOWORD(verb) > 0) return E_INVALIDARG;
  HWND owner = invocation->hwnd;
  std::wstring program;
  if (!ReadProgramPath(program)) {
    ShowError(owner, L"Tavixの登録情報が不正です.", L"エラー");
    return S_OK;
  }
  if (WriteBlock() == TWrite::TooLong) {
    ShowError(owner, L"選択されたﾌｧｲﾙが多すぎて Tavix に渡せません. 数を減らして選び直してください.", L"実行ｴﾗｰ");
    return S_OK;
  }
  std::wstring commandLine = program + L" " + SwitchFor(g_commandKind);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(invocation->nShow);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    // Nobody will take this list: the next invocation need not wait for it.
    if (g_blockView) static_cast<char*>(g_blockView.get())[0] = '\0';
    g_started.reset();
    ShowError(owner, L"Tavix を実行出来ません.", L"実行ｴﾗｰ");
    return S_OK;
  }
  TKernelHandle thread(process.hThread);
  g_started.reset(process.hProcess);
  return S_OK;
}

HRESULT TContextMenu::GetCommandString(UINT_PTR offset, UINT type, UINT*, CHAR* buffer, UINT size) {
  if (offset != 0) return E_INVALIDARG;
  // Validation requests carry no buffer; the wide requests get the same text
  // as wide characters rather than ANSI bytes read as garbage.
  if (buffer == nullptr || size == 0 || type == GCS_VALIDATEA || type == GCS_VALIDATEW) return S_OK;
  if (type & GCS_UNICODE) {
    std::wstring text = hand_over::Widen(VerbText, CP_ACP);
    lstrcpynW(reinterpret_cast<wchar_t*>(buffer), text.c_str(), static_cast<int>(size));
  } else {
    lstrcpynA(buffer, VerbText, static_cast<int>(size));
  }
  return S_OK;
}
