// The menu item, and starting the main program with the selected files.
#include "ContextMenu.h"

#include "engine/Handles.h"
#include "shellext/HandOverBlock.h"

#include <shellapi.h>

#include <cstring>
#include <deque>
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
// further list waits for it.
TKernelHandle g_started;
// How long a waiting list gives the program before it is taken as hung and
// the new list goes over its own.
constexpr ULONGLONG TakeWaitLimit = 15000;

// One invocation's hand-over: the list for the block and the program to start.
struct THandOver {
  std::string text;
  std::wstring commandLine;
  WORD show = SW_SHOWNORMAL;
  HWND owner = nullptr;
};

// The block, the program started last and the lists still waiting are shared
// by Explorer's threads and the one thread that hands waiting lists over.
SRWLOCK g_handOverLock = SRWLOCK_INIT;
std::deque<THandOver> g_waiting;
bool g_handing = false;

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

class TLocked {
 public:
  TLocked() { AcquireSRWLockExclusive(&g_handOverLock); }
  ~TLocked() { ReleaseSRWLockExclusive(&g_handOverLock); }
  TLocked(const TLocked&) = delete;
  TLocked& operator=(const TLocked&) = delete;
};

// Under the lock: the block holds a list that its program may still take.
bool ListStillWaiting() {
  if (!g_blockView || !hand_over::Pending(g_blockView.get())) return false;
  return !g_started || WaitForSingleObject(g_started.get(), 0) == WAIT_TIMEOUT;
}

// Under the lock: writes the block and starts the program; false when the
// block or the program could not be had.
bool Start(const THandOver& handOver) {
  if (!g_block) {
    g_block.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, hand_over::BlockSize,
                                     hand_over::BlockName));
    if (!g_block) return false;
    g_blockView.reset(MapViewOfFile(g_block.get(), FILE_MAP_ALL_ACCESS, 0, 0, hand_over::BlockSize));
    if (!g_blockView) {
      g_block.reset();
      return false;
    }
  }
  {
    hand_over::THandOverLock lock;
    char* view = static_cast<char*>(g_blockView.get());
    std::memset(view, 0, hand_over::BlockSize);
    std::memcpy(view, handOver.text.data(), handOver.text.size());
  }
  std::wstring commandLine = handOver.commandLine;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = handOver.show;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    // Nobody will take this list: the next one need not wait for it.
    static_cast<char*>(g_blockView.get())[0] = '\0';
    g_started.reset();
    return false;
  }
  TKernelHandle thread(process.hThread);
  g_started.reset(process.hProcess);
  return true;
}

void TellNotStarted(HWND owner) { ShowError(owner, L"Tavix を実行出来ません.", L"実行ｴﾗｰ"); }

// Hands the waiting lists over in their order, each once the program before
// it has taken its own (or ended, or passed the limit). The library stays
// loaded until the last one is handed over.
DWORD WINAPI HandWaitingLists(void* module) {
  for (;;) {
    THandOver next;
    {
      TLocked locked;
      if (g_waiting.empty()) {
        g_handing = false;
        break;
      }
      next = std::move(g_waiting.front());
      g_waiting.pop_front();
    }
    ULONGLONG limit = GetTickCount64() + TakeWaitLimit;
    bool started = false;
    for (;;) {
      {
        TLocked locked;
        if (!ListStillWaiting() || GetTickCount64() >= limit) {
          started = Start(next);
          break;
        }
      }
      Sleep(20);
    }
    if (!started) TellNotStarted(next.owner);
  }
  --g_serverReferences;
  FreeLibraryAndExitThread(static_cast<HMODULE>(module), 0);
}

// Starts the program with the list at once when no earlier list is still
// waiting to be taken; otherwise the list waits on a thread of its own, so
// that the caller (Explorer's window) is never held. False when the program
// could not be started (the caller tells the user).
bool HandOver(THandOver handOver) {
  TLocked locked;
  if (!g_handing && !ListStillWaiting()) return Start(handOver);
  g_waiting.push_back(std::move(handOver));
  if (g_handing) return true;
  HMODULE self = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&HandWaitingLists),
                          &self))
    self = nullptr;
  ++g_serverReferences;
  TKernelHandle thread(self ? CreateThread(nullptr, 0, HandWaitingLists, self, 0, nullptr) : nullptr);
  if (thread) {
    g_handing = true;
    return true;
  }
  // No thread: the list goes over now, as it would after the limit.
  --g_serverReferences;
  if (self) FreeLibrary(self);
  THandOver now = std::move(g_waiting.back());
  g_waiting.pop_back();
  return Start(now);
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
  // A partial list would look complete to the program: nothing is handed over.
  THandOver handOver;
  bool complete = false;
  handOver.text = hand_over::Encode(g_files, &complete);
  if (!complete) {
    ShowError(owner, L"選択されたﾌｧｲﾙが多すぎて Tavix に渡せません. 数を減らして選び直してください.", L"実行ｴﾗｰ");
    return S_OK;
  }
  handOver.commandLine = program + L" " + SwitchFor(g_commandKind);
  handOver.show = static_cast<WORD>(invocation->nShow);
  handOver.owner = owner;
  if (!HandOver(std::move(handOver))) TellNotStarted(owner);
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
