// The in-process server around the context-menu handler: class factory,
// unload rule and self-registration.
#include "ContextMenu.h"

#include "engine/Handles.h"

#include <olectl.h>

#include <new>
#include <string>

namespace {

class TClassFactory : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *object = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  // The factory lives as long as the library; references only keep it loaded.
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++g_serverReferences); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--g_serverReferences); }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    TContextMenu* menu = new (std::nothrow) TContextMenu();
    if (menu == nullptr) return E_OUTOFMEMORY;
    HRESULT result = menu->QueryInterface(iid, object);
    menu->Release();
    return result;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) ++g_serverReferences;
    else --g_serverReferences;
    return S_OK;
  }
};

TClassFactory g_factory;

bool SetDefaultValue(const std::wstring& keyName, const std::wstring& value) {
  TRegKey key;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, keyName.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.put(),
                      nullptr) != ERROR_SUCCESS)
    return false;
  return RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(instance);
    context_menu_state::SetLibraryPath(instance);
  } else if (reason == DLL_PROCESS_DETACH) {
    context_menu_state::Clear();
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!IsEqualCLSID(clsid, CLSID_TavixContextMenu)) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(iid, object);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return g_serverReferences == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  std::wstring server = context_menu_state::LibraryPath();
  if (server.find(L' ') != std::wstring::npos) server = L"\"" + server + L"\"";
  std::wstring classKey = ClassKeyName;
  if (!SetDefaultValue(classKey, L"Tavix ContextMenu") ||
      !SetDefaultValue(classKey + L"\\InprocServer32", server))
    return SELFREG_E_CLASS;
  return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  std::wstring classKey = ClassKeyName;
  RegDeleteKeyW(HKEY_CLASSES_ROOT, (classKey + L"\\InprocServer32").c_str());
  // The whole class key: a "Tavix" subkey left by the options dialog would
  // otherwise keep it, and Explorer would go on loading the library.
  LONG status = RegDeleteTreeW(HKEY_CLASSES_ROOT, classKey.c_str());
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : SELFREG_E_CLASS;
}
