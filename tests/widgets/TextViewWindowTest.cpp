// The text view in a small host window under Xvfb, driven with real key
// presses through xdotool.
#include "TextView.h"
#include "TextTestSupport.h"
#include "ControlPump.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

namespace {

using namespace xinput;

std::wstring ClipboardUnicode() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (auto p = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = p;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

std::string ClipboardAnsi() {
  std::string text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (auto p = static_cast<const char*>(GlobalLock(data))) {
      text = p;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

class TextViewWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetACP(), 932u);
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TextViewHost";
    RegisterClassW(&wc);
    host_ = CreateWindowW(L"TextViewHost", L"TextViewHost", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 640, 360,
                          nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(host_);
    RECT client{};
    GetClientRect(host_, &client);
    ASSERT_TRUE(view_.Create(host_, 100, client));
    view_.OnCaretMoved = [this] { ++caretMoves_; };
    view_.OnSelectionChange = [this] { ++selectionChanges_; };
  }
  void TearDown() override {
    if (host_) DestroyWindow(host_);
  }
  // The keys go where the pointer is: point at the view and click into it first.
  void FocusByClick() {
    PumpUntil([&] { return IsWindowVisible(view_.Handle()); }, 5000);
    RECT r{};
    GetWindowRect(view_.Handle(), &r);
    // --sync waits for a move: from where a former test left the pointer there would be none.
    ASSERT_EQ(Xdotool(L"mousemove 0 0 mousemove --sync " + std::to_wstring((r.left + r.right) / 2) + L" " +
                      std::to_wstring((r.top + r.bottom) / 2) + L" click 1"),
              0);
    ASSERT_TRUE(PumpUntil([&] { return GetFocus() == view_.Handle(); })) << "the view never took the focus";
  }
  void Keys(const std::wstring& keys) { ASSERT_EQ(Xdotool(L"key --clearmodifiers " + keys), 0); }

  HWND host_ = nullptr;
  TTextView view_;
  int caretMoves_ = 0;
  int selectionChanges_ = 0;
};

TEST_F(TextViewWindow, ShiftDownSelectsStoredLinesAndCtrlCCopiesBothFormats) {
  std::wstring text = L"一行目のテキスト\r\n二行目 second\r\n三行目\r\n四行目";
  view_.SetText(Sjis(text));
  FocusByClick();
  Keys(L"ctrl+Home");
  ASSERT_TRUE(PumpUntil([&] { return view_.CaretOffset() == 0 && !view_.HasSelection(); }));
  int changesBefore = selectionChanges_;
  Keys(L"shift+Down shift+Down");
  ASSERT_TRUE(PumpUntil([&] { return view_.CaretLine() == 2; })) << "caret line " << view_.CaretLine();
  EXPECT_EQ(view_.SelectedText(), Sjis(L"一行目のテキスト\r\n二行目 second\r\n"));
  EXPECT_GT(selectionChanges_, changesBefore);
  EXPECT_EQ(view_.CaretRow(), 2u);
  EXPECT_EQ(view_.CaretColumn(), 0);

  // Clear the clipboard, so the copy is what the test reads.
  ASSERT_TRUE(OpenClipboard(host_));
  EmptyClipboard();
  CloseClipboard();
  Keys(L"ctrl+c");
  std::wstring expected = L"一行目のテキスト\r\n二行目 second\r\n";
  ASSERT_TRUE(PumpUntil([&] { return ClipboardUnicode() == expected; })) << "clipboard never got the selection";
  EXPECT_EQ(ClipboardAnsi(), Sjis(expected));

  // Character steps never split a double-byte character.
  Keys(L"Down shift+Right shift+Right");
  ASSERT_TRUE(PumpUntil([&] { return view_.SelectedText() == Sjis(L"四行"); })) << view_.SelectedText();
  Keys(L"shift+End");
  ASSERT_TRUE(PumpUntil([&] { return view_.SelectedText() == Sjis(L"四行目"); }));
  Keys(L"ctrl+a");
  ASSERT_TRUE(PumpUntil([&] { return view_.SelectionEnd() - view_.SelectionStart() == view_.Model().Size(); }));
  EXPECT_GT(caretMoves_, 0);
}

TEST_F(TextViewWindow, AMouseDragSelectsAndAFreeCaretGoesPastTheLineEnd) {
  std::string text = Sjis(L"マウスで選ぶ行\r\n二行目の文字\r\n三行目");
  view_.SetText(text);
  FocusByClick();
  POINT from{}, to{};
  size_t start = Sjis(L"マウスで").size(), end = Sjis(L"マウスで選ぶ行\r\n二行").size();
  ASSERT_TRUE(view_.OffsetPoint(start, &from));
  ASSERT_TRUE(view_.OffsetPoint(end, &to));
  ClientToScreen(view_.Handle(), &from);
  ClientToScreen(view_.Handle(), &to);
  // Press on the left half of the first cell, let go on the left half of the last.
  int half = 4;
  ASSERT_EQ(Xdotool(L"mousemove --sync " + std::to_wstring(from.x + 2) + L" " + std::to_wstring(from.y + half) +
                    L" mousedown 1 mousemove --sync " + std::to_wstring(to.x + 2) + L" " +
                    std::to_wstring(to.y + half) + L" mouseup 1"),
            0);
  ASSERT_TRUE(PumpUntil([&] { return view_.SelectedText() == Sjis(L"選ぶ行\r\n二行"); })) << view_.SelectedText();
  // A double click takes the run of one kind of characters: the katakana.
  POINT inWord{};
  ASSERT_TRUE(view_.OffsetPoint(Sjis(L"マ").size(), &inWord));  // on ウ
  ClientToScreen(view_.Handle(), &inWord);
  ASSERT_EQ(Xdotool(L"mousemove --sync " + std::to_wstring(inWord.x + 2) + L" " + std::to_wstring(inWord.y + half) +
                    L" click --repeat 2 1"),
            0);
  ASSERT_TRUE(PumpUntil([&] { return view_.SelectedText() == Sjis(L"マウス"); })) << view_.SelectedText();

  TEditorSettings settings = view_.Settings();
  settings.freeCaret = true;
  view_.SetSettings(settings);
  Keys(L"Up End Right Right");
  ASSERT_TRUE(PumpUntil([&] { return view_.CaretColumn() == 16; })) << view_.CaretColumn();
  EXPECT_EQ(view_.CaretOffset(), Sjis(L"マウスで選ぶ行").size());
  // Down keeps the column past the end of a shorter line.
  Keys(L"Down Down");
  ASSERT_TRUE(PumpUntil([&] { return view_.CaretLine() == 2 && view_.CaretColumn() == 16; }));

  // Only the bars the settings ask for, also after the window has painted.
  settings.scrollBars = sbVertical;
  view_.SetSettings(settings);
  Keys(L"Up");
  ASSERT_TRUE(PumpUntil([&] { return view_.CaretLine() == 1 && !GetUpdateRect(view_.Handle(), nullptr, FALSE); }));
  LONG style = GetWindowLongW(view_.Handle(), GWL_STYLE);
  EXPECT_TRUE(style & WS_VSCROLL);
  EXPECT_FALSE(style & WS_HSCROLL);
}

// Each caret option of the settings changes what the keys and the mouse do to
// the caret and the selection (the view is read-only: the typing options have
// nothing to act on).
TEST_F(TextViewWindow, CaretOptionsChangeWhereKeysAndClicksPutTheCaret) {
  std::string text = "a\tb line zero\r\nab\r\n";
  for (int i = 2; i < 200; ++i) text += "long line number " + std::to_string(i) + "\r\n";
  view_.SetText(text);
  FocusByClick();
  TEditorSettings settings = view_.Settings();
  settings.tabSize = 4;
  settings.freeCaret = false;
  auto apply = [&](auto change) {
    change(settings);
    view_.SetSettings(settings);
  };
  auto caretAt = [&](size_t line, int column) {
    return PumpUntil([&] { return view_.CaretLine() == line && view_.CaretColumn() == column; }, 8000);
  };

  // 行末・行頭移動: Right at a line's end goes on to the next line only when on.
  apply([](TEditorSettings& s) { s.nextLine = false; });
  Keys(L"ctrl+Home End Right");
  EXPECT_TRUE(caretAt(0, 15)) << view_.CaretLine() << ":" << view_.CaretColumn();
  Keys(L"Down Home Left");
  EXPECT_TRUE(caretAt(1, 0));
  apply([](TEditorSettings& s) { s.nextLine = true; });
  Keys(L"Left");
  EXPECT_TRUE(caretAt(0, 15));
  Keys(L"Right");
  EXPECT_TRUE(caretAt(1, 0));

  // タブ間の移動: the caret steps through a tab's blank cells only when on.
  apply([](TEditorSettings& s) { s.inTab = false; });
  Keys(L"ctrl+Home Right Right");
  EXPECT_TRUE(caretAt(0, 4));
  apply([](TEditorSettings& s) { s.inTab = true; });
  Keys(L"Home Right Right");
  EXPECT_TRUE(caretAt(0, 2));
  Keys(L"Right");
  EXPECT_TRUE(caretAt(0, 3));
  Keys(L"Right");
  EXPECT_TRUE(caretAt(0, 4));
  Keys(L"Left");
  EXPECT_TRUE(caretAt(0, 3));

  // タブ位置保存: a column is kept over a short line only when on.
  apply([](TEditorSettings& s) { s.keepCaret = false; });
  Keys(L"ctrl+Home End Down Down");
  EXPECT_TRUE(caretAt(2, 2));
  apply([](TEditorSettings& s) { s.keepCaret = true; });
  Keys(L"ctrl+Home End Down Down");
  EXPECT_TRUE(caretAt(2, 15));

  // スクロール時のカーソル固定: scrolling carries the caret along only when on.
  apply([](TEditorSettings& s) { s.lockScroll = false; });
  Keys(L"ctrl+Home Down Down Down");
  ASSERT_TRUE(caretAt(3, 0));
  Keys(L"ctrl+Down ctrl+Down ctrl+Down ctrl+Down");
  EXPECT_TRUE(PumpUntil([&] { return view_.TopRow() == 4u; }, 8000)) << view_.TopRow();
  EXPECT_TRUE(caretAt(3, 0));
  apply([](TEditorSettings& s) { s.lockScroll = true; });
  Keys(L"ctrl+Home Down Down Down");
  ASSERT_TRUE(caretAt(3, 0));
  ASSERT_TRUE(PumpUntil([&] { return view_.TopRow() == 0u; }, 8000));
  Keys(L"ctrl+Down ctrl+Down");
  EXPECT_TRUE(PumpUntil([&] { return view_.TopRow() == 2u; }, 8000)) << view_.TopRow();
  EXPECT_TRUE(caretAt(5, 0)) << view_.CaretLine();

  // 行の選択: a click in the left margin takes the whole row only when on.
  apply([](TEditorSettings& s) {
    s.marginLeft = 24;
    s.rowSelect = false;
  });
  Keys(L"ctrl+Home");
  ASSERT_TRUE(caretAt(0, 0));
  // Each click on another row: two on one spot would make a double click.
  auto clickMargin = [&](int line) {
    POINT row{};
    ASSERT_TRUE(view_.OffsetPoint(text.find("long line number " + std::to_string(line)), &row));
    ClientToScreen(view_.Handle(), &row);
    RECT r{};
    GetWindowRect(view_.Handle(), &r);
    ASSERT_EQ(Xdotool(L"mousemove 0 0 mousemove --sync " + std::to_wstring(r.left + 8) + L" " +
                      std::to_wstring(row.y + 4) + L" click 1"),
              0);
  };
  clickMargin(2);
  EXPECT_TRUE(caretAt(2, 0));
  EXPECT_FALSE(view_.HasSelection());
  apply([](TEditorSettings& s) { s.rowSelect = true; });
  Keys(L"ctrl+Home");
  ASSERT_TRUE(caretAt(0, 0));
  clickMargin(3);
  EXPECT_TRUE(PumpUntil([&] { return view_.SelectedText() == "long line number 3\r\n"; }, 8000))
      << view_.SelectedText();

  // 改行文字ぶら下げ: a line that fills its row exactly keeps its line break
  // mark past the edge, or gives it a row of its own.
  std::string full = std::string(80, 'x') + "\r\nnext\r\n";
  view_.SetText(full);
  apply([](TEditorSettings& s) { s.hangReturn = true; s.wrapColumn = 80; s.wordWrap = true; });
  EXPECT_EQ(view_.RowCount(), 3u);
  apply([](TEditorSettings& s) { s.hangReturn = false; });
  EXPECT_EQ(view_.RowCount(), 4u);
  // The caret at the line's end sits on the break's own row.
  view_.SetCaretOffset(80);
  EXPECT_EQ(view_.CaretRow(), 1u);
  EXPECT_EQ(view_.CaretLine(), 0u);
}

TEST_F(TextViewWindow, TheWrapLineIsDrawnDownTheWrapColumnWhenAsked) {
  view_.SetText("0123456789\r\n");
  TEditorSettings settings = view_.Settings();
  settings.wrapColumn = 20;
  settings.barForeground = RGB(255, 0, 0);
  POINT first{}, tenth{};
  auto redAtWrap = [&](bool on) {
    settings.wrapLine = on;
    view_.SetSettings(settings);
    UpdateWindow(view_.Handle());
    EXPECT_TRUE(view_.OffsetPoint(0, &first));
    EXPECT_TRUE(view_.OffsetPoint(10, &tenth));
    int x = first.x + (tenth.x - first.x) * 2;
    RECT client{};
    GetClientRect(view_.Handle(), &client);
    bool red = false;
    PumpUntil([&] {
      HDC dc = GetDC(view_.Handle());
      red = GetPixel(dc, x, client.bottom - 4) == RGB(255, 0, 0);
      ReleaseDC(view_.Handle(), dc);
      return red == on;
    }, 5000);
    return red;
  };
  PumpUntil([&] { return IsWindowVisible(view_.Handle()); }, 5000);
  EXPECT_TRUE(redAtWrap(true));
  EXPECT_FALSE(redAtWrap(false));
}

TEST_F(TextViewWindow, FindSelectsTheHitAndCentresItsRow) {
  std::string text;
  for (int i = 0; i < 200; ++i) text += (i == 150 ? Sjis(L"ここに ｹﾝｻｸ 語") : Sjis(L"ただの行")) + "\r\n";
  view_.SetText(text);
  std::wstring error;
  ASSERT_TRUE(view_.Find(Sjis(L"けんさく"), {.fuzzy = true}, false, &error));
  EXPECT_EQ(view_.SelectedText(), Sjis(L"ｹﾝｻｸ"));
  EXPECT_EQ(view_.CaretLine(), 150u);
  EXPECT_EQ(view_.TopRow(), 150u - view_.VisibleRows() / 2);
  EXPECT_FALSE(view_.Find(Sjis(L"けんさく"), {.fuzzy = true}, false, &error));
  EXPECT_TRUE(error.empty());
  ASSERT_TRUE(view_.Find(Sjis(L"ただ"), {}, true, &error));
  EXPECT_EQ(view_.CaretLine(), 149u);
  EXPECT_FALSE(view_.Find("(", {.regex = true}, false, &error));
  EXPECT_NE(error.find(L"正規表現"), std::wstring::npos);
  EXPECT_EQ(view_.CaretLine(), 149u);  // a failed search moves nothing
}

TEST_F(TextViewWindow, WrappedRowsScrollAndCentreWithTheirStoredLines) {
  // 300 lines of 100 double-byte characters: two rows and a half each.
  std::string text;
  for (int i = 0; i < 300; ++i) text += Repeat(Sjis(L"字"), 100) + "\r\n";
  view_.SetText(text);
  FocusByClick();
  Keys(L"ctrl+End");
  ASSERT_TRUE(PumpUntil([&] { return view_.CaretOffset() == text.size(); }));
  EXPECT_EQ(view_.CaretLine(), 300u);
  EXPECT_EQ(view_.CaretRow(), 900u);
  EXPECT_EQ(view_.RowCount(), 901u);
  view_.SetCaretRow(451);
  view_.CenterRow(451);
  EXPECT_EQ(view_.CaretLine(), 150u);
  EXPECT_EQ(view_.TopRow(), 451u - view_.VisibleRows() / 2);
  Keys(L"Prior");
  ASSERT_TRUE(PumpUntil([&] { return view_.CaretRow() == 451u - (view_.VisibleRows() - 1); }));
}

TEST_F(TextViewWindow, BadInputShowsAndMovesWithoutHanging) {
  FocusByClick();
  // One 10 MB line of kanji: coloured only around the rows drawn.
  std::string line = Repeat(Sjis(L"漢"), 5 * 1024 * 1024);
  view_.SetText(line);
  auto started = std::chrono::steady_clock::now();
  Keys(L"ctrl+End");
  ASSERT_TRUE(PumpUntil([&] { return view_.CaretOffset() == line.size(); }));
  Keys(L"Prior Prior shift+Left");
  ASSERT_TRUE(PumpUntil([&] { return view_.SelectedText() == Sjis(L"漢"); }));
  ASSERT_TRUE(PumpUntil([&] { return !GetUpdateRect(view_.Handle(), nullptr, FALSE); }));
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(), 20.0);
  EXPECT_EQ(view_.CaretRow(), line.size() / 80 - 1 - 2 * (view_.VisibleRows() - 1));
  // A lone lead byte at the end, an empty text and a text of carriage returns.
  view_.SetText("abc\x82");
  Keys(L"ctrl+End shift+Left");
  ASSERT_TRUE(PumpUntil([&] { return view_.SelectedText() == "\x82"; }));
  view_.SetText({});
  Keys(L"ctrl+a ctrl+End");
  ASSERT_TRUE(PumpUntil([&] { return !GetUpdateRect(view_.Handle(), nullptr, FALSE); }));
  EXPECT_EQ(view_.CaretOffset(), 0u);
  view_.SetText(std::string(100000, '\r'));
  Keys(L"ctrl+End");
  ASSERT_TRUE(PumpUntil([&] { return view_.CaretLine() == 100000u; }));
}

TEST_F(TextViewWindow, ScreenshotOfJapaneseText) {
  TEditorSettings settings = view_.Settings();
  settings.lineNumbers = true;
  settings.ruler = true;
  settings.tabMark = true;
  settings.fullWidthSpaceMark = true;
  settings.reservedWords = {L"int", L"return"};
  settings.fontName = L"IPAGothic";
  view_.SetSettings(settings);
  // Wide enough for the 80 columns, so the line-breaking rules show.
  SetWindowPos(host_, nullptr, 0, 0, 820, 420, SWP_NOMOVE | SWP_NOZORDER);
  RECT client{};
  GetClientRect(host_, &client);
  MoveWindow(view_.Handle(), 0, 0, client.right, client.bottom, TRUE);
  std::wstring text =
      // 80 columns, then a full stop that hangs.
      L"Tavix のテキスト表示：日本語の禁則処理と折り返しを確かめる長い一行を用意しました。次の行へ続きます。\r\n"
      // 78 columns, then an opening bracket that goes down to the next row.
      L"二行目：行の終わりに来る始め括弧は次の行へ送られます。それを確かめる文章ですね「括弧」の中身\r\n"
      L"\tint count = 0x1F; // 行コメント\r\n"
      L"文字列 \"ｶﾀｶﾅ半角\" と　全角スペース、番号 12345\r\n"
      L"連絡先: support@example.jp  http://www.example.com/readme.txt\r\n"
      L"検索語の強調: 検索 と ｹﾝｻｸ とけんさく\r\n"
      L"return (a[1] + b);";
  view_.SetText(Sjis(text));
  view_.SetHighlight(Sjis(L"ケンサク"), {.fuzzy = true});
  FocusByClick();
  view_.Select(Sjis(L"Tavix の").size(), Sjis(L"Tavix のテキスト").size());
  ASSERT_TRUE(PumpUntil([&] { return !GetUpdateRect(view_.Handle(), nullptr, FALSE); }));
  std::string dir = TAVIX_BINARY_DIR;
  std::wstring shot = std::wstring(dir.begin(), dir.end()) + L"/textview-screenshot.png";
  ASSERT_EQ(RunUnix(L"import", L"-window root '" + shot + L"'"), 0);
}

}  // namespace
