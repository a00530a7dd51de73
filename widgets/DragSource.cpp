#include "DragSource.h"

#include "widgets/ComObject.h"

#include <shlobj.h>

#include <cstring>

namespace {

UINT PreferredDropEffectFormat() {
  static const UINT format = RegisterClipboardFormatW(CFSTR_PREFERREDDROPEFFECT);
  return format;
}

// A copy of a block for one receiver: each GetData hands out memory the
// receiver frees.
HGLOBAL CopyBlock(HGLOBAL source) {
  SIZE_T size = GlobalSize(source);
  TGlobalMemory copy(GlobalAlloc(GMEM_MOVEABLE, size));
  if (!copy) return nullptr;
  TGlobalLock<char> from(source);
  TGlobalLock<char> to(copy.get());
  if (!from.get() || !to.get()) return nullptr;
  std::memcpy(to.get(), from.get(), size);
  return copy.release();
}

class TFileDataObject : public TComObject<IDataObject, &IID_IDataObject> {
 public:
  TFileDataObject(TGlobalMemory files, TGlobalMemory effect) : files_(std::move(files)), effect_(std::move(effect)) {}


  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (!format || !medium) return E_INVALIDARG;
    HGLOBAL block = BlockFor(*format);
    if (!block) return DV_E_FORMATETC;
    if (!(format->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
    HGLOBAL copy = CopyBlock(block);
    if (!copy) return E_OUTOFMEMORY;
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = copy;
    medium->pUnkForRelease = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
    if (!format) return E_INVALIDARG;
    if (!BlockFor(*format)) return DV_E_FORMATETC;
    return (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_TYMED;
  }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    if (out) out->ptd = nullptr;
    return E_NOTIMPL;
  }
  // Targets may tell what they did ("Performed DropEffect"); nothing here needs it.
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (direction != DATADIR_GET) return E_NOTIMPL;
    FORMATETC formats[] = {
        {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL},
        {static_cast<CLIPFORMAT>(PreferredDropEffectFormat()), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL},
    };
    return SHCreateStdEnumFmtEtc(2, formats, out);
  }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

 private:
  HGLOBAL BlockFor(const FORMATETC& format) const {
    if (format.dwAspect != DVASPECT_CONTENT) return nullptr;
    if (format.cfFormat == CF_HDROP) return files_.get();
    if (format.cfFormat == PreferredDropEffectFormat()) return effect_.get();
    return nullptr;
  }

  TGlobalMemory files_;
  TGlobalMemory effect_;
};

class TFileDropSource : public TComObject<IDropSource, &IID_IDropSource> {
 public:
  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keys) override {
    if (escape) return DRAGDROP_S_CANCEL;
    // The drag began with the left button; the other one cancels it.
    if (keys & MK_RBUTTON) return DRAGDROP_S_CANCEL;
    if (!(keys & MK_LBUTTON)) return DRAGDROP_S_DROP;
    // The keys still say "held" but the button is up: its release went
    // where the drag never saw it, and the drag would follow the pointer
    // until the next click. Released before the drag ever ran with the
    // button down, nothing was meant to be dropped; released during it, the
    // release drops where it happened, as one the drag had seen would.
    if (!TDropSourceEx::DragButtonDown()) return heldDuringDrag_ ? DRAGDROP_S_DROP : DRAGDROP_S_CANCEL;
    heldDuringDrag_ = true;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

 private:
  bool heldDuringDrag_ = false;
};

}  // namespace

TGlobalMemory TDropSourceEx::FileDropBlock(const std::vector<std::wstring>& files) {
  size_t chars = 1;  // the final NUL
  for (const std::wstring& file : files) chars += file.size() + 1;
  TGlobalMemory block(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + chars * sizeof(wchar_t)));
  if (!block) return block;
  TGlobalLock<DROPFILES> header(block.get());
  if (!header.get()) return TGlobalMemory();
  header.get()->pFiles = sizeof(DROPFILES);
  header.get()->fWide = TRUE;
  auto* names = reinterpret_cast<wchar_t*>(header.get() + 1);
  for (const std::wstring& file : files) {
    std::memcpy(names, file.data(), file.size() * sizeof(wchar_t));
    names += file.size() + 1;
  }
  return block;
}

IDataObject* CreateFileDataObject(const std::vector<std::wstring>& files, DWORD preferredEffect) {
  TGlobalMemory block = TDropSourceEx::FileDropBlock(files);
  TGlobalMemory effect(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DWORD)));
  if (!block || !effect) return nullptr;
  {
    TGlobalLock<DWORD> value(effect.get());
    if (!value.get()) return nullptr;
    *value.get() = preferredEffect;
  }
  return new TFileDataObject(std::move(block), std::move(effect));
}

bool TDropSourceEx::DragButtonDown() {
  // The physical button: the left one, or the right one when they are swapped.
  int button = GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON;
  return (GetAsyncKeyState(button) & 0x8000) != 0;
}

DWORD TDropSourceEx::Execute() {
  DWORD effect = DROPEFFECT_NONE;
  // Released while the files were being prepared: the gesture is over.
  if (!DragButtonDown()) {
    lastResult_ = DRAGDROP_S_CANCEL;
    return effect;
  }
  TComPtr<IDataObject> data(CreateFileDataObject(Files, DROPEFFECT_COPY));
  if (!data) {
    lastResult_ = E_OUTOFMEMORY;
    return effect;
  }
  TComPtr<IDropSource> source(new TFileDropSource);
  lastResult_ = DoDragDrop(data.get(), source.get(), AllowedEffects, &effect);
  return lastResult_ == DRAGDROP_S_DROP ? effect : DROPEFFECT_NONE;
}
