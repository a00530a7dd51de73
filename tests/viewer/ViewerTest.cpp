// The viewer window under Xvfb: files of each kind and code opened, saved
// and searched with real key presses through xdotool, and a picture shown
// by the program itself through /VIEW.
#include "Viewer.h"

#include "EditorPropDialogIds.h"
#include "EnvTable.h"
#include "FileEnvDialog.h"
#include "FileEnvDialogIds.h"
#include "FindDialogIds.h"

#include "../dialogs/DialogDriver.h"
#include "../support/XInput.h"

#include <commctrl.h>
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


TEST_F(ViewerTest, BadInputOpensWithoutLossOrIsRefused) {
  struct Case {
    const wchar_t* name;
    std::string bytes;
    bool keptAsRead;  // shown byte for byte
  } cases[] = {
      {L"empty.txt", "", true},
      // Lone lead bytes (one at the very end), a lead byte before a line break, an undefined lead byte.
      {L"bad-sjis.txt", "a\x82\r\n\x82\x0A" "b\x85\x40 c\x81", true},
      // EUC with a lone byte at the end and a half-width prefix before a byte that is no kana.
      {L"bad-euc.txt", "e " + kEuc + "\x8E\xA1\x8E\x21 \xA4", false},
      // UTF-8 cut short, overlong and a surrogate: not one of the viewer's codes, shown all the same.
      {L"bad-utf8.xyz", "u \xE3\x81\x82\xE3\x81 \xC0\xAF \xED\xA0\x80 \xF4\x90\x80\x80 end", false},
      // A file of carriage returns only.
      {L"returns.dat", std::string(4096, '\r'), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToAnsiForTest(c.name));
    TViewer viewer(nullptr, ini_, {});
    std::wstring path = Write(c.name, c.bytes);
    ASSERT_NO_THROW(viewer.Open(path));
    EXPECT_NE(viewer.TextCode(), 1) << "not a binary dump";
    if (c.keptAsRead) EXPECT_EQ(viewer.Editor().Model().Text(), c.bytes);
    else EXPECT_FALSE(viewer.Editor().Model().Text().empty());
    // Every row can be walked and located.
    size_t rows = viewer.Editor().RowCount();
    EXPECT_GE(rows, 1u);
    viewer.Editor().SetCaretOffset(viewer.Editor().Model().Size());
    EXPECT_EQ(viewer.Editor().CaretRow() + 1, rows);
  }
  // A binary file: the dump, whatever its bytes.
  {
    std::string binary;
    for (int i = 0; i < 70000; ++i) binary += static_cast<char>((i * 131) & 0xFF);
    TViewer viewer(nullptr, ini_, {});
    ASSERT_NO_THROW(viewer.Open(Write(L"noise.bin", binary)));
    EXPECT_EQ(viewer.TextCode(), 1);
    EXPECT_EQ(viewer.StatusText(5), L"BINARY");
  }
}

TEST_F(ViewerTest, AMegabyteLineAndInvalidBytesPaintAndScrollToTheirEnds) {
  std::string text = "head\r\n";
  while (text.size() < (1u << 20)) text += "0123456789abcdef" + kSjis + "\x82";  // cut characters included
  text += " tail\r\n\x81";
  TViewer viewer(nullptr, ini_, {});
  std::wstring path = Write(L"long.log", text);
  bool painted = false;
  View(viewer, path, [&](HWND window) {
    Keys(L"ctrl+End");
    EXPECT_TRUE(WaitUntil([&] { return StatusOf(window, 2) == L"行:3"; })) << ToAnsiForTest(StatusOf(window, 2));
    Keys(L"ctrl+Home End");
    EXPECT_TRUE(WaitUntil([&] { return StatusOf(window, 2) == L"行:1"; }));
    Keys(L"Down End Next Next");
    painted = WaitUntil([&] { return !GetUpdateRect(viewer.Editor().Handle(), nullptr, FALSE); });
    Screenshot(window, Shot(L"megabyte-line.png"));
  });
  EXPECT_TRUE(painted);
  EXPECT_EQ(viewer.Editor().Model().Text(), text);
}

TEST_F(ViewerTest, AFileThatVanishesWhileShownCanStillBeSaved) {
  std::string text = "still here " + kSjis + "\r\n";
  TViewer viewer(nullptr, ini_, {});
  std::wstring path = Write(L"vanish.txt", text);
  bool deleted = false;
  View(viewer, path, [&](HWND window) {
    deleted = DeleteFileW(path.c_str()) != FALSE;
    // The view keeps its text: it still scrolls and copies.
    Keys(L"ctrl+End");
    WaitUntil([&] { return StatusOf(window, 2) == L"行:2"; });
    SaveAs(window, L"rescued.txt");
  });
  EXPECT_TRUE(deleted) << "the viewer kept the file open";
  EXPECT_EQ(ReadAll(root_ + L"\\rescued.txt"), text);
  EXPECT_EQ(viewer.FileName(), root_ + L"\\rescued.txt");
}

// --sync waits for a move: from where a former step left the pointer there would be none.
void ClickScreen(POINT point) {
  Xdotool(L"mousemove 0 0 mousemove --sync " + std::to_wstring(point.x) + L" " + std::to_wstring(point.y) +
          L" click 1");
}
void ClickControl(HWND control) {
  RECT r{};
  GetClientRect(control, &r);
  POINT point{std::min<int>(r.right / 2, 20), r.bottom / 2};
  ClientToScreen(control, &point);
  ClickScreen(point);
}
HWND PageItem(HWND sheet, int id) {
  for (HWND child = GetWindow(sheet, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (HWND item = GetDlgItem(child, id)) return item;
  return nullptr;
}
bool OpenPage(HWND sheet, int index, int probeId) {
  HWND tabs = GetDlgItem(sheet, IDC_EP_TABS);
  RECT item{};
  TabCtrl_GetItemRect(tabs, index, &item);
  POINT point{(item.left + item.right) / 2, (item.top + item.bottom) / 2};
  ClientToScreen(tabs, &point);
  ClickScreen(point);
  return WaitUntil([&] { return IsWindowVisible(PageItem(sheet, probeId)) != FALSE; }, 20000);
}
COLORREF PixelOf(HWND window, int x, int y) {
  HDC dc = GetDC(window);
  COLORREF color = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return color;
}
std::wstring ReadIni(const std::wstring& ini, const wchar_t* section, const wchar_t* key) {
  wchar_t text[256] = {};
  GetPrivateProfileStringW(section, key, L"<none>", text, 256, ini.c_str());
  return text;
}

// Three environments: the default, C sources with line numbers on a pale
// yellow ground, logs without wrapping and marks.
class ViewerEnvTest : public ViewerTest {
 protected:
  void SetUp() override {
    ViewerTest::SetUp();
    TEnvTable table;
    table.Row(0).file = root_ + L"\\default.env";
    table.Row(1) = {L"C", root_ + L"\\c.env", L"*.c,*.h"};
    table.Row(2) = {L"Log", root_ + L"\\log.env", L"*.LOG"};
    table.Write(ini_);
    TEditorSettings c;
    c.lineNumbers = true;
    c.barBackground = RGB(255, 255, 0);
    c.colors[teDefault].background = RGB(255, 255, 224);
    ASSERT_TRUE(c.Save(root_ + L"\\c.env"));
    ASSERT_TRUE(WriteEnvironSection(root_ + L"\\c.env", L"C", L"*.c,*.h"));
    TEditorSettings log;
    log.wordWrap = false;
    log.returnMark = false;
    log.colors[teDefault].background = RGB(224, 240, 255);
    ASSERT_TRUE(log.Save(root_ + L"\\log.env"));
    ASSERT_TRUE(TEditorSettings().Save(root_ + L"\\default.env"));
  }
};

TEST_F(ViewerEnvTest, EachFileTakesTheEnvironmentItsMasksChoose) {
  std::string longLine(200, 'x');
  struct Case {
    const wchar_t* name;
    const wchar_t* env;
    COLORREF ground;
    const wchar_t* png;
  } cases[] = {{L"main.c", L"c.env", RGB(255, 255, 224), L"env-c.png"},
               {L"run.log", L"log.env", RGB(224, 240, 255), L"env-log.png"},
               {L"notes.txt", L"default.env", RGB(255, 255, 255), L"env-default.png"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(ToAnsiForTest(c.name));
    TViewer viewer(nullptr, ini_, {});
    std::wstring path = Write(c.name, "int main(void) { return 0; }\r\n" + longLine + "\r\n");
    COLORREF gutter = 0, ground = 0;
    View(viewer, path, [&](HWND window) {
      HWND editor = viewer.Editor().Handle();
      RECT client{};
      GetClientRect(editor, &client);
      // The window paints what the environment says: the number bar at the
      // left, the ground far right where no text reaches.
      WaitUntil([&] { return PixelOf(editor, client.right - 3, client.bottom - 3) == c.ground; }, 10000);
      gutter = PixelOf(editor, 1, client.bottom - 3);
      ground = PixelOf(editor, client.right - 3, client.bottom - 3);
      EXPECT_TRUE(Screenshot(window, Shot(c.png)));
    });
    EXPECT_EQ(viewer.EnvironmentFile(), root_ + L"\\" + c.env);
    EXPECT_EQ(ground, c.ground);
    EXPECT_EQ(gutter == RGB(255, 255, 0), std::wstring(c.env) == L"c.env");
    // The log wraps nothing: its 200-byte line is one row.
    EXPECT_EQ(viewer.Editor().RowCount(), std::wstring(c.env) == L"log.env" ? 3u : 5u);
  }
}

// Environments that cannot serve: a file of garbage, a file that is gone,
// masks of commas only or of 2,000 characters. The view keeps what it has.
TEST_F(ViewerEnvTest, ABrokenOrMissingEnvironmentLeavesTheViewAsItWas) {
  std::string garbage;
  for (int i = 0; i < 5000; ++i) garbage += static_cast<char>((i * 97 + 13) & 0xFF);
  Write(L"garbage.env", garbage);
  std::wstring longMasks;
  while (longMasks.size() < 2000) longMasks += L"*.none,";
  TEnvTable table;
  table.Read(ini_);
  table.Row(3) = {L"Garbage", root_ + L"\\garbage.env", L"*.bad"};
  table.Row(4) = {L"Gone", root_ + L"\\gone\\gone.env", L"*.gone"};
  table.Row(5) = {L"Commas", root_ + L"\\c.env", L",,,,"};
  table.Row(6) = {L"Long", root_ + L"\\c.env", longMasks + L"*.long"};
  table.Write(ini_);
  TEditorSettings defaults;
  defaults.Clamp();
  for (const wchar_t* name : {L"x.bad", L"x.gone", L"x.dat"}) {
    SCOPED_TRACE(ToAnsiForTest(name));
    TViewer viewer(nullptr, ini_, {});
    ASSERT_NO_THROW(viewer.Open(Write(name, "text\r\n")));
    EXPECT_EQ(viewer.Editor().Settings(), defaults);
    EXPECT_EQ(viewer.Editor().Model().Text(), "text\r\n");
  }
  // The long list still finds its last mask.
  TViewer viewer(nullptr, ini_, {});
  ASSERT_NO_THROW(viewer.Open(Write(L"x.long", "long\r\n")));
  EXPECT_EQ(viewer.EnvironmentFile(), root_ + L"\\c.env");
  EXPECT_TRUE(viewer.Editor().Settings().lineNumbers);
}

TEST_F(ViewerEnvTest, TheSheetChangesTheViewTheFileAndTheKeysAndANewerFileIsApplied) {
  TViewer viewer(nullptr, ini_, {});
  std::wstring path = Write(L"keys.c", "int x;\r\n");
  std::wstring sheetCaption, saveCaption;
  bool saveDialogByNewKey = false;
  int tabAfterList = 0;
  View(viewer, path, [&](HWND window) {
    // 表示 → 現在の設定: the sheet over the C environment.
    Keys(L"alt+v");
    Keys(L"p");
    HWND sheet = WaitForWindow(L"C のプロパティ");
    ASSERT_TRUE(sheet) << "no settings sheet";
    sheetCaption = Text(sheet);
    // 改行ﾏｰｸ off on the first display page.
    ASSERT_TRUE(OpenPage(sheet, 1, IDC_EP_RETMARK));
    HWND mark = PageItem(sheet, IDC_EP_RETMARK);
    ClickControl(mark);
    ASSERT_TRUE(WaitUntil([&] { return SendMessageW(mark, BM_GETCHECK, 0, 0) != BST_CHECKED; }));
    // 名前を付けて保存 (the first row of the key page) takes Ctrl+Shift+S.
    ASSERT_TRUE(OpenPage(sheet, 6, IDC_EP_FUNCTIONS));
    HWND hotKey = PageItem(sheet, IDC_EP_HOTKEY);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(hotKey) != FALSE; }));
    ClickControl(hotKey);
    Keys(L"ctrl+shift+s");
    ASSERT_TRUE(WaitUntil([&] {
      return SendMessageW(hotKey, HKM_GETHOTKEY, 0, 0) == ('S' | ((HOTKEYF_CONTROL | HOTKEYF_SHIFT) << 8));
    }));
    ClickControl(PageItem(sheet, IDC_EP_ASSIGN));
    HWND functions = PageItem(sheet, IDC_EP_FUNCTIONS);
    ASSERT_TRUE(WaitUntil([&] {
      wchar_t text[64]{};
      ListView_GetItemText(functions, 0, 1, text, 64);
      return std::wstring(text).find(L"S") != std::wstring::npos;
    }));
    ClickControl(GetDlgItem(sheet, IDOK));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(sheet) || !IsWindowVisible(sheet); }));
    // The menu shows the new key once the viewer has taken the sheet's answer.
    WaitUntil([&] {
      wchar_t full[128] = {};
      GetMenuStringW(GetMenu(window), VwSaveAs, full, 128, MF_BYCOMMAND);
      saveCaption = full;
      return saveCaption.find(L'\t') != std::wstring::npos;
    }, 10000);
    // The new key opens the save dialog.
    PointAt(viewer.Editor().Handle());
    Keys(L"ctrl+shift+s");
    HWND save = WaitForWindow(L"名前を付けて保存", 20000);
    saveDialogByNewKey = save != nullptr;
    if (save) {
      PointAt(save);
      Keys(L"Escape");
      WaitUntil([&] { return !IsWindow(save) || !IsWindowVisible(save); });
    }

    // 表示 → ﾌｧｲﾙ毎の設定: while the list is open, the C environment's file
    // changes (as its 設定 button would change it); closing applies it.
    PointAt(viewer.Editor().Handle());
    Keys(L"alt+v");
    Keys(L"e");
    HWND list = WaitForWindow(L"ﾌｧｲﾙ毎の環境設定");
    ASSERT_TRUE(list) << "no environment list";
    TEditorSettings changed;
    ASSERT_TRUE(changed.Load(root_ + L"\\c.env"));
    changed.tabSize = 2;
    ASSERT_TRUE(changed.Save(root_ + L"\\c.env"));
    PressUntilGone(list, IDOK);
    WaitUntil([&] { return viewer.Editor().Settings().tabSize == 2; }, 10000);
    tabAfterList = viewer.Editor().Settings().tabSize;
  });
  EXPECT_EQ(sheetCaption, L"C のプロパティ");
  EXPECT_FALSE(viewer.Editor().Settings().returnMark);
  TEditorSettings saved;
  ASSERT_TRUE(saved.Load(root_ + L"\\c.env"));
  EXPECT_FALSE(saved.returnMark);
  EXPECT_TRUE(saved.lineNumbers);  // the rest of the environment stays
  EXPECT_EQ(ReadIni(ini_.FullPath(), L"Viewer", L"SaveAs"), L"Shift+Ctrl+S");
  EXPECT_EQ(ReadIni(ini_.FullPath(), L"Viewer", L"Copy"), L"Ctrl+C");
  EXPECT_EQ(ReadIni(ini_.FullPath(), L"Viewer", L"FIndPrev"), L"Shift+F3");
  EXPECT_EQ(saveCaption, L"名前を付けて保存(&A)...\tShift+Ctrl+S");
  EXPECT_TRUE(saveDialogByNewKey);
  EXPECT_EQ(tabAfterList, 2);
  // The list wrote the table back when it closed.
  EXPECT_EQ(ReadIni(ini_.FullPath(), L"Environ", L"EnvName2"), L"C");
}

}  // namespace
