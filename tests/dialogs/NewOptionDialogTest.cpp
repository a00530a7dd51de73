// The new-archive options dialog driven with real clicks and keys (xdotool
// under Xvfb) while it runs modally, as the main window shows it: its
// captions, its kind table, the folder-name rules, the results handed back
// and the base folder chosen with the system's folder dialog.
#include "DialogDriver.h"
#include "NewOptionDialog.h"
#include "NewOptionDialogIds.h"
#include "../support/XInput.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

const wchar_t* const Caption = L"新規作成ｵﾌﾟｼｮﾝ";

class NewOptionDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetACP(), 932u);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    InitCommonControls();
    owner_ = CreateWindowW(L"STATIC", L"Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 30, 600, 420, nullptr, nullptr,
                           nullptr, nullptr);
  }
  void TearDown() override { DestroyWindow(owner_); }

  int Run(TNewOption& dialog, const std::function<void(HWND)>& user) {
    return ShowWithUser(Caption, [&] { return dialog.ShowModal(); }, user);
  }

  HWND owner_ = nullptr;
};

HWND Item(HWND dialog, int id) { return GetDlgItem(dialog, id); }
bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
bool Enabled(HWND dialog, int id) { return IsWindowEnabled(Item(dialog, id)) != FALSE; }
bool Visible(HWND dialog, int id) { return IsWindowVisible(Item(dialog, id)) != FALSE; }

void Click(HWND dialog, int id) {
  RECT r{};
  HWND control = Item(dialog, id);
  GetClientRect(control, &r);
  // Radio buttons and check boxes take a click anywhere on them; the left
  // part is sure to be on the caption.
  ClickAt(control, std::min<int>(r.right / 2, 20), r.bottom / 2);
}

int CheckedOf(HWND dialog, int first, int count) {
  for (int i = 0; i < count; ++i)
    if (Checked(dialog, first + i)) return i;
  return -1;
}

int VisibleGroup(HWND dialog) {
  int visible = 0;
  for (int box : {IDC_NEWOPTION_LHACOMPMODE, IDC_NEWOPTION_CABCOMPMODE, IDC_NEWOPTION_ZIPCOMPMODE})
    if (Visible(dialog, box)) visible = visible == 0 ? box : -1;
  return visible;
}

TEST_F(NewOptionDialogTest, CaptionsAndTheCallersStartingValues) {
  TNewOption dialog(owner_);
  dialog.SetCallerDefaults();
  int result = Run(dialog, [&](HWND window) {
    struct {
      int id;
      const wchar_t* caption;
    } captions[] = {
        {IDC_NEWOPTION_ARCKIND, L"書庫の種類(&A)"},
        {IDC_NEWOPTION_KIND_LZH, L"LHA(*.&LZH)"},
        {IDC_NEWOPTION_KIND_CAB, L"CAB(*.C&AB)"},
        {IDC_NEWOPTION_KIND_ZIP, L"ZIP(*.&ZIP)"},
        {IDC_NEWOPTION_KIND_JAR, L"ZIP(*.&JAR)"},
        {IDC_NEWOPTION_LHACOMPMODE, L"LHA圧縮の種類(&K)"},
        {IDC_NEWOPTION_LHA_0, L"lh0(無圧縮)"},
        {IDC_NEWOPTION_LHA_0 + 1, L"lh1(LHArc互換)"},
        {IDC_NEWOPTION_LHA_0 + 2, L"lh5(LHA2.13以降･･･ﾃﾞﾌｫﾙﾄ)"},
        {IDC_NEWOPTION_LHA_0 + 3, L"lh6(LHA2.6X以降)"},
        {IDC_NEWOPTION_LHA_0 + 4, L"lh7(LHA2.6X以降, LHA32)"},
        {IDC_NEWOPTION_CABCOMPMODE, L"CAB圧縮の種類(&K)"},
        {IDC_NEWOPTION_CAB_0, L"MSZIP形式（ﾃﾞﾌｫﾙﾄ)"},
        {IDC_NEWOPTION_CAB_0 + 1, L"LZX形式（ｽﾋﾟｰﾄﾞ重視）"},
        {IDC_NEWOPTION_CAB_0 + 2, L"LZX形式(中間)"},
        {IDC_NEWOPTION_CAB_0 + 3, L"LZX形式(圧縮率重視)"},
        {IDC_NEWOPTION_ZIPCOMPMODE, L"ZIP圧縮の種類(&K)"},
        {IDC_NEWOPTION_ZIP_0, L"ZIP/0(無圧縮）"},
        {IDC_NEWOPTION_ZIP_0 + 1, L"ZIP/1(ｽﾋﾟｰﾄﾞ重視)"},
        {IDC_NEWOPTION_ZIP_0 + 2, L"ZIP/5(中間)"},
        {IDC_NEWOPTION_ZIP_0 + 3, L"ZIP/9(圧縮率重視)"},
        {IDC_NEWOPTION_DIROPTION, L"ﾃﾞｨﾚｸﾄﾘ名(&D)"},
        {IDC_NEWOPTION_DIR_NONE, L"なし(&N)"},
        {IDC_NEWOPTION_DIR_ABSOLUTE, L"絶対(&B)"},
        {IDC_NEWOPTION_DIR_RELATIVE, L"相対(&R)"},
        {IDC_NEWOPTION_SHORTNAME, L"ﾌｧｲﾙ名は8.3形式で作成(&S)"},
        {IDC_NEWOPTION_PASSWORD, L"ﾊﾟｽﾜｰﾄﾞ(&P)"},
        {IDC_NEWOPTION_USEBASEDIR, L"基準ﾃﾞｨﾚｸﾄﾘを指定する(&I)"},
        {IDC_NEWOPTION_OK, L"&OK"},
        {IDC_NEWOPTION_CANCEL, L"ｷｬﾝｾﾙ(&C)"},
    };
    EXPECT_EQ(Text(window), Caption);
    for (const auto& c : captions) EXPECT_EQ(Text(Item(window, c.id)), c.caption) << c.id;
    EXPECT_EQ(LOWORD(SendMessageW(window, DM_GETDEFID, 0, 0)), IDC_NEWOPTION_CANCEL);
    // Centred over the owner, halves rounded toward zero.
    RECT owner{}, own{};
    GetWindowRect(owner_, &owner);
    GetWindowRect(window, &own);
    EXPECT_EQ(own.left, owner.left + ((owner.right - owner.left) - (own.right - own.left)) / 2);
    EXPECT_EQ(own.top, owner.top + ((owner.bottom - owner.top) - (own.bottom - own.top)) / 2);
    // The caller's values: LZH, every method 2, relative folder names.
    EXPECT_TRUE(Checked(window, IDC_NEWOPTION_KIND_LZH));
    EXPECT_EQ(CheckedOf(window, IDC_NEWOPTION_LHA_0, 5), 2);
    EXPECT_EQ(CheckedOf(window, IDC_NEWOPTION_CAB_0, 4), 2);
    EXPECT_EQ(CheckedOf(window, IDC_NEWOPTION_ZIP_0, 4), 2);
    EXPECT_EQ(CheckedOf(window, IDC_NEWOPTION_DIR_NONE, 3), 2);
    EXPECT_EQ(VisibleGroup(window), IDC_NEWOPTION_LHACOMPMODE);
    EXPECT_FALSE(Checked(window, IDC_NEWOPTION_SHORTNAME));
    EXPECT_FALSE(Enabled(window, IDC_NEWOPTION_PASSWORD));
    EXPECT_FALSE(Enabled(window, IDC_NEWOPTION_PASSWORDCHAR));
    EXPECT_TRUE(Enabled(window, IDC_NEWOPTION_USEBASEDIR));
    EXPECT_FALSE(Enabled(window, IDC_NEWOPTION_BASEDIRNAME));
    EXPECT_TRUE(Screenshot(window, ScreenshotFolder() + L"\\new-option-lzh.png"));
    // Enter presses the default button: Cancel.
    Xdotool(L"key --clearmodifiers Return");
  });
  EXPECT_EQ(result, IDCANCEL);
}

TEST_F(NewOptionDialogTest, TheKindTableFollowsClicksOnTheKinds) {
  TNewOption dialog(owner_);
  dialog.SetCallerDefaults();
  int result = Run(dialog, [&](HWND window) {
    struct Row {
      int kind;
      int group;
      bool dirOption, shortName, passWord, useBaseDir;
      int dirIndex;
      const wchar_t* shot;
    } rows[] = {
        {IDC_NEWOPTION_KIND_ZIP, IDC_NEWOPTION_ZIPCOMPMODE, true, false, true, true, 2, nullptr},
        {IDC_NEWOPTION_KIND_JAR, IDC_NEWOPTION_ZIPCOMPMODE, true, false, false, false, 2, L"new-option-jar.png"},
        // CAB stores no folder names: "none", fixed.
        {IDC_NEWOPTION_KIND_CAB, IDC_NEWOPTION_CABCOMPMODE, false, false, false, false, 0, L"new-option-cab.png"},
        // Back to LZH: the folder names are free again but stay "none", so no base folder.
        {IDC_NEWOPTION_KIND_LZH, IDC_NEWOPTION_LHACOMPMODE, true, true, false, false, 0, nullptr},
    };
    for (const Row& row : rows) {
      Click(window, row.kind);
      bool switched = WaitUntil([&] { return Checked(window, row.kind) && VisibleGroup(window) == row.group; });
      ASSERT_TRUE(switched) << row.kind;
      EXPECT_EQ(Enabled(window, IDC_NEWOPTION_DIR_NONE), row.dirOption) << row.kind;
      EXPECT_EQ(Enabled(window, IDC_NEWOPTION_DIR_RELATIVE), row.dirOption) << row.kind;
      EXPECT_EQ(Enabled(window, IDC_NEWOPTION_SHORTNAME), row.shortName) << row.kind;
      EXPECT_EQ(Enabled(window, IDC_NEWOPTION_PASSWORD), row.passWord) << row.kind;
      EXPECT_EQ(Enabled(window, IDC_NEWOPTION_USEBASEDIR), row.useBaseDir) << row.kind;
      EXPECT_EQ(CheckedOf(window, IDC_NEWOPTION_DIR_NONE, 3), row.dirIndex) << row.kind;
      if (row.shot) {
        EXPECT_TRUE(Screenshot(window, ScreenshotFolder() + L"\\" + row.shot));
      }
    }
    // Relative folder names allow a base folder for LZH.
    Click(window, IDC_NEWOPTION_DIR_RELATIVE);
    EXPECT_TRUE(WaitUntil([&] { return Enabled(window, IDC_NEWOPTION_USEBASEDIR); }));
    // Absolute for LZH is kept, and a switch to ZIP leaves it ...
    Click(window, IDC_NEWOPTION_DIR_ABSOLUTE);
    EXPECT_TRUE(WaitUntil([&] { return Checked(window, IDC_NEWOPTION_DIR_ABSOLUTE); }));
    EXPECT_FALSE(Enabled(window, IDC_NEWOPTION_USEBASEDIR));
    Click(window, IDC_NEWOPTION_KIND_ZIP);
    ASSERT_TRUE(WaitUntil([&] { return Checked(window, IDC_NEWOPTION_KIND_ZIP); }));
    EXPECT_TRUE(Checked(window, IDC_NEWOPTION_DIR_ABSOLUTE));
    EXPECT_FALSE(Enabled(window, IDC_NEWOPTION_USEBASEDIR));
    // ... but a click on absolute with ZIP chosen selects relative.
    Click(window, IDC_NEWOPTION_DIR_ABSOLUTE);
    EXPECT_TRUE(WaitUntil([&] { return Checked(window, IDC_NEWOPTION_DIR_RELATIVE); }));
    EXPECT_FALSE(Checked(window, IDC_NEWOPTION_DIR_ABSOLUTE));
    EXPECT_TRUE(Enabled(window, IDC_NEWOPTION_USEBASEDIR));
    // The password: its box enables the field, which shows what is typed.
    EXPECT_FALSE(Enabled(window, IDC_NEWOPTION_PASSWORDCHAR));
    Click(window, IDC_NEWOPTION_PASSWORD);
    ASSERT_TRUE(WaitUntil([&] { return Enabled(window, IDC_NEWOPTION_PASSWORDCHAR); }));
    EXPECT_EQ(GetWindowLongW(Item(window, IDC_NEWOPTION_PASSWORDCHAR), GWL_STYLE) & ES_PASSWORD, 0);
    Click(window, IDC_NEWOPTION_PASSWORDCHAR);
    for (wchar_t c : std::wstring(L"pw7")) Xdotool(L"type '" + std::wstring(1, c) + L"'");
    EXPECT_TRUE(WaitUntil([&] { return Text(Item(window, IDC_NEWOPTION_PASSWORDCHAR)) == L"pw7"; }));
    // JAR allows neither a password nor a base folder.
    Click(window, IDC_NEWOPTION_KIND_JAR);
    ASSERT_TRUE(WaitUntil([&] { return Checked(window, IDC_NEWOPTION_KIND_JAR); }));
    EXPECT_FALSE(Enabled(window, IDC_NEWOPTION_PASSWORD));
    EXPECT_FALSE(Enabled(window, IDC_NEWOPTION_PASSWORDCHAR));
    EXPECT_FALSE(Enabled(window, IDC_NEWOPTION_USEBASEDIR));
    Click(window, IDC_NEWOPTION_KIND_ZIP);
    ASSERT_TRUE(WaitUntil([&] { return Enabled(window, IDC_NEWOPTION_PASSWORDCHAR); }));
    Click(window, IDC_NEWOPTION_ZIP_0 + 3);
    ASSERT_TRUE(WaitUntil([&] { return Checked(window, IDC_NEWOPTION_ZIP_0 + 3); }));
    EXPECT_TRUE(Screenshot(window, ScreenshotFolder() + L"\\new-option-zip.png"));
    Click(window, IDC_NEWOPTION_OK);
  });
  ASSERT_EQ(result, IDOK);
  const TNewOption::TResult& r = dialog.Result();
  EXPECT_EQ(r.ArcKind, 2);
  EXPECT_EQ(r.DefaultFileName, L"NewFile.zip");
  EXPECT_EQ(r.CompressionIndex, 3);
  EXPECT_EQ(r.DirOption, 2);
  EXPECT_FALSE(r.ShortName);
  EXPECT_TRUE(r.PassWord);
  EXPECT_EQ(r.PassWordChar, L"pw7");
  EXPECT_EQ(r.ZipPassword(), L"pw7");
  EXPECT_EQ(r.BaseFolder(), L"");
}

TEST_F(NewOptionDialogTest, OkHandsBackTheDefaultNameAndTheIndexOfTheVisibleGroup) {
  struct Case {
    const wchar_t* keys;  // mnemonic of the kind, or empty for a click on CAB
    int kind, method;
    const wchar_t* name;
    int index;
    bool shortName;
  } cases[] = {
      {L"alt+l", IDC_NEWOPTION_KIND_LZH, IDC_NEWOPTION_LHA_0 + 4, L"NewFile.lzh", 4, true},
      {L"", IDC_NEWOPTION_KIND_CAB, IDC_NEWOPTION_CAB_0 + 1, L"NewFile.cab", 1, false},
      {L"alt+z", IDC_NEWOPTION_KIND_ZIP, IDC_NEWOPTION_ZIP_0, L"NewFile.zip", 0, false},
      {L"alt+j", IDC_NEWOPTION_KIND_JAR, IDC_NEWOPTION_ZIP_0 + 1, L"NewFile.jar", 1, false},
  };
  for (const Case& c : cases) {
    TNewOption dialog(owner_);
    dialog.SetCallerDefaults();
    // The other kinds start from another kind, so the keys must change it.
    dialog.SetArcKind(c.kind == IDC_NEWOPTION_KIND_LZH ? 2 : 0);
    int result = Run(dialog, [&](HWND window) {
      if (*c.keys) {
        Xdotool(L"key --clearmodifiers " + std::wstring(c.keys));
      } else {
        Click(window, c.kind);
      }
      ASSERT_TRUE(WaitUntil([&] { return Checked(window, c.kind); })) << c.name;
      Click(window, c.method);
      ASSERT_TRUE(WaitUntil([&] { return Checked(window, c.method); })) << c.name;
      if (c.shortName) {
        Xdotool(L"key --clearmodifiers alt+s");
        ASSERT_TRUE(WaitUntil([&] { return Checked(window, IDC_NEWOPTION_SHORTNAME); }));
      }
      Xdotool(L"key --clearmodifiers alt+o");
    });
    ASSERT_EQ(result, IDOK) << c.name;
    EXPECT_EQ(dialog.Result().DefaultFileName, c.name);
    EXPECT_EQ(dialog.Result().CompressionIndex, c.index) << c.name;
    EXPECT_EQ(dialog.Result().ShortName, c.shortName) << c.name;
    EXPECT_EQ(dialog.Result().ZipPassword(), L"") << c.name;
  }
}

TEST_F(NewOptionDialogTest, TheBaseFolderComesFromTheFolderDialogCancellingUnchecksTheBox) {
  fs::path base = fs::temp_directory_path() / ("tavix-base-" + std::to_string(GetCurrentProcessId()));
  fs::create_directories(base);
  std::wstring baseText = base.wstring();
  while (!baseText.empty() && baseText.back() == L'\\') baseText.pop_back();
  TNewOption dialog(owner_);
  dialog.SetCallerDefaults();
  int result = Run(dialog, [&](HWND window) {
    // Checking the box with an empty field asks for the folder at once.
    Click(window, IDC_NEWOPTION_USEBASEDIR);
    HWND picker = WaitForOtherDialog(window);
    ASSERT_NE(picker, nullptr);
    EXPECT_NE(FindChildByText(picker, L"基準ﾃﾞｨﾚｸﾄﾘを選択"), nullptr);
    HWND folders = FindWindowExW(picker, nullptr, WC_TREEVIEWW, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return folders == nullptr || TreeView_GetCount(folders) > 0; }));
    EXPECT_TRUE(Screenshot(picker, ScreenshotFolder() + L"\\new-option-folder-dialog.png"));
    PointAt(picker);
    Xdotool(L"key --clearmodifiers Escape");
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(picker); }));
    EXPECT_TRUE(WaitUntil([&] { return !Checked(window, IDC_NEWOPTION_USEBASEDIR); }));
    EXPECT_EQ(Text(Item(window, IDC_NEWOPTION_BASEDIRNAME)), L"");
    EXPECT_FALSE(Enabled(window, IDC_NEWOPTION_BASEDIRNAME));

    // Again, and this time the picker's OK: the box stays checked with a folder.
    PointAt(window);
    Click(window, IDC_NEWOPTION_USEBASEDIR);
    picker = WaitForOtherDialog(window);
    ASSERT_NE(picker, nullptr);
    PointAt(picker);
    Xdotool(L"key --clearmodifiers Return");
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(picker); }));
    ASSERT_TRUE(WaitUntil([&] { return Checked(window, IDC_NEWOPTION_USEBASEDIR); }));
    EXPECT_TRUE(Enabled(window, IDC_NEWOPTION_BASEDIRNAME));
    EXPECT_TRUE(Enabled(window, IDC_NEWOPTION_BASEDIRBUTTON));

    // The user types a folder; the ellipsis button starts the picker there.
    PointAt(window);
    Click(window, IDC_NEWOPTION_BASEDIRNAME);
    Xdotool(L"key --clearmodifiers End shift+Home Delete");
    ASSERT_TRUE(WaitUntil([&] { return Text(Item(window, IDC_NEWOPTION_BASEDIRNAME)).empty(); }));
    // One key at a time, as a hand types (a burst raced Wine's keyboard mapping).
    for (wchar_t c : baseText) Xdotool(L"type '" + std::wstring(1, c) + L"'");
    ASSERT_TRUE(WaitUntil([&] { return Text(Item(window, IDC_NEWOPTION_BASEDIRNAME)) == baseText; }))
        << fs::path(Text(Item(window, IDC_NEWOPTION_BASEDIRNAME))).string();
    Click(window, IDC_NEWOPTION_BASEDIRBUTTON);
    picker = WaitForOtherDialog(window);
    ASSERT_NE(picker, nullptr);
    PointAt(picker);
    Xdotool(L"key --clearmodifiers Return");
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(picker); }));
    EXPECT_EQ(Text(Item(window, IDC_NEWOPTION_BASEDIRNAME)), baseText);
    EXPECT_TRUE(Screenshot(window, ScreenshotFolder() + L"\\new-option-base-folder.png"));
    PointAt(window);
    Click(window, IDC_NEWOPTION_OK);
  });
  ASSERT_EQ(result, IDOK);
  EXPECT_EQ(dialog.Result().BaseFolder(), baseText);
  EXPECT_EQ(dialog.Result().DefaultFileName, L"NewFile.lzh");
  EXPECT_EQ(dialog.Result().CompressionIndex, 2);
  std::error_code ignored;
  fs::remove_all(base, ignored);
}

}  // namespace
