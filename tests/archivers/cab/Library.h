// One of our archiver libraries loaded by file name, called through its
// exported entries as a program of the family would; scratch folders; an
// owner window that watches (and may stop) the progress reports.
#pragma once

#include "archivers/core/ArcApi.h"
#include "tests/archivers/cab/Fixtures.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

class Library {
 public:
  Library(const wchar_t* file, std::string prefix) : prefix_(std::move(prefix)) {
    module_ = LoadLibraryW(file);
    if (module_ == nullptr) ADD_FAILURE() << "cannot load the library";
  }
  ~Library() {
    if (module_ != nullptr) FreeLibrary(module_);
  }

  template <class F>
  F Entry(const char* suffix) const {
    auto address = module_ ? GetProcAddress(module_, (prefix_ + suffix).c_str()) : nullptr;
    if (address == nullptr) ADD_FAILURE() << "missing entry " << prefix_ << suffix;
    return reinterpret_cast<F>(reinterpret_cast<void*>(address));
  }

  // The command entry; output (if given) receives the output buffer's text.
  int Run(const std::string& line, std::string* output = nullptr, HWND window = nullptr) const {
    std::vector<char> buffer(65536, 'x');
    int code = Entry<int(WINAPI*)(HWND, LPCSTR, LPSTR, DWORD)>("")(window, line.c_str(), buffer.data(),
                                                                   static_cast<DWORD>(buffer.size()));
    if (output != nullptr) *output = buffer.data();
    return code;
  }

  // OpenArchive, FindFirst (wildcard), FindNext until the end; `end` receives
  // the last result (-1 at a clean end).
  std::vector<INDIVIDUALINFO> List(const std::string& archive, const std::string& wildcard = "*.*",
                                   int* end = nullptr) const {
    std::vector<INDIVIDUALINFO> records;
    HARC handle = Entry<HARC(WINAPI*)(HWND, LPCSTR, DWORD)>("OpenArchive")(nullptr, archive.c_str(), 0x00800002);
    if (handle == nullptr) {
      if (end != nullptr) *end = 0;
      return records;
    }
    INDIVIDUALINFO record;
    int code = Entry<int(WINAPI*)(HARC, LPCSTR, INDIVIDUALINFO*)>("FindFirst")(handle, wildcard.c_str(), &record);
    while (code == 0) {
      records.push_back(record);
      code = Entry<int(WINAPI*)(HARC, INDIVIDUALINFO*)>("FindNext")(handle, &record);
    }
    if (end != nullptr) *end = code;
    Entry<int(WINAPI*)(HARC)>("CloseArchive")(handle);
    return records;
  }

  bool Opens(const std::string& archive) const {
    HARC handle = Entry<HARC(WINAPI*)(HWND, LPCSTR, DWORD)>("OpenArchive")(nullptr, archive.c_str(), 0x00800002);
    if (handle != nullptr) Entry<int(WINAPI*)(HARC)>("CloseArchive")(handle);
    return handle != nullptr;
  }

  bool Check(const std::string& archive, int mode) const {
    return Entry<BOOL(WINAPI*)(LPCSTR, int)>("CheckArchive")(archive.c_str(), mode) != FALSE;
  }

  int Mem(const std::string& line, std::string& data, DWORD size, DWORD* written = nullptr) const {
    data.assign(size, '\0');
    DWORD got = 0xFFFFFFFF;
    int code = Entry<int(WINAPI*)(HWND, LPCSTR, LPBYTE, DWORD, time_t*, LPWORD, LPDWORD)>("ExtractMem")(
        nullptr, line.c_str(), reinterpret_cast<LPBYTE>(data.data()), size, nullptr, nullptr, &got);
    if (written != nullptr) *written = got;
    data.resize(std::min<DWORD>(got, size));
    return code;
  }

  bool SetOwner(HWND window) const {
    return Entry<BOOL(WINAPI*)(HWND, void*)>("SetOwnerWindowEx")(window, nullptr) != FALSE;
  }
  bool KillOwner(HWND window) const { return Entry<BOOL(WINAPI*)(HWND)>("KillOwnerWindowEx")(window) != FALSE; }

 private:
  HMODULE module_ = nullptr;
  std::string prefix_;
};

// A fresh folder under the temporary folder, removed with everything in it.
class Scratch {
 public:
  Scratch() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static int counter = 0;
    path_ = std::filesystem::path(base) /
            (L"arccab-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~Scratch() {
    std::error_code ignored;
    for (auto& item : std::filesystem::recursive_directory_iterator(path_, ignored))
      SetFileAttributesW(item.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& Path() const { return path_; }
  // The path in the system code page, as the libraries take it.
  std::string Ansi(const std::wstring& relative = L"") const {
    std::wstring full = relative.empty() ? path_.wstring() : (path_ / relative).wstring();
    int n = WideCharToMultiByte(CP_ACP, 0, full.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string text(n, '\0');
    WideCharToMultiByte(CP_ACP, 0, full.c_str(), -1, text.data(), n, nullptr, nullptr);
    text.resize(n - 1);
    return text;
  }
  std::string Folder(const std::wstring& relative = L"") const { return Ansi(relative) + "\\"; }

  void Write(const std::wstring& relative, const std::string& data) const {
    auto file = path_ / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << data;
  }
  std::string Read(const std::wstring& relative) const {
    std::ifstream in(path_ / relative, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  bool Exists(const std::wstring& relative) const { return std::filesystem::exists(path_ / relative); }
  // Every file below the folder, relative, '/' separated, sorted.
  std::vector<std::wstring> Files() const {
    std::vector<std::wstring> names;
    for (auto& item : std::filesystem::recursive_directory_iterator(path_)) {
      if (!item.is_regular_file()) continue;
      names.push_back(std::filesystem::relative(item.path(), path_).generic_wstring());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path path_;
};

// A message-only window that receives "wm_arcextract" and answers with what
// `answer` says (non-zero stops the library).
class OwnerWindow {
 public:
  struct Report {
    UINT state;
    DWORD fileSize, writeSize;
    std::string source, destination;
  };

  OwnerWindow() {
    static ATOM atom = [] {
      WNDCLASSW kind{};
      kind.lpfnWndProc = Procedure;
      kind.hInstance = GetModuleHandleW(nullptr);
      kind.lpszClassName = L"ArcCabTestOwner";
      return RegisterClassW(&kind);
    }();
    (void)atom;
    window_ = CreateWindowW(L"ArcCabTestOwner", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                            nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~OwnerWindow() { DestroyWindow(window_); }
  HWND Handle() const { return window_; }

  std::vector<Report> reports;
  std::function<LRESULT(const Report&)> answer = [](const Report&) { return 0; };

  int Count(UINT state) const {
    return static_cast<int>(std::count_if(reports.begin(), reports.end(), [&](auto& r) { return r.state == state; }));
  }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    static UINT extract = RegisterWindowMessageA("wm_arcextract");
    auto* self = reinterpret_cast<OwnerWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == extract && self != nullptr) {
      auto* info = reinterpret_cast<EXTRACTINGINFOEX*>(lParam);
      Report report{static_cast<UINT>(wParam), info->dwFileSize, info->dwWriteSize,
                    info->szSourceFileName, info->szDestFileName};
      self->reports.push_back(report);
      return self->answer(report);
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }

  HWND window_ = nullptr;
};

inline std::string Quote(const std::string& text) { return "\"" + text + "\""; }

// A fixture's path as the libraries take it.
inline std::string Fixture(const std::string& name) { return FixturePath(name); }

inline std::string AnsiOf(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string result(n, '\0');
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, result.data(), n, nullptr, nullptr);
  result.resize(n - 1);
  return result;
}
