// The shared core's text rules, called directly.
#include "archivers/core/ArcCore.h"
#include "ArchiverFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(Environment, RunsInJapaneseCodePage) { EXPECT_EQ(GetACP(), 932u); }

TEST(CoreCommandLine, WordsQuotesResponseFilesAndLiteralNames) {
  EXPECT_EQ(arc::Tokenize(R"( x -+  "a b.lzh"  "C:\out\" -jx"*.bak")"),
            (std::vector<std::string>{"x", "-+", "a b.lzh", "C:\\out\\", "-jx*.bak"}));
  arc::CommandLine line = arc::ParseCommandLine(R"(u -x1 "a.lzh" "C:\base\" -gb-dash.txt "-gb@at.txt" f.txt)");
  EXPECT_EQ(line.command, L"u");
  EXPECT_EQ(line.switches, (std::vector<std::wstring>{L"x1"}));
  ASSERT_EQ(line.words.size(), 5u);
  EXPECT_EQ(line.words[2].text, L"-dash.txt");
  EXPECT_TRUE(line.words[2].listed);
  EXPECT_EQ(line.words[3].text, L"@at.txt");
  arc::CommandLine tar = arc::ParseCommandLine(R"(x -z9 -f "C:\a.tgz" -o "C:\out\" --use-directory=0)", {L"f", L"o"});
  arc::Switches sw(tar.switches, {L"z", L"f", L"o", L"-use-directory="});
  EXPECT_EQ(sw.Number(L"z", -1), 9);
  EXPECT_EQ(sw.Text(L"f").value, L"C:\\a.tgz");
  EXPECT_EQ(sw.Text(L"o").value, L"C:\\out\\");
  EXPECT_EQ(sw.Number(L"-use-directory=", 1), 0);
  EXPECT_THROW(arc::ParseCommandLine("x a.lzh @Z:\\no\\such\\list.txt"), arc::Error);
}

TEST(CoreCommandLine, LongestSwitchNameWins) {
  arc::Switches sw({L"jo20240101", L"job20241231", L"jm3", L"x", L"c-", L"wC:\\tmp\\"},
                   {L"jo", L"job", L"jm", L"x", L"c", L"w"});
  EXPECT_EQ(sw.Text(L"jo").value, L"20240101");
  EXPECT_EQ(sw.Text(L"job").value, L"20241231");
  EXPECT_EQ(sw.Number(L"jm", 2), 3);
  EXPECT_EQ(sw.Number(L"x", 0), 1);
  EXPECT_EQ(sw.Number(L"c", 1), 0);
  EXPECT_EQ(sw.Text(L"w").value, L"C:\\tmp\\");
  EXPECT_EQ(sw.Number(L"r", -1), -1);
}

TEST(CoreWildcards, MatchWholePathCaseBlindAcrossSeparators) {
  struct Case {
    const wchar_t* pattern;
    const wchar_t* name;
    bool match;
  } cases[] = {
      {L"*.*", L"docs/a", true},        {L"*", L"x/y/z", true},           {L"*.TXT", L"docs/a.txt", true},
      {L"docs/*.txt", L"docs\\b.txt", true}, {L"docs\\b.txt", L"docs/b.txt", true}, {L"a?c", L"abc", true},
      {L"a?c", L"ac", false},           {L"readme.*", L"readme", true},   {L"b.txt", L"docs/b.txt", false},
      {L"表*.txt", L"表示.txt", true},  {L"*.lzh", L"a.lzh.bak", false},
  };
  for (const auto& c : cases) EXPECT_EQ(arc::WildcardMatch(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
}

// Exact names, wildcards and listed names sent back, mixed in one selection as
// a user's choice of entries gives them.
TEST(CorePatterns, ExactWildcardAndListedNamesSelectTheirEntries) {
  // "aé.txt" is listed as "a?.txt": that name, sent back, takes it and no other.
  const std::vector<std::wstring> entries = {L"docs/a.txt", L"x/b.txt", L"a\u00e9.txt", L"ab.txt", L"nq.txt",
                                             L"sub/c.txt",  L"y/sub/c.txt", L"m.c", L"d/m.c", L"z/a\u00e9.txt",
                                             L"x/docs/a.txt", L"other.txt"};
  const std::vector<std::wstring> patterns = {L"Docs\\A.TXT", L"B.txt", L"sub/c.txt", L"*.c", L"a?.txt", L"n?.txt"};
  struct Expected {
    bool anyFolder;
    std::vector<std::wstring> selected;
  } cases[] = {
      {false, {L"docs/a.txt", L"a\u00e9.txt", L"nq.txt", L"sub/c.txt", L"m.c", L"d/m.c"}},
      {true,
       {L"docs/a.txt", L"x/b.txt", L"a\u00e9.txt", L"nq.txt", L"sub/c.txt", L"m.c", L"d/m.c", L"z/a\u00e9.txt"}},
  };
  for (const Expected& c : cases) {
    arc::PatternSet set(patterns, c.anyFolder);
    EXPECT_TRUE(set.NeedsListing());
    for (const auto& entry : entries) set.Learn(entry);
    std::vector<std::wstring> selected;
    for (const auto& entry : entries)
      if (set.Matches(entry)) selected.push_back(entry);
    EXPECT_EQ(selected, c.selected) << "anyFolder " << c.anyFolder;
  }
  // Without a name that may be a listed one, no listing is needed.
  EXPECT_FALSE(arc::PatternSet({L"a.txt", L"*.c"}).NeedsListing());
  EXPECT_TRUE(arc::PatternSet().Matches(L"any"));
  EXPECT_FALSE(arc::PatternSet().MatchesAny(L"any"));
}

// All but one of 20,000 entries named one by one (the list's "all but one selected").
TEST(CorePatterns, ThousandsOfNamesSelectExactlyThoseEntries) {
  std::vector<std::wstring> names, entries;
  for (int i = 0; i < 20000; ++i) {
    entries.push_back(L"d" + std::to_wstring(i % 50) + L"/File" + std::to_wstring(i) + L".txt");
    if (i != 777) names.push_back(L"D" + std::to_wstring(i % 50) + L"\\file" + std::to_wstring(i) + L".TXT");
  }
  arc::PatternSet set(names);
  int selected = 0;
  for (const auto& entry : entries) selected += set.Matches(entry) ? 1 : 0;
  EXPECT_EQ(selected, 19999);
  EXPECT_FALSE(set.Matches(entries[777]));
  EXPECT_TRUE(set.Matches(entries[778]));
}

TEST(CoreSafePaths, StoredNamesNeverLeaveTheDestination) {
  struct Case {
    const wchar_t* stored;
    const wchar_t* safe;
  } cases[] = {
      {L"../evil.txt", L"evil.txt"},         {L"a/../../b.txt", L"a\\b.txt"},   {L"C:\\win\\x.dll", L"win\\x.dll"},
      {L"\\\\server\\share\\x", L"server\\share\\x"}, {L"/etc/passwd", L"etc\\passwd"}, {L"CON", L"_CON"},
      {L"sub/nul.txt", L"sub\\_nul.txt"},     {L"dir/a:b.txt", L"dir\\a_b.txt"},           {L".../x", L"x"},
      {L"..", L""},                           {L"ok/表示.txt", L"ok\\表示.txt"},
  };
  for (const auto& c : cases) EXPECT_EQ(arc::SanitizeEntryPath(c.stored), c.safe) << c.stored;
  std::wstring destination = arc::SafeDestination(L"C:\\out", L"../../x.txt", true);
  EXPECT_EQ(destination, L"C:\\out\\x.txt");
  EXPECT_EQ(arc::SafeDestination(L"C:\\out\\", L"a/b/c.txt", false), L"C:\\out\\c.txt");
  EXPECT_THROW(arc::SafeDestination(L"C:\\out", L"../..", true), arc::Error);
  EXPECT_EQ(arc::SafeDestination(L"C:\\", L"/a/b.txt", true), L"C:\\a\\b.txt");
  arc::DestinationFolder folder(L"C:\\out\\sub\\..\\\\");
  EXPECT_EQ(folder.Root(), L"C:\\out");
  EXPECT_EQ(folder.Place(L"../x/./y.txt", true), L"C:\\out\\x\\y.txt");
  EXPECT_EQ(folder.Place(L"C:/x/y.txt", false), L"C:\\out\\y.txt");
  EXPECT_THROW(folder.Place(L"./", true), arc::Error);
}

TEST(CoreRecords, FieldsAreCutBetweenCharacters) {
  char field[6];
  arc::CopyAnsiField(field, sizeof field, "ab\x95\x5c\x8e\xa6");  // "ab表示": 6 bytes, room for 5
  EXPECT_STREQ(field, "ab\x95\x5c");
  arc::CopyAnsiField(field, sizeof field, "abc\x95\x5c");  // the pair does not fit after "abc"+1
  EXPECT_STREQ(field, "abc\x95\x5c");
  arc::CopyAnsiField(field, sizeof field, "abcd\x95\x5c");
  EXPECT_STREQ(field, "abcd");
  arc::Output output;
  output.Line(L"日本語の長いメッセージ");
  char small[4] = {'x', 'x', 'x', 'x'};
  output.CopyTo(small, sizeof small);
  EXPECT_EQ(small[2], '\0');  // two bytes of one character, no half character
  output.CopyTo(nullptr, 0);
}

TEST(CoreDates, BoundsFromSixOrEightDigits) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  int64_t low = arc::ParseDateBound(L"240101", false);
  int64_t high = arc::ParseDateBound(L"20241231", true);
  EXPECT_EQ(high - low, 366 * 86400 - 1);  // 2024 is a leap year
  EXPECT_EQ(arc::ParseDateBound(L"l20240101", false), arc::ParseDateBound(L"20240101", false));
  EXPECT_EQ(arc::ParseDateBound(L"2024", false), 0);
  EXPECT_THROW(arc::ParseDateBound(L"20241399", false), arc::Error);
  EXPECT_THROW(arc::ParseDateBound(L"2024x101", false), arc::Error);
}

}  // namespace

// A caller that collected the files itself hands one plain name per file;
// names to one folder are then looked up in one reading of the folder. What
// comes back must be what one search per name finds: the file's own name
// and details, hidden files left out, a name written in another case found
// once, a file gone and a hidden one told as not found, a folder named on
// its own kept as a folder, the order of the names.
class CoreCollect : public ScratchTest {};

TEST_F(CoreCollect, AListOfPlainNamesFindsWhatOneSearchPerNameFinds) {
  fs::create_directories(Path(L"src\\sub"));
  for (int i = 9; i >= 0; --i) Write(Path(L"src\\f" + std::to_wstring(i) + L".txt"), std::string(i * 100, 'x'));
  Write(Path(L"src\\hidden.txt"), "hidden");
  ASSERT_TRUE(SetFileAttributesW(Path(L"src\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
  std::vector<std::wstring> names;
  for (int i = 0; i < 10; ++i) names.push_back(L"src\\f" + std::to_wstring((i * 7) % 10) + L".txt");
  for (const wchar_t* name : {L"src\\hidden.txt", L"src\\F3.TXT", L"src\\gone.txt", L"src\\sub", L"src\\f1.txt"})
    names.push_back(name);
  auto collect = [&](const std::vector<std::wstring>& list, std::vector<std::wstring>& unmatched) {
    arc::CollectOptions options;
    options.fullPathMatch = true;
    options.namedFolders = true;
    options.unmatched = &unmatched;
    return arc::CollectFiles(root_.wstring(), list, options);
  };
  std::vector<std::wstring> unmatched;
  std::vector<arc::FoundFile> listed = collect(names, unmatched);
  // One name per call: each is searched on its own.
  std::vector<std::wstring> unmatchedOne;
  std::vector<arc::FoundFile> searched;
  for (const std::wstring& name : names) {
    for (arc::FoundFile& file : collect({name}, unmatchedOne)) {
      bool seen = false;
      for (const arc::FoundFile& other : searched) seen = seen || arc::Lower(other.fullPath) == arc::Lower(file.fullPath);
      if (!seen) searched.push_back(std::move(file));
    }
  }
  ASSERT_EQ(listed.size(), 11u);  // ten files and the folder
  ASSERT_EQ(listed.size(), searched.size());
  for (size_t i = 0; i < listed.size(); ++i) {
    SCOPED_TRACE(listed[i].fullPath);
    EXPECT_EQ(listed[i].fullPath, searched[i].fullPath);
    EXPECT_EQ(listed[i].relative, searched[i].relative);
    EXPECT_EQ(listed[i].isDirectory, searched[i].isDirectory);
    EXPECT_EQ(listed[i].attributes, searched[i].attributes);
    EXPECT_EQ(listed[i].size, searched[i].size);
    EXPECT_EQ(CompareFileTime(&listed[i].writeTime, &searched[i].writeTime), 0);
  }
  EXPECT_EQ(listed.front().relative, L"src\\f0.txt");
  EXPECT_EQ(listed[1].relative, L"src\\f7.txt");
  EXPECT_EQ(listed[1].size, 700u);
  EXPECT_TRUE(listed.back().isDirectory);
  EXPECT_EQ(unmatched, (std::vector<std::wstring>{L"src\\hidden.txt", L"src\\gone.txt"}));
  EXPECT_EQ(unmatched, unmatchedOne);
}
