// The Explorer context-menu handler: one item that opens or compresses the
// selected files with Tavix.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <atomic>
#include <string>

// The class identifier Explorer knows the handler by.
// {C90C7380-DF4C-11D1-ABBA-92D758412512}
inline constexpr CLSID CLSID_TavixContextMenu = {
    0xC90C7380, 0xDF4C, 0x11D1, {0xAB, 0xBA, 0x92, 0xD7, 0x58, 0x41, 0x25, 0x12}};
inline constexpr wchar_t ClassKeyName[] = L"CLSID\\{C90C7380-DF4C-11D1-ABBA-92D758412512}";

// Live objects and server locks, for DllCanUnloadNow.
extern std::atomic<long> g_serverReferences;

class TContextMenu : public IShellExtInit, public IContextMenu {
 public:
  TContextMenu();
  virtual ~TContextMenu();

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IShellExtInit
  HRESULT STDMETHODCALLTYPE Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* data, HKEY classKey) override;

  // IContextMenu
  HRESULT STDMETHODCALLTYPE QueryContextMenu(HMENU menu, UINT position, UINT firstId, UINT lastId,
                                             UINT flags) override;
  HRESULT STDMETHODCALLTYPE InvokeCommand(CMINVOKECOMMANDINFO* invocation) override;
  HRESULT STDMETHODCALLTYPE GetCommandString(UINT_PTR offset, UINT type, UINT* reserved, CHAR* buffer,
                                             UINT size) override;

 private:
  std::atomic<long> references_{1};
};

// Library-wide state: the last Initialize and QueryContextMenu in the process
// decide what an invocation starts.
namespace context_menu_state {
void SetLibraryPath(HMODULE library);
const std::wstring& LibraryPath();
void Clear();
}  // namespace context_menu_state
