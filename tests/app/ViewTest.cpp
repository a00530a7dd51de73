// Viewing an entry from the main window with our own archiver library: an
// LZH made by jlha, the View command's key, the viewer showing the entry
// converted from its own code, and the work file gone after the viewer closes.
#include "WindowDriver.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>

namespace {

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring Status(HWND viewer, int panel) {
  HWND bar = FindWindowExW(viewer, nullptr, STATUSCLASSNAMEW, nullptr);
  wchar_t text[512] = {};
  if (LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, panel, 0)) < 511)
    SendMessageW(bar, SB_GETTEXTW, panel, reinterpret_cast<LPARAM>(text));
  return text;
}

std::wstring ClipboardText() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = chars;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

bool Poll(const std::function<bool()>& condition, int milliseconds = 30000) {
  for (int waited = 0; waited < milliseconds; waited += 20) {
    if (condition()) return true;
    Sleep(20);
  }
  return condition();
}

struct NoHelp : THelpService {
  void ShowContext(HWND, const std::wstring&, DWORD) override {}
  void KeywordSearch(HWND, const std::wstring&, const std::wstring&) override {}
};

TEST(ViewFromArchive, AnEucEntryOfAJlhaArchiveShowsConvertedAndItsWorkFileGoes) {
  ASSERT_EQ(GetACP(), 932u);
  std::wstring folder = TempFolder(L"view-from-archive");
  std::wstring ini = folder + L"\\Tavix.ini";
  std::wstring work = folder + L"\\work";
  WritePrivateProfileStringW(L"Options", L"WorkDir", work.c_str(), ini.c_str());
  WritePrivateProfileStringW(L"Options", L"UseShellIcon", L"0", ini.c_str());
  // "日本語のテキスト" in EUC, written out by hand so no converter of ours makes it.
  WriteText(folder + L"\\euc.txt", "EUC \xC6\xFC\xCB\xDC\xB8\xEC\xA4\xCE\xA5\xC6\xA5\xAD\xA5\xB9\xA5\xC8\r\n");
  WriteText(folder + L"\\other.txt", "other\r\n");
  std::wstring unixFolder = UnixPath(folder);
  ASSERT_FALSE(unixFolder.empty());
  ASSERT_EQ(RunUnix(L"cd", L"'" + unixFolder + L"' && jlha c view.lzh euc.txt other.txt >/dev/null"), 0);
  std::wstring archive = folder + L"\\view.lzh";
  ASSERT_TRUE(Exists(archive));

  NoHelp help;
  TMainStart start = MainStart(ini, {archive}, &help);
  TTavixMain main;
  ASSERT_TRUE(main.Create(start, SW_SHOWNORMAL));
  ASSERT_TRUE(PumpUntil(main, [&] { return !main.State().pendingJob && !main.State().busy; }, 20000));
  ASSERT_EQ(main.State().entryCount, 2);
  HWND list = main.ArcList().Handle();
  int item = -1;
  for (int i = 0; i < main.ArcList().ItemCount(); ++i)
    if (ItemText(main, i, 0) == L"euc.txt") item = i;
  ASSERT_GE(item, 0);
  ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
  ListView_SetItemState(list, item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);

  // The user: the viewer's caption is the work file, panel 5 the code; the
  // text copied out is the entry in Unicode; then 閉じる from the menu.
  std::atomic<bool> done{false};
  std::wstring caption, code, copied;
  bool workFileWhileOpen = false;
  std::thread user([&] {
    HWND viewer = nullptr;
    if (Poll([&] {
          viewer = FindWindowW(L"TavixViewer", nullptr);
          return viewer && IsWindowVisible(viewer) && !Status(viewer, 5).empty();
        })) {
      caption = WindowText(viewer);
      code = Status(viewer, 5);
      workFileWhileOpen = Exists(caption);
      PointAt(viewer);
      Xdotool(L"key --clearmodifiers ctrl+a");
      Xdotool(L"key --clearmodifiers ctrl+c");
      Poll([&] { return !ClipboardText().empty(); }, 10000);
      copied = ClipboardText();
      Xdotool(L"key --clearmodifiers alt+f");
      Xdotool(L"key --clearmodifiers x");
      if (!Poll([&] { return !IsWindowVisible(viewer); }, 10000)) PostMessageW(viewer, WM_CLOSE, 0, 0);
    }
    done = true;
  });
  // 閲覧 by its shortcut, on the list as the user has it.
  PointAt(list);
  Xdotool(L"key --clearmodifiers ctrl+w");
  bool finished = PumpUntil(main, [&] { return done.load(); }, 90000);
  user.join();
  ASSERT_TRUE(finished);
  EXPECT_EQ(code, L"EUC");
  EXPECT_EQ(copied, L"EUC 日本語のテキスト\r\n");
  ASSERT_FALSE(caption.empty()) << "no viewer";
  EXPECT_TRUE(workFileWhileOpen) << "the viewer did not show the extracted work file";
  EXPECT_EQ(caption.rfind(work, 0), 0u) << "not in the work folder";
  EXPECT_TRUE(caption.ends_with(L"\\euc.txt"));
  // Deleted once the viewer has closed; the archive keeps the entry.
  EXPECT_TRUE(PumpUntil(main, [&] { return !Exists(caption); }, 10000)) << "the work file stayed";
  EXPECT_TRUE(Exists(archive));
  SendMessageW(main.Handle(), WM_CLOSE, 0, 0);
  Pump(main, 50);
}

}  // namespace
