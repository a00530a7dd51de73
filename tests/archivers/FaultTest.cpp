// Hostile and broken archives against our libraries: each archive is built
// here, byte by byte, so that the fault it provokes can be read from the code.
#include "tests/archivers/ArchiverFixture.h"

#include "../support/EscapeCheck.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace {

ArchiverLibrary& Lha() {
  static ArchiverLibrary library(L"UNLHA32.DLL", "Unlha");
  return library;
}
ArchiverLibrary& Tar() {
  static ArchiverLibrary library(L"TAR32.DLL", "Tar");
  return library;
}
ArchiverLibrary& Unzip() {
  static ArchiverLibrary library(L"UNZIP32.DLL", "UnZip");
  return library;
}
ArchiverLibrary& Rar() {
  static ArchiverLibrary library(L"UNRAR32.DLL", "Unrar");
  return library;
}

struct ZipItem {
  std::string name;  // stored bytes
  std::string data;  // as stored (deflated when method is 8)
  uint32_t size;     // declared original size
  uint32_t crc;
  uint16_t method = 0;
  uint16_t flags = 0;
};

// A plain ZIP: local headers, central directory, end record.
std::string ZipOf(const std::vector<ZipItem>& items) {
  std::string out, central;
  for (const auto& item : items) {
    uint32_t offset = static_cast<uint32_t>(out.size());
    auto common = [&](std::string& h) {
      Put16(h, 20);
      Put16(h, item.flags);
      Put16(h, item.method);
      Put32(h, 0x5A8C6000);  // DOS time and date
      Put32(h, item.crc);
      Put32(h, static_cast<uint32_t>(item.data.size()));
      Put32(h, item.size);
      Put16(h, static_cast<uint32_t>(item.name.size()));
      Put16(h, 0);
    };
    out += "PK\x03\x04";
    common(out);
    out += item.name + item.data;
    central += "PK\x01\x02";
    Put16(central, 20);
    common(central);
    Put16(central, 0);  // comment
    Put16(central, 0);  // disk
    Put16(central, 0);  // internal attributes
    Put32(central, 0);  // external attributes
    Put32(central, offset);
    central += item.name;
  }
  uint32_t at = static_cast<uint32_t>(out.size());
  out += central;
  out += "PK\x05\x06";
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<uint32_t>(items.size()));
  Put16(out, static_cast<uint32_t>(items.size()));
  Put32(out, static_cast<uint32_t>(central.size()));
  Put32(out, at);
  Put16(out, 0);
  return out;
}

uint32_t Crc32(const std::string& data) {
  return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

size_t Count(const fs::path& folder) {
  if (!fs::exists(folder)) return 0;
  return static_cast<size_t>(std::distance(fs::recursive_directory_iterator(folder), fs::recursive_directory_iterator()));
}

class Faults : public ScratchTest {};

// A 256 MiB stream of zeros declared as 10 bytes: stopped at once, nothing kept.
TEST_F(Faults, ZipOutputBeyondTheDeclaredSizeStopsAtOnce) {
  std::string zeros(256u << 20, '\0');
  ZipItem bomb{"bomb.bin", Deflated(zeros, -MAX_WBITS), 10, Crc32(zeros.substr(0, 10)), 8};
  zeros.clear();
  zeros.shrink_to_fit();
  Write(Path(L"bomb.zip"), ZipOf({bomb}));
  ProgressWindow progress;
  ASSERT_TRUE(Unzip().SetOwner(progress.Handle()));
  std::string output;
  DWORD start = GetTickCount();
  EXPECT_GE(Unzip().Command("-x -o " + Q(Path(L"bomb.zip")) + " " + QFolder(Path(L"out")), &output,
                            progress.Handle()),
            0x8000)
      << output;
  Unzip().KillOwner(progress.Handle());
  EXPECT_LT(GetTickCount() - start, 5000u);
  DWORD most = 0;
  for (const auto& report : progress.reports) most = std::max(most, report.record.dwWriteSize);
  EXPECT_LE(most, 1u << 20);
  EXPECT_FALSE(fs::exists(Path(L"out\\bomb.bin")));
}

// A name that is not in the archive is an error in every family, not "done".
TEST_F(Faults, NamesThatMatchNothingAreReported) {
  Write(Path(L"a.lzh"), LhaLevel0Stored({{"here.txt", "1"}}));
  Write(Path(L"a.tar"), TarStored({{"here.txt", "1"}}));
  fs::path rar = fs::path(TAVIX_SOURCE_DIR) / L"tests\\archivers\\cab\\fixtures\\rar5_stored.rar";
  std::string output;
  EXPECT_EQ(Lha().Command("x " + Q(Path(L"a.lzh")) + " " + QFolder(Path(L"o1")) + " missing.txt", &output), 0x8031)
      << output;
  EXPECT_EQ(Tar().Command("-x -f " + Q(Path(L"a.tar")) + " -o " + QFolder(Path(L"o2")) + " missing.txt", &output),
            0x8031)
      << output;
  EXPECT_EQ(Rar().Command("-x " + Q(rar) + " " + QFolder(Path(L"o3")) + " missing.txt", &output), 0x8031) << output;
  EXPECT_EQ(Count(Path(L"o1")) + Count(Path(L"o2")) + Count(Path(L"o3")), 0u);
  // Everything ("*.*") of an archive that has entries is still fine.
  EXPECT_EQ(Lha().Command("x " + Q(Path(L"a.lzh")) + " " + QFolder(Path(L"o4")) + " *.*", &output), 0) << output;
}

// tar overwrites by default; --keep-newer-files keeps a file newer than the
// entry, silently (no report for it).
TEST_F(Faults, TarOverwritesUnlessAskedToKeepNewerFiles) {
  Write(Path(L"a.tar"), TarStored({{"f.txt", "archive"}}));
  std::string line = "-x -f " + Q(Path(L"a.tar")) + " -o " + QFolder(Path(L"out"));
  ASSERT_EQ(Tar().Command(line), 0);
  Write(Path(L"out\\f.txt"), "mine");  // newer than the entry (2023)
  ASSERT_EQ(Tar().Command(line + " --keep-newer-files"), 0);
  EXPECT_EQ(Read(Path(L"out\\f.txt")), "mine");
  ProgressWindow progress;
  ASSERT_TRUE(Tar().SetOwner(progress.Handle()));
  ASSERT_EQ(Tar().Command("--keep-newer-files " + line, nullptr, progress.Handle()), 0);
  for (const auto& report : progress.reports) EXPECT_NE(report.state, 0u) << "a BEGIN report for a skipped file";
  Tar().KillOwner(progress.Handle());
  ASSERT_EQ(Tar().Command(line), 0);
  EXPECT_EQ(Read(Path(L"out\\f.txt")), "archive");
}

// UNRAR32 never asks: without -u an existing file is overwritten, with -u
// only an older one is.
TEST_F(Faults, RarOverwritesUnlessUpdating) {
  fs::path rar = fs::path(TAVIX_SOURCE_DIR) / L"tests\\archivers\\cab\\fixtures\\rar5_stored.rar";
  std::string line = "-x " + Q(rar) + " " + QFolder(Path(L"out"));
  ASSERT_EQ(Rar().Command(line), 0);
  std::vector<fs::path> files;
  for (auto& entry : fs::recursive_directory_iterator(Path(L"out")))
    if (entry.is_regular_file()) files.push_back(entry.path());
  ASSERT_FALSE(files.empty());
  std::string original = Read(files.front());
  Write(files.front(), "mine");  // newer than the entry
  ASSERT_EQ(Rar().Command("-x -u -y " + Q(rar) + " " + QFolder(Path(L"out"))), 0);
  EXPECT_EQ(Read(files.front()), "mine");
  ASSERT_EQ(Rar().Command(line), 0);
  EXPECT_EQ(Read(files.front()), original);
}

// A .tbz whose bzip2 block is damaged must fail, not come out as a copy of
// the compressed bytes.
TEST_F(Faults, DamagedBzip2IsNoSuccess) {
  Write(Path(L"src\\text.txt"), Pattern(50000, 5));
  ASSERT_EQ(Tar().Command("-c -B -f " + Q(Path(L"a.tbz")) + " -o " + QFolder(Path(L"src")) + " text.txt"), 0);
  Write(Path(L"one.txt"), Pattern(50000, 6));
  std::string bytes = Read(Path(L"a.tbz"));
  ASSERT_EQ(bytes.substr(0, 3), "BZh");
  bytes[5] ^= 0x55;  // inside the block magic 31 41 59 26 53 59
  Write(Path(L"bad.tbz"), bytes);
  Write(Path(L"bad.bz2"), bytes);
  for (const auto* name : {L"bad.tbz", L"bad.bz2"}) {
    SCOPED_TRACE(A(name));
    std::string output;
    EXPECT_GE(Tar().Command("-x -f " + Q(Path(name)) + " -o " + QFolder(Path(L"out")), &output), 0x8000) << output;
    EXPECT_GE(Tar().Command("-t -f " + Q(Path(name)), &output), 0x8000) << output;
    EXPECT_FALSE(Tar().Check(A(Path(name)), 2));
    EXPECT_EQ(Count(Path(L"out")), 0u);
  }
}

// A pax header giving the next entry a path of any length.
std::string PaxPath(const std::string& path) {
  std::string body = " path=" + path + "\n";
  size_t length = body.size() + 1;
  while (std::to_string(length).size() + body.size() != length) ++length;
  return TarEntry("PaxHeader", 'x', "", std::to_string(length) + body);
}

// Over-deep and over-long paths are refused before anything is created, and
// one bad entry (a folder where a file is, a device name) costs only itself.
TEST_F(Faults, OneBadEntryCostsOnlyItself) {
  std::string deep;
  for (int i = 0; i < 16000; ++i) deep += "d/";
  std::string longName(300, 'n');
  std::string archive = PaxPath(deep + "deep.txt") + TarEntry("placeholder", '0', "", "deep") +
                        TarEntry("x", '0', "", "file") + TarEntry("x/y.txt", '0', "", "under a file") +
                        PaxPath(longName + "/z.txt") + TarEntry("placeholder", '0', "", "too long") +
                        TarEntry("CON", '0', "", "device") + TarEntry("ok.txt", '0', "", "fine") +
                        std::string(1024, '\0');
  Write(Path(L"bad.tar"), archive);
  ProgressWindow progress;
  ASSERT_TRUE(Tar().SetOwner(progress.Handle()));
  std::string output;
  DWORD start = GetTickCount();
  int code = Tar().Command("-x -f " + Q(Path(L"bad.tar")) + " -o " + QFolder(Path(L"out")), &output, progress.Handle());
  Tar().KillOwner(progress.Handle());
  EXPECT_LT(GetTickCount() - start, 20000u);
  EXPECT_GE(code, 0x8000) << output;
  EXPECT_EQ(Read(Path(L"out\\x")), "file") << code << " " << output;
  EXPECT_EQ(Read(Path(L"out\\_CON")), "device");
  EXPECT_EQ(Read(Path(L"out\\ok.txt")), "fine");
  EXPECT_FALSE(fs::exists(Path(L"out\\d")));  // no folder of the refused deep entry stays
  EXPECT_FALSE(fs::exists(Path(L"out\\" + std::wstring(longName.begin(), longName.end()))));
  EXPECT_EQ(Count(Path(L"out")), 3u);
  EXPECT_NE(output.find("8026"), std::string::npos) << output;
  EXPECT_NE(output.find("8012"), std::string::npos) << output;  // x/y.txt: x is a file
}

// A hard link may copy only a file this extraction wrote, not one that was
// in the destination before.
TEST_F(Faults, HardLinkToAFileAlreadyThereIsNotCopied) {
  Write(Path(L"out\\secret.txt"), "secret");
  Write(Path(L"link.tar"), TarEntry("copy.txt", '1', "secret.txt", "") + TarEntry("own.txt", '0', "", "own") +
                               TarEntry("copy2.txt", '1', "own.txt", "") + std::string(1024, '\0'));
  std::string output;
  EXPECT_NE(Tar().Command("-x -f " + Q(Path(L"link.tar")) + " -o " + QFolder(Path(L"out")), &output), 0) << output;
  EXPECT_FALSE(fs::exists(Path(L"out\\copy.txt")));
  EXPECT_EQ(Read(Path(L"out\\copy2.txt")), "own");
}

// Names outside the code page are listed with '?' (no best-fit look-alike
// such as '\' for '¥'), and the listed name selects the entry it came from
// and no other: each name has a partner that differs only where the '?'
// stand (for ①, in the code page, its best-fit look-alike "1"), stored
// first, so that '?' taken as a wildcard would reach the partner first.
TEST_F(Faults, NamesOutsideTheCodePageSelectOnlyTheirEntryByTheListedName) {
  struct Name {
    const wchar_t* wide;
    const char* utf8;
  } names[] = {{L"a\u00A5b.txt", "a\xC2\xA5" "b.txt"},
               {L"won\u20A9.txt", "won\xE2\x82\xA9.txt"},
               {L"c\u2460.txt", "c\xE2\x91\xA0.txt"},
               {L"e\U0001F600.txt", "e\xF0\x9F\x98\x80.txt"},
               {L"\u4EEC\u8FD9\u4E2A\u5427.txt", "\xE4\xBB\xAC\xE8\xBF\x99\xE4\xB8\xAA\xE5\x90\xA7.txt"}};
  std::vector<ZipItem> items;
  std::vector<std::string> listedNames;
  auto add = [&](const std::string& name, const std::string& data) {
    items.push_back({name, data, static_cast<uint32_t>(data.size()), Crc32(data), 0, 0x800});
  };
  for (size_t i = 0; i < std::size(names); ++i) {
    // What the code page holds stays itself (① is in CP932); the rest is '?'.
    std::string ansi(64, '\0');
    BOOL lossy = FALSE;
    ansi.resize(WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, names[i].wide, -1, ansi.data(), 64, "?", &lossy) - 1);
    listedNames.push_back(ansi);
    std::string partner = ansi;
    std::replace(partner.begin(), partner.end(), '?', 'x');
    if (partner == ansi) partner = "c1.txt";
    add(partner, "partner" + std::to_string(i));
  }
  for (size_t i = 0; i < std::size(names); ++i) add(names[i].utf8, "data" + std::to_string(i));
  Write(Path(L"names.zip"), ZipOf(items));
  auto records = Unzip().List(A(Path(L"names.zip")));
  ASSERT_EQ(records.size(), 2 * std::size(names));
  for (size_t i = 0; i < std::size(names); ++i) {
    SCOPED_TRACE(i);
    std::string listed = records[std::size(names) + i].szFileName;
    EXPECT_EQ(listed.find('\\'), std::string::npos) << listed;
    EXPECT_EQ(listed, listedNames[i]);
    fs::path out = Path(L"out" + std::to_wstring(i));
    std::string output;
    EXPECT_EQ(Unzip().Command("-x -o " + Q(Path(L"names.zip")) + " " + QFolder(out) + " \"" + listed + "\"", &output),
              0)
        << output;
    EXPECT_EQ(Read(out / names[i].wide), "data" + std::to_string(i));
    EXPECT_EQ(Count(out), 1u);
    // The viewer's road (ExtractMem) and the listing asked for that name.
    std::vector<char> buffer(64);
    DWORD written = 0;
    EXPECT_EQ(Unzip().ExtractMem(Q(Path(L"names.zip")) + " \"" + listed + "\"", buffer, &written), 0);
    EXPECT_EQ(std::string(buffer.data(), written), "data" + std::to_string(i));
    auto found = Unzip().List(A(Path(L"names.zip")), listed);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].dwOriginalSize, ("data" + std::to_string(i)).size());
  }
  // A wildcard is still one: "*.txt" takes all, "?" in a name no entry is listed under matches any character.
  std::string output;
  EXPECT_EQ(Unzip().Command("-x -o " + Q(Path(L"names.zip")) + " " + QFolder(Path(L"all")) + " *.txt", &output), 0)
      << output;
  EXPECT_EQ(Count(Path(L"all")), 2 * std::size(names));
  EXPECT_EQ(Unzip().List(A(Path(L"names.zip")), "wo??.txt").size(), 2u);
}

// The families that keep names in the code page: a literal '?' (Unix names
// may hold one) listed and sent back selects that entry only, for extraction,
// ExtractMem and deletion; the partner stands first.
TEST_F(Faults, ListedNamesWithALiteralQuestionMarkSelectOnlyTheirEntry) {
  Write(Path(L"q.lzh"), LhaLevel0Stored({{"axb.txt", "partner"}, {"a?b.txt", "literal"}, {"sub\\a?b.txt", "deep"}}));
  Write(Path(L"q.tar"), TarStored({{"axb.txt", "partner"}, {"a?b.txt", "literal"}}));
  std::string output;
  EXPECT_EQ(Lha().Command("x " + Q(Path(L"q.lzh")) + " " + QFolder(Path(L"lzh")) + " \"a?b.txt\"", &output), 0)
      << output;
  EXPECT_EQ(Count(Path(L"lzh")), 1u);
  EXPECT_EQ(Read(Path(L"lzh\\a_b.txt")), "literal");
  // -p0: the name matches in every folder, still literally.
  EXPECT_EQ(Lha().Command("x -p0 " + Q(Path(L"q.lzh")) + " " + QFolder(Path(L"p0")) + " \"a?b.txt\"", &output), 0)
      << output;
  EXPECT_EQ(Count(Path(L"p0")), 3u);  // a_b.txt, sub, sub\a_b.txt
  EXPECT_FALSE(fs::exists(Path(L"p0\\axb.txt")));
  std::vector<char> buffer(64);
  DWORD written = 0;
  EXPECT_EQ(Lha().ExtractMem(Q(Path(L"q.lzh")) + " \"a?b.txt\"", buffer, &written), 0);
  EXPECT_EQ(std::string(buffer.data(), written), "literal");
  EXPECT_EQ(Tar().ExtractMem("-x -f " + Q(Path(L"q.tar")) + " \"a?b.txt\"", buffer, &written), 0);
  EXPECT_EQ(std::string(buffer.data(), written), "literal");
  // A name no entry is listed under is a wildcard, in memory too: the first match.
  EXPECT_EQ(Lha().ExtractMem(Q(Path(L"q.lzh")) + " \"a?c.txt\"", buffer, &written), 0x8031);
  EXPECT_EQ(Tar().ExtractMem("-x -f " + Q(Path(L"q.tar")) + " \"?xb.txt\"", buffer, &written), 0);
  EXPECT_EQ(std::string(buffer.data(), written), "partner");
  EXPECT_EQ(Lha().Command("d " + Q(Path(L"q.lzh")) + " \"a?b.txt\"", &output), 0) << output;
  auto left = Lha().List(A(Path(L"q.lzh")));
  ASSERT_EQ(left.size(), 2u);
  EXPECT_STREQ(left[0].szFileName, "axb.txt");
  EXPECT_STREQ(left[1].szFileName, "sub\\a?b.txt");
}

// Hostile names of every kind stay inside the destination: checked on the
// whole Wine drive and the host's root, not only in the scratch folder.
TEST_F(Faults, HostileNamesStayInsideOnTheWholeDrive) {
  const std::string marker = "esc4fault";
  std::vector<std::pair<std::string, std::string>> entries;
  for (const char* form : {"..\\..\\..\\..\\..\\..\\..\\..\\%s1", "C:\\%s2", "\\%s3", "C:%s4", "Z:\\%s5",
                           "\\\\?\\C:\\%s6", "..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\users\\%s7"}) {
    char name[128];
    std::snprintf(name, sizeof name, form, marker.c_str());
    entries.push_back({name, "x"});
  }
  Write(Path(L"evil.lzh"), LhaLevel0Stored(entries));
  std::vector<std::pair<std::string, std::string>> tarEntries;
  for (auto [name, data] : entries) {
    std::replace(name.begin(), name.end(), '\\', '/');
    tarEntries.push_back({name, data});
  }
  Write(Path(L"evil.tar"), TarStored(tarEntries));
  fs::path out = Path(L"dest");
  Lha().Command("x -x1 -jf1 -c1 " + Q(Path(L"evil.lzh")) + " " + QFolder(out) + " *.*");
  Tar().Command("-x -f " + Q(Path(L"evil.tar")) + " -o " + QFolder(out));
  std::wstring wideMarker(marker.begin(), marker.end());
  EXPECT_EQ(escape_check::EscapedFiles(wideMarker, out.wstring()), std::vector<std::wstring>{});
  EXPECT_GE(Count(out), 1u);
}

// The smaller faults: an LZH symbolic link is refused like the other
// families' links, a ZIP whose entries share one local header is refused, an
// LZH entry without a name is a broken header, and COM¹ is a device name.
TEST_F(Faults, LinksSharedEntriesEmptyNamesAndSuperscriptDevices) {
  Write(Path(L"link.lzh"), LhaLevel0Stored({{"link|../../target", ""}, {"ok.txt", "fine"}}));
  std::string output;
  EXPECT_EQ(Lha().Command("x " + Q(Path(L"link.lzh")) + " " + QFolder(Path(L"out")) + " *.*", &output), 0x8023)
      << output;
  EXPECT_EQ(Read(Path(L"out\\ok.txt")), "fine");
  EXPECT_EQ(Count(Path(L"out")), 1u) << "the link left a file";

  std::string c = "c";
  Write(Path(L"device.zip"), ZipOf({{"COM\xC2\xB9.txt", c, 1, Crc32(c), 0, 0x800},
                                    {"LPT\xC2\xB3", c, 1, Crc32(c), 0, 0x800}}));
  EXPECT_EQ(Unzip().Command("-x -o " + Q(Path(L"device.zip")) + " " + QFolder(Path(L"dout")), &output), 0) << output;
  EXPECT_EQ(Read(Path(L"dout") / L"_COM\u00B9.txt"), "c");
  EXPECT_EQ(Read(Path(L"dout") / L"_LPT\u00B3"), "c");

  std::string data = "shared";
  ZipItem item{"a.txt", data, static_cast<uint32_t>(data.size()), Crc32(data)};
  std::string zip = ZipOf({item, item});
  // Point the second central record at the first local header.
  size_t second = zip.rfind("PK\x01\x02");
  ASSERT_NE(second, std::string::npos);
  std::memset(&zip[second + 42], 0, 4);
  Write(Path(L"shared.zip"), zip);
  EXPECT_GE(Unzip().Command("-x -o " + Q(Path(L"shared.zip")) + " " + QFolder(Path(L"zout")), &output), 0x8000)
      << output;
  EXPECT_EQ(Count(Path(L"zout")), 0u);

  Write(Path(L"noname.lzh"), LhaLevel0Stored({{"first.txt", "1"}, {"", "x"}}));
  EXPECT_EQ(Lha().List(A(Path(L"noname.lzh"))).size(), 1u);
  EXPECT_EQ(Lha().Command("x " + Q(Path(L"noname.lzh")) + " " + QFolder(Path(L"nout")) + " *.*", &output), 0x8017)
      << output;
  EXPECT_EQ(Lha().Command("t " + Q(Path(L"noname.lzh")), &output), 0x8017) << output;
}

}  // namespace
