// Stands in for the main program: writes its command line and the hand-over
// block's bytes to "record.bin" beside itself, as one file written at once
// (after the test took the one before). The first one started while "hold"
// lies beside it is a slow program: it takes its list only once "release"
// appears.
#include <windows.h>

#include <string>

int wmain() {
  wchar_t self[4096];
  DWORD length = GetModuleFileNameW(nullptr, self, 4096);
  std::wstring folder(self, length);
  folder.erase(folder.find_last_of(L'\\') + 1);
  if (MoveFileW((folder + L"hold").c_str(), (folder + L"held").c_str())) {
    std::wstring release = folder + L"release";
    for (int waited = 0; waited < 120000 && GetFileAttributesW(release.c_str()) == INVALID_FILE_ATTRIBUTES;
         waited += 20)
      Sleep(20);
  }
  std::wstring commandLine = GetCommandLineW();
  std::string record(reinterpret_cast<const char*>(commandLine.c_str()), commandLine.size() * 2);
  record.append("\0\0|BLOCK|", 9);
  HANDLE block = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, L"TavixEx");
  if (block != nullptr) {
    char* view = static_cast<char*>(MapViewOfFile(block, FILE_MAP_ALL_ACCESS, 0, 0, 0x7FFF));
    if (view != nullptr) {
      record.append(view, 0x7FFF);
      view[0] = '\0';  // taken, as the program takes it
      UnmapViewOfFile(view);
    }
    CloseHandle(block);
  }
  std::wstring partial = folder + L"record-" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
  HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
  CloseHandle(file);
  std::wstring done = folder + L"record.bin";
  for (int waited = 0; waited < 120000 && !MoveFileW(partial.c_str(), done.c_str()); waited += 20) Sleep(20);
  return 0;
}
