// The drivers end to end through the archive component, with our own
// archiver libraries (bin/archivers): create, list, extract, delete and
// self-extractors for ZIP, the TAR family, CAB and BGA; reading RAR.
#include "engine/ArchiveFile.h"
#include "drivers/DriverTable.h"
#include "tests/drivers/DriverTestSupport.h"
#include "../support/EscapeCheck.h"
#include "engine/TextUtil.h"
#include "drivers/Zip.h"

#include <algorithm>
#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// The Linux path of a Windows path, through Wine's own conversion.
std::string UnixPath(const std::string& path) {
  using Convert = char*(CDECL*)(LPCWSTR);
  auto convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (convert == nullptr) return "<not under Wine>";
  std::wstring wide(path.begin(), path.end());
  char* unix = convert(wide.c_str());
  if (unix == nullptr) return "<no Linux path>";
  std::string result = unix;
  HeapFree(GetProcessHeap(), 0, unix);
  return result;
}

// Runs a Linux command line (an independent judge) through the shell and
// returns what it printed. Wine does not hand a Linux process our pipes or
// tell us its end, so the output goes to a file that appears when the
// command is done.
std::string RunJudge(const std::string& command, const std::string& folder) {
  static int serial = 0;
  std::string done = folder + "\\judge-" + std::to_string(++serial) + ".txt";
  std::string unixDone = UnixPath(done);
  std::string script = command + " >'" + unixDone + ".part' 2>&1; mv '" + unixDone + ".part' '" +
                       unixDone + "'";
  std::string line = "Z:\\bin\\sh -c \"" + script + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA("Z:\\bin\\sh", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return "<the shell did not start>";
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  for (int waited = 0; waited < 600 && !Exists(done); ++waited) Sleep(100);  // a poll, at most 60 s; no answer fails below
  if (!Exists(done)) return "<no answer from: " + command + ">";
  return ReadBytes(done);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

// The entry names of an archive as lhasa (LZH) or unzip (ZIP) list them.
std::vector<std::string> JudgedNames(const std::string& archive, const std::string& folder) {
  std::string unix = "'" + UnixPath(archive) + "'";
  std::vector<std::string> names;
  if (ArchiveKindFromExtension(archive) == atLha) {
    // "lq" prints one line per entry; the name starts after the time stamp.
    for (const auto& line : Lines(RunJudge("/usr/bin/lhasa lq " + unix, folder)))
      names.push_back(line.size() > 51 ? line.substr(51) : "<short line: " + line + ">");
  } else {
    names = Lines(RunJudge("/usr/bin/unzip -Z1 " + unix, folder));
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A ZIP of stored entries with the given names, written byte by byte so
// that no tool refuses the hostile ones.
std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& entries) {
  using Crc = DWORD(WINAPI*)(DWORD, const BYTE*, unsigned);
  auto crc32 = reinterpret_cast<Crc>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlComputeCrc32")));
  auto put = [](std::string& out, DWORD value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  std::string data, directory;
  for (const auto& [name, text] : entries) {
    DWORD crc = crc32(0, reinterpret_cast<const BYTE*>(text.data()), static_cast<unsigned>(text.size()));
    DWORD offset = static_cast<DWORD>(data.size());
    put(data, 0x04034B50, 4);
    put(data, 10, 2), put(data, 0, 2), put(data, 0, 2), put(data, 0, 2), put(data, 0x5021, 2);
    put(data, crc, 4), put(data, text.size(), 4), put(data, text.size(), 4);
    put(data, name.size(), 2), put(data, 0, 2);
    data += name + text;
    put(directory, 0x02014B50, 4);
    put(directory, 20, 2), put(directory, 10, 2), put(directory, 0, 2), put(directory, 0, 2);
    put(directory, 0, 2), put(directory, 0x5021, 2);
    put(directory, crc, 4), put(directory, text.size(), 4), put(directory, text.size(), 4);
    put(directory, name.size(), 2), put(directory, 0, 2), put(directory, 0, 2);
    put(directory, 0, 2), put(directory, 0, 2), put(directory, 0, 4), put(directory, offset, 4);
    directory += name;
  }
  std::string end;
  put(end, 0x06054B50, 4), put(end, 0, 2), put(end, 0, 2);
  put(end, entries.size(), 2), put(end, entries.size(), 2);
  put(end, directory.size(), 4), put(end, data.size(), 4), put(end, 0, 2);
  return data + directory + end;
}

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    CreateDirectoryA((root / "src").c_str(), nullptr);
    CreateDirectoryA((root / "src\\sub").c_str(), nullptr);
    CreateDirectoryA((root / "out").c_str(), nullptr);
    WriteBytes(root / "src\\a.txt", "alpha");
    WriteBytes(root / "src\\big.bin", std::string(300000, 'b'));
    WriteBytes(root / "src\\sub\\c.txt", "gamma");
    WriteBytes(root / "src\\sub\\[x].txt", "bracket");
    arc.SetOutputSize(4096);
  }

  // Adds every file below src, keeping the folders.
  int AddAll(const std::string& archive) {
    arc.SetFileName(archive);
    auto options = MakeOptions([](auto& o) { o.x = 1, o.r = 1; });
    return arc.Add(nullptr, &options, root / "src", {std::string("*.*")});
  }

  std::vector<std::string> List(const std::string& archive) {
    arc.SetFileName(archive);
    std::vector<std::string> names;
    if (arc.OpenArchive(nullptr, 1) != 0) return {"<not opened>"};
    TIndividualInfo record{};
    for (int found = arc.FindFirst("*.*", &record); found == 0; found = arc.FindNext(&record)) {
      std::string name = record.szFileName;
      std::replace(name.begin(), name.end(), '\\', '/');
      if (!name.empty() && name.back() != '/') names.push_back(name);
    }
    arc.CloseArchive();
    std::sort(names.begin(), names.end());
    return names;
  }

  int ExtractTo(const std::string& folder, const TNameList& names = {}) {
    auto options = MakeOptions([](auto& o) { o.x = 1, o.c = 1; });
    return arc.Extract(nullptr, &options, folder, names);
  }

  void ExpectSourcesIn(const std::string& folder) {
    EXPECT_EQ(ReadBytes(folder + "\\a.txt"), "alpha");
    EXPECT_EQ(ReadBytes(folder + "\\big.bin"), std::string(300000, 'b'));
    EXPECT_EQ(ReadBytes(folder + "\\sub\\c.txt"), "gamma");
    EXPECT_EQ(ReadBytes(folder + "\\sub\\[x].txt"), "bracket");
  }

  const std::vector<std::string> allNames{"a.txt", "big.bin", "sub/[x].txt", "sub/c.txt"};
  ScratchFolder root;
  TArchiveFile arc;
};

TEST_F(EndToEnd, ZipCreateListExtractDeleteThroughZip32j) {
  std::string archive = root / "t.zip";
  ASSERT_EQ(AddAll(archive), 0) << arc.LastCommandLine();
  EXPECT_EQ(arc.LastCommandLine().rfind(" -D", 0), 0u) << "ZIP32J's road: " << arc.LastCommandLine();
  EXPECT_EQ(List(archive), allNames);
  ASSERT_EQ(ExtractTo(root / "out"), 0) << arc.OutputText();
  ExpectSourcesIn(root / "out");
  // One entry by its name: the bracket must not act as a wildcard.
  ASSERT_EQ(ExtractTo(root / "one", {std::string("sub/[x].txt")}), 0) << arc.LastCommandLine();
  EXPECT_EQ(ReadBytes(root / "one\\sub\\[x].txt"), "bracket");
  EXPECT_FALSE(Exists(root / "one\\sub\\c.txt"));
  ASSERT_EQ(arc.Delete(nullptr, nullptr, "", {std::string("big.bin")}), 0) << arc.OutputText();
  EXPECT_EQ(List(archive), (std::vector<std::string>{"a.txt", "sub/[x].txt", "sub/c.txt"}));
  // Adding to an existing archive keeps what is in it.
  WriteBytes(root / "src\\late.txt", "late");
  arc.SetFileName(archive);
  auto options = MakeOptions([](auto& o) { o.x = 1; });
  ASSERT_EQ(arc.Add(nullptr, &options, root / "src", {std::string("late.txt")}), 0);
  EXPECT_EQ(List(archive),
            (std::vector<std::string>{"a.txt", "late.txt", "sub/[x].txt", "sub/c.txt"}));
}

TEST_F(EndToEnd, ZipMemoryExtractionAndCheck) {
  std::string archive = root / "m.zip";
  ASSERT_EQ(AddAll(archive), 0);
  TCZIP32& zip = dynamic_cast<TCZIP32&>(*arc.Archiver());
  BYTE buffer[16] = {};
  DWORD written = 0;
  ASSERT_EQ(zip.ExtractMem(nullptr, archive, TArchiverOptions(), R"(sub\c.txt)", buffer,
                           sizeof buffer, &written),
            0)
      << zip.LastCommandLine;
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), written), "gamma");
  EXPECT_TRUE(zip.CheckArchive(archive, 1, 0));
  WriteBytes(root / "bad.zip", "PK not really");
  EXPECT_FALSE(zip.CheckArchive(root / "bad.zip", 1, 0));
}

TEST_F(EndToEnd, ZipSelfExtractorIsFoundByItsContent) {
  std::string archive = root / "s.zip";
  ASSERT_EQ(AddAll(archive), 0);
  auto options = MakeOptions([](auto& o) { o.gw = 1; });
  CreateDirectoryA((root / "sfx").c_str(), nullptr);
  ASSERT_EQ(arc.MakeSfx(nullptr, &options, root / "sfx"), 0)
      << arc.LastCommandLine() << " " << arc.OutputText();
  EXPECT_EQ(arc.LastCommandLine(), "-A " + root / "sfx\\s.EXE");
  EXPECT_EQ(ArchiveKindFromContent(root / "sfx\\s.EXE"), atZip);
  EXPECT_EQ(List(root / "sfx\\s.EXE"), allNames);
  EXPECT_EQ(arc.ArchiverType(), atZip);
}

TEST_F(EndToEnd, TarFamilyCreateListExtractAndTellApart) {
  struct Case {
    const char* file;
    TArchiverType kind;
  } const cases[] = {{"t.tar", atTar}, {"t.tgz", atTgz}, {"t.bz2", atBZ2}};
  for (const auto& c : cases) {
    std::string archive = root / c.file;
    ASSERT_EQ(AddAll(archive), 0) << arc.LastCommandLine() << " " << arc.OutputText();
    EXPECT_EQ(arc.ArchiverType(), c.kind);
    EXPECT_EQ(List(archive), allNames) << c.file;
    std::string out = root / (std::string("out-") + c.file);
    ASSERT_EQ(ExtractTo(out), 0) << arc.LastCommandLine() << " " << arc.OutputText();
    ExpectSourcesIn(out);
    std::string renamed = root / (std::string(c.file) + ".exe");
    ASSERT_TRUE(CopyFileA(archive.c_str(), renamed.c_str(), FALSE));
    EXPECT_EQ(ArchiveKindFromContent(renamed), c.kind) << c.file;
  }
}

TEST_F(EndToEnd, TgzSelfExtractorJoinsKmtarsef) {
  std::string archive = root / "k.tgz";
  ASSERT_EQ(AddAll(archive), 0);
  ASSERT_EQ(arc.MakeSfx(nullptr, nullptr, ""), 0);
  std::string made = ReadBytes(root / "k.EXE");
  std::string tgz = ReadBytes(archive);
  ASSERT_GT(made.size(), tgz.size());
  EXPECT_EQ(made.substr(0, 2), "MZ");
  EXPECT_EQ(made.substr(made.size() - tgz.size()), tgz);
}

TEST_F(EndToEnd, CabCreateListExtract) {
  std::string archive = root / "t.cab";
  ASSERT_EQ(AddAll(archive), 0) << arc.LastCommandLine() << " " << arc.OutputText();
  EXPECT_EQ(List(archive), allNames);
  ASSERT_EQ(ExtractTo(root / "out"), 0) << arc.LastCommandLine() << " " << arc.OutputText();
  ExpectSourcesIn(root / "out");
  EXPECT_EQ(ArchiveKindFromContent(archive), atCab);
}

TEST_F(EndToEnd, BgaCreateListExtractDeleteAndSelfExtractor) {
  std::string archive = root / "t.gza";
  ASSERT_EQ(AddAll(archive), 0) << arc.LastCommandLine() << " " << arc.OutputText();
  EXPECT_EQ(List(archive), allNames);
  ASSERT_EQ(ExtractTo(root / "out"), 0) << arc.LastCommandLine() << " " << arc.OutputText();
  ExpectSourcesIn(root / "out");
  ASSERT_EQ(arc.Delete(nullptr, nullptr, "", {std::string("big.bin")}), 0) << arc.OutputText();
  EXPECT_EQ(List(archive), (std::vector<std::string>{"a.txt", "sub/[x].txt", "sub/c.txt"}));
  arc.SetFileName(archive);
  ASSERT_EQ(arc.MakeSfx(nullptr, nullptr, root / "sfx"), 0)
      << arc.LastCommandLine() << " " << arc.OutputText();
  EXPECT_TRUE(Exists(root / "sfx\\t.exe"));
}

TEST_F(EndToEnd, RarListsAndExtractsButRefusesWriting) {
  std::string fixture = TAVIX_SOURCE_DIR "/tests/archivers/cab/fixtures/rar5_multiple_files.rar";
  std::replace(fixture.begin(), fixture.end(), '/', '\\');
  std::string archive = root / "r.rar";
  ASSERT_TRUE(CopyFileA(fixture.c_str(), archive.c_str(), FALSE)) << fixture;
  auto names = List(archive);
  ASSERT_FALSE(names.empty());
  ASSERT_NE(names[0], "<not opened>");
  ASSERT_EQ(ExtractTo(root / "out"), 0) << arc.LastCommandLine() << " " << arc.OutputText();
  for (const auto& name : names) EXPECT_TRUE(Exists(root / "out\\" + name)) << name;
  EXPECT_EQ(ArchiveKindFromContent(archive), atRar);
  EXPECT_ARCHIVER_ERROR(arc.Add(nullptr, nullptr, root / "src", {std::string("a.txt")}), EArchiver,
                        L"この形式では書庫ファイルの作成をサポートしておりません。");
}

// The extraction step asks to overwrite with c 1, m 0 and not to with c 0,
// m 1: a file the user changed is replaced in the first case and kept in the
// second, for every read-only family too.
TEST_F(EndToEnd, OverwriteChoiceHoldsForRarAndTheTarFamily) {
  std::string fixture = TAVIX_SOURCE_DIR "/tests/archivers/cab/fixtures/rar5_multiple_files.rar";
  std::replace(fixture.begin(), fixture.end(), '/', '\\');
  ASSERT_TRUE(CopyFileA(fixture.c_str(), (root / "r.rar").c_str(), FALSE)) << fixture;
  for (const char* file : {"r.rar", "t.tar", "t.tgz", "t.bz2"}) {
    std::string archive = root / file;
    std::string entry = "a.txt";
    if (ArchiveKindFromExtension(archive) == atRar) {
      auto names = List(archive);
      ASSERT_FALSE(names.empty()) << file;
      entry = names[0];
      std::replace(entry.begin(), entry.end(), '/', '\\');
    } else {
      ASSERT_EQ(AddAll(archive), 0) << arc.LastCommandLine() << " " << arc.OutputText();
    }
    arc.SetFileName(archive);
    std::string out = root / (std::string("over-") + file);
    auto overwrite = MakeOptions([](auto& o) { o.x = 1, o.c = 1, o.m = 0; });
    auto keep = MakeOptions([](auto& o) { o.x = 1, o.c = 0, o.m = 1; });
    ASSERT_EQ(arc.Extract(nullptr, &overwrite, out, {}), 0) << file << " " << arc.OutputText();
    std::string original = ReadBytes(out + "\\" + entry);
    ASSERT_NE(original, "<missing>") << file << " " << entry;

    WriteBytes(out + "\\" + entry, "changed by the user");
    EXPECT_EQ(arc.Extract(nullptr, &overwrite, out, {}), 0) << file << " " << arc.OutputText();
    EXPECT_TRUE(ReadBytes(out + "\\" + entry) == original)
        << file << " overwrite on: " << arc.LastCommandLine();

    WriteBytes(out + "\\" + entry, "changed by the user");
    EXPECT_LT(arc.Extract(nullptr, &keep, out, {}), 0x8012) << file << " " << arc.OutputText();
    EXPECT_EQ(ReadBytes(out + "\\" + entry), "changed by the user")
        << file << " overwrite off: " << arc.LastCommandLine();
  }
}

// Names beginning with "-" or "@" are files like any other: the collected
// "@list" must not make the library read "list" as a list of names, a name
// the caller marked "-gb" must be added without its mark, and nothing the
// user did not choose may go in. Judged by lhasa and unzip.
TEST_F(EndToEnd, NamesBeginningWithDashOrAtAddExactlyThoseFiles) {
  std::string src = root / "names";
  CreateDirectoryA(src.c_str(), nullptr);
  WriteBytes(src + "\\-x.txt", "dash");
  WriteBytes(src + "\\-y.txt", "marked");
  WriteBytes(src + "\\@list", "at");
  WriteBytes(src + "\\list", "secret.txt\r\n");
  WriteBytes(src + "\\secret.txt", "not chosen");
  // The library reads a response file against the current folder.
  InFolder in(src);
  for (const char* file : {"n.lzh", "n.zip"}) {
    std::string archive = root / file;
    arc.SetFileName(archive);
    auto options = MakeOptions([](auto& o) { o.x = 1; });
    ASSERT_EQ(arc.Add(nullptr, &options, src,
                      {std::string("@list"), std::string("-x.txt"), std::string("-gb-y.txt")}),
              0)
        << file << " " << arc.LastCommandLine() << " " << arc.OutputText();
    EXPECT_EQ(JudgedNames(archive, root.Path()), (std::vector<std::string>{"-x.txt", "-y.txt", "@list"}))
        << file << " " << arc.LastCommandLine();
  }
}

// Entry names that climb out, name a root or a drive are written inside the
// destination or not at all, through the engine as the program extracts.
TEST_F(EndToEnd, HostileZipNamesStayInsideTheDestination) {
  const std::string marker = "tvxengdrv" + std::to_string(GetCurrentProcessId());
  std::string archive = root / "hostile.zip";
  WriteBytes(archive, StoredZip({{"good.txt", "good"},
                                 {"../" + marker + "-up.txt", "x"},
                                 {"../../" + marker + "-upup.txt", "x"},
                                 {"/" + marker + "-root.txt", "x"},
                                 {"\\" + marker + "-backroot.txt", "x"},
                                 {"C:/" + marker + "-drive.txt", "x"},
                                 {"C:" + marker + "-driverel.txt", "x"},
                                 {"sub/../../" + marker + "-mid.txt", "x"}}));
  arc.SetFileName(archive);
  std::string out = root / "deep\\out";
  ASSERT_TRUE(CreateDirectoryA((root / "deep").c_str(), nullptr));
  InFolder in(root / "deep");  // a drive-relative name must not land here either
  auto options = MakeOptions([](auto& o) { o.x = 1, o.c = 1; });
  arc.Extract(nullptr, &options, out, {});
  EXPECT_EQ(ReadBytes(out + "\\good.txt"), "good") << arc.OutputText();
  std::wstring wideMarker(marker.begin(), marker.end());
  std::wstring wideOut(out.begin(), out.end());
  auto escaped = escape_check::EscapedFiles(wideMarker, wideOut);
  for (const auto& path : escaped) ADD_FAILURE() << "escaped: " << WideToAnsi(path);
}

}  // namespace
