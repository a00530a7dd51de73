#include "TextColoring.h"
#include "TextLayout.h"
#include "TextTestSupport.h"

#include <gtest/gtest.h>

namespace {

TWrapRules Rules80() { return TWrapRules::From(TEditorSettings{}, 0); }

std::vector<std::string> Rows(const std::string& line, const TWrapRules& rules = Rules80()) {
  auto starts = WrapLine(line.data(), line.size(), rules);
  std::vector<std::string> rows;
  for (size_t i = 0; i < starts.size(); ++i) {
    size_t end = i + 1 < starts.size() ? starts[i + 1] : line.size();
    rows.push_back(line.substr(starts[i], end - starts[i]));
  }
  return rows;
}

TEST(TextEncoding, TheCodePageIsJapanese) { ASSERT_EQ(GetACP(), 932u); }

TEST(Wrapping, ADoubleByteCharacterIsNeverSplitAtTheEdge) {
  // 77 letters and あ: 79 bytes; い would need columns 80 and 81.
  std::string line = std::string(77, 'a') + Sjis(L"あいう");
  auto rows = Rows(line);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].size(), 79u);
  EXPECT_EQ(rows[0], std::string(77, 'a') + Sjis(L"あ"));
  EXPECT_EQ(rows[1], Sjis(L"いう"));
  // 78 letters and one double-byte character fill the 80 columns exactly.
  EXPECT_EQ(Rows(std::string(78, 'a') + Sjis(L"あ")).size(), 1u);
  // Halfwidth katakana take one column each.
  EXPECT_EQ(Rows(Repeat(Sjis(L"ｱ"), 80)).size(), 1u);
  EXPECT_EQ(Rows(Repeat(Sjis(L"ｱ"), 81)).size(), 2u);
}

TEST(Wrapping, ALineBreakHangsPastAFullRowOrTakesARowOfItsOwn) {
  TEditorSettings settings;
  std::string line = std::string(78, 'a') + Sjis(L"。");  // hangs: 80 columns, then the break
  std::string exact = std::string(80, 'b');
  for (bool hang : {true, false}) {
    settings.hangReturn = hang;
    TWrapRules rules = TWrapRules::From(settings, 0);
    size_t extra = hang ? 0 : 1;
    EXPECT_EQ(WrapLine(exact.data(), exact.size(), rules, true).size(), 1 + extra);
    EXPECT_EQ(WrapLine(exact.data(), exact.size(), rules, false).size(), 1u);  // the last line has no break
    EXPECT_EQ(WrapLine(line.data(), line.size(), rules, true).size(), 1 + extra);
    std::string over = std::string(79, 'c') + Sjis(L"。");  // the mark hangs past the edge
    EXPECT_EQ(WrapLine(over.data(), over.size(), rules, true).size(), 1 + extra);
    EXPECT_EQ(WrapLine("short", 5, rules, true).size(), 1u);
  }
}

TEST(Wrapping, PunctuationAtARowStartHangsPastTheEdge) {
  std::string full = Repeat(Sjis(L"あ"), 40);
  auto rows = Rows(full + Sjis(L"。いう"));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], full + Sjis(L"。"));
  EXPECT_EQ(rows[1], Sjis(L"いう"));
  // Without hanging, pushing takes the last character down with it.
  TWrapRules rules = Rules80();
  rules.hangPunctuation = false;
  rows = Rows(full + Sjis(L"。いう"), rules);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], Repeat(Sjis(L"あ"), 39));
  EXPECT_EQ(rows[1], Sjis(L"あ。いう"));
  // Neither rule: the plain break.
  rules.pushOut = false;
  EXPECT_EQ(Rows(full + Sjis(L"。いう"), rules)[1], Sjis(L"。いう"));
}

TEST(Wrapping, ALineStartCharacterPushesThePreviousCharacterDown) {
  // 」 may not begin a row and is no punctuation: あ goes down with it.
  auto rows = Rows(Repeat(Sjis(L"あ"), 40) + Sjis(L"」です"));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], Repeat(Sjis(L"あ"), 39));
  EXPECT_EQ(rows[1], Sjis(L"あ」です"));
}

TEST(Wrapping, AnOpeningBracketAtARowEndIsPushedDown) {
  // 「 would be the last character of the row (columns 79-80).
  auto rows = Rows(Repeat(Sjis(L"あ"), 39) + Sjis(L"「いう」"));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], Repeat(Sjis(L"あ"), 39));
  EXPECT_EQ(rows[1], Sjis(L"「いう」"));
  // A row of nothing but opening brackets still breaks: no endless loop, no empty row.
  rows = Rows(Repeat(Sjis(L"「"), 45));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], Repeat(Sjis(L"「"), 40));
}

TEST(Wrapping, EnglishWordsAreNotCutAndTabsRunToTheirStops) {
  std::string line = std::string(75, 'x') + " hello world";
  auto rows = Rows(line);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1], "hello world");
  // A trail byte that looks like a letter is no word: ア is 83 41.
  rows = Rows(Repeat(Sjis(L"ア"), 40) + "Abc");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1], "Abc");
  TWrapRules rules = Rules80();
  rules.tabSize = 8;
  EXPECT_EQ(CharColumns("\t", 1, 3, 8), 5);
  EXPECT_EQ(Rows(std::string(10, '\t') + "a", rules).size(), 2u);  // 80 columns of tabs, then a
}

TEST(Layout, RowsAndStoredLinesAgree) {
  TTextModel model;
  std::string text = "short\r\n" + std::string(200, 'b') + "\n\r\n" + Repeat(Sjis(L"漢"), 100) + "\rlast";
  model.SetText(text);
  ASSERT_EQ(model.LineCount(), 5u);
  EXPECT_EQ(model.LineLength(1), 200u);
  EXPECT_EQ(model.LineLength(2), 0u);
  TTextLayout layout(model);
  layout.Reset(Rules80());
  EXPECT_EQ(layout.RowsOfLine(1), 3u);
  EXPECT_EQ(layout.RowsOfLine(3), 3u);
  EXPECT_EQ(layout.TotalRows(), 1u + 3 + 1 + 3 + 1);
  EXPECT_EQ(layout.RowOfLine(4), 8u);
  EXPECT_EQ(layout.RowPosOf(5), (TRowPos{3, 0}));
  EXPECT_EQ(layout.RowPosOf(7), (TRowPos{3, 2}));
  EXPECT_EQ(layout.RowOfOffset(model.LineStart(1) + 80), (TRowPos{1, 1}));
  EXPECT_EQ(layout.ColumnOf(model.LineStart(3) + 84), 4);
  EXPECT_EQ(layout.Move({0, 0}, 100), (TRowPos{4, 0}));
  EXPECT_EQ(layout.Move({4, 0}, -6), (TRowPos{1, 1}));
  // At the window edge: the same rules with the window's columns.
  TEditorSettings edge;
  edge.wrapColumn = 0;
  layout.Reset(TWrapRules::From(edge, 50));
  EXPECT_EQ(layout.RowsOfLine(1), 4u);
}

TEST(BadInput, EmptyHugeLineLoneLeadByteAndCarriageReturns) {
  TTextModel model;
  TTextLayout layout(model);
  model.SetText({});
  layout.Reset(Rules80());
  EXPECT_EQ(model.LineCount(), 1u);
  EXPECT_EQ(layout.TotalRows(), 1u);
  EXPECT_EQ(layout.RowEnd({0, 0}), 0u);

  // One 10 MB line of kanji: rows of 80 bytes, each starting on a character.
  model.SetText(Repeat(Sjis(L"漢"), 5 * 1024 * 1024));
  layout.Reset(Rules80());
  EXPECT_EQ(layout.TotalRows(), 10u * 1024 * 1024 / 80);
  EXPECT_EQ(layout.RowStart(layout.RowPosOf(70000)), 70000u * 80);

  // A lead byte at the very end stands alone, as one column.
  model.SetText("abc\x82");
  layout.Reset(Rules80());
  EXPECT_EQ(layout.ColumnOf(4), 4);
  EXPECT_EQ(Rows(std::string(79, 'a') + "\x82").size(), 1u);
  EXPECT_EQ(Rows(std::string(80, 'a') + "\x82").size(), 2u);

  // A file of nothing but CR: every byte ends a line.
  model.SetText(std::string(1000000, '\r'));
  layout.Reset(Rules80());
  EXPECT_EQ(model.LineCount(), 1000001u);
  EXPECT_EQ(layout.TotalRows(), 1000001u);
  EXPECT_EQ(model.LineOfOffset(500000), 500000u);
}

TEST(Coloring, NumbersStringsCommentsWordsAndAddresses) {
  TEditorSettings settings;
  settings.reservedWords = {L"int"};
  TColorRules rules = TColorRules::From(settings);
  std::string line = "int x = 0x1F + 42; \"s\" " + Sjis(L"漢") + " http://ex.com/a mail@ex.jp // end";
  std::vector<unsigned char> e;
  ColorLine(line.data(), line.size(), rules, e);
  auto at = [&](const std::string& piece) { return e[line.find(piece)]; };
  EXPECT_EQ(at("int"), teReserved);
  EXPECT_EQ(at("x "), teSingleByte);
  EXPECT_EQ(at("0x1F"), teNumber);
  EXPECT_EQ(e[line.find("0x1F") + 3], teNumber);
  EXPECT_EQ(at("42"), teNumber);
  EXPECT_EQ(at("+"), teSymbol);
  EXPECT_EQ(at("\"s\""), teString);
  EXPECT_EQ(at(Sjis(L"漢")), teDoubleByte);
  EXPECT_EQ(at("http"), teUrl);
  EXPECT_EQ(e[line.find("/a ") + 1], teUrl);
  EXPECT_EQ(at("mail@"), teMail);
  EXPECT_EQ(at("// end"), teComment);
  EXPECT_EQ(e.back(), teComment);

  TTextModel model;
  model.SetText("f(a[1], (b))");
  EXPECT_EQ(MatchingBracket(model, 1, rules), std::optional<size_t>(11));
  EXPECT_EQ(MatchingBracket(model, 11, rules), std::optional<size_t>(1));
  EXPECT_EQ(MatchingBracket(model, 3, rules), std::optional<size_t>(5));
}

}  // namespace
