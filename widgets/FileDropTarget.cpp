#include "FileDropTarget.h"

#include "widgets/ComObject.h"

#include <shlobj.h>

#include <cstring>
#include <utility>

namespace {

FORMATETC FileDropFormat() { return {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

// A copy of another program's file-drop block that the window's handler can
// read safely: the header must lie inside, and two NULs more than the block
// holds end the list even when the sender forgot its terminator. Null when
// the block is unusable.
HGLOBAL SafeCopy(HGLOBAL source, POINT client, bool inClient) {
  SIZE_T size = GlobalSize(source);
  if (size < sizeof(DROPFILES)) return nullptr;
  TGlobalLock<char> from(source);
  if (!from.get()) return nullptr;
  DROPFILES header;
  std::memcpy(&header, from.get(), sizeof header);
  if (header.pFiles < sizeof(DROPFILES) || header.pFiles > size) return nullptr;
  TGlobalMemory copy(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size + 2 * sizeof(wchar_t)));
  if (!copy) return nullptr;
  TGlobalLock<char> to(copy.get());
  if (!to.get()) return nullptr;
  std::memcpy(to.get(), from.get(), size);
  auto* drop = reinterpret_cast<DROPFILES*>(to.get());
  drop->pt = client;
  drop->fNC = inClient ? FALSE : TRUE;
  return copy.release();
}

class TDropTargetObject : public TComObject<IDropTarget, &IID_IDropTarget> {
 public:
  TDropTargetObject(HWND window, std::function<bool()> refuses) : window_(window), refuses_(std::move(refuses)) {}


  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
    FORMATETC format = FileDropFormat();
    hasFiles_ = data && data->QueryGetData(&format) == S_OK;
    return Answer(effect);
  }
  HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override { return Answer(effect); }
  HRESULT STDMETHODCALLTYPE DragLeave() override {
    hasFiles_ = false;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL point, DWORD* effect) override {
    Answer(effect);
    hasFiles_ = false;
    if (!effect || *effect == DROPEFFECT_NONE || !data) return S_OK;
    *effect = DROPEFFECT_NONE;
    FORMATETC format = FileDropFormat();
    STGMEDIUM medium{};
    if (data->GetData(&format, &medium) != S_OK) return S_OK;
    POINT client{point.x, point.y};
    ScreenToClient(window_, &client);
    RECT area{};
    GetClientRect(window_, &area);
    HGLOBAL copy = medium.tymed == TYMED_HGLOBAL ? SafeCopy(medium.hGlobal, client, PtInRect(&area, client)) : nullptr;
    ReleaseStgMedium(&medium);
    if (!copy) return S_OK;
    // The window reads the names after the source's drag has ended.
    if (!PostMessageW(window_, WM_DROPFILES, reinterpret_cast<WPARAM>(copy), 0)) {
      GlobalFree(copy);
      return S_OK;
    }
    *effect = DROPEFFECT_COPY;
    return S_OK;
  }

 private:
  HRESULT Answer(DWORD* effect) {
    if (!effect) return E_INVALIDARG;
    bool takes = hasFiles_ && (*effect & DROPEFFECT_COPY) && !(refuses_ && refuses_());
    *effect = takes ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    return S_OK;
  }

  HWND window_;
  std::function<bool()> refuses_;
  bool hasFiles_ = false;
};

}  // namespace

bool TFileDropTarget::Register(HWND window, std::function<bool()> refuses) {
  Revoke();
  HRESULT ole = OleInitialize(nullptr);
  oleInitialized_ = SUCCEEDED(ole);
  target_.reset(new TDropTargetObject(window, std::move(refuses)));
  if (FAILED(RegisterDragDrop(window, target_.get()))) {
    target_.reset();
    if (oleInitialized_) OleUninitialize();
    oleInitialized_ = false;
    return false;
  }
  window_ = window;
  return true;
}

void TFileDropTarget::Revoke() {
  if (window_) RevokeDragDrop(window_);
  window_ = nullptr;
  target_.reset();
  if (oleInitialized_) OleUninitialize();
  oleInitialized_ = false;
}
