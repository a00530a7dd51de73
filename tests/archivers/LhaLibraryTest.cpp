// UNLHA32.DLL through its exported entries, as Tavix drives it.
#include "tests/archivers/ArchiverFixture.h"
#include "../support/EscapeCheck.h"

#include <algorithm>
#include <cstring>
#include <random>

namespace {

ArchiverLibrary& Lha() {
  static ArchiverLibrary library(L"UNLHA32.DLL", "Unlha");
  return library;
}

class LhaTest : public ScratchTest {
 protected:
  // A small tree: text, incompressible bytes, an empty file, and a Shift-JIS
  // name whose second byte is a backslash (表).
  void MakeTree(const fs::path& base) {
    Write(base / L"text.txt", Pattern(200000, 1));
    std::mt19937 random(7);
    std::string noise(70000, '\0');
    for (auto& c : noise) c = static_cast<char>(random());
    Write(base / L"noise.bin", noise);
    Write(base / L"empty.txt", "");
    Write(base / L"資料" / L"表示.txt", Pattern(3000, 2));
  }
  void ExpectSameTree(const fs::path& a, const fs::path& b) {
    for (const auto* name : {L"text.txt", L"noise.bin", L"empty.txt", L"資料\\表示.txt"}) {
      ASSERT_TRUE(fs::exists(b / name)) << A(b / name);
      EXPECT_TRUE(Read(a / name) == Read(b / name)) << A(b / name);
    }
  }
  int Run(const std::string& line, std::string* output = nullptr) { return Lha().Command(line, output); }
};

TEST_F(LhaTest, EveryMethodRoundTripsWithRecordsFilled) {
  struct Case {
    int jm;
    const char* method;
  } cases[] = {{0, "-lh0-"}, {1, "-lh1-"}, {2, "-lh5-"}, {3, "-lh6-"}, {4, "-lh7-"}};
  MakeTree(Path(L"src"));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.jm);
    fs::path archive = Path(L"m" + std::to_wstring(c.jm) + L".lzh");
    std::string output;
    ASSERT_EQ(Run("u -+ -a1 -n1 -r2 -x1 -jf0 -jm" + std::to_string(c.jm) + " -p1 " + Q(archive) + " " +
                      QFolder(Path(L"src")) + S(" \"text.txt\" \"noise.bin\" \"empty.txt\" \"資料\\表示.txt\""),
                  &output),
              0)
        << output;
    auto records = Lha().List(A(archive));
    ASSERT_EQ(records.size(), 4u);
    EXPECT_STREQ(records[0].szFileName, "text.txt");
    EXPECT_STREQ(records[0].szMode, c.method);
    EXPECT_EQ(records[0].dwOriginalSize, 200000u);
    EXPECT_EQ(records[0].dwCRC, Crc16(Read(Path(L"src\\text.txt"))));
    if (c.jm != 0) {
      EXPECT_LT(records[0].wRatio, 500);
    }
    EXPECT_STREQ(records[1].szMode, "-lh0-");  // noise does not shrink: stored
    EXPECT_EQ(records[1].wRatio, 1000);
    EXPECT_STREQ(records[2].szMode, "-lh0-");
    EXPECT_STREQ(records[3].szFileName, S("資料\\表示.txt").c_str());
    EXPECT_STREQ(records[3].szAttribute, "--A--");
    fs::path out = Path(L"out" + std::to_wstring(c.jm));
    ASSERT_EQ(Run("x -+ -c1 -m0 -x1 -jf0 " + Q(archive) + " " + QFolder(out) + " \"*.*\"", &output), 0) << output;
    ExpectSameTree(Path(L"src"), out);
  }
}

// A level-2 archive with the access times (which reading the files changes)
// and the header checks over them zeroed.
std::string WithoutAccessTimes(std::string archive) {
  auto u16 = [&](size_t at) { return static_cast<size_t>(static_cast<uint8_t>(archive[at]) | static_cast<uint8_t>(archive[at + 1]) << 8); };
  size_t at = 0;
  while (at + 26 <= archive.size() && archive[at] != 0) {
    size_t headerSize = u16(at);
    size_t packed = u16(at + 7) | u16(at + 9) << 16;
    for (size_t ext = at + 24, size = u16(ext); size >= 3 && ext + 2 + size <= at + headerSize; ext += size, size = u16(ext)) {
      uint8_t type = static_cast<uint8_t>(archive[ext + 2]);
      if (type == 0x00) archive.replace(ext + 3, 2, 2, '\0');
      if (type == 0x41 && size >= 27) archive.replace(ext + 3 + 16, 8, 8, '\0');
    }
    at += headerSize + packed;
  }
  return archive;
}

// One encoder serves every entry of an archive; each entry must still come
// out exactly as a fresh encoder writes it: files added in one call give the
// same archive, byte for byte, as the same files added one call each.
TEST_F(LhaTest, EntriesAddedTogetherMatchEntriesAddedOneByOne) {
  // Past the window and the look-ahead (the window slides), then small ones.
  const size_t sizes[] = {700000, 5000, 20000, 40000, 3, 20, 300000, 9000, 60000};
  std::vector<std::string> names;
  for (size_t i = 0; i < std::size(sizes); ++i) {
    names.push_back("f" + std::to_string(i) + ".txt");
    Write(Path(L"src") / names.back(), Pattern(sizes[i], static_cast<uint32_t>(i + 11)));
  }
  for (int jm = 1; jm <= 4; ++jm) {
    SCOPED_TRACE(jm);
    std::string method = " -jm" + std::to_string(jm) + " ";
    fs::path together = Path(L"together" + std::to_wstring(jm) + L".lzh");
    fs::path single = Path(L"single" + std::to_wstring(jm) + L".lzh");
    std::string all;
    for (const auto& name : names) all += " " + name;
    ASSERT_EQ(Run("a" + method + Q(together) + " " + QFolder(Path(L"src")) + all), 0);
    for (const auto& name : names) ASSERT_EQ(Run("a" + method + Q(single) + " " + QFolder(Path(L"src")) + " " + name), 0);
    ASSERT_EQ(Lha().List(A(together)).size(), std::size(sizes));
    std::string a = Read(together), b = Read(single);
    ASSERT_EQ(a.size(), b.size());
    EXPECT_TRUE(WithoutAccessTimes(a) == WithoutAccessTimes(b));
  }
}

TEST_F(LhaTest, SampleFromAnotherArchiverListsAndExtracts) {
  fs::path sample = fs::path(TAVIX_SOURCE_DIR) / L"samples" / L"sample.lzh";
  auto records = Lha().List(A(sample));
  ASSERT_EQ(records.size(), 4u);
  EXPECT_STREQ(records[1].szFileName, S("日本語.txt").c_str());
  EXPECT_STREQ(records[2].szFileName, S("docs\\説明.txt").c_str());
  EXPECT_STREQ(records[3].szMode, "-lh5-");
  EXPECT_EQ(Run("t " + Q(sample)), 0);
  ASSERT_EQ(Run("x -x1 " + Q(sample) + " " + QFolder(Path(L"out")) + S(" \"docs/説明.txt\"")), 0);
  EXPECT_TRUE(fs::exists(Path(L"out\\docs\\説明.txt")));
  EXPECT_FALSE(fs::exists(Path(L"out\\日本語.txt")));
}

TEST_F(LhaTest, ExtractionFolderAndSelectionSwitches) {
  MakeTree(Path(L"src"));
  fs::path archive = Path(L"a.lzh");
  ASSERT_EQ(Run("a -r2 -x1 " + Q(archive) + " " + QFolder(Path(L"src")) + " *.*"), 0);
  struct Case {
    const char* switches;
    std::string names;
    std::vector<const wchar_t*> present, absent;
  } cases[] = {
      {"-x0", S("\"資料/表示.txt\""), {L"表示.txt"}, {L"資料"}},
      {"-x1", S("\"資料/表示.txt\""), {L"資料\\表示.txt"}, {L"text.txt"}},
      {"-x1 -jx*.bin", "\"*.*\"", {L"text.txt", L"資料\\表示.txt"}, {L"noise.bin"}},
      {"-x1 -p0", S("\"表示.txt\""), {L"資料\\表示.txt"}, {L"text.txt"}},
      {"-x1 -p1", S("\"表示.txt\""), {}, {L"資料", L"text.txt"}},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.switches);
    fs::path out = Path(L"x" + std::to_wstring(n++));
    Run(std::string("x ") + c.switches + " " + Q(archive) + " " + QFolder(out) + " " + c.names);
    for (auto* name : c.present) EXPECT_TRUE(fs::exists(out / name)) << A(out / name);
    for (auto* name : c.absent) EXPECT_FALSE(fs::exists(out / name)) << A(out / name);
  }
}

TEST_F(LhaTest, ExistingFilesAreOverwrittenOnlyWithC1OrWhenOlder) {
  Write(Path(L"src\\f.txt"), "archived");
  SetTime(Path(L"src\\f.txt"), 2020);
  fs::path archive = Path(L"a.lzh");
  ASSERT_EQ(Run("a " + Q(archive) + " " + QFolder(Path(L"src")) + " f.txt"), 0);
  struct Case {
    const char* switches;
    int diskYear;
    const char* expected;
  } cases[] = {{"-c1 -m0", 2024, "archived"}, {"-c0 -m1", 2024, "on disk"}, {"-c0 -m1", 2010, "archived"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.switches) + " " + std::to_string(c.diskYear));
    Write(Path(L"out\\f.txt"), "on disk");
    SetTime(Path(L"out\\f.txt"), c.diskYear);
    EXPECT_EQ(Run(std::string("x ") + c.switches + " " + Q(archive) + " " + QFolder(Path(L"out")) + " *.*"), 0);
    EXPECT_EQ(Read(Path(L"out\\f.txt")), c.expected);
  }
}

TEST_F(LhaTest, UpdateFreshenDeleteMove) {
  Write(Path(L"src\\old.txt"), "old");
  Write(Path(L"src\\new.txt"), "new");
  SetTime(Path(L"src\\old.txt"), 2020);
  SetTime(Path(L"src\\new.txt"), 2020);
  fs::path archive = Path(L"a.lzh");
  ASSERT_EQ(Run("a " + Q(archive) + " " + QFolder(Path(L"src")) + " old.txt new.txt"), 0);
  Write(Path(L"src\\new.txt"), "newer content");
  SetTime(Path(L"src\\new.txt"), 2022);
  Write(Path(L"src\\old.txt"), "changed but older");
  SetTime(Path(L"src\\old.txt"), 2019);
  Write(Path(L"src\\extra.txt"), "extra");
  // f: only newer files that are already in the archive.
  ASSERT_EQ(Run("f " + Q(archive) + " " + QFolder(Path(L"src")) + " *.txt"), 0);
  auto records = Lha().List(A(archive));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].dwOriginalSize, 13u);
  EXPECT_EQ(records[0].dwOriginalSize, 3u);
  // u: adds what is missing, keeps what is newer in the archive.
  ASSERT_EQ(Run("u " + Q(archive) + " " + QFolder(Path(L"src")) + " *.txt"), 0);
  records = Lha().List(A(archive));
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].dwOriginalSize, 3u);
  EXPECT_STREQ(records[2].szFileName, "extra.txt");
  // d with an entry path as Tavix sends it, and a name that starts with '-'.
  Write(Path(L"src\\-dash.txt"), "dash");
  ASSERT_EQ(Run("a " + Q(archive) + " " + QFolder(Path(L"src")) + " -gb-dash.txt"), 0);
  ASSERT_EQ(Run("d " + Q(archive) + " old.txt \"-gb-dash.txt\""), 0);
  records = Lha().List(A(archive));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(Run("d " + Q(archive) + " nothing.txt"), 0x8031);
  // m: the sources go once they are in the archive.
  Write(Path(L"src\\moved.txt"), "moved");
  ASSERT_EQ(Run("m " + Q(archive) + " " + QFolder(Path(L"src")) + " moved.txt"), 0);
  EXPECT_FALSE(fs::exists(Path(L"src\\moved.txt")));
  EXPECT_EQ(Lha().List(A(archive)).size(), 3u);
  // Deleting everything removes the archive.
  ASSERT_EQ(Run("d " + Q(archive) + " *.*"), 0);
  EXPECT_FALSE(fs::exists(archive));
}

TEST_F(LhaTest, AddingSwitchesChooseNamesAndFiles) {
  Write(Path(L"src\\sub\\deep\\a.txt"), "a");
  Write(Path(L"src\\b.txt"), "b");
  Write(Path(L"src\\hidden.txt"), "h");
  SetFileAttributesW(Path(L"src\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
  Write(Path(L"src\\old.txt"), "o");
  SetTime(Path(L"src\\old.txt"), 2001);
  Write(Path(L"list.txt"), "\"b.txt\"\r\n\r\n\"sub\\deep\\a.txt\"\r\n");
  struct Case {
    const char* switches;
    const char* names;
    std::vector<std::string> stored;
  } cases[] = {
      {"-r2 -x1", "sub", {"sub\\deep\\a.txt"}},
      {"-r2 -x0", "sub", {"a.txt"}},
      {"-r1 -x1", "*.txt", {"b.txt", "old.txt", "sub\\deep\\a.txt"}},
      {"-r1 -x1 -a1", "*.txt", {"b.txt", "hidden.txt", "old.txt", "sub\\deep\\a.txt"}},
      {"-x1 -jo20100101", "*.txt", {"b.txt"}},
      {"-x1 -job20100101", "*.txt", {"old.txt"}},
      {"-x1 -jxb.txt", "*.txt", {"old.txt"}},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.switches) + " " + c.names);
    fs::path archive = Path(L"s" + std::to_wstring(n++) + L".lzh");
    ASSERT_EQ(Run(std::string("a ") + c.switches + " " + Q(archive) + " " + QFolder(Path(L"src")) + " " + c.names), 0);
    std::vector<std::string> stored;
    for (const auto& record : Lha().List(A(archive))) stored.push_back(record.szFileName);
    std::sort(stored.begin(), stored.end());
    EXPECT_EQ(stored, c.stored);
  }
  // A response file with one quoted name per line; -jf1 keeps the path from the root.
  fs::path archive = Path(L"resp.lzh");
  ASSERT_EQ(Run("a -x1 -jf1 " + Q(archive) + " " + QFolder(Path(L"src")) + " @" + Q(Path(L"list.txt"))), 0);
  auto records = Lha().List(A(archive));
  ASSERT_EQ(records.size(), 2u);
  std::string rooted = A(Path(L"src\\b.txt")).substr(3);  // without "X:\"
  EXPECT_EQ(records[0].szFileName, rooted);
  // -w builds the archive in the work folder first.
  fs::create_directories(Path(L"work"));
  ASSERT_EQ(Run("a -w" + A(Path(L"work")) + "\\ " + Q(Path(L"w.lzh")) + " " + QFolder(Path(L"src")) + " b.txt"), 0);
  EXPECT_EQ(Lha().List(A(Path(L"w.lzh"))).size(), 1u);
  EXPECT_TRUE(fs::is_empty(Path(L"work")));
}

TEST_F(LhaTest, HostileNamesStayInsideTheDestination) {
  fs::path archive = Path(L"hostile.lzh");
  Write(archive, LhaLevel0Stored({{"..\\lhaesc1.txt", "1"},
                                  {"C:\\lhaesc2.txt", "2"},
                                  {"\\abs\\lhaesc3.txt", "3"},
                                  {"a\\..\\..\\lhaesc4.txt", "4"},
                                  {"CON", "5"},
                                  {"C:lhaesc7.txt", "7"},
                                  {"\\lhaesc8.txt", "8"},
                                  {"ok\\fine.txt", "6"}}));
  fs::path out = Path(L"deep\\out");
  std::string output;
  Run("x -x1 -jf1 " + Q(archive) + " " + QFolder(out) + " *.*", &output);
  std::vector<std::wstring> written;
  for (auto& entry : fs::recursive_directory_iterator(root_)) {
    if (entry.is_regular_file() && entry.path() != archive) written.push_back(entry.path().wstring());
  }
  for (const auto& path : written) EXPECT_EQ(path.rfind(out.wstring() + L"\\", 0), 0u) << A(path);
  EXPECT_EQ(Read(out / L"lhaesc1.txt"), "1");
  EXPECT_EQ(Read(out / L"abs\\lhaesc3.txt"), "3");
  EXPECT_EQ(Read(out / L"_CON"), "5");
  EXPECT_EQ(Read(out / L"ok\\fine.txt"), "6");
  EXPECT_EQ(escape_check::EscapedFiles(L"lhaesc", out.wstring()), std::vector<std::wstring>{});
}

TEST_F(LhaTest, LongNamesAreCutBetweenCharacters) {
  std::string folder, name;
  for (int i = 0; i < 170; ++i) folder += "\x82\xa0";  // あ, 340 bytes
  folder += '\xFF';
  for (int i = 0; i < 150; ++i) name += "\x95\x5c";  // 表
  name += ".txt";
  fs::path archive = Path(L"long.lzh");
  Write(archive, LhaLevel2Stored(folder, name, "data"));
  auto records = Lha().List(A(archive));
  ASSERT_EQ(records.size(), 1u);
  size_t length = strnlen(records[0].szFileName, sizeof records[0].szFileName);
  EXPECT_LE(length, 512u);
  EXPECT_GE(length, 510u);
  EXPECT_GT(MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, records[0].szFileName, static_cast<int>(length), nullptr, 0), 0);
  EXPECT_EQ(std::string(records[0].szFileName, 6), "\x82\xa0\x82\xa0\x82\xa0");
}

TEST_F(LhaTest, DamagedArchivesGiveErrorsAndLeaveNoPartialFiles) {
  Write(Path(L"src\\big.txt"), Pattern(300000, 3));
  fs::path good = Path(L"good.lzh");
  ASSERT_EQ(Run("a " + Q(good) + " " + QFolder(Path(L"src")) + " big.txt"), 0);
  std::string bytes = Read(good);
  std::string flipped = bytes;
  flipped[flipped.size() / 2] ^= 0x55;
  struct Case {
    const wchar_t* file;
    std::string content;
  } cases[] = {
      {L"truncated.lzh", bytes.substr(0, bytes.size() / 2)},
      {L"flipped.lzh", flipped},
      {L"garbage.lzh", std::string(5000, '\x7f') + "-lh5- not really"},
      {L"header.lzh", bytes.substr(0, 30)},
      {L"empty.lzh", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(A(c.file));
    fs::path archive = Path(c.file);
    Write(archive, c.content);
    fs::path out = Path(std::wstring(L"out-") + c.file);
    std::string output;
    int code = Run("x " + Q(archive) + " " + QFolder(out) + " *.*", &output);
    EXPECT_GE(code, 0x8000);
    EXPECT_FALSE(output.empty());
    EXPECT_FALSE(fs::exists(out / L"big.txt"));
    if (fs::exists(out)) {
      EXPECT_TRUE(fs::is_empty(out));
    }
    EXPECT_FALSE(Lha().Check(A(archive), 2));
    // Over an existing file, with overwriting asked for: the old one stays whole.
    fs::path over = Path(std::wstring(L"over-") + c.file);
    Write(over / L"big.txt", "old");
    EXPECT_GE(Run("x -c1 " + Q(archive) + " " + QFolder(over) + " *.*"), 0x8000);
    EXPECT_EQ(Read(over / L"big.txt"), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(over), fs::directory_iterator()), 1);
  }
  EXPECT_EQ(Run("x " + Q(Path(L"garbage.lzh"))), 0x8019);
  EXPECT_EQ(Lha().Open(A(Path(L"garbage.lzh"))), nullptr);
  EXPECT_TRUE(Lha().Check(A(good), 2));
}

// A level-2 header whose 64-bit size extension wraps the next header's
// position round to `back` (an earlier header): the listing must end.
std::string WrappingLevel2(uint64_t at, uint64_t back) {
  std::string h = "  -lh0-";
  h += std::string(8, '\0');  // 32-bit sizes: replaced by the extension
  h += std::string("\x00\x00\x00\x65", 4);
  h += '\x20';
  h += '\x02';
  h += std::string(2, '\0');
  h += 'M';
  auto put = [&](uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) h += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  put(4, 2);
  h += '\x01';
  h += 'a';
  put(19, 2);
  h += '\x42';
  size_t sizeAt = h.size();
  h += std::string(16, '\0');
  put(0, 2);
  uint64_t total = h.size();
  uint64_t compressed = back - (at + total);  // wraps modulo 2^64
  for (int i = 0; i < 8; ++i) h[sizeAt + i] = static_cast<char>((compressed >> (8 * i)) & 0xFF);
  h[0] = static_cast<char>(total);
  h[1] = '\0';
  return h;
}

TEST_F(LhaTest, HeaderSizesThatWrapRoundEndTheListing) {
  std::string first = LhaLevel2Stored("", "ok.txt", "fine");
  first.pop_back();  // no end mark: the wrapping header follows
  struct Case {
    const wchar_t* file;
    std::string content;
  } cases[] = {
      {L"self.lzh", WrappingLevel2(0, 0)},
      {L"back.lzh", first + WrappingLevel2(first.size(), 0)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(A(c.file));
    fs::path archive = Path(c.file);
    Write(archive, c.content);
    EXPECT_FALSE(Lha().Check(A(archive), 1));
    EXPECT_FALSE(Lha().Check(A(archive), 2));
    EXPECT_LE(Lha().List(A(archive)).size(), 1u);
    std::string output;
    EXPECT_GE(Run("l " + Q(archive), &output), 0x8000);
    EXPECT_LT(output.size(), 4096u);
    EXPECT_GE(Run("x " + Q(archive) + " " + QFolder(Path(L"out")) + " *.*"), 0x8000);
  }
}

TEST_F(LhaTest, ArchiveInsideSelfExtractorIsFoundByFullSearch) {
  Write(Path(L"src\\a.txt"), "inside");
  fs::path archive = Path(L"a.lzh");
  ASSERT_EQ(Run("a " + Q(archive) + " " + QFolder(Path(L"src")) + " a.txt"), 0);
  std::string stub = "MZ" + std::string(4000, '\x90') + "-lh5- decoy text" + std::string(100, '\0');
  Write(Path(L"sfx.exe"), stub + Read(archive));
  Write(Path(L"plain.bin"), "XX" + std::string(4000, '\x90') + "-lh5- decoy text");
  EXPECT_TRUE(Lha().Check(A(Path(L"sfx.exe")), 16));
  EXPECT_FALSE(Lha().Check(A(Path(L"plain.bin")), 16));
  HGLOBAL handle = Lha().Open(A(Path(L"sfx.exe")), 0x00800002);
  ASSERT_NE(handle, nullptr);
  Lha().Close(handle);
  ASSERT_EQ(Run("x " + Q(Path(L"sfx.exe")) + " " + QFolder(Path(L"out")) + " *.*"), 0);
  EXPECT_EQ(Read(Path(L"out\\a.txt")), "inside");
  // The s command puts the module beside the library in front of the archive.
  fs::create_directories(Path(L"sfxout"));
  std::string output;
  ASSERT_EQ(Run("s -gw1 " + Q(archive) + " " + QFolder(Path(L"sfxout")), &output), 0) << output;
  std::string made = Read(Path(L"sfxout\\a.exe")), inner = Read(archive);
  EXPECT_EQ(made.substr(0, 2), "MZ");
  ASSERT_GT(made.size(), inner.size());
  EXPECT_EQ(made.substr(made.size() - inner.size()), inner);
}

TEST_F(LhaTest, ReadOnlyArchiveAndUnwritableDestinationKeepEverything) {
  Write(Path(L"src\\a.txt"), "a");
  fs::path archive = Path(L"a.lzh");
  ASSERT_EQ(Run("a " + Q(archive) + " " + QFolder(Path(L"src")) + " a.txt"), 0);
  std::string before = Read(archive);
  SetFileAttributesW(archive.c_str(), FILE_ATTRIBUTE_READONLY);
  Write(Path(L"src\\b.txt"), "b");
  std::string output;
  EXPECT_EQ(Run("a " + Q(archive) + " " + QFolder(Path(L"src")) + " b.txt", &output), 0x8027);
  EXPECT_FALSE(output.empty());
  EXPECT_EQ(Read(archive), before);
  // A destination below a file cannot be made.
  Write(Path(L"blocker"), "file");
  EXPECT_EQ(Run("x " + Q(archive) + " " + QFolder(Path(L"blocker\\out")) + " *.*"), 0x8012);
  EXPECT_GE(Run("a " + Q(Path(L"blocker\\new.lzh")) + " " + QFolder(Path(L"src")) + " a.txt"), 0x8012);
  EXPECT_FALSE(fs::exists(Path(L"blocker\\new.lzh")));
}

TEST_F(LhaTest, ProgressReportsAndCancelFromTheOwnerWindow) {
  Write(Path(L"src\\big.txt"), Pattern(400000, 4));
  fs::path archive = Path(L"a.lzh");
  ASSERT_EQ(Run("a " + Q(archive) + " " + QFolder(Path(L"src")) + " big.txt"), 0);
  std::string before = Read(archive);
  ProgressWindow window;
  ASSERT_TRUE(Lha().SetOwner(window.Handle()));
  ASSERT_EQ(Run("x -n1 " + Q(archive) + " " + QFolder(Path(L"out")) + " *.*"), 0);
  ASSERT_GE(window.reports.size(), 4u);
  EXPECT_EQ(window.reports.front().state, 3u);  // OPEN
  EXPECT_EQ(window.reports[1].state, 0u);       // BEGIN
  EXPECT_EQ(window.reports[1].record.dwFileSize, 400000u);
  EXPECT_STREQ(window.reports[1].record.szSourceFileName, "big.txt");
  EXPECT_STREQ(window.reports[1].record.szMode, "-lh5-");
  EXPECT_EQ(window.reports.back().state, 2u);  // END
  size_t inProcess = std::count_if(window.reports.begin(), window.reports.end(), [](auto& r) { return r.state == 1; });
  EXPECT_GE(inProcess, 400000u / 65536);
  EXPECT_EQ(window.reports[window.reports.size() - 2].record.dwWriteSize, 400000u);

  // Cancel while extracting: no partial file.
  window.reports.clear();
  window.stopAtState = 1;
  EXPECT_EQ(Run("x -c1 " + Q(archive) + " " + QFolder(Path(L"cancel")) + " *.*"), 0x8020);
  EXPECT_FALSE(fs::exists(Path(L"cancel\\big.txt")));
  // Cancel while adding: the old archive stays as it was, no temporary left.
  Write(Path(L"src\\more.txt"), Pattern(300000, 5));
  EXPECT_EQ(Run("a " + Q(archive) + " " + QFolder(Path(L"src")) + " more.txt"), 0x8020);
  EXPECT_EQ(Read(archive), before);
  for (auto& entry : fs::directory_iterator(root_)) EXPECT_NE(entry.path().extension(), L".tmp") << A(entry.path());

  // A call from inside a report is refused: the library is busy.
  window.stopAtState = -1;
  int inner = 0;
  BOOL running = FALSE;
  window.during = [&] {
    running = Lha().Running();
    inner = Run("l " + Q(archive));
  };
  EXPECT_EQ(Run("x -c1 " + Q(archive) + " " + QFolder(Path(L"again")) + " *.*"), 0);
  EXPECT_EQ(inner, 0x801F);
  EXPECT_TRUE(running);
  EXPECT_FALSE(Lha().Running());
  EXPECT_FALSE(Lha().KillOwner(reinterpret_cast<HWND>(0x1234)));
  EXPECT_TRUE(Lha().KillOwner(window.Handle()));
}

TEST_F(LhaTest, OutputBufferMemoryExtractionAndTimes) {
  Write(Path(L"src\\a.txt"), "hello");
  SetTime(Path(L"src\\a.txt"), 2021);
  Write(Path(L"src\\big.txt"), Pattern(1000, 6));
  fs::path archive = Path(L"a.lzh");
  ASSERT_EQ(Run("a " + Q(archive) + " " + QFolder(Path(L"src")) + " *.txt"), 0);
  using CommandEntry = int(WINAPI*)(HWND, LPCSTR, LPSTR, DWORD);
  auto command = reinterpret_cast<CommandEntry>(reinterpret_cast<void*>(GetProcAddress(Lha().Module(), "Unlha")));
  EXPECT_EQ(command(nullptr, ("l " + Q(archive)).c_str(), nullptr, 0), 0);
  char small[8];
  std::memset(small, 'x', sizeof small);
  EXPECT_EQ(command(nullptr, ("l " + Q(archive)).c_str(), small, sizeof small), 0);
  EXPECT_LT(strnlen(small, sizeof small), sizeof small);
  EXPECT_EQ(command(nullptr, "q", nullptr, 0), 0x801C);

  std::vector<char> buffer(100);
  DWORD written = 0;
  EXPECT_EQ(Lha().ExtractMem(" -+ -n1 " + Q(archive) + " \"a.txt\"", buffer, &written), 0);
  EXPECT_EQ(std::string(buffer.data(), written), "hello");
  EXPECT_EQ(Lha().ExtractMem(Q(archive) + " big.txt", buffer, &written), 0x801D);
  EXPECT_EQ(written, 100u);
  EXPECT_EQ(Lha().ExtractMem(Q(archive) + " none.txt", buffer, &written), 0x8031);

  HGLOBAL handle = Lha().Open(A(archive));
  ASSERT_NE(handle, nullptr);
  EntryRecord record;
  ASSERT_EQ(Lha().FindFirst(handle, "A.TXT", &record), 0);
  FILETIME time, expected;
  ASSERT_TRUE(Lha().WriteTime(handle, &time));
  HANDLE file = CreateFileW(Path(L"src\\a.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  GetFileTime(file, nullptr, nullptr, &expected);
  CloseHandle(file);
  EXPECT_EQ(CompareFileTime(&time, &expected), 0);
  EXPECT_EQ(Lha().FindNext(handle, &record), -1);
  EXPECT_EQ(Lha().Close(handle), 0);
  EXPECT_NE(Lha().Close(handle), 0);
}

// Headers carry only what the base header cannot say: the attributes other
// than the archive bit, and a write time outside the base header's Unix
// range, must still come back.
TEST_F(LhaTest, AttributesAndTimesOutsideTheBaseHeaderComeBack) {
  struct Case {
    const wchar_t* name;
    DWORD attributes;
    int year;
    const char* listed;
  } cases[] = {
      {L"plain.txt", FILE_ATTRIBUTE_ARCHIVE, 2021, "--A--"},
      {L"readonly.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE, 2021, "--AR-"},
      {L"hidden.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE, 2021, "-HA--"},
      {L"system.txt", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE, 2021, "S-A--"},
      {L"old.txt", FILE_ATTRIBUTE_ARCHIVE, 1960, "--A--"},
      {L"far.txt", FILE_ATTRIBUTE_ARCHIVE, 2150, "--A--"},
  };
  auto timeOf = [](const fs::path& path) {
    FILETIME time{};
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    GetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  };
  for (const auto& c : cases) {
    Write(Path(L"src") / c.name, "x");
    SetTime(Path(L"src") / c.name, c.year);
    ASSERT_TRUE(SetFileAttributesW((Path(L"src") / c.name).c_str(), c.attributes));
  }
  fs::path archive = Path(L"a.lzh");
  ASSERT_EQ(Run("a -a1 " + Q(archive) + " " + QFolder(Path(L"src")) + " *.txt"), 0);
  auto records = Lha().List(A(archive));
  ASSERT_EQ(records.size(), std::size(cases));
  ASSERT_EQ(Run("x -x1 " + Q(archive) + " " + QFolder(Path(L"out")) + " *.*"), 0);
  for (const auto& c : cases) {
    SCOPED_TRACE(A(c.name));
    auto record = std::find_if(records.begin(), records.end(), [&](const EntryRecord& r) { return A(c.name) == r.szFileName; });
    ASSERT_NE(record, records.end());
    EXPECT_STREQ(record->szAttribute, c.listed);
    fs::path out = Path(L"out") / c.name;
    EXPECT_EQ(GetFileAttributesW(out.c_str()), GetFileAttributesW((Path(L"src") / c.name).c_str()));
    EXPECT_EQ(timeOf(out), timeOf(Path(L"src") / c.name));
  }
  // A tiny file's header: the base, the header check, the name; nothing else.
  fs::path plain = Path(L"plain.lzh");
  ASSERT_EQ(Run("a " + Q(plain) + " " + QFolder(Path(L"src")) + " plain.txt"), 0);
  std::string bytes = Read(plain);
  EXPECT_EQ(static_cast<uint8_t>(bytes[0]) | static_cast<uint8_t>(bytes[1]) << 8, 24 + 2 + 5 + 3 + 9);
}

}  // namespace
