// Settings code that works on real windows; needs a display (Xvfb on CI).
#include "settings/HistoryEx.h"
#include "settings/IniGT.h"
#include "tests/settings/SettingsTestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(WindowPlacement, SavedAndRestored) {
  HWND window = CreateWindowExW(0, L"STATIC", L"placement", WS_OVERLAPPEDWINDOW, 100, 120, 300, 200,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(window, nullptr);
  TempFolder folder;
  TIniGT ini;
  ini.SetFileName(folder.File(L"p.ini"));
  ini.SaveWindowPlacement(L"Pos", L"Main", window);
  EXPECT_EQ(ini.ReadInteger(L"Pos", L"Main.X", 0), 100);
  EXPECT_EQ(ini.ReadInteger(L"Pos", L"Main.Y", 0), 120);
  EXPECT_EQ(ini.ReadInteger(L"Pos", L"Main.XSize", 0), 400);  // the right edge
  EXPECT_EQ(ini.ReadInteger(L"Pos", L"Main.YSize", 0), 320);  // the bottom edge
  EXPECT_EQ(ini.ReadInteger(L"Pos", L"Main.Show", -1), SW_SHOWNORMAL);
  EXPECT_EQ(ini.ReadInteger(L"Pos", L"Main.MaxX", 0), -1);  // never maximised

  ini.WriteInteger(L"Pos", L"Main.X", 10);
  ini.WriteInteger(L"Pos", L"Main.XSize", 210);
  ini.LoadWindowPlacement(L"Pos", L"Main", window);
  RECT r;
  GetWindowRect(window, &r);
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.right, 210);
  EXPECT_EQ(r.top, 120);

  // Keys absent from the file keep the window where it is.
  ini.LoadWindowPlacement(L"Pos", L"Other", window);
  GetWindowRect(window, &r);
  EXPECT_EQ(r.left, 10);
  DestroyWindow(window);
}

}  // namespace

namespace {

struct Controls : ::testing::Test {
  HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  ~Controls() override { DestroyWindow(parent); }
  HWND Child(const wchar_t* cls, DWORD style) {
    return CreateWindowExW(0, cls, L"", WS_CHILD | WS_VSCROLL | style, 0, 0, 200, 150, parent,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
  }
  static std::vector<std::wstring> Items(HWND control, UINT countMessage, UINT textMessage) {
    std::vector<std::wstring> items;
    LRESULT count = SendMessageW(control, countMessage, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      wchar_t text[512] = {};
      SendMessageW(control, textMessage, i, reinterpret_cast<LPARAM>(text));
      items.push_back(text);
    }
    return items;
  }
  static std::wstring Text(HWND control) {
    wchar_t text[512] = {};
    GetWindowTextW(control, text, 512);
    return text;
  }
};

TEST_F(Controls, HistoryMirrorsIntoComboAndListBox) {
  HWND combo = Child(L"COMBOBOX", CBS_DROPDOWN);
  HWND list = Child(L"LISTBOX", 0);
  ASSERT_TRUE(combo && list);
  SetWindowTextW(combo, L"typed");
  THistoryEx h(L"H");
  h.SetComboBox(combo);
  h.SetListBox(list);
  h.Add(L"C:\\一");
  h.Add(L"C:\\二");
  h.Add(L"C:\\一");
  std::vector<std::wstring> expected{L"C:\\一", L"C:\\二"};
  EXPECT_EQ(Items(combo, CB_GETCOUNT, CB_GETLBTEXT), expected);
  EXPECT_EQ(Text(combo), L"C:\\一");
  EXPECT_EQ(Items(list, LB_GETCOUNT, LB_GETTEXT), expected);

  h.SetFromList({L"x", L"y", L"z"});
  EXPECT_EQ(Items(combo, CB_GETCOUNT, CB_GETLBTEXT), (std::vector<std::wstring>{L"x", L"y", L"z"}));
  EXPECT_EQ(Text(combo), L"x");
  EXPECT_EQ(Items(list, LB_GETCOUNT, LB_GETTEXT).size(), 3u);
}

TEST_F(Controls, DropDownListShowsTheFirstLine) {
  HWND combo = Child(L"COMBOBOX", CBS_DROPDOWNLIST);
  THistoryEx h(L"H");
  h.SetComboBox(combo);
  h.Add(L"b");
  h.Add(L"a");
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(Text(combo), L"a");
}

}  // namespace
