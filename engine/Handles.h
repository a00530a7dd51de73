// Owners for every Win32 handle kind we use, and a scope guard. Header only,
// so that our archiver libraries can use it without linking anything of Tavix.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <unknwn.h>

#include <utility>

// One owner template over a close function; Invalid is the "no handle" value
// (files use INVALID_HANDLE_VALUE, everything else a null pointer).
template <typename T, auto Close, auto Invalid = nullptr>
class TUniqueHandle {
 public:
  TUniqueHandle() = default;
  explicit TUniqueHandle(T handle) : handle_(handle) {}
  TUniqueHandle(const TUniqueHandle&) = delete;
  TUniqueHandle& operator=(const TUniqueHandle&) = delete;
  TUniqueHandle(TUniqueHandle&& other) noexcept : handle_(other.release()) {}
  TUniqueHandle& operator=(TUniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~TUniqueHandle() { reset(); }

  T get() const { return handle_; }
  explicit operator bool() const { return handle_ != Invalid(); }
  // For APIs that return the handle through a pointer; closes the old one.
  T* put() {
    reset();
    return &handle_;
  }
  T release() {
    T handle = handle_;
    handle_ = Invalid();
    return handle;
  }
  void reset(T handle = Invalid()) {
    if (handle_ != Invalid()) Close(handle_);
    handle_ = handle;
  }

 private:
  T handle_ = Invalid();
};

namespace handles_detail {
inline HANDLE NullHandle() { return nullptr; }
inline HANDLE InvalidFile() { return INVALID_HANDLE_VALUE; }
template <typename T>
T Null() { return nullptr; }
inline void CloseKernel(HANDLE h) { ::CloseHandle(h); }
inline void CloseFind(HANDLE h) { ::FindClose(h); }
inline void CloseModule(HMODULE h) { ::FreeLibrary(h); }
inline void CloseKey(HKEY h) { ::RegCloseKey(h); }
inline void CloseMenu(HMENU h) { ::DestroyMenu(h); }
inline void CloseIcon(HICON h) { ::DestroyIcon(h); }
inline void CloseImageList(HIMAGELIST h) { ::ImageList_Destroy(h); }
inline void CloseGlobal(HGLOBAL h) { ::GlobalFree(h); }
inline void CloseView(void* view) { ::UnmapViewOfFile(view); }
template <typename T>
void CloseGdi(T h) { ::DeleteObject(h); }
}  // namespace handles_detail

// Mutexes, events, processes, threads, file mappings: null when absent.
using TKernelHandle = TUniqueHandle<HANDLE, handles_detail::CloseKernel, handles_detail::NullHandle>;
// CreateFile results: INVALID_HANDLE_VALUE when absent.
using TFileHandle = TUniqueHandle<HANDLE, handles_detail::CloseKernel, handles_detail::InvalidFile>;
using TFindHandle = TUniqueHandle<HANDLE, handles_detail::CloseFind, handles_detail::InvalidFile>;
using TModule = TUniqueHandle<HMODULE, handles_detail::CloseModule, handles_detail::Null<HMODULE>>;
using TRegKey = TUniqueHandle<HKEY, handles_detail::CloseKey, handles_detail::Null<HKEY>>;
using TMenu = TUniqueHandle<HMENU, handles_detail::CloseMenu, handles_detail::Null<HMENU>>;
using TIcon = TUniqueHandle<HICON, handles_detail::CloseIcon, handles_detail::Null<HICON>>;
using TImageList =
    TUniqueHandle<HIMAGELIST, handles_detail::CloseImageList, handles_detail::Null<HIMAGELIST>>;
using TGlobalMemory = TUniqueHandle<HGLOBAL, handles_detail::CloseGlobal, handles_detail::Null<HGLOBAL>>;
using TMappedView = TUniqueHandle<void*, handles_detail::CloseView, handles_detail::Null<void*>>;
template <typename T>
using TGdiObject = TUniqueHandle<T, handles_detail::CloseGdi<T>, handles_detail::Null<T>>;
using TFont = TGdiObject<HFONT>;
using TBitmap = TGdiObject<HBITMAP>;
using TBrush = TGdiObject<HBRUSH>;
using TPen = TGdiObject<HPEN>;
using TPalette = TGdiObject<HPALETTE>;

// GlobalLock for the lifetime of the object; get() is null when the lock failed.
template <typename T>
class TGlobalLock {
 public:
  explicit TGlobalLock(HGLOBAL memory)
      : memory_(memory), data_(static_cast<T*>(::GlobalLock(memory))) {}
  TGlobalLock(const TGlobalLock&) = delete;
  TGlobalLock& operator=(const TGlobalLock&) = delete;
  ~TGlobalLock() {
    if (data_ != nullptr) ::GlobalUnlock(memory_);
  }
  T* get() const { return data_; }

 private:
  HGLOBAL memory_;
  T* data_;
};

// A COM interface pointer that releases on destruction.
template <typename T>
class TComPtr {
 public:
  TComPtr() = default;
  explicit TComPtr(T* pointer) : pointer_(pointer) {}
  TComPtr(const TComPtr&) = delete;
  TComPtr& operator=(const TComPtr&) = delete;
  TComPtr(TComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  TComPtr& operator=(TComPtr&& other) noexcept {
    if (this != &other) reset(std::exchange(other.pointer_, nullptr));
    return *this;
  }
  ~TComPtr() { reset(); }

  T* get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  T** put() {
    reset();
    return &pointer_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }
  void reset(T* pointer = nullptr) {
    if (pointer_ != nullptr) pointer_->Release();
    pointer_ = pointer;
  }

 private:
  T* pointer_ = nullptr;
};

// Runs a function when the scope ends, however it ends: restores flags and
// states that every return and catch path would otherwise restore by hand.
template <typename F>
class TScopeExit {
 public:
  explicit TScopeExit(F function) : function_(std::move(function)) {}
  TScopeExit(const TScopeExit&) = delete;
  TScopeExit& operator=(const TScopeExit&) = delete;
  ~TScopeExit() {
    if (active_) function_();
  }
  void Dismiss() { active_ = false; }

 private:
  F function_;
  bool active_ = true;
};
