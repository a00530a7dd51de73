// TAR32.DLL through its exported entries, as Tavix drives it.
#include "tests/archivers/ArchiverFixture.h"
#include "../support/EscapeCheck.h"

#include <bzlib.h>
#include <zlib.h>

namespace {

ArchiverLibrary& Tar() {
  static ArchiverLibrary library(L"TAR32.DLL", "Tar");
  return library;
}

class TarTest : public ScratchTest {
 protected:
  int Run(const std::string& line, std::string* output = nullptr) { return Tar().Command(line, output); }
  void MakeTree() {
    Write(Path(L"src\\text.txt"), Pattern(150000, 1));
    Write(Path(L"src\\資料\\表示.txt"), Pattern(2000, 2));
    Write(Path(L"src\\empty.txt"), "");
  }
  static std::string Gzip(const std::string& data) { return Deflated(data, 31); }
  static std::string Bzip2(const std::string& data) {
    std::string out(data.size() + 1024, '\0');
    unsigned size = static_cast<unsigned>(out.size());
    BZ2_bzBuffToBuffCompress(out.data(), &size, const_cast<char*>(data.data()), static_cast<unsigned>(data.size()), 9, 0, 0);
    out.resize(size);
    return out;
  }
};

TEST_F(TarTest, CreateListExtractForEveryCompression) {
  struct Case {
    const char* switches;
    const wchar_t* file;
    int type;
  } cases[] = {{"", L"a.tar", 1}, {"-z", L"a.tgz", 2}, {"-z9", L"b.tgz", 2}, {"-B", L"a.tbz", 6}, {"-B5", L"b.tbz", 6}};
  MakeTree();
  for (const auto& c : cases) {
    SCOPED_TRACE(A(c.file));
    fs::path archive = Path(c.file);
    std::string output;
    ASSERT_EQ(Run(std::string("c ") + c.switches + " -f " + Q(archive) + " -o " + QFolder(Path(L"src")) +
                      S(" \"text.txt\" \"資料\\表示.txt\" \"empty.txt\""),
                  &output),
              0)
        << output;
    EXPECT_EQ(Tar().ArchiveType(A(archive)), c.type);
    EXPECT_TRUE(Tar().Check(A(archive), 2));
    auto records = Tar().List(A(archive));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_STREQ(records[0].szFileName, "text.txt");
    EXPECT_EQ(records[0].dwOriginalSize, 150000u);
    EXPECT_STREQ(records[1].szFileName, S("資料/表示.txt").c_str());
    fs::path out = Path(std::wstring(L"out-") + c.file);
    ASSERT_EQ(Run("x --display-dialog=0 -f " + Q(archive) + " -o " + QFolder(out)), 0);
    for (const auto* name : {L"text.txt", L"資料\\表示.txt", L"empty.txt"})
      EXPECT_TRUE(Read(out / name) == Read(Path(L"src") / name)) << A(name);
  }
  fs::path flat = Path(L"flat");
  ASSERT_EQ(Run("x --use-directory=0 -f " + Q(Path(L"a.tgz")) + " -o " + QFolder(flat) + S(" \"資料/表示.txt\"")), 0);
  EXPECT_TRUE(fs::exists(flat / L"表示.txt"));
  EXPECT_FALSE(fs::exists(flat / L"text.txt"));
  std::vector<char> buffer(200000);
  DWORD written = 0;
  EXPECT_EQ(Tar().ExtractMem(" -f " + Q(Path(L"b.tbz")) + " \"text.txt\"", buffer, &written), 0);
  EXPECT_TRUE(std::string(buffer.data(), written) == Read(Path(L"src\\text.txt")));
}

TEST_F(TarTest, SingleCompressedFilesAndKinds) {
  std::string text = Pattern(50000, 3);
  Write(Path(L"notes.txt.gz"), Gzip(text));
  Write(Path(L"notes.txt.bz2"), Bzip2(text));
  Write(Path(L"plain.txt"), text);
  Write(Path(L"stored.tar"), TarStored({{"a.txt", "abc"}}));
  Write(Path(L"stored.tar.gz"), Gzip(TarStored({{"a.txt", "abc"}})));
  struct Case {
    const wchar_t* file;
    int type;
  } cases[] = {{L"notes.txt.gz", 4}, {L"notes.txt.bz2", 7}, {L"plain.txt", 0}, {L"stored.tar", 1},
               {L"stored.tar.gz", 2}, {L"missing.tgz", -1}};
  for (const auto& c : cases) EXPECT_EQ(Tar().ArchiveType(A(Path(c.file))), c.type) << A(c.file);
  auto records = Tar().List(A(Path(L"notes.txt.gz")));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_STREQ(records[0].szFileName, "notes.txt");
  EXPECT_EQ(records[0].dwOriginalSize, 50000u);
  ASSERT_EQ(Run("x -f " + Q(Path(L"notes.txt.bz2")) + " -o " + QFolder(Path(L"out"))), 0);
  EXPECT_TRUE(Read(Path(L"out\\notes.txt")) == text);
  EXPECT_EQ(Run("x -f " + Q(Path(L"plain.txt")) + " -o " + QFolder(Path(L"out2"))), 0x8019);
}

TEST_F(TarTest, HostileNamesAndDamagedArchives) {
  Write(Path(L"evil.tar"), TarStored({{"../taresc1.txt", "1"}, {"/abs/taresc2.txt", "2"}, {"C:/taresc3.txt", "3"},
                                      {"ok/../../../taresc4.txt", "4"}, {"C:taresc5.txt", "5"},
                                      {"../../../../../../../../../../taresc6.txt", "6"}}));
  fs::path out = Path(L"deep\\out");
  Run("x -f " + Q(Path(L"evil.tar")) + " -o " + QFolder(out));
  for (auto& entry : fs::recursive_directory_iterator(root_)) {
    if (entry.is_regular_file() && entry.path().extension() == L".txt") {
      EXPECT_EQ(entry.path().wstring().rfind(out.wstring() + L"\\", 0), 0u) << A(entry.path());
    }
  }
  EXPECT_EQ(Read(out / L"abs\\taresc2.txt"), "2");
  EXPECT_EQ(escape_check::EscapedFiles(L"taresc", out.wstring()), std::vector<std::wstring>{});

  MakeTree();
  ASSERT_EQ(Run("c -z -f " + Q(Path(L"a.tgz")) + " -o " + QFolder(Path(L"src")) + " text.txt"), 0);
  std::string bytes = Read(Path(L"a.tgz"));
  Write(Path(L"cut.tgz"), bytes.substr(0, bytes.size() / 2));
  std::string flipped = bytes;
  flipped[bytes.size() / 2] ^= 0x40;
  Write(Path(L"flipped.tgz"), flipped);
  for (const auto* name : {L"cut.tgz", L"flipped.tgz"}) {
    SCOPED_TRACE(A(name));
    std::string output;
    EXPECT_GE(Run("x -f " + Q(Path(name)) + " -o " + QFolder(Path(L"bad")), &output), 0x8000);
    EXPECT_FALSE(output.empty());
    EXPECT_FALSE(fs::exists(Path(L"bad\\text.txt"))) << output;
    EXPECT_FALSE(Tar().Check(A(Path(name)), 2));
  }
  // A read-only archive is not replaced.
  SetFileAttributesW(Path(L"a.tgz").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(Run("c -z -f " + Q(Path(L"a.tgz")) + " -o " + QFolder(Path(L"src")) + " empty.txt"), 0x8027);
  EXPECT_EQ(Read(Path(L"a.tgz")), bytes);
}

}  // namespace
