// Another program for the drag tests, as the user's other windows would be.
//   DragPeer target OUT X Y        a window that takes OLE drops of files
//                                  (RegisterDragDrop); its caption gains
//                                  " entered" while a drag is over it; a drop
//                                  writes OUT: the time in 100 ns units, then
//                                  each name received, one a line (UTF-8).
//   DragPeer source OUT X Y FILES  a window that starts a drag of the files
//                                  (the drag source widget) when the button
//                                  goes down on it; OUT gets the effect.
// Both windows are 240x240 at X,Y and live until closed.
#include "widgets/DragSource.h"

#include <shellapi.h>
#include <windows.h>
#include <ole2.h>

#include <string>
#include <vector>

namespace {

std::wstring g_out;
std::wstring g_caption;
std::vector<std::wstring> g_files;

std::string Utf8(const std::wstring& text) {
  int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(length, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), length, nullptr, nullptr);
  return out;
}

// Written under another name first, so the reader never sees half a file.
void WriteOut(const std::string& text) {
  std::wstring part = g_out + L".part";
  HANDLE file = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  MoveFileExW(part.c_str(), g_out.c_str(), MOVEFILE_REPLACE_EXISTING);
}

unsigned long long Now() {
  FILETIME now{};
  GetSystemTimePreciseAsFileTime(&now);
  return (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

class TRecordingTarget : public IDropTarget {
 public:
  explicit TRecordingTarget(HWND window) : window_(window) {}
  virtual ~TRecordingTarget() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
      *out = static_cast<IDropTarget*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override {
    SetWindowTextW(window_, (g_caption + L" entered").c_str());
    *effect &= DROPEFFECT_COPY;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
    *effect &= DROPEFFECT_COPY;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragLeave() override {
    SetWindowTextW(window_, g_caption.c_str());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
    unsigned long long received = Now();
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    std::string text = std::to_string(received) + "\n";
    if (data->GetData(&format, &medium) == S_OK) {
      auto drop = static_cast<HDROP>(medium.hGlobal);
      UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
      for (UINT i = 0; i < count; ++i) {
        UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring name(length + 1, L'\0');
        DragQueryFileW(drop, i, name.data(), length + 1);
        name.resize(length);
        text += Utf8(name) + "\n";
      }
      ReleaseStgMedium(&medium);
    } else {
      text += "NO FILE LIST\n";
    }
    WriteOut(text);
    *effect &= DROPEFFECT_COPY;
    return S_OK;
  }

 private:
  LONG references_ = 1;
  HWND window_;
};

LRESULT CALLBACK PeerProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_LBUTTONDOWN:
      if (!g_files.empty()) {
        SetWindowTextW(window, (g_caption + L" dragging").c_str());
        TDropSourceEx source;
        source.Files = g_files;
        DWORD effect = source.Execute();
        WriteOut(std::to_string(effect) + "\n");
        SetWindowTextW(window, g_caption.c_str());
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, w, l);
}

}  // namespace

int main() {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (count < 5) return 2;
  std::wstring mode = arguments[1];
  g_out = arguments[2];
  int x = _wtoi(arguments[3]);
  int y = _wtoi(arguments[4]);
  for (int i = 5; i < count; ++i) g_files.push_back(arguments[i]);
  g_caption = mode == L"target" ? L"DragPeerTarget" : L"DragPeerSource";
  OleInitialize(nullptr);

  WNDCLASSW cls{};
  cls.lpfnWndProc = PeerProc;
  cls.hInstance = GetModuleHandleW(nullptr);
  cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  cls.lpszClassName = L"TavixDragPeer";
  RegisterClassW(&cls);
  HWND window = CreateWindowExW(WS_EX_TOPMOST, cls.lpszClassName, g_caption.c_str(), WS_POPUP | WS_BORDER | WS_VISIBLE,
                                x, y, 240, 240, nullptr, nullptr, cls.hInstance, nullptr);
  if (!window) return 3;
  auto* target = new TRecordingTarget(window);
  if (mode == L"target" && FAILED(RegisterDragDrop(window, target))) return 4;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (mode == L"target") RevokeDragDrop(window);
  target->Release();
  OleUninitialize();
  return 0;
}
