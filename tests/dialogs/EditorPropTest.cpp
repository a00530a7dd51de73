// The editor settings sheet and the environment dialog driven with real
// clicks and keys (xdotool under Xvfb): OK keeps the edits, Cancel leaves the
// caller's copy alone, the preview shows the colours chosen, the environment
// rows follow their rules. Screenshots of every page go to screenshots/dialogs.
#include "DialogDriver.h"
#include "EditorPropDialog.h"
#include "EditorPropDialogIds.h"
#include "FileEnvDialog.h"
#include "FileEnvDialogIds.h"
#include "../support/XInput.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

// What a failed comparison of settings shows: the values a user sets on the pages.
void PrintTo(const TEditorSettings& s, std::ostream* os) {
  auto narrow = [](const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
    return out;
  };
  *os << "{free " << s.freeCaret << " tab " << s.tabSize << " bars " << s.scrollBars << " font " << narrow(s.fontName)
      << " " << s.fontSize << " follow " << narrow(s.followChars) << " brackets " << s.brackets.size() << " words";
  for (const auto& word : s.reservedWords) *os << " " << narrow(word);
  for (const auto& color : s.colors) *os << " " << std::hex << color.foreground << "/" << color.background << std::dec;
  *os << " bar " << std::hex << s.barForeground << "/" << s.barBackground << std::dec << " hex " << narrow(s.hexPrefix)
      << narrow(s.lineComment) << narrow(s.quotes) << "}";
}

namespace {

const wchar_t kCaption[] = L"Test の環境設定";

// --sync waits for a move: from where a former step left the pointer there would be none.
void ClickScreen(POINT point) {
  Xdotool(L"mousemove 0 0 mousemove --sync " + std::to_wstring(point.x) + L" " + std::to_wstring(point.y) +
          L" click 1");
}
void ClickControl(HWND control, int x = -1) {
  RECT r{};
  GetClientRect(control, &r);
  POINT point{x >= 0 ? x : std::min<int>(r.right / 2, 20), r.bottom / 2};
  ClientToScreen(control, &point);
  ClickScreen(point);
}
void Keys(const std::wstring& keys) { Xdotool(L"key --clearmodifiers " + keys); }
bool Checked(HWND box) { return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

HWND PageItem(HWND sheet, int id) {
  for (HWND child = GetWindow(sheet, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (HWND item = GetDlgItem(child, id)) return item;
  return nullptr;
}

// Clicks the page's tab and waits until the page is shown.
bool OpenPage(HWND sheet, int index, int probeId) {
  HWND tabs = GetDlgItem(sheet, IDC_EP_TABS);
  RECT item{};
  TabCtrl_GetItemRect(tabs, index, &item);
  POINT point{(item.left + item.right) / 2, (item.top + item.bottom) / 2};
  ClientToScreen(tabs, &point);
  ClickScreen(point);
  return WaitUntil([&] { return IsWindowVisible(PageItem(sheet, probeId)) != FALSE; }, 20000);
}

// Types text into an edit after a click into it, replacing what it held.
bool TypeInto(HWND edit, const std::wstring& text) {
  ClickControl(edit);
  // Wine's edits take no Ctrl+A: select from the end to the start instead.
  Keys(L"ctrl+End ctrl+shift+Home Delete");
  // One key a call: Wine loses keys of a fast burst.
  for (wchar_t c : text) Xdotool(L"type '" + std::wstring(1, c) + L"'");
  return WaitUntil([&] { return Text(edit) == text; }, 20000);
}

// Picks an item of a drop-down list with the keys, as a user without a mouse would.
bool PickItem(HWND combo, int index) {
  ClickControl(combo);
  std::wstring keys = L"Home";
  for (int i = 0; i < index; ++i) keys += L" Down";
  Keys(keys + L" Return");
  return WaitUntil([&] { return SendMessageW(combo, CB_GETCURSEL, 0, 0) == index; }, 20000);
}

COLORREF PixelOf(HWND window, POINT point) {
  HDC dc = GetDC(window);
  COLORREF color = GetPixel(dc, point.x, point.y);
  ReleaseDC(window, dc);
  return color;
}

class EditorPropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetACP(), 932u);
    InitCommonControls();
    owner_ = CreateWindowW(L"STATIC", L"Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 40, 700, 560, nullptr, nullptr,
                           nullptr, nullptr);
    root_ = fs::current_path() / ("editorprop-" + std::to_string(GetCurrentProcessId()));
    fs::create_directories(root_);
  }
  void TearDown() override {
    DestroyWindow(owner_);
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  // Shows the sheet as the viewer does through its entry point.
  bool Edit(TEditorSettings& settings, const std::function<void(HWND)>& user) {
    int result = ShowWithUser(kCaption, [&] { return EditEditorSettings(owner_, settings, kCaption) ? IDOK : IDCANCEL; },
                              user);
    return result == IDOK;
  }
  HWND owner_ = nullptr;
  fs::path root_;
};

// The same edits on several pages, then OK or Cancel.
void MakeEdits(HWND sheet) {
  HWND freeCursor = PageItem(sheet, IDC_EP_FREECURSOR);
  ClickControl(freeCursor);
  EXPECT_TRUE(WaitUntil([&] { return Checked(freeCursor); }));
  ASSERT_TRUE(OpenPage(sheet, 1, IDC_EP_TABSIZE));
  EXPECT_TRUE(TypeInto(PageItem(sheet, IDC_EP_TABSIZE), L"8"));
  EXPECT_TRUE(PickItem(PageItem(sheet, IDC_EP_SCROLLBAR), 1));
  ASSERT_TRUE(OpenPage(sheet, 4, IDC_EP_FOLLOW));
  EXPECT_TRUE(TypeInto(PageItem(sheet, IDC_EP_FOLLOW), L"abc"));
  ASSERT_TRUE(OpenPage(sheet, 5, IDC_EP_RESVSTR));
  EXPECT_TRUE(TypeInto(PageItem(sheet, IDC_EP_RESVSTR), L"alpha"));
}

TEST_F(EditorPropTest, OkKeepsTheEditsAndCancelLeavesTheCallersCopyAlone) {
  TEditorSettings original;
  original.reservedWords = {L"keep"};
  TEditorSettings settings = original;
  EXPECT_FALSE(Edit(settings, [&](HWND sheet) {
    MakeEdits(sheet);
    ClickControl(GetDlgItem(sheet, IDCANCEL), 30);
  }));
  EXPECT_EQ(settings, original);

  EXPECT_TRUE(Edit(settings, [&](HWND sheet) {
    EXPECT_EQ(Text(sheet), kCaption);
    MakeEdits(sheet);
    ClickControl(GetDlgItem(sheet, IDOK), 20);
  }));
  TEditorSettings expected = original;
  expected.freeCaret = true;
  expected.tabSize = 8;
  expected.scrollBars = sbVertical;
  expected.followChars = L"abc";
  expected.reservedWords = {L"alpha"};
  EXPECT_EQ(settings, expected);

  // What the sheet gave back survives an environment file.
  fs::path env = root_ / "round.env";
  ASSERT_TRUE(settings.Save(env.wstring()));
  TEditorSettings loaded;
  ASSERT_TRUE(loaded.Load(env.wstring()));
  EXPECT_EQ(loaded, expected);
}

TEST_F(EditorPropTest, KinsokuDefaultsBracketsAndThePreviewColours) {
  TEditorSettings settings;
  settings.followChars = L"x";
  settings.leadChars = L"y";
  settings.punctuationChars = L"z";
  bool ok = Edit(settings, [&](HWND sheet) {
    ASSERT_TRUE(OpenPage(sheet, 4, IDC_EP_FOLLOW));
    EXPECT_EQ(Text(PageItem(sheet, IDC_EP_FOLLOW)), L"x");
    for (int id : {IDC_EP_FOLLOW_DEFAULT, IDC_EP_LEAD_DEFAULT, IDC_EP_PUNC_DEFAULT}) ClickControl(PageItem(sheet, id));
    EXPECT_TRUE(WaitUntil([&] { return Text(PageItem(sheet, IDC_EP_PUNC)) == TEditorSettings::DefaultPunctuationChars(); }));
    EXPECT_EQ(Text(PageItem(sheet, IDC_EP_FOLLOW)), TEditorSettings::DefaultFollowChars());
    EXPECT_EQ(Text(PageItem(sheet, IDC_EP_LEAD)), TEditorSettings::DefaultLeadChars());

    // A pair already listed is not added again; a new one is, and it can be deleted.
    ASSERT_TRUE(OpenPage(sheet, 2, IDC_EP_BRACKET));
    HWND list = PageItem(sheet, IDC_EP_BRACKET);
    int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    EXPECT_EQ(Text(PageItem(sheet, IDC_EP_BRLEFT)), L"(");
    ClickControl(PageItem(sheet, IDC_EP_BRADD));
    EXPECT_TRUE(TypeInto(PageItem(sheet, IDC_EP_BRLEFT), L"<"));
    EXPECT_TRUE(TypeInto(PageItem(sheet, IDC_EP_BRRIGHT), L">"));
    ClickControl(PageItem(sheet, IDC_EP_BRADD));
    EXPECT_TRUE(WaitUntil([&] { return SendMessageW(list, LB_GETCOUNT, 0, 0) == count + 1; }));
    EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), count + 1) << "a listed pair was added again";
    ClickControl(PageItem(sheet, IDC_EP_BRADD));
    // Select the first pair ("( )") with a click and delete it.
    RECT first{};
    SendMessageW(list, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first));
    POINT onFirst{10, (first.top + first.bottom) / 2};
    ClientToScreen(list, &onFirst);
    ClickScreen(onFirst);
    EXPECT_TRUE(WaitUntil([&] { return SendMessageW(list, LB_GETCURSEL, 0, 0) == 0; }));
    ClickControl(PageItem(sheet, IDC_EP_BRDELETE));
    EXPECT_TRUE(WaitUntil([&] { return SendMessageW(list, LB_GETCOUNT, 0, 0) == count; }));

    // The colour page: the selected sample word takes the selection colour.
    ASSERT_TRUE(OpenPage(sheet, 3, IDC_EP_ELEMENT));
    HWND preview = PageItem(sheet, IDC_EP_EDITVIEW);
    ASSERT_NE(preview, nullptr);
    HWND elements = PageItem(sheet, IDC_EP_ELEMENT);
    ClickControl(elements);
    Keys(L"Home");
    for (int i = 0; i < teSelection; ++i) Keys(L"Down");
    EXPECT_TRUE(WaitUntil([&] { return SendMessageW(elements, LB_GETCURSEL, 0, 0) == teSelection; }));
    EXPECT_TRUE(PickItem(PageItem(sheet, IDC_EP_BCOLOR), 9));  // 赤
    // The word "select" starts at column 4 of the second row.
    RECT client{};
    GetClientRect(preview, &client);
    bool red = WaitUntil([&] {
      for (int x = 0; x < client.right; x += 2)
        for (int y = 0; y < client.bottom / 2; y += 2)
          if (PixelOf(preview, {x, y}) == RGB(255, 0, 0)) return true;
      return false;
    });
    EXPECT_TRUE(red) << "the preview does not show the selection colour";
    // The default background: the empty area right of the first line.
    ClickControl(elements);
    Keys(L"Home");
    EXPECT_TRUE(WaitUntil([&] { return SendMessageW(elements, LB_GETCURSEL, 0, 0) == teDefault; }));
    EXPECT_TRUE(PickItem(PageItem(sheet, IDC_EP_BCOLOR), 11));  // 黄
    EXPECT_TRUE(WaitUntil([&] { return PixelOf(preview, {client.right - 4, 4}) == RGB(255, 255, 0); }))
        << "the preview does not show the default background";
    ClickControl(GetDlgItem(sheet, IDOK), 20);
  });
  ASSERT_TRUE(ok);
  EXPECT_EQ(settings.followChars, TEditorSettings::DefaultFollowChars());
  EXPECT_EQ(settings.leadChars, TEditorSettings::DefaultLeadChars());
  EXPECT_EQ(settings.punctuationChars, TEditorSettings::DefaultPunctuationChars());
  EXPECT_EQ(settings.brackets.back(), (std::pair<std::wstring, std::wstring>{L"<", L">"}));
  EXPECT_EQ(settings.brackets.front(), (std::pair<std::wstring, std::wstring>{L"[", L"]"}));
  EXPECT_EQ(settings.colors[teSelection].background, RGB(255, 0, 0));
  EXPECT_EQ(settings.colors[teDefault].background, RGB(255, 255, 0));
}

TEST_F(EditorPropTest, ScreenshotsOfEveryPage) {
  TEditorSettings settings;
  std::vector<TShortcutSlot> slots = {{L"検索(&F)...", static_cast<WORD>('F' | (HOTKEYF_CONTROL << 8))},
                                      {L"次を検索(&N)", VK_F3},
                                      {L"", 0}};
  const int probes[7] = {IDC_EP_FREECURSOR, IDC_EP_TABSIZE, IDC_EP_BRACKET, IDC_EP_ELEMENT,
                         IDC_EP_FOLLOW,     IDC_EP_RESVSTR, IDC_EP_FUNCTIONS};
  ShowWithUser(kCaption, [&] { return EditEditorSettings(owner_, settings, kCaption, &slots) ? IDOK : IDCANCEL; },
               [&](HWND sheet) {
                 for (int i = 0; i < 7; ++i) {
                   ASSERT_TRUE(OpenPage(sheet, i, probes[i]));
                   Sleep(0);
                   std::wstring png = ScreenshotFolder() + L"\\editorprop-" + std::to_wstring(i + 1) + L".png";
                   EXPECT_TRUE(WaitUntil([&] { return Screenshot(sheet, png); }));
                 }
                 // The key page: the first row's shortcut is shown, a nameless row disables the field.
                 HWND functions = PageItem(sheet, IDC_EP_FUNCTIONS);
                 EXPECT_EQ(SendMessageW(PageItem(sheet, IDC_EP_HOTKEY), HKM_GETHOTKEY, 0, 0), slots[0].key);
                 RECT row{};
                 ListView_GetItemRect(functions, 2, &row, LVIR_BOUNDS);
                 POINT point{row.left + 20, (row.top + row.bottom) / 2};
                 ClientToScreen(functions, &point);
                 ClickScreen(point);
                 EXPECT_TRUE(WaitUntil([&] { return !IsWindowEnabled(PageItem(sheet, IDC_EP_ASSIGN)); }));
                 // Row 2 takes Ctrl+G through the hot-key field and "割当て(&A)".
                 ListView_GetItemRect(functions, 1, &row, LVIR_BOUNDS);
                 point = {row.left + 20, (row.top + row.bottom) / 2};
                 ClientToScreen(functions, &point);
                 ClickScreen(point);
                 HWND hotKey = PageItem(sheet, IDC_EP_HOTKEY);
                 EXPECT_TRUE(WaitUntil([&] { return GetFocus() == hotKey || IsWindowEnabled(hotKey); }));
                 ClickControl(hotKey);
                 Keys(L"ctrl+g");
                 EXPECT_TRUE(WaitUntil([&] {
                   return SendMessageW(hotKey, HKM_GETHOTKEY, 0, 0) == ('G' | (HOTKEYF_CONTROL << 8));
                 }));
                 ClickControl(PageItem(sheet, IDC_EP_ASSIGN));
                 EXPECT_TRUE(WaitUntil([&] {
                   wchar_t text[64]{};
                   ListView_GetItemText(functions, 1, 1, text, 64);
                   return std::wstring(text) == L"Ctrl+G";
                 }));
                 ClickControl(GetDlgItem(sheet, IDOK), 20);
               });
  EXPECT_EQ(slots[1].key, 'G' | (HOTKEYF_CONTROL << 8));
  EXPECT_EQ(slots[0].key, 'F' | (HOTKEYF_CONTROL << 8));
}

// The environment dialog over a table of five rows.
class FileEnvTest : public EditorPropTest {
 protected:
  void SetUp() override {
    EditorPropTest::SetUp();
    ini_ = (root_ / "Tavix.ini").wstring();
    TIniGT settings;
    settings.SetFileName(ini_);
    settings.Loaded();
    TEnvTable table;
    table.Row(0).file = (root_ / "default.env").wstring();
    const wchar_t* names[] = {L"C Source", L"Log", L"Html", L"Make"};
    const wchar_t* masks[] = {L"*.c,*.h", L"*.log", L"*.htm*", L"Makefile"};
    for (int i = 0; i < 4; ++i) {
      std::wstring file = (root_ / (std::wstring(names[i]) + L".env")).wstring();
      table.Row(i + 1) = {names[i], file, masks[i]};
      TEditorSettings env;
      env.tabSize = i + 1;
      ASSERT_TRUE(env.Save(file));
      ASSERT_TRUE(WriteEnvironSection(file, names[i], masks[i]));
    }
    table.Write(settings);
  }
  TEnvTable Written() {
    TIniGT settings;
    settings.SetFileName(ini_);
    settings.Loaded();
    TEnvTable table;
    table.Read(settings);
    return table;
  }
  int Show(TFileEnv& dialog, const std::function<void(HWND)>& user) {
    return ShowWithUser(L"ﾌｧｲﾙ毎の環境設定", [&] { return dialog.ShowModal(); }, user);
  }
  void ClickRow(HWND dialog, int row) {
    HWND grid = GetDlgItem(dialog, IDC_FE_ENVLIST);
    RECT r{};
    ListView_GetItemRect(grid, row, &r, LVIR_BOUNDS);
    POINT point{r.left + 30, (r.top + r.bottom) / 2};
    ClientToScreen(grid, &point);
    ClickScreen(point);
    EXPECT_TRUE(WaitUntil([&] { return ListView_GetNextItem(grid, -1, LVNI_SELECTED) == row; }));
  }
  // Answers the next message box with its button, returning its text.
  std::wstring Answer(HWND dialog, int button) {
    HWND box = WaitForOtherDialog(dialog);
    if (box == nullptr) return L"(no message box)";
    std::wstring text = MessageBoxText(box);
    PressUntilGone(box, button);
    return text;
  }
  std::wstring ini_;
};

TEST_F(FileEnvTest, RowRulesDeleteLoadAndTheFullTable) {
  TFileEnv dialog(owner_, ini_);
  std::wstring nextFile;
  dialog.ChooseFile = [&](HWND, bool, const std::wstring&, std::wstring* path) {
    *path = nextFile;
    return !nextFile.empty();
  };
  Show(dialog, [&](HWND window) {
    EXPECT_TRUE(WaitUntil([&] { return Screenshot(window, ScreenshotFolder() + L"\\fileenv.png"); }));
    // Row 1: name and masks not editable, no delete.
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, IDC_FE_EDIT1)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, IDC_FE_DEL)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, IDC_FE_PROP)));
    ClickRow(window, 2);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, IDC_FE_EDIT1)));
    EXPECT_EQ(Text(GetDlgItem(window, IDC_FE_EDIT1)), L"Log");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, IDC_FE_DEL)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, IDC_FE_UPD)));
    // Deleting row 3 of five moves rows 4 and 5 up.
    ClickControl(GetDlgItem(window, IDC_FE_DEL));
    EXPECT_EQ(Answer(window, IDYES), L"Log を削除しますか?");
    EXPECT_TRUE(WaitUntil([&] { return dialog.Table().Row(2).name == L"Html"; }));
    EXPECT_EQ(dialog.Table().Row(3).name, L"Make");
    EXPECT_EQ(dialog.Table().Row(4).name, L"");

    // Loading a file named like an existing row, in another letter case: only the masks change.
    std::wstring other = (root_ / "other.env").wstring();
    TEditorSettings().Save(other);
    WriteEnvironSection(other, L"c source", L"*.cpp");
    nextFile = other;
    ClickControl(GetDlgItem(window, IDC_FE_LOAD));
    EXPECT_TRUE(WaitUntil([&] { return dialog.Table().Row(1).masks == L"*.cpp"; }));
    EXPECT_EQ(dialog.Table().Row(1).name, L"C Source");
    EXPECT_EQ(dialog.Table().Row(1).file, (root_ / L"C Source.env").wstring());

    // A broken file is told and changes nothing.
    std::wstring broken = (root_ / "broken.env").wstring();
    {
      HANDLE file = CreateFileW(broken.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      DWORD written = 0;
      WriteFile(file, "\x01\xFF\x00garbage\x80", 11, &written, nullptr);
      CloseHandle(file);
    }
    nextFile = broken;
    ClickControl(GetDlgItem(window, IDC_FE_LOAD));
    EXPECT_EQ(Answer(window, IDOK), L"環境ﾌｧｲﾙが異常です.");

    // Fill the table, then save a row under a new name: the full-table warning.
    for (int i = 0; i < 6; ++i) {
      std::wstring file = (root_ / ("e" + std::to_string(i) + ".env")).wstring();
      TEditorSettings().Save(file);
      WriteEnvironSection(file, L"Extra" + std::to_wstring(i), L"*.e" + std::to_wstring(i));
      nextFile = file;
      ClickControl(GetDlgItem(window, IDC_FE_LOAD));
      EXPECT_TRUE(WaitUntil([&] { return dialog.Table().Row(4 + i).name == L"Extra" + std::to_wstring(i); }));
    }
    ClickRow(window, 2);
    ClickControl(GetDlgItem(window, IDC_FE_SAVE));
    HWND saveAs = WaitForWindow(L"環境の保存");
    ASSERT_NE(saveAs, nullptr);
    EXPECT_EQ(Text(GetDlgItem(saveAs, IDC_ES_EDIT1)), L"Html");
    EXPECT_TRUE(WaitUntil([&] { return Screenshot(saveAs, ScreenshotFolder() + L"\\envsaveas.png"); }));
    EXPECT_TRUE(TypeInto(GetDlgItem(saveAs, IDC_ES_EDIT1), L"Brandnew"));
    ClickControl(GetDlgItem(saveAs, IDC_ES_OK), 20);
    EXPECT_EQ(Answer(window, IDOK), L"環境保存数が一杯のため保存出来ません.");
    ClickControl(GetDlgItem(window, IDC_FE_OK), 20);
  });
  TEnvTable written = Written();
  EXPECT_EQ(written.Row(1).masks, L"*.cpp");
  EXPECT_EQ(written.Row(2).name, L"Html");
  EXPECT_EQ(written.Row(9).name, L"Extra5");
}

TEST_F(FileEnvTest, CancelledSheetWritesNothingAndOkWritesTheRowsFile) {
  TFileEnv dialog(owner_, ini_);
  dialog.ChooseFile = [&](HWND, bool, const std::wstring&, std::wstring*) { return false; };
  std::wstring file = (root_ / L"Log.env").wstring();
  fs::file_time_type before = fs::last_write_time(file);
  Show(dialog, [&](HWND window) {
    ClickRow(window, 2);
    ClickControl(GetDlgItem(window, IDC_FE_PROP));
    HWND sheet = WaitForWindow(L"Log の環境設定");
    ASSERT_NE(sheet, nullptr);
    HWND functions = PageItem(sheet, IDC_EP_FUNCTIONS);
    EXPECT_FALSE(IsWindowEnabled(functions));
    ClickControl(PageItem(sheet, IDC_EP_FREECURSOR));
    ClickControl(GetDlgItem(sheet, IDCANCEL), 30);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(sheet); }));
    EXPECT_EQ(fs::last_write_time(file), before);
    ClickControl(GetDlgItem(window, IDC_FE_PROP));
    sheet = WaitForWindow(L"Log の環境設定");
    ASSERT_NE(sheet, nullptr);
    ClickControl(PageItem(sheet, IDC_EP_FREECURSOR));
    EXPECT_TRUE(WaitUntil([&] { return Checked(PageItem(sheet, IDC_EP_FREECURSOR)); }));
    ClickControl(GetDlgItem(sheet, IDOK), 20);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(sheet); }));
    // Escape closes with Cancel; the table is written all the same.
    PointAt(window);
    Keys(L"Escape");
  });
  TEditorSettings saved;
  ASSERT_TRUE(saved.Load(file));
  EXPECT_TRUE(saved.freeCaret);
  EXPECT_EQ(saved.tabSize, 2);
  EXPECT_EQ(ReadEnvironValue(file, L"Name"), L"Log");
  EXPECT_EQ(Written().Row(2).name, L"Log");
}

}  // namespace
