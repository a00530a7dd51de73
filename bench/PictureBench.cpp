// Times one picture through a plug-in's GetPicture and through the picture
// control to its first paint (the JPEG road for .jpg, the plug-in road
// otherwise). bench/pictures.sh prints these beside ImageMagick.
// Usage: picture_bench FILE PLUGIN-STEM REPEATS  -> "plugin MS" and "control MS"
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "viewer/All.h"
#include "viewer/JpegPicture.h"

namespace {
double Millis(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) return 2;
  const std::wstring file = argv[1], stem = argv[2];
  const int repeats = std::max(1, _wtoi(argv[3]));
  const std::wstring folder = TAll::DefaultShippedSpiFolder();
  HMODULE plugin = LoadLibraryW((folder + stem + (sizeof(void*) == 8 ? L".sph" : L".spi")).c_str());
  if (plugin == nullptr) return 3;
  using GetPictureFn = int(__stdcall*)(LPCSTR, LONG_PTR, unsigned, HANDLE*, HANDLE*, FARPROC, LONG_PTR);
  auto get = reinterpret_cast<GetPictureFn>(reinterpret_cast<void*>(GetProcAddress(plugin, "GetPicture")));
  char name[MAX_PATH];
  WideCharToMultiByte(CP_ACP, 0, file.c_str(), -1, name, MAX_PATH, nullptr, nullptr);
  double best = 1e30;
  for (int i = 0; i < repeats; ++i) {
    HANDLE info = nullptr, bits = nullptr;
    const auto start = std::chrono::steady_clock::now();
    if (get(name, 0, 0, &info, &bits, nullptr, 0) != 0) return 4;
    LocalFree(info);
    LocalFree(bits);
    best = std::min(best, Millis(start));
  }
  std::printf("plugin %.1f\n", best);

  HWND parent = CreateWindowExW(0, L"STATIC", L"bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 600, nullptr,
                                nullptr, nullptr, nullptr);
  TAll all(parent);
  all.OnMessage = [](const std::wstring&) {};
  const bool jpeg = file.size() > 4 && _wcsicmp(file.c_str() + file.size() - 4, L".jpg") == 0;
  best = 1e30;
  for (int i = 0; i < repeats; ++i) {
    all.SetPictureName(L"");
    UpdateWindow(all.Handle());
    const auto start = std::chrono::steady_clock::now();
    if (jpeg) {
      int error = 0;
      all.AssignPicture(LoadJpegPicture(file, error));
      if (error != 0) return 5;
    } else {
      all.SetPictureName(file);
      if (all.Error() != 0) return 5;
    }
    UpdateWindow(all.Handle());  // the first paint, done when this returns
    GdiFlush();
    best = std::min(best, Millis(start));
  }
  std::printf("control %.1f\n", best);
  DestroyWindow(parent);
  FreeLibrary(plugin);
  return 0;
}
