// The environment table as plain code (which environment a file picks, the
// row rules) and the reserved-word files in code page 932.
#include "EditorPropDialog.h"
#include "EnvTable.h"
#include "FileEnvDialog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

// Scratch files stay in the build tree (the tests' working folder).
fs::path Scratch(const std::string& name) {
  fs::path folder = fs::current_path() / ("envtable-" + std::to_string(GetCurrentProcessId()));
  fs::create_directories(folder);
  return folder / name;
}

std::string Bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEnvTable FiveRows() {
  TEnvTable table;
  table.Row(1) = {L"C Source", L"c.env", L"*.c, *.h"};
  table.Row(2) = {L"Log", L"log.env", L"*.log,*.LOG.?"};
  table.Row(3) = {L"Html", L"html.env", L"*.htm*"};
  table.Row(4) = {L"Make", L"make.env", L"Makefile,*.mak"};
  return table;
}

TEST(EnvTable, AFilePicksTheFirstRowWhoseMasksMatchElseTheDefault) {
  TEnvTable table = FiveRows();
  EXPECT_EQ(table.Choose(L"C:\\src\\main.c"), 1);
  EXPECT_EQ(table.Choose(L"MAIN.H"), 1);  // letter case is ignored
  EXPECT_EQ(table.Choose(L"Z:\\var\\app.log"), 2);
  EXPECT_EQ(table.Choose(L"app.log.1"), 2);
  EXPECT_EQ(table.Choose(L"index.html"), 3);
  EXPECT_EQ(table.Choose(L"makefile"), 4);
  EXPECT_EQ(table.Choose(L"readme.txt"), 0);
  EXPECT_EQ(table.Choose(L"README"), 0);
  // Masks match the name, not the folders above it.
  EXPECT_EQ(table.Choose(L"C:\\x.c\\readme.txt"), 0);
  // Row 1's "*.*" never takes a file from a later row; a later row with "*.*" takes all.
  table.Row(5) = {L"All", L"all.env", L"*.*"};
  EXPECT_EQ(table.Choose(L"README"), 5);
  EXPECT_EQ(table.Choose(L"main.c"), 1);
  // A free row matches nothing even with masks left in it.
  table.Row(6) = {L"", L"", L"*.q"};
  EXPECT_EQ(table.Choose(L"a.q"), 5);
}

TEST(EnvTable, OddMasksMatchNothingOrWhatTheySayWithoutTrouble) {
  EXPECT_FALSE(MatchesMasks(L"a.c", L",,,,"));
  EXPECT_FALSE(MatchesMasks(L"a.c", L""));
  EXPECT_FALSE(MatchesMasks(L"a.c", L" , ,"));
  std::wstring longMasks;
  while (longMasks.size() < 2000) longMasks += L"*.x*y*z*,";
  EXPECT_FALSE(MatchesMasks(L"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa.c", longMasks));
  EXPECT_TRUE(MatchesMasks(L"a.xqyqz", longMasks));
  std::wstring stars(2000, L'*');
  EXPECT_TRUE(MatchesMask(L"anything.txt", stars));
  EXPECT_TRUE(MatchesMask(L"noext", L"*.*"));
  EXPECT_TRUE(MatchesMask(L"a.b.c", L"*.c"));
  EXPECT_FALSE(MatchesMask(L"ab.c", L"?.c"));
}

TEST(EnvTable, DeleteMergeAndTheSaveTarget) {
  TEnvTable table = FiveRows();
  // Deleting row 3 of five moves rows 4 and 5 up and leaves 6–10 free.
  table.Delete(2);
  EXPECT_EQ(table.Row(2).name, L"Html");
  EXPECT_EQ(table.Row(3).name, L"Make");
  EXPECT_EQ(table.Row(3).file, L"make.env");
  for (int i = 4; i < TEnvTable::kRows; ++i) EXPECT_EQ(table.Row(i), TEnvEntry{}) << i;
  table.Delete(0);  // the default row stays
  EXPECT_EQ(table.Row(0).name, L"Default");

  // Loading a name that exists in any letter case changes only its masks.
  EXPECT_EQ(table.Merge(L"c SOURCE", L"*.cpp", L"other.env"), 1);
  EXPECT_EQ(table.Row(1), (TEnvEntry{L"C Source", L"c.env", L"*.cpp"}));
  EXPECT_EQ(table.Merge(L"default", L"*.zzz", L"x.env"), 0);
  EXPECT_EQ(table.Row(0).masks, L"*.*");
  EXPECT_EQ(table.Merge(L"New", L"*.n", L"n.env"), 4);
  EXPECT_EQ(table.Row(4), (TEnvEntry{L"New", L"n.env", L"*.n"}));

  EXPECT_EQ(table.TargetForSave(L"html"), 2);
  EXPECT_EQ(table.TargetForSave(L"Other"), 5);
  for (int i = 5; i < TEnvTable::kRows; ++i) table.Row(i) = {L"E" + std::to_wstring(i), L"", L""};
  EXPECT_EQ(table.TargetForSave(L"Other"), -1);
  EXPECT_EQ(table.Merge(L"Other", L"*.o", L"o.env"), -1);
  EXPECT_EQ(table.TargetForSave(L"default"), -1);  // row 1 is never a target
}

TEST(EnvTable, TheTableRoundTripsAndTheDefaultFileAppearsOnFirstUse) {
  fs::path ini = Scratch("table.ini");
  fs::path defaultEnv = Scratch("default.env");
  fs::remove(defaultEnv);
  {
    TIniGT settings;
    settings.SetFileName(ini.wstring());
    settings.Loaded();
    TEnvTable fresh;
    fresh.Read(settings);
    EXPECT_EQ(fresh.Row(0), (TEnvEntry{L"Default", TEnvTable::DefaultFile(), L"*.*"}));
    TEnvTable table = FiveRows();
    table.Row(0).file = defaultEnv.wstring();
    table.Row(2).file = Scratch("log.env").wstring();
    table.Write(settings);
    TEnvTable back;
    back.Read(settings);
    for (int i = 0; i < TEnvTable::kRows; ++i) EXPECT_EQ(back.Row(i), table.Row(i)) << i;
  }
  std::wstring name;
  EXPECT_EQ(ChooseEnvironment(L"notes.txt", &name, ini.wstring()), defaultEnv.wstring());
  EXPECT_EQ(name, L"Default");
  ASSERT_TRUE(fs::exists(defaultEnv));
  TEditorSettings loaded;
  loaded.fontName = L"x";
  ASSERT_TRUE(loaded.Load(defaultEnv.wstring()));
  EXPECT_EQ(loaded.fontName, L"ＭＳ ゴシック");
  EXPECT_EQ(loaded.fontSize, 11);
  EXPECT_EQ(ReadEnvironValue(defaultEnv.wstring(), L"Name"), L"Default");
  EXPECT_EQ(ReadEnvironValue(defaultEnv.wstring(), L"Ext"), L"*.*");
  EXPECT_EQ(ChooseEnvironment(L"Z:\\tmp\\server.LOG", &name, ini.wstring()), Scratch("log.env").wstring());
  EXPECT_EQ(name, L"Log");
  // A path that no longer exists is handed on; loading it fails and the viewer keeps its settings.
  TEditorSettings kept;
  EXPECT_FALSE(kept.Load(Scratch("log.env").wstring()));
  EXPECT_EQ(kept, TEditorSettings{});
  fs::remove_all(Scratch("x").parent_path());
}

TEST(ReservedWords, FilesAreCodePage932LinesAndBadBytesDoNotStopTheLoad) {
  fs::path file = Scratch("words.rsv");
  ASSERT_TRUE(TmEditorProp::SaveWordFile(file.wstring(), L"if\r\n\r\n予約\nwhile\rreturn"));
  // "予約" in Shift-JIS is 97 5C 96 F1; blank lines are dropped and lines end in CR LF.
  EXPECT_EQ(Bytes(file), std::string("if\r\n\x97\x5C\x96\xF1\r\nwhile\r\nreturn\r\n"));
  std::wstring text, error;
  ASSERT_TRUE(TmEditorProp::LoadWordFile(file.wstring(), &text, &error));
  EXPECT_EQ(TmEditorProp::SplitWords(text), (std::vector<std::wstring>{L"if", L"予約", L"while", L"return"}));

  {
    std::ofstream out(Scratch("bad.rsv"), std::ios::binary);
    const char head[] = "good\r\n\x81\xFF\x82\r\nend\0x\r\n";
    out.write(head, sizeof head - 1);
    for (int i = 0; i < 100000; ++i) out << "word" << i << "\n";
  }
  ASSERT_TRUE(TmEditorProp::LoadWordFile(Scratch("bad.rsv").wstring(), &text, &error));
  auto words = TmEditorProp::SplitWords(text);
  ASSERT_EQ(words.size(), 100003u);
  EXPECT_EQ(words[0], L"good");
  EXPECT_EQ(words[100002], L"word99999");
  EXPECT_FALSE(TmEditorProp::LoadWordFile(Scratch("missing.rsv").wstring(), &text, &error));
  EXPECT_NE(error.find(L"missing.rsv"), std::wstring::npos);
  fs::remove_all(file.parent_path());
}

}  // namespace
