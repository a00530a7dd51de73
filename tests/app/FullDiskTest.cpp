// Adding while the disk fills up, on a small file system of the test's own
// (tests/app/full-disk.sh mounts it): the library stops, the user is told
// why, and the archive that was there is untouched, nothing left beside it.
#include "WindowDriver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

struct NoHelp : THelpService {
  void ShowContext(HWND, const std::wstring&, DWORD) override {}
  void KeywordSearch(HWND, const std::wstring&, const std::wstring&) override {}
};

// A drop of files on the list, as the shell's drop target hands it on.
void DropOnList(TTavixMain& main, const std::vector<std::wstring>& files) {
  RECT list{};
  GetWindowRect(main.ArcList().Handle(), &list);
  POINT point{(list.left + list.right) / 2, (list.top + list.bottom) / 2};
  ScreenToClient(main.Handle(), &point);
  size_t chars = 1;
  for (const std::wstring& file : files) chars += file.size() + 1;
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->pt = point;
  drop->fWide = TRUE;
  auto* names = reinterpret_cast<wchar_t*>(drop + 1);
  for (const std::wstring& file : files) {
    file.copy(names, file.size());
    names += file.size() + 1;
  }
  GlobalUnlock(memory);
  PostMessageW(main.Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

TEST(FullDisk, AddingOntoAFullDiskTellsWhyAndKeepsTheArchive) {
  const char* small = std::getenv("TAVIX_SMALL_DISK");
  ASSERT_NE(small, nullptr) << "run through full-disk.sh";
  std::wstring disk = WinPath(small);
  ULARGE_INTEGER available{}, total{};
  ASSERT_TRUE(GetDiskFreeSpaceExW(disk.c_str(), &available, &total, nullptr));
  // The proof that the folder is the small file system and not the build disk.
  ASSERT_LT(total.QuadPart, 64ull << 20) << total.QuadPart;

  std::wstring folder = TempFolder(L"full-disk");
  std::wstring ini = folder + L"\\Tavix.ini";
  WritePrivateProfileStringW(L"Options", L"WorkDir", (disk + L"\\work").c_str(), ini.c_str());
  WritePrivateProfileStringW(L"Options", L"UseShellIcon", L"0", ini.c_str());
  WritePrivateProfileStringW(L"Options", L"NewMode", L"0", ini.c_str());
  WritePrivateProfileStringW(L"Options", L"PackDirOption", L"0", ini.c_str());
  WriteText(folder + L"\\small.txt", "a small file\n");
  // More than the small disk holds, and nothing a compressor could shrink.
  std::wstring big = folder + L"\\big.bin";
  ASSERT_EQ(RunUnix(L"head", L"-c " + std::to_wstring(total.QuadPart * 2) + L" /dev/urandom > '" +
                                 UnixPath(big) + L"'"),
            0);

  NoHelp help;
  TTavixMain main;
  ASSERT_TRUE(main.Create(MainStart(ini, {}, &help), SW_SHOWNORMAL));
  PumpUntil(main, [&] { return !main.State().pendingJob && !main.State().busy; }, 20000);
  ASSERT_TRUE(main.State().newArchiveMode);
  DropOnList(main, {folder + L"\\small.txt"});
  ASSERT_TRUE(PumpUntil(main, [&] { return main.State().entryCount == 1 && !main.State().busy; }, 30000));
  std::wstring archive = main.State().archivePath;
  ASSERT_EQ(archive.rfind(disk, 0), 0u) << "the archive is on the small disk";
  std::string before = ReadAll(fs::path(UnixPath(archive)));
  ASSERT_FALSE(before.empty());

  std::vector<std::wstring> texts;
  {
    TMessageBoxAnswerer answers(IDOK);
    DropOnList(main, {big});
    PumpUntil(main, [&] { return !answers.Texts().empty(); }, 60000);
    texts = answers.Texts();
  }
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_NE(texts[0].find(L"ディスクの空き容量が足りません"), std::wstring::npos) << texts[0];
  EXPECT_EQ(ReadAll(fs::path(UnixPath(archive))), before);
  EXPECT_EQ(main.State().entryCount, 1);
  // Nothing half-written stays on the full disk.
  size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(fs::path(small)))
    files += entry.is_regular_file();
  EXPECT_EQ(files, 1u);
  main.State().modified = false;
  SendMessageW(main.Handle(), WM_CLOSE, 0, 0);
  Pump(main, 50);
}

}  // namespace
