// The viewer window under Xvfb: files of each kind and code opened, saved
// and searched with real key presses through xdotool, and a picture shown
// by the program itself through /VIEW.
#include "Viewer.h"

#include "FindDialogIds.h"

#include "../dialogs/DialogDriver.h"
#include "../support/XInput.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {


// "日本語" in each code, written out by hand so no converter of ours makes the fixtures.
const std::string kSjis = "\x93\xFA\x96\x7B\x8C\xEA";
const std::string kEuc = "\xC6\xFC\xCB\xDC\xB8\xEC";
const std::string kJisKanji = "\x1B$B\x46\x7C\x4B\x5C\x38\x6C";
const std::string kJis = kJisKanji + "\x1B(B";
const std::string kUtf16Le = std::string("\xE5\x65\x2C\x67\x9E\x8A", 6);
const std::string kUtf16Be = std::string("\x65\xE5\x67\x2C\x8A\x9E", 6);

std::string ReadAll(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::wstring StatusOf(HWND viewer, int panel) {
  HWND bar = FindWindowExW(viewer, nullptr, L"msctls_statusbar32", nullptr);
  wchar_t text[512] = {};
  if (LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, panel, 0)) < 511)
    SendMessageW(bar, SB_GETTEXTW, panel, reinterpret_cast<LPARAM>(text));
  return text;
}

std::wstring MenuCaption(HWND viewer, UINT id) {
  wchar_t text[128] = {};
  GetMenuStringW(GetMenu(viewer), id, text, 128, MF_BYCOMMAND);
  std::wstring caption = text;
  return caption.substr(0, caption.find(L'\t'));
}

std::string ToAnsiForTest(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
  return out;
}

void Keys(const std::wstring& keys) { ASSERT_EQ(Xdotool(L"key --clearmodifiers " + keys), 0); }

class ViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetACP(), 932u);
    root_ = WinPath(TAVIX_BINARY_DIR) + L"\\tests\\viewer\\scratch-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(root_.c_str(), nullptr);
    ini_.SetFileName(root_ + L"\\Tavix.ini");
    ini_.Loaded();
  }
  void TearDown() override {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((root_ + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do DeleteFileW((root_ + L"\\" + found.cFileName).c_str());
      while (FindNextFileW(search, &found));
      FindClose(search);
    }
    RemoveDirectoryW(root_.c_str());
  }
  std::wstring Write(const std::wstring& name, const std::string& bytes) {
    std::wstring path = root_ + L"\\" + name;
    std::ofstream(path.c_str(), std::ios::binary) << bytes;
    return path;
  }
  // Opens the file, shows the viewer modally and plays the user on a second
  // thread once the window is up; the window is closed after the user.
  void View(TViewer& viewer, const std::wstring& path, const std::function<void(HWND)>& user) {
    viewer.Open(path);
    TUserThread thread([&] {
      HWND window = nullptr;
      WaitUntil([&] {
        window = FindWindowW(TViewer::kClassName, path.c_str());
        return window && IsWindowVisible(window);
      });
      if (!window) {
        ADD_FAILURE() << "the viewer did not appear";
        return;
      }
      PointAt(viewer.Editor().Handle(), IsWindowVisible(viewer.Editor().Handle()));
      user(window);
      // A dialog the user left open (a failed step) is cancelled first.
      if (HWND left = FindWindowW(L"#32770", nullptr); left && IsWindowVisible(left))
        PostMessageW(left, WM_COMMAND, IDCANCEL, 0);
      if (IsWindowVisible(window)) PostMessageW(window, WM_CLOSE, 0, 0);
    });
    viewer.ShowModal();
  }
  std::wstring Shot(const std::wstring& name) {
    std::wstring folder = WinPath(TAVIX_BINARY_DIR) + L"\\screenshots";
    CreateDirectoryW(folder.c_str(), nullptr);
    folder += L"\\viewer";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\" + name;
  }
  // Saves through 名前を付けて保存 with the keyboard, typing name into the save dialog.
  void SaveAs(HWND viewer, const std::wstring& name, bool cancel = false) {
    Keys(L"alt+f");
    Keys(L"a");
    HWND dialog = WaitForWindow(L"名前を付けて保存");
    ASSERT_TRUE(dialog) << "no save dialog";
    PointAt(dialog);
    if (cancel) {
      Keys(L"Escape");
    } else {
      HWND edit = nullptr;
      ASSERT_TRUE(WaitUntil([&] {
        GUITHREADINFO info{sizeof(info)};
        if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info)) edit = info.hwndFocus;
        return edit != nullptr;
      }));
      Keys(L"ctrl+a BackSpace");
      ASSERT_EQ(Xdotool(L"type --delay 30 '" + name + L"'"), 0);
      Keys(L"Return");
    }
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); })) << "the dialog stayed";
    (void)viewer;
  }

  std::wstring root_;
  TIniGT ini_;
};

TEST_F(ViewerTest, KindsGoByTheExtensionAlone) {
  EXPECT_EQ(TViewer::KindOf(L"C:\\w\\README", false), vkOther);
  EXPECT_EQ(TViewer::KindOf(L"C:\\w\\data.xyz", false), vkOther);
  EXPECT_EQ(TViewer::KindOf(L"C:\\w.d\\notes.TxT", false), vkText);
  EXPECT_EQ(TViewer::KindOf(L"photo.GIF", false), vkOther);
  EXPECT_EQ(TViewer::KindOf(L"photo.GIF", true), vkPluginPicture);
  EXPECT_EQ(TViewer::KindOf(L"a.jpeg", true), vkJpeg);
  EXPECT_EQ(TViewer::KindOf(L"a.ico", false), vkPicture);
  // ".C" is listed; ".CS" is not, though the list holds ".C" followed by a blank only.
  EXPECT_EQ(TViewer::KindOf(L"a.cs", false), vkOther);
}

TEST_F(ViewerTest, CodesAreDetectedAndShownInPanelFive) {
  struct Case {
    const wchar_t* name;
    std::string bytes;
    const wchar_t* code;
    std::string shown;
  };
  const Case cases[] = {
      {L"README", "abc", L"SJIS", "abc"},
      {L"data.xyz", "x " + kSjis + "\r\n", L"SJIS", "x " + kSjis + "\r\n"},
      {L"euc.dat", "e " + kEuc + "\r\n", L"EUC", "e " + kSjis + "\r\n"},
      {L"le.bin", "\xFF\xFE" + kUtf16Le + std::string("\r\0\n\0", 4), L"UNI-LI", kSjis + "\r\n"},
      {L"be.bin", "\xFE\xFF" + kUtf16Be + std::string("\0\r\0\n", 4), L"UNI-BI", kSjis + "\r\n"},
      // A byte below 8 in the first 512 bytes: the dump, its tab a ".", CR a line end, LF dropped.
      {L"dump.xyz", std::string(300, 'a') + std::string("\x01\tB\r\nC\xFF", 7), L"BINARY",
       std::string(300, 'a') + "..B\r\nC."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TViewer viewer(nullptr, ini_, {});
    std::wstring path = Write(c.name, c.bytes);
    View(viewer, path, [&](HWND window) { EXPECT_EQ(StatusOf(window, 5), c.code); });
    EXPECT_EQ(viewer.Editor().Model().Text(), c.shown);
    EXPECT_EQ(viewer.StatusText(5), c.code);
  }
}

TEST_F(ViewerTest, SaveAsWritesTheFilesOwnCodeAndCancelChangesNothing) {
  {
    TViewer viewer(nullptr, ini_, {});
    std::wstring path = Write(L"jis.txt", "J " + kJis + "\r\n");
    View(viewer, path, [&](HWND window) { SaveAs(window, L"jis-saved.txt"); });
    std::string saved = ReadAll(root_ + L"\\jis-saved.txt");
    EXPECT_NE(saved.find(kJisKanji), std::string::npos) << saved;
    EXPECT_EQ(saved.find(kSjis), std::string::npos);
    EXPECT_EQ(viewer.FileName(), root_ + L"\\jis-saved.txt");
    EXPECT_EQ(viewer.StatusText(5), L"JIS83");
  }
  {
    TViewer viewer(nullptr, ini_, {});
    std::wstring path = Write(L"uni.xyz", "\xFF\xFE" + kUtf16Le + std::string("\r\0\n\0", 4));
    View(viewer, path, [&](HWND window) { SaveAs(window, L"uni-saved.txt"); });
    EXPECT_EQ(ReadAll(root_ + L"\\uni-saved.txt"), kSjis + "\r\n");
  }
  {
    TViewer viewer(nullptr, ini_, {});
    std::wstring path = Write(L"keep.txt", "keep\r\n");
    std::wstring caption;
    View(viewer, path, [&](HWND window) {
      SaveAs(window, L"", true);
      caption = Text(window);
    });
    EXPECT_EQ(caption, path);
    EXPECT_EQ(viewer.FileName(), path);
  }
}

TEST_F(ViewerTest, FindMarksAndJumpsWithTheirMessages) {
  std::string text;
  for (int i = 1; i <= 60; ++i) text += "line " + std::to_string(i) + (i == 30 ? " needle" : "") + "\r\n";
  TViewer viewer(nullptr, ini_, {});
  std::wstring path = Write(L"find.txt", text);
  std::wstring afterFind, afterNext, afterMissing, jumpBefore, markCaption, popupCaption, afterJump;
  View(viewer, path, [&](HWND window) {
    Keys(L"ctrl+Home");
    // Jump 3 before Mark 3 does nothing.
    Keys(L"ctrl+3");
    jumpBefore = StatusOf(window, 0) + L"|" + StatusOf(window, 2);
    HWND find = nullptr;
    Keys(L"ctrl+f");
    find = WaitForWindow(L"検索");
    ASSERT_TRUE(find);
    HWND edit = FindWindowExW(GetDlgItem(find, IDC_FIND_WORD), nullptr, L"Edit", nullptr);
    ASSERT_TRUE(edit);
    RECT box{};
    GetWindowRect(edit, &box);
    // --sync waits for a move: from where the pointer was there might be none.
    ASSERT_EQ(Xdotool(L"mousemove 0 0 mousemove --sync " + std::to_wstring((box.left + box.right) / 2) + L" " +
                      std::to_wstring((box.top + box.bottom) / 2) + L" click 1"),
              0);
    // The box starts with the word at the caret ("line"); the edit control takes no Ctrl+A here.
    Keys(L"End shift+Home BackSpace");
    for (wchar_t c : std::wstring(L"needle")) Xdotool(L"type '" + std::wstring(1, c) + L"'");
    ASSERT_TRUE(WaitUntil([&] { return Text(edit) == L"needle"; }, 10000)) << "the box shows [" << ToAnsiForTest(Text(edit)) << "]";
    Keys(L"Return");
    ASSERT_TRUE(WaitUntil([&] { return StatusOf(window, 2) == L"行:30"; })) << StatusOf(window, 2);
    afterFind = StatusOf(window, 0);
    PointAt(viewer.Editor().Handle());
    Keys(L"F3");
    ASSERT_TRUE(WaitUntil([&] { return !StatusOf(window, 0).empty(); }));
    afterNext = StatusOf(window, 0);
    Keys(L"shift+F3");
    // Mark 3 on row 41: 41 rows down from the top.
    Keys(L"ctrl+Home");
    ASSERT_EQ(Xdotool(L"key --clearmodifiers --repeat 41 --delay 20 Down"), 0);
    ASSERT_TRUE(WaitUntil([&] { return StatusOf(window, 2) == L"行:42"; })) << StatusOf(window, 2);
    Keys(L"alt+3");
    ASSERT_TRUE(WaitUntil([&] { return StatusOf(window, 0) == L"ﾏｰｸ 3"; })) << StatusOf(window, 0);
    // Wine opens the menu bar when Alt comes up after an accelerator took its key; Esc leaves it.
    Keys(L"Escape");
    markCaption = MenuCaption(window, VwMarkMain + 3);
    popupCaption = MenuCaption(window, VwJumpMain + 3);
    Keys(L"ctrl+End");
    Keys(L"ctrl+3");
    ASSERT_TRUE(WaitUntil([&] { return StatusOf(window, 0) == L"ｼﾞｬﾝﾌﾟ 3"; })) << StatusOf(window, 0);
    afterJump = StatusOf(window, 2);
    Screenshot(window, Shot(L"find.png"));
  });
  EXPECT_EQ(jumpBefore, L"|行:1");
  EXPECT_EQ(afterFind, L"");
  EXPECT_EQ(afterNext, L"[needle] は見つかりません.");
  EXPECT_EQ(markCaption, L"&3 (42)");
  EXPECT_EQ(popupCaption, L"&3 (42)");
  EXPECT_EQ(afterJump, L"行:42");
  EXPECT_EQ(viewer.Mark(3), 41);
}

TEST_F(ViewerTest, ATwoGigabyteFileIsRefusedWithAMessage) {
  std::wstring path = root_ + L"\\huge.log";
  {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = 0x80000000LL;
    ASSERT_TRUE(SetFilePointerEx(file, size, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file));
    CloseHandle(file);
  }
  TViewer viewer(nullptr, ini_, {});
  try {
    viewer.Open(path);
    ADD_FAILURE() << "opened";
  } catch (const EViewerError& error) {
    EXPECT_NE(error.Message().find(L"2GB"), std::wstring::npos);
  }
}

TEST_F(ViewerTest, ScreenshotsOfSjisEucAndADump) {
  std::string readme =
      "Tavix " + kSjis + " README\r\n\r\n"
      "\x82\xB1\x82\xCC\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xCD\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x90\xE0\x96\xBE\x82\xC5\x82\xB7\x81\x42\r\n"
      "http://example.com/ mail@example.com 0x1F 12345\r\n";
  std::string euc = "EUC: " + kEuc + "\r\n" + kEuc + kEuc + "\r\n";
  std::string dump;
  for (int i = 0; i < 2048; ++i) dump += static_cast<char>(i * 7 % 256);
  struct Picture {
    const wchar_t* file;
    std::string bytes;
    const wchar_t* png;
    const wchar_t* code;
  } shots[] = {{L"README", readme, L"sjis-readme.png", L"SJIS"},
               {L"euc.txt", euc, L"euc.png", L"EUC"},
               {L"dump.bin", dump, L"binary-dump.png", L"BINARY"}};
  for (const Picture& s : shots) {
    TViewer viewer(nullptr, ini_, {});
    std::wstring path = Write(s.file, s.bytes);
    bool taken = false;
    View(viewer, path, [&](HWND window) {
      EXPECT_EQ(StatusOf(window, 5), s.code);
      taken = Screenshot(window, Shot(s.png));
    });
    EXPECT_TRUE(taken) << "no screenshot of " << s.png;
  }
}

// The program itself, as a user starts it: Tavix.exe /VIEW picture.jpg.
TEST_F(ViewerTest, ViewSwitchShowsAJpegInThePictureControl) {
  std::wstring picture = WinPath(TAVIX_PICTURES_DIR) + L"\\jpeg.jpg";
  ASSERT_NE(GetFileAttributesW(picture.c_str()), INVALID_FILE_ATTRIBUTES);
  std::wstring program = WinPath(TAVIX_BINARY_DIR) + L"\\bin\\Tavix.exe";
  std::wstring line = L"\"" + program + L"\" /VIEW \"" + picture + L"\"";
  STARTUPINFOW startup{sizeof(startup)};
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, root_.c_str(),
                             &startup, &process));
  HWND window = nullptr;
  EXPECT_TRUE(WaitUntil([&] {
    window = FindWindowW(TViewer::kClassName, nullptr);
    return window && IsWindowVisible(window);
  }, 60000)) << "no viewer";
  if (window) {
    EXPECT_EQ(Text(window), picture);
    HWND all = FindWindowExW(window, nullptr, L"TavixPicture", nullptr);
    HWND text = FindWindowExW(window, nullptr, TTextView::kClassName, nullptr);
    EXPECT_TRUE(all && IsWindowVisible(all));
    EXPECT_FALSE(text && IsWindowVisible(text));
    EXPECT_TRUE(Screenshot(window, Shot(L"jpeg.png")));
    PointAt(window);
    Keys(L"alt+f");
    Keys(L"x");
  }
  bool ended = WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0;
  EXPECT_TRUE(ended) << "the program did not end after the viewer closed";
  if (!ended) TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

}  // namespace
