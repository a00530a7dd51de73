// The self-extractor wizard driven with real clicks and keys (xdotool under
// Xvfb) while it runs modally: its six pages forwards and back, the defaults
// that follow the application's name, the enabling boxes, the grid's cells
// with their drop-down list, a definition file saved and read back through
// the system's file dialogs, and input the installer could not take.
#include "CellGrid.h"
#include "DialogDriver.h"
#include "SfxWizard.h"
#include "SfxWizardIds.h"
#include "../support/XInput.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

const wchar_t* const Caption = L"SFX Wizard";

HWND Item(HWND dialog, int id) { return GetDlgItem(dialog, id); }
bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
bool Enabled(HWND dialog, int id) { return IsWindowEnabled(Item(dialog, id)) != FALSE; }
bool Visible(HWND dialog, int id) { return IsWindowVisible(Item(dialog, id)) != FALSE; }
std::wstring TextOf(HWND dialog, int id) { return Text(Item(dialog, id)); }
TCellGrid* Grid(HWND dialog) { return TCellGrid::FromHandle(Item(dialog, IDC_SFXWIZ_ADDFILES)); }

// The page whose controls show: each page's first control stands for it.
int ShownPage(HWND dialog) {
  const int firsts[] = {IDC_SFXWIZ_APPTITLE, IDC_SFXWIZ_DIALOGTITLE, IDC_SFXWIZ_FILEATTACH,
                        IDC_SFXWIZ_AUTOEXEC, IDC_SFXWIZ_ADDSTARTMENU, IDC_SFXWIZ_CREATE_TEXT};
  int shown = 0;
  for (int page = 1; page <= 6; ++page)
    if (Visible(dialog, firsts[page - 1])) shown = shown == 0 ? page : -1;
  return shown;
}

void Click(HWND dialog, int id) {
  RECT r{};
  HWND control = Item(dialog, id);
  GetClientRect(control, &r);
  // Check boxes take a click anywhere on them; the left part is sure to be on the caption.
  ClickAt(control, std::min<int>(r.right / 2, 20), r.bottom / 2);
}

void ClickButton(HWND dialog, int id) {
  RECT r{};
  GetClientRect(Item(dialog, id), &r);
  ClickAt(Item(dialog, id), r.right / 2, r.bottom / 2);
}

void Key(const std::wstring& keys) { Xdotool(L"key --clearmodifiers " + keys); }

// Types ASCII text (no quote characters) where the focus is.
void Type(const std::wstring& text) { Xdotool(L"type --delay 40 '" + text + L"'"); }

// Clicks into a field, selects all it holds and types text over it.
void Retype(HWND dialog, int id, const std::wstring& text) {
  HWND control = Item(dialog, id);
  RECT r{};
  GetClientRect(control, &r);
  ClickAt(control, r.right / 2, r.bottom / 2);
  WaitUntil([&] { return GetFocus() == control || IsChild(control, GetFocus()); }, 5000);
  // Everything it holds selected, one line or many.
  Key(L"ctrl+Home ctrl+shift+End");
  Type(text);
  WaitUntil([&] { return Text(control) == text; }, 10000);
}

// Moves one page with the button and waits for the page to show.
void Turn(HWND dialog, int button, int expected) {
  ClickButton(dialog, button);
  WaitUntil([&] { return ShownPage(dialog) == expected; }, 10000);
}

void Shot(HWND dialog, const std::wstring& name) {
  EXPECT_TRUE(Screenshot(dialog, ScreenshotFolder() + L"\\sfxwizard-" + name + L".png")) << name.size();
}

void ClickCell(HWND dialog, int row, int column) {
  RECT cell = Grid(dialog)->CellRect(row, column);
  ClickAt(Item(dialog, IDC_SFXWIZ_ADDFILES), (cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
  WaitUntil([&] { return Grid(dialog)->Editing() && Grid(dialog)->Current() == std::make_pair(row, column); }, 10000);
}

// Chooses path in a file dialog with the caption: the name typed into its
// field, then Enter.
void ChooseInFileDialog(const std::wstring& caption, const std::wstring& path) {
  HWND box = WaitForWindow(caption);
  ASSERT_NE(box, nullptr) << "no file dialog";
  PointAt(box);
  // The name field has the focus when the dialog opens.
  HWND field = nullptr;
  WaitUntil([&] {
    GUITHREADINFO gui{sizeof gui};
    if (GetGUIThreadInfo(GetWindowThreadProcessId(box, nullptr), &gui) && gui.hwndFocus &&
        IsChild(box, gui.hwndFocus))
      field = gui.hwndFocus;
    return field != nullptr;
  }, 20000);
  ASSERT_NE(field, nullptr);
  Key(L"ctrl+Home ctrl+shift+End");
  Type(path);
  ASSERT_TRUE(WaitUntil([&] { return Text(field) == path; }, 20000)) << "typed: " << fs::path(Text(field)).string();
  Key(L"Return");
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 20000));
}

class SfxWizardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetACP(), 932u);
    InitCommonControls();
    owner_ = CreateWindowW(L"STATIC", L"Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 30, 20, 700, 560, nullptr, nullptr,
                           nullptr, nullptr);
    folder_ = WinPath(TAVIX_BINARY_DIR) + L"\\sfxwizard-test";
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { DestroyWindow(owner_); }

  std::unique_ptr<TSFXWizard> Wizard(const std::wstring& archive = L"C:\\work\\tool.lzh") {
    auto wizard = std::make_unique<TSFXWizard>(owner_, archive);
    wizard->ComboBox1 = {L"tool.exe", L"readme.txt", L"help.hlp", L"LICENSE"};
    wizard->AutoExecuteItems = {L"tool.exe", L"readme.txt", L"help.hlp", L"LICENSE"};
    wizard->AttachedAppItems = {L"tool.exe"};
    return wizard;
  }
  int Run(TSFXWizard& wizard, const std::function<void(HWND)>& user) {
    return ShowWithUser(Caption, [&] { return wizard.ShowModal(); }, user);
  }

  HWND owner_ = nullptr;
  std::wstring folder_;
};

TEST_F(SfxWizardTest, SixPagesForwardAndBackWithTheirFieldsAndTheGrid) {
  auto wizard = Wizard();
  int result = Run(*wizard, [&](HWND dialog) {
    // Page 1 and the defaults from the archive's name.
    EXPECT_EQ(ShownPage(dialog), 1);
    EXPECT_EQ(TextOf(dialog, IDC_SFXWIZ_APPTITLE), L"tool");
    EXPECT_EQ(TextOf(dialog, IDC_SFXWIZ_EXTRACTFOLDER), L"%ProgramFiles%\\tool");
    EXPECT_EQ(TextOf(dialog, IDC_SFXWIZ_NOTES), L"tool のﾌｧｲﾙ");
    EXPECT_EQ(TextOf(dialog, IDC_SFXWIZ_ATTACHEXT), L".???");
    EXPECT_EQ(TextOf(dialog, IDC_SFXWIZ_MESSG), L"tool のインストールを開始します。");
    EXPECT_EQ(TextOf(dialog, IDC_SFXWIZ_REGGUIDE), L"ファイルの関連付け");
    EXPECT_EQ(TextOf(dialog, IDC_SFXWIZ_GROUPGUIDE), L"スタートメニューへの登録");
    EXPECT_EQ(TextOf(dialog, IDC_SFXWIZ_INTRO),
              L"SFX Wizardでは、現在開いているLHA書庫ファイルから\n対話形式で自己解凍形式ファイルを作成します。");
    EXPECT_EQ(LOWORD(SendMessageW(dialog, DM_GETDEFID, 0, 0)), IDC_SFXWIZ_CANCEL);
    for (int id : {IDC_SFXWIZ_READ, IDC_SFXWIZ_HELP, IDC_SFXWIZ_NEXT, IDC_SFXWIZ_CANCEL})
      EXPECT_TRUE(Visible(dialog, id)) << id;
    for (int id : {IDC_SFXWIZ_BACK, IDC_SFXWIZ_FINISH, IDC_SFXWIZ_SAVE}) EXPECT_FALSE(Visible(dialog, id)) << id;
    EXPECT_FALSE(Enabled(dialog, IDC_SFXWIZ_MESSG));
    Shot(dialog, L"1");
    Click(dialog, IDC_SFXWIZ_SHOWMSGBOX);
    ASSERT_TRUE(WaitUntil([&] { return Enabled(dialog, IDC_SFXWIZ_MESSG); }, 10000));
    Retype(dialog, IDC_SFXWIZ_MESSG, L"Hello");
    Key(L"Return");
    Type(L"World");
    EXPECT_TRUE(WaitUntil([&] { return TextOf(dialog, IDC_SFXWIZ_MESSG) == L"Hello\r\nWorld"; }, 10000));
    EXPECT_EQ(ShownPage(dialog), 1) << "Enter in the message is a line break, not the default button";
    Shot(dialog, L"1-message");

    // Page 2: an edit of the caption title is discarded by the next edit of the name.
    Turn(dialog, IDC_SFXWIZ_NEXT, 2);
    EXPECT_EQ(LOWORD(SendMessageW(dialog, DM_GETDEFID, 0, 0)), IDC_SFXWIZ_NEXT);
    EXPECT_EQ(SendMessageW(Item(dialog, IDC_SFXWIZ_EXTRACTFOLDER), CB_GETCOUNT, 0, 0), 4);
    EXPECT_EQ(SendMessageW(Item(dialog, IDC_SFXWIZ_AUTOEXECUTE), CB_GETCOUNT, 0, 0), 4);
    Retype(dialog, IDC_SFXWIZ_DIALOGTITLE, L"Mine");
    Retype(dialog, IDC_SFXWIZ_AUTOEXECUTE, L"readme.txt");
    Shot(dialog, L"2");
    Turn(dialog, IDC_SFXWIZ_BACK, 1);
    HWND name = Item(dialog, IDC_SFXWIZ_APPTITLE);
    RECT r{};
    GetClientRect(name, &r);
    ClickAt(name, r.right - 4, r.bottom / 2);
    Key(L"End");
    Type(L"X");
    ASSERT_TRUE(WaitUntil([&] { return TextOf(dialog, IDC_SFXWIZ_APPTITLE) == L"toolX"; }, 10000));
    EXPECT_EQ(TextOf(dialog, IDC_SFXWIZ_DIALOGTITLE), L"toolX のインストール");
    EXPECT_EQ(TextOf(dialog, IDC_SFXWIZ_MESSG), L"toolX のインストールを開始します。");
    EXPECT_EQ(TextOf(dialog, IDC_SFXWIZ_AUTOEXECUTE), L"readme.txt") << "not one of the derived fields";
    Turn(dialog, IDC_SFXWIZ_NEXT, 2);

    // Page 3: the association panel follows its box.
    Turn(dialog, IDC_SFXWIZ_NEXT, 3);
    EXPECT_FALSE(Enabled(dialog, IDC_SFXWIZ_NOTES));
    Shot(dialog, L"3-off");
    Click(dialog, IDC_SFXWIZ_FILEATTACH);
    ASSERT_TRUE(WaitUntil([&] { return Enabled(dialog, IDC_SFXWIZ_NOTES); }, 10000));
    for (int id : {IDC_SFXWIZ_ATTACHEXT, IDC_SFXWIZ_ATTACHEDAPP, IDC_SFXWIZ_REGKEYNAME, IDC_SFXWIZ_REGGUIDE})
      EXPECT_TRUE(Enabled(dialog, id)) << id;
    Retype(dialog, IDC_SFXWIZ_ATTACHEXT, L".tx1");
    // Without the start menu, the application leaves the grid alone.
    Retype(dialog, IDC_SFXWIZ_ATTACHEDAPP, L"tool.exe");
    EXPECT_EQ(Grid(dialog)->Cell(0, 0), L"");
    Shot(dialog, L"3-on");

    // Page 4: the extraction options and their design-time states.
    Turn(dialog, IDC_SFXWIZ_NEXT, 4);
    EXPECT_FALSE(Checked(dialog, IDC_SFXWIZ_AUTOEXEC));
    EXPECT_TRUE(Checked(dialog, IDC_SFXWIZ_SILENTOW));
    EXPECT_FALSE(Checked(dialog, IDC_SFXWIZ_FORCEOW));
    EXPECT_FALSE(Checked(dialog, IDC_SFXWIZ_EXTARCHIVE));
    Click(dialog, IDC_SFXWIZ_FORCEOW);
    ASSERT_TRUE(WaitUntil([&] { return Checked(dialog, IDC_SFXWIZ_FORCEOW); }, 10000));
    Shot(dialog, L"4");

    // Page 5: the start-menu panel and the grid.
    Turn(dialog, IDC_SFXWIZ_NEXT, 5);
    EXPECT_FALSE(Enabled(dialog, IDC_SFXWIZ_ADDFILES));
    Shot(dialog, L"5-off");
    Click(dialog, IDC_SFXWIZ_ADDSTARTMENU);
    ASSERT_TRUE(WaitUntil([&] { return Enabled(dialog, IDC_SFXWIZ_ADDFILES); }, 10000));
    EXPECT_TRUE(Enabled(dialog, IDC_SFXWIZ_APPGROUP));
    EXPECT_EQ(TextOf(dialog, IDC_SFXWIZ_APPGROUP), L"toolX");
    // Row 2's file cell: its drop-down list of the entries, the second chosen.
    ClickCell(dialog, 1, 1);
    HWND editor = Grid(dialog)->Editor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(SendMessageW(editor, CB_GETCOUNT, 0, 0), 4);
    Key(L"alt+Down");
    ASSERT_TRUE(WaitUntil([&] { return SendMessageW(editor, CB_GETDROPPEDSTATE, 0, 0) != 0; }, 10000));
    Shot(dialog, L"5-dropdown");
    Key(L"Down");
    Key(L"Down");
    Key(L"Return");
    ASSERT_TRUE(WaitUntil([&] { return SendMessageW(editor, CB_GETDROPPEDSTATE, 0, 0) == 0; }, 10000));
    Key(L"Return");
    ASSERT_TRUE(WaitUntil([&] { return !Grid(dialog)->Editing(); }, 10000));
    EXPECT_EQ(Grid(dialog)->Cell(1, 1), L"readme.txt");
    EXPECT_EQ(Grid(dialog)->Cell(1, 0), L"readme") << "the title follows the file, less its extension";
    EXPECT_EQ(ShownPage(dialog), 5) << "Enter in a cell is not the default button";
    // Row 3: a title typed first stays.
    ClickCell(dialog, 2, 0);
    Type(L"Docs");
    Key(L"Return");
    ClickCell(dialog, 2, 1);
    Type(L"help.hlp");
    Key(L"Return");
    ASSERT_TRUE(WaitUntil([&] { return Grid(dialog)->Cell(2, 1) == L"help.hlp"; }, 10000));
    EXPECT_EQ(Grid(dialog)->Cell(2, 0), L"Docs");
    // Escape leaves a cell as it was and the wizard open.
    ClickCell(dialog, 3, 0);
    Type(L"gone");
    Key(L"Escape");
    ASSERT_TRUE(WaitUntil([&] { return !Grid(dialog)->Editing(); }, 10000));
    EXPECT_EQ(Grid(dialog)->Cell(3, 0), L"");
    EXPECT_TRUE(IsWindowVisible(dialog));
    Shot(dialog, L"5-on");

    // Back on page 3 with the start menu on: the application fills row 1.
    Turn(dialog, IDC_SFXWIZ_BACK, 4);
    Turn(dialog, IDC_SFXWIZ_BACK, 3);
    Retype(dialog, IDC_SFXWIZ_ATTACHEDAPP, L"bin\\app.exe");
    EXPECT_EQ(Grid(dialog)->Cell(0, 0), L"app.exe");
    EXPECT_EQ(Grid(dialog)->Cell(0, 1), L"bin\\app.exe");
    Turn(dialog, IDC_SFXWIZ_NEXT, 4);
    Turn(dialog, IDC_SFXWIZ_NEXT, 5);

    // Page 6 and the end.
    Turn(dialog, IDC_SFXWIZ_NEXT, 6);
    EXPECT_EQ(LOWORD(SendMessageW(dialog, DM_GETDEFID, 0, 0)), IDC_SFXWIZ_FINISH);
    for (int id : {IDC_SFXWIZ_SAVE, IDC_SFXWIZ_BACK, IDC_SFXWIZ_FINISH, IDC_SFXWIZ_CANCEL})
      EXPECT_TRUE(Visible(dialog, id)) << id;
    EXPECT_FALSE(Visible(dialog, IDC_SFXWIZ_NEXT));
    Shot(dialog, L"6");
    Key(L"Return");
  });
  ASSERT_EQ(result, IDOK);
  const TSfxWizardData& data = wizard->Data();
  EXPECT_EQ(data.appTitle, L"toolX");
  EXPECT_TRUE(data.showMsgBox);
  EXPECT_EQ(data.message, L"toolX のインストールを開始します。");
  EXPECT_EQ(data.dialogTitle, L"toolX のインストール");
  EXPECT_EQ(data.autoExecute, L"readme.txt");
  EXPECT_TRUE(data.fileAttach);
  EXPECT_EQ(data.attachExt, L".tx1");
  EXPECT_EQ(data.attachedApp, L"bin\\app.exe");
  EXPECT_TRUE(data.addStartMenu);
  EXPECT_FALSE(data.autoExec);
  EXPECT_TRUE(data.silentOW);
  EXPECT_TRUE(data.forceOW);
  EXPECT_EQ(data.menuTitles[1], L"readme");
  EXPECT_EQ(data.menuFiles[1], L"readme.txt");
  EXPECT_EQ(data.menuTitles[2], L"Docs");
  std::vector<std::wstring> lines = InstallerDefinitionLines(data);
  EXPECT_NE(std::find(lines.begin(), lines.end(), L"$Group=toolX,readme,readme.txt"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), L"$Flag=" + std::to_wstring(0x100 + 0x002 + 0x008 + 0x1000)),
            lines.end());
}

TEST_F(SfxWizardTest, CancelEscapeAndTheCloseBoxAllCancel) {
  for (int way = 0; way < 3; ++way) {
    auto wizard = Wizard();
    int result = Run(*wizard, [&](HWND dialog) {
      Turn(dialog, IDC_SFXWIZ_NEXT, 2);
      if (way == 0) ClickButton(dialog, IDC_SFXWIZ_CANCEL);
      if (way == 1) Key(L"Escape");
      if (way == 2) PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
      EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 10000)) << way;
    });
    EXPECT_EQ(result, IDCANCEL) << way;
  }
}

// Every field, blanks at the ends, long texts, a message of several lines,
// through the save dialog and back through the open dialog.
TEST_F(SfxWizardTest, DefinitionSavedAndReadBackThroughTheFileDialogs) {
  const std::wstring path = folder_ + L"\\saved.sfx";
  const std::wstring longText(2000, L'w');
  std::wstring savedName;
  auto first = Wizard();
  int result = Run(*first, [&](HWND dialog) {
    Retype(dialog, IDC_SFXWIZ_APPTITLE, L"app");
    Click(dialog, IDC_SFXWIZ_SHOWMSGBOX);
    SetDlgItemTextW(dialog, IDC_SFXWIZ_MESSG, L"line one\r\n  line two  ");
    Turn(dialog, IDC_SFXWIZ_NEXT, 2);
    Retype(dialog, IDC_SFXWIZ_DIALOGTITLE, L"  Title with blanks  ");
    SetDlgItemTextW(dialog, IDC_SFXWIZ_FOLDERTITLE, longText.c_str());
    Retype(dialog, IDC_SFXWIZ_AUTOEXECUTE, L"tool.exe");
    Turn(dialog, IDC_SFXWIZ_NEXT, 3);
    Click(dialog, IDC_SFXWIZ_FILEATTACH);
    Retype(dialog, IDC_SFXWIZ_NOTES, L"a=b note");
    Turn(dialog, IDC_SFXWIZ_NEXT, 4);
    Click(dialog, IDC_SFXWIZ_AUTOEXEC);
    Click(dialog, IDC_SFXWIZ_SILENTOW);
    Click(dialog, IDC_SFXWIZ_EXTARCHIVE);
    Turn(dialog, IDC_SFXWIZ_NEXT, 5);
    Click(dialog, IDC_SFXWIZ_ADDSTARTMENU);
    ASSERT_TRUE(WaitUntil([&] { return Enabled(dialog, IDC_SFXWIZ_ADDFILES); }, 10000));
    ClickCell(dialog, 9, 1);
    Type(L"tool.exe");
    Key(L"Return");
    ASSERT_TRUE(WaitUntil([&] { return Grid(dialog)->Cell(9, 0) == L"tool"; }, 10000));
    Turn(dialog, IDC_SFXWIZ_NEXT, 6);
    ClickButton(dialog, IDC_SFXWIZ_SAVE);
    ChooseInFileDialog(L"SFXｳｨｻﾞｰﾄﾞ定義ﾌｧｲﾙの保存", folder_ + L"\\saved");
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(path); }, 10000)) << "the default extension is sfx";
    EXPECT_EQ(ShownPage(dialog), 6) << "the wizard stays open on its page";
    ClickButton(dialog, IDC_SFXWIZ_FINISH);
  });
  ASSERT_EQ(result, IDOK);
  const TSfxWizardData saved = first->Data();
  EXPECT_EQ(saved.folderTitle, longText);

  auto second = Wizard(L"C:\\elsewhere\\other.lzh");
  result = Run(*second, [&](HWND dialog) {
    EXPECT_EQ(TextOf(dialog, IDC_SFXWIZ_APPTITLE), L"other");
    ClickButton(dialog, IDC_SFXWIZ_READ);
    ChooseInFileDialog(L"SFXｳｨｻﾞｰﾄﾞ定義ﾌｧｲﾙの読込み", path);
    ASSERT_TRUE(WaitUntil([&] { return TextOf(dialog, IDC_SFXWIZ_APPTITLE) == L"app"; }, 10000));
    // The read name derives nothing over what was read.
    EXPECT_EQ(TextOf(dialog, IDC_SFXWIZ_DIALOGTITLE), L"  Title with blanks  ");
    EXPECT_TRUE(Enabled(dialog, IDC_SFXWIZ_MESSG));
    Turn(dialog, IDC_SFXWIZ_NEXT, 2);
    Turn(dialog, IDC_SFXWIZ_NEXT, 3);
    EXPECT_TRUE(Enabled(dialog, IDC_SFXWIZ_NOTES));
    Turn(dialog, IDC_SFXWIZ_NEXT, 4);
    Turn(dialog, IDC_SFXWIZ_NEXT, 5);
    EXPECT_TRUE(Enabled(dialog, IDC_SFXWIZ_ADDFILES));
    Turn(dialog, IDC_SFXWIZ_NEXT, 6);
    ClickButton(dialog, IDC_SFXWIZ_FINISH);
  });
  ASSERT_EQ(result, IDOK);
  const TSfxWizardData& read = second->Data();
  EXPECT_EQ(read.appTitle, saved.appTitle);
  EXPECT_EQ(read.showMsgBox, saved.showMsgBox);
  EXPECT_EQ(read.message, L"line one\r\n  line two  ");
  EXPECT_EQ(read.dialogTitle, L"  Title with blanks  ");
  EXPECT_EQ(read.folderTitle, longText);
  EXPECT_EQ(read.extractFolder, saved.extractFolder);
  EXPECT_EQ(read.autoExecute, L"tool.exe");
  EXPECT_TRUE(read.fileAttach);
  EXPECT_EQ(read.notes, L"a=b note");
  EXPECT_EQ(read.regGuide, saved.regGuide);
  EXPECT_EQ(read.attachExt, saved.attachExt);
  EXPECT_EQ(read.regKeyName, saved.regKeyName);
  EXPECT_TRUE(read.addStartMenu);
  EXPECT_EQ(read.groupGuide, saved.groupGuide);
  EXPECT_EQ(read.appGroup, L"app");
  EXPECT_TRUE(read.autoExec);
  EXPECT_FALSE(read.silentOW);
  EXPECT_FALSE(read.forceOW);
  EXPECT_TRUE(read.extArchive);
  EXPECT_EQ(read.menuTitles, saved.menuTitles);
  EXPECT_EQ(read.menuFiles, saved.menuFiles);
  EXPECT_EQ(read.menuFiles[9], L"tool.exe");
}

// Garbage and a file cut short read as far as they go: what is missing takes
// its default, nothing else changes, the wizard goes on.
TEST_F(SfxWizardTest, GarbageAndTruncatedDefinitionsTakeTheDefaults) {
  std::string garbage;
  for (int i = 0; i < 5000; ++i) garbage += static_cast<char>((i * 131 + 7) % 256);
  std::ofstream(fs::path(folder_) / "garbage.sfx", std::ios::binary) << garbage;
  std::ofstream(fs::path(folder_) / "cut.sfx", std::ios::binary)
      << "[SFXWizard]\r\nShowMsgBox=0\r\nAppTitle=\"cut\"\r\nDialogTitle=\"half";
  auto wizard = Wizard();
  int result = Run(*wizard, [&](HWND dialog) {
    ClickButton(dialog, IDC_SFXWIZ_READ);
    ChooseInFileDialog(L"SFXｳｨｻﾞｰﾄﾞ定義ﾌｧｲﾙの読込み", folder_ + L"\\garbage.sfx");
    ASSERT_TRUE(WaitUntil([&] { return TextOf(dialog, IDC_SFXWIZ_APPTITLE).empty(); }, 10000));
    EXPECT_EQ(TextOf(dialog, IDC_SFXWIZ_DIALOGTITLE), L"ｱﾌﾟﾘｹｰｼｮﾝのｲﾝｽﾄｰﾙ");
    EXPECT_EQ(TextOf(dialog, IDC_SFXWIZ_NOTES), L"???");
    EXPECT_TRUE(Checked(dialog, IDC_SFXWIZ_SHOWMSGBOX));
    ClickButton(dialog, IDC_SFXWIZ_READ);
    ChooseInFileDialog(L"SFXｳｨｻﾞｰﾄﾞ定義ﾌｧｲﾙの読込み", folder_ + L"\\cut.sfx");
    ASSERT_TRUE(WaitUntil([&] { return TextOf(dialog, IDC_SFXWIZ_APPTITLE) == L"cut"; }, 10000));
    EXPECT_FALSE(Checked(dialog, IDC_SFXWIZ_SHOWMSGBOX));
    EXPECT_EQ(TextOf(dialog, IDC_SFXWIZ_DIALOGTITLE), L"\"half");
    EXPECT_EQ(TextOf(dialog, IDC_SFXWIZ_FOLDERTITLE), L"ｱﾌﾟﾘｹｰｼｮﾝのｲﾝｽﾄｰﾙ先");
    EXPECT_FALSE(Enabled(dialog, IDC_SFXWIZ_MESSG));
    Turn(dialog, IDC_SFXWIZ_NEXT, 2);
    Turn(dialog, IDC_SFXWIZ_NEXT, 3);
    Turn(dialog, IDC_SFXWIZ_NEXT, 4);
    Turn(dialog, IDC_SFXWIZ_NEXT, 5);
    Turn(dialog, IDC_SFXWIZ_NEXT, 6);
    ClickButton(dialog, IDC_SFXWIZ_FINISH);
  });
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(wizard->Data().appTitle, L"cut");
}

// Names that would leave the installation folder and commas that would split
// the installer's lines are told before the wizard closes, on their page.
TEST_F(SfxWizardTest, NamesOutsideTheFolderAndCommasAreRefusedOnTheirPage) {
  auto wizard = Wizard();
  std::vector<std::wstring> told;
  auto finishAndAnswer = [&](HWND dialog, int expectedPage) {
    ClickButton(dialog, IDC_SFXWIZ_FINISH);
    HWND box = WaitForOtherDialog(dialog, 20000);
    ASSERT_NE(box, nullptr) << "no message";
    told.push_back(MessageBoxText(box));
    PressUntilGone(box, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return ShownPage(dialog) == expectedPage; }, 10000)) << expectedPage;
    EXPECT_TRUE(IsWindowVisible(dialog));
  };
  int result = Run(*wizard, [&](HWND dialog) {
    Turn(dialog, IDC_SFXWIZ_NEXT, 2);
    Retype(dialog, IDC_SFXWIZ_AUTOEXECUTE, L"..\\evil.bat");
    Turn(dialog, IDC_SFXWIZ_NEXT, 3);
    Click(dialog, IDC_SFXWIZ_FILEATTACH);
    Retype(dialog, IDC_SFXWIZ_NOTES, L"one,two");
    for (int page = 4; page <= 6; ++page) Turn(dialog, IDC_SFXWIZ_NEXT, page);
    finishAndAnswer(dialog, 2);
    Retype(dialog, IDC_SFXWIZ_AUTOEXECUTE, L"sub\\tool.exe");
    for (int page = 3; page <= 6; ++page) Turn(dialog, IDC_SFXWIZ_NEXT, page);
    finishAndAnswer(dialog, 3);
    Retype(dialog, IDC_SFXWIZ_NOTES, L"one two");
    for (int page = 4; page <= 6; ++page) Turn(dialog, IDC_SFXWIZ_NEXT, page);
    ClickButton(dialog, IDC_SFXWIZ_FINISH);
  });
  EXPECT_EQ(result, IDOK);
  ASSERT_EQ(told.size(), 2u);
  EXPECT_EQ(told[0], L"展開先フォルダの外のファイルは指定できません: ..\\evil.bat");
  EXPECT_EQ(told[1], L"「,」は使えません: one,two");
  EXPECT_EQ(wizard->Data().autoExecute, L"sub\\tool.exe");
  EXPECT_EQ(wizard->Data().notes, L"one two");
}

}  // namespace
