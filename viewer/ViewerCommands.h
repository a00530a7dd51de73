// The viewer's commands, declared once. Each row gives, in order:
//   id        sent with WM_COMMAND by the menu item, its tool-bar button and
//             its shortcut alike
//   handler   the TViewer member that runs it; nullptr while the dialog it
//             opens is not built, which keeps it disabled everywhere
//   caption   its menu caption
//   image     its tool-bar picture (a standard bitmap index), -1 without a button
//   hint      its button's tooltip
//   key       its shortcut's key in section Viewer, nullptr for none
//   shortcut  that key's default
#pragma once

#include <windows.h>

// clang-format off
#define TAVIX_VIEWER_COMMANDS(X) \
  /* ﾌｧｲﾙ(&F) */ \
  X(VwSaveAs, &TViewer::SaveAs1Click, L"名前を付けて保存(&A)...", STD_FILESAVE, L"名前を付けて保存", L"SaveAs", L"") \
  X(VwPrint, &TViewer::PrintBtnClick, L"印刷(&P)...", STD_PRINT, L"印刷", L"Print", L"") \
  X(VwClose, &TViewer::ExitBtnClick, L"閉じる(&X)", STD_DELETE, L"閉じる", nullptr, nullptr) \
  /* 編集(&E) and the text's pop-up menu */ \
  X(VwCopy, &TViewer::Copy2Click, L"ｺﾋﾟｰ(&C)", STD_COPY, L"コピー", L"Copy", L"Ctrl+C") \
  X(VwSelectAll, &TViewer::SelectAll1Click, L"全て選択(&A)", -1, nullptr, nullptr, nullptr) \
  /* 検索(&S) */ \
  X(VwFind, &TViewer::Find1Click, L"検索(&F)...", STD_FIND, L"検索", L"Find", L"Ctrl+F") \
  X(VwFindNext, &TViewer::FindNextBtnClick, L"次を検索(&N)", STD_REDOW, L"次を検索", L"FindNext", L"F3") \
  X(VwFindPrev, &TViewer::FindPrevBtnClick, L"前を検索(&B)", STD_UNDO, L"前を検索", L"FIndPrev", L"Shift+F3") \
  X(VwHighlight, &TViewer::K1Click, L"検索語強調(&K)", -1, nullptr, nullptr, nullptr) \
  /* 表示(&V) */ \
  X(VwToolBar, &TViewer::ToolBar1Click, L"標準(&S)", -1, nullptr, nullptr, nullptr) \
  X(VwProperties, &TViewer::P1Click, L"現在の設定(&P)...", STD_PROPERTIES, L"現在の環境設定", nullptr, nullptr) \
  X(VwFileEnv, &TViewer::FileEnvMnuClick, L"ﾌｧｲﾙ毎の設定(&E)...", STD_FILEOPEN, L"ﾌｧｲﾙ毎の環境設定", nullptr, nullptr)
// clang-format on

enum TViewerCommandId : UINT {
  VwFirst = 3001,
  VwBeforeFirst = VwFirst - 1,
#define TAVIX_VIEWER_COMMAND_ID(id, ...) id,
  TAVIX_VIEWER_COMMANDS(TAVIX_VIEWER_COMMAND_ID)
#undef TAVIX_VIEWER_COMMAND_ID
  VwEnd,
  // Jump and mark items: three per number and action (main menu, the text's
  // pop-up, the separate pop-up), numbered 1-5 from each base.
  VwJumpMain = 3100,
  VwJumpPopup = 3110,
  VwJumpSeparate = 3120,
  VwMarkMain = 3200,
  VwMarkPopup = 3210,
  VwMarkSeparate = 3220,
};
