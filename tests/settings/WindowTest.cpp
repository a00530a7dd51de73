// Settings code that works on real windows; needs a display (Xvfb on CI).
#include "IniGT.h"
#include "SettingsTestSupport.h"

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
