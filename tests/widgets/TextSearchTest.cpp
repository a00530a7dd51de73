#include "TextSearch.h"
#include "TextTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

// Every hit of pattern in text, forward from the start.
std::vector<std::string> AllHits(const std::string& text, const std::wstring& pattern, TSearchOptions options) {
  TTextModel model;
  model.SetText(text);
  TTextSearch search;
  EXPECT_TRUE(search.Prepare(Sjis(pattern), options)) << std::string(search.Error().begin(), search.Error().end());
  std::vector<std::string> hits;
  for (auto hit = search.FindForward(model, 0); hit; hit = search.FindForward(model, hit->start + hit->length))
    hits.push_back(text.substr(hit->start, hit->length));
  return hits;
}

TEST(PlainSearch, CaseWholeWordAndCharacterBoundaries) {
  std::string text = "Apple apple APPLE pineapple\n" + Sjis(L"アイ") + "A";
  EXPECT_EQ(AllHits(text, L"apple", {}).size(), 4u);
  EXPECT_EQ(AllHits(text, L"apple", {.matchCase = true}).size(), 2u);
  EXPECT_EQ(AllHits(text, L"apple", {.wholeWord = true}).size(), 3u);
  // ア is 83 41 and イ 83 43: their trail bytes "A" and "C" are no letters.
  auto hits = AllHits(text, L"A", {.matchCase = true});
  ASSERT_EQ(hits.size(), 3u);
  TTextModel model;
  model.SetText(text);
  TTextSearch search;
  ASSERT_TRUE(search.Prepare("A", {.matchCase = true}));
  auto last = search.FindBackward(model, text.size());
  ASSERT_TRUE(last);
  EXPECT_EQ(last->start, text.size() - 1);
  // 表 is 95 5C: its trail byte is no backslash.
  EXPECT_TRUE(AllHits(Sjis(L"表示"), L"\\", {}).empty());
  EXPECT_EQ(AllHits(Sjis(L"表示と表"), L"表", {}).size(), 2u);
}

TEST(PlainSearch, ForwardAndBackwardFromAnOffset) {
  TTextModel model;
  std::string text = Sjis(L"一行目の検索\n二行目\n三行目の検索と検索");
  model.SetText(text);
  TTextSearch search;
  ASSERT_TRUE(search.Prepare(Sjis(L"検索"), {}));
  auto first = search.FindForward(model, 0);
  ASSERT_TRUE(first);
  auto second = search.FindForward(model, first->start + 1);
  ASSERT_TRUE(second);
  EXPECT_EQ(model.LineOfOffset(second->start), 2u);
  auto back = search.FindBackward(model, second->start);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->start, first->start);
  EXPECT_FALSE(search.FindBackward(model, first->start));
  auto lastHit = search.FindBackward(model, text.size());
  ASSERT_TRUE(lastHit);
  EXPECT_EQ(lastHit->start + lastHit->length, text.size());
  std::vector<TSearchHit> hits;
  search.FindInLine(model, 2, hits);
  EXPECT_EQ(hits.size(), 2u);
}

TEST(FuzzySearch, WidthKanaCaseAndASeparateVoicedMarkAreAlike) {
  std::string text = Sjis(L"ｶﾞｲﾄﾞ/ガイド/がいど/か゛いと゛/カイト/ＧＵＩＤＥ/guide/Ｇｕｉｄｅ");
  auto hits = AllHits(text, L"ガイド", {.fuzzy = true});
  std::vector<std::string> expected = {Sjis(L"ｶﾞｲﾄﾞ"), Sjis(L"ガイド"), Sjis(L"がいど"), Sjis(L"か゛いと゛")};
  EXPECT_EQ(hits, expected);
  EXPECT_EQ(AllHits(text, L"ｶﾞｲﾄﾞ", {.fuzzy = true}).size(), 4u);
  EXPECT_EQ(AllHits(text, L"ぱ", {.fuzzy = true}).size(), 0u);
  EXPECT_EQ(AllHits(text, L"GUIDE", {.fuzzy = true}).size(), 3u);
  EXPECT_EQ(AllHits(text, L"ｇｕｉｄｅ", {.fuzzy = true}).size(), 3u);
  // A voiced mark makes a different character: カイト is not ガイド.
  EXPECT_EQ(AllHits(Sjis(L"カイト"), L"ガイド", {.fuzzy = true}).size(), 0u);
  EXPECT_EQ(AllHits(Sjis(L"ﾊﾟﾊﾟ"), L"ぱぱ", {.fuzzy = true}).size(), 1u);
  // With a kanji in the pattern: on several lines, after lines that hold the kanji alone.
  std::string lines = Sjis(L"検索\n検索と\nｹﾝｻｸ検索ガイド\n検索がいど\n検 索ガイド\n検索ｶﾞｲﾄﾞ");
  EXPECT_EQ(AllHits(lines, L"検索ガイド", {.fuzzy = true}),
            (std::vector<std::string>{Sjis(L"検索ガイド"), Sjis(L"検索がいど"), Sjis(L"検索ｶﾞｲﾄﾞ")}));
  EXPECT_EQ(AllHits(lines, L"ｹﾝｻｸ検索", {.fuzzy = true}), std::vector<std::string>{Sjis(L"ｹﾝｻｸ検索")});
}

TEST(RegexSearch, JapaneseTextCountsCharactersNotBytes) {
  std::string text = Sjis(L"これはペンです。\n価格は１２３円と456円\n表示");
  EXPECT_EQ(AllHits(text, L"[ァ-ン]+です", {.regex = true}), std::vector<std::string>{Sjis(L"ペンです")});
  EXPECT_EQ(AllHits(text, L"[ぁ-ん]+", {.regex = true}),
            (std::vector<std::string>{Sjis(L"これは"), Sjis(L"です"), Sjis(L"は"), Sjis(L"と")}));
  EXPECT_EQ(AllHits(text, L"\\d+円", {.regex = true}),
            (std::vector<std::string>{Sjis(L"１２３円"), "456" + Sjis(L"円")}));
  EXPECT_EQ(AllHits(text, L"^.{2}$", {.regex = true}), std::vector<std::string>{Sjis(L"表示")});
  EXPECT_EQ(AllHits(text, L"ペ.で", {.regex = true}), std::vector<std::string>{Sjis(L"ペンで")});
  EXPECT_EQ(AllHits("Abc abc", L"ABC", {.regex = true}).size(), 2u);
  EXPECT_EQ(AllHits("Abc abc", L"ABC", {.matchCase = true, .regex = true}).size(), 0u);
  EXPECT_EQ(AllHits("x*", L"a*", {.regex = true}).size(), 0u);  // empty matches are no hits
}

TEST(RegexSearch, AnInvalidExpressionIsAMessageNotACrash) {
  TTextSearch search;
  EXPECT_FALSE(search.Prepare("(abc", {.regex = true}));
  EXPECT_NE(search.Error().find(L"正規表現が正しくありません"), std::wstring::npos);
  EXPECT_FALSE(search.Prepare("", {}));
  EXPECT_FALSE(search.Ready());
  TTextModel model;
  model.SetText("abc");
  EXPECT_FALSE(search.FindForward(model, 0));
}

TEST(RegexSearch, CatastrophicBacktrackingStopsAtTheMatchLimit) {
  TTextModel model;
  model.SetText(std::string(40, 'a') + "!\n" + std::string(40, 'a'));
  TTextSearch search;
  ASSERT_TRUE(search.Prepare("^(a+)+$", {.regex = true}));
  auto started = std::chrono::steady_clock::now();
  auto hit = search.FindForward(model, 0);
  auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_FALSE(hit);
  EXPECT_NE(search.Error().find(L"複雑すぎる"), std::wstring::npos);
  EXPECT_LT(seconds, 5.0);
}

TEST(BadInput, SearchingEmptyTextLoneLeadBytesAndCarriageReturns) {
  EXPECT_TRUE(AllHits("", L"a", {}).empty());
  EXPECT_TRUE(AllHits("", L"a", {.fuzzy = true}).empty());
  EXPECT_TRUE(AllHits("", L"a", {.regex = true}).empty());
  EXPECT_EQ(AllHits("ab\x82", L"b", {}).size(), 1u);
  EXPECT_EQ(AllHits("ab\x82", L"b", {.regex = true}).size(), 1u);
  EXPECT_EQ(AllHits("ab\x82", L"b", {.fuzzy = true}).size(), 1u);
  EXPECT_TRUE(AllHits(std::string(100000, '\r'), L"x", {.regex = true}).empty());
  EXPECT_EQ(AllHits(std::string(1000, '\r') + "x", L"x", {.fuzzy = true}).size(), 1u);
}

}  // namespace
