// The self-extractor stubs, run as a user's self-extracting program would be:
// stub + archive in one .exe, started silently with a destination.
#include "archivers/bga/BgaFormat.h"
#include "archivers/sfx/SfxStubs.h"
#include "tests/archivers/bga/TestFiles.h"
#include "../../support/EscapeCheck.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <functional>
#include <vector>

namespace {

using namespace testfiles;
using Files = std::vector<std::pair<std::string, std::string>>;  // stored name (UTF-8) -> contents

const Files& Sample() {
  static const Files files = {
      {"readme.txt", "read me\r\n"},
      {"docs/manual.txt", std::string(70000, 'm') + "end"},
      {"docs/deep/日本語.txt", "にほんご"},
      {"empty.dat", ""},
  };
  return files;
}

std::wstring Utf8(const std::string& text) {
  int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), n);
  wide.resize(n > 0 ? n - 1 : 0);
  return wide;
}

std::map<std::wstring, std::string> Expected(const Files& files) {
  std::map<std::wstring, std::string> tree;
  for (auto& [name, bytes] : files) {
    std::wstring path = Utf8(name);
    for (auto& c : path) c = c == L'/' ? L'\\' : c;
    tree[path] = bytes;
  }
  return tree;
}

// ---- archives made in memory ----

std::string WithLibarchive(const std::function<void(struct archive*)>& format, const Files& files) {
  std::setlocale(LC_ALL, "");
  struct archive* a = archive_write_new();
  format(a);
  std::vector<char> buffer(4 << 20);
  size_t used = 0;
  EXPECT_EQ(archive_write_open_memory(a, buffer.data(), buffer.size(), &used), ARCHIVE_OK);
  for (auto& [name, bytes] : files) {
    struct archive_entry* entry = archive_entry_new();
    archive_entry_copy_pathname_w(entry, Utf8(name).c_str());
    archive_entry_set_filetype(entry, AE_IFREG);
    archive_entry_set_perm(entry, 0644);
    archive_entry_set_size(entry, static_cast<la_int64_t>(bytes.size()));
    archive_entry_set_mtime(entry, 1700000000, 0);
    EXPECT_EQ(archive_write_header(a, entry), ARCHIVE_OK) << name;
    archive_write_data(a, bytes.data(), bytes.size());
    archive_entry_free(entry);
  }
  archive_write_close(a);
  archive_write_free(a);
  return std::string(buffer.data(), used);
}

std::string Zip(const Files& files) {
  return WithLibarchive(
      [](struct archive* a) {
        archive_write_set_format_zip(a);
        archive_write_set_options(a, "zip:hdrcharset=UTF-8");
      },
      files);
}

std::string StoredZip(const Files& files) {
  return WithLibarchive(
      [](struct archive* a) {
        archive_write_set_format_zip(a);
        archive_write_set_options(a, "zip:hdrcharset=UTF-8,zip:compression=store");
      },
      files);
}

std::string Tar(const Files& files) {
  return WithLibarchive([](struct archive* a) { archive_write_set_format_pax_restricted(a); }, files);
}

std::string Tgz(const Files& files) {
  return WithLibarchive(
      [](struct archive* a) {
        archive_write_set_format_pax_restricted(a);
        archive_write_add_filter_gzip(a);
      },
      files);
}

std::string Bga(const Files& files, bga::Method method) {
  std::FILE* out = std::tmpfile();
  for (auto& [name, bytes] : files) {
    std::wstring wide = Utf8(name);
    size_t slash = wide.find_last_of(L'/');
    std::wstring folder = slash == std::wstring::npos ? L"" : wide.substr(0, slash + 1);
    for (auto& c : folder) c = c == L'/' ? L'\\' : c;
    std::FILE* in = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), in);
    std::fflush(in);
    _fseeki64(in, 0, SEEK_SET);
    EXPECT_EQ(bga::WriteEntry(out, in, bytes.size(), method, 6, Ansi(folder), Ansi(wide.substr(slash + 1)), 0x5A21,
                              0, 0x20, nullptr),
              bga::Result::Ok);
    std::fclose(in);
  }
  std::string bytes(static_cast<size_t>(_ftelli64(out)), '\0');
  _fseeki64(out, 0, SEEK_SET);
  std::fread(bytes.data(), 1, bytes.size(), out);
  std::fclose(out);
  return bytes;
}

void Put16(std::string& s, uint16_t v) { s.append(reinterpret_cast<const char*>(&v), 2); }
void Put32(std::string& s, uint32_t v) { s.append(reinterpret_cast<const char*>(&v), 4); }

// A cabinet with one uncompressed folder and one data block (names in ANSI).
std::string Cab(const Files& files) {
  std::string names, data;
  std::string fileTable;
  for (auto& [name, bytes] : files) {
    std::wstring wide = Utf8(name);
    for (auto& c : wide) c = c == L'/' ? L'\\' : c;
    Put32(fileTable, static_cast<uint32_t>(bytes.size()));
    Put32(fileTable, static_cast<uint32_t>(data.size()));
    Put16(fileTable, 0);       // folder 0
    Put16(fileTable, 0x5A21);  // date
    Put16(fileTable, 0);       // time
    Put16(fileTable, 0x20);    // attributes
    fileTable += Ansi(wide) + '\0';
    data += bytes;
  }
  std::string blocks;
  size_t blockCount = 0;
  for (size_t at = 0; at < data.size() || blockCount == 0; at += 32768) {
    size_t size = std::min<size_t>(32768, data.size() - at);
    Put32(blocks, 0);  // no checksum
    Put16(blocks, static_cast<uint16_t>(size));
    Put16(blocks, static_cast<uint16_t>(size));
    blocks += data.substr(at, size);
    ++blockCount;
  }
  const uint32_t headerSize = 36, folderSize = 8;
  uint32_t filesAt = headerSize + folderSize;
  uint32_t dataAt = filesAt + static_cast<uint32_t>(fileTable.size());
  std::string cab = "MSCF";
  Put32(cab, 0);
  Put32(cab, dataAt + static_cast<uint32_t>(blocks.size()));
  Put32(cab, 0);
  Put32(cab, filesAt);
  Put32(cab, 0);
  cab += '\x03';
  cab += '\x01';
  Put16(cab, 1);
  Put16(cab, static_cast<uint16_t>(files.size()));
  Put16(cab, 0);
  Put16(cab, 0x1234);
  Put16(cab, 0);
  Put32(cab, dataAt);
  Put16(cab, static_cast<uint16_t>(blockCount));
  Put16(cab, 0);  // no compression
  return cab + fileTable + blocks;
}

// What "-A" does to a ZIP behind a stub: every offset counts from the start of the program.
void AdjustZipOffsets(std::string& program, size_t stubSize) {
  size_t end = program.rfind(std::string("PK\x05\x06", 4));
  ASSERT_NE(end, std::string::npos);
  uint32_t directory;
  uint16_t count;
  std::memcpy(&count, program.data() + end + 10, 2);
  std::memcpy(&directory, program.data() + end + 16, 4);
  size_t at = stubSize + directory;
  for (uint16_t i = 0; i < count; ++i) {
    ASSERT_EQ(program.compare(at, 4, std::string("PK\x01\x02", 4)), 0);
    uint32_t local;
    uint16_t nameLength, extraLength, commentLength;
    std::memcpy(&nameLength, program.data() + at + 28, 2);
    std::memcpy(&extraLength, program.data() + at + 30, 2);
    std::memcpy(&commentLength, program.data() + at + 32, 2);
    std::memcpy(&local, program.data() + at + 42, 4);
    local += static_cast<uint32_t>(stubSize);
    std::memcpy(program.data() + at + 42, &local, 4);
    at += 46 + nameLength + extraLength + commentLength;
  }
  directory += static_cast<uint32_t>(stubSize);
  std::memcpy(program.data() + end + 16, &directory, 4);
}

// ---- stubs ----

fs::path FindStub(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  if (SearchPathW(nullptr, name, nullptr, MAX_PATH, path, nullptr) == 0) return {};
  return path;
}

class SfxStubs : public ::testing::Test {
 protected:
  fs::path MakeProgram(const wchar_t* stubName, const std::string& archive, const std::wstring& name = L"x.exe") {
    fs::path stub = FindStub(stubName);
    EXPECT_FALSE(stub.empty()) << "stub not on the PATH";
    fs::path archivePath = scratch / L"archive.bin";
    WriteFile(archivePath, archive);
    fs::path program = scratch / name;
    EXPECT_EQ(sfx::JoinStubAndArchive(stub.wstring(), archivePath.wstring(), program.wstring()), 0u);
    return program;
  }
  int RunSilently(const fs::path& program, const fs::path& destination, const std::wstring& more = L"") {
    return RunProgram(L"\"" + program.wstring() + L"\" /s " + more + L" /d \"" + destination.wstring() + L"\"");
  }
  ScratchFolder scratch;
};

struct Family {
  const char* name;
  std::function<std::string(const Files&)> make;
};

TEST_F(SfxStubs, GuiStubExtractsEveryFamily) {
  const Family families[] = {
      {"zip", Zip},
      {"tar", Tar},
      {"tgz", Tgz},
      {"cab", Cab},
      {"gza", [](const Files& f) { return Bga(f, bga::Method::Deflate); }},
      {"bza", [](const Files& f) { return Bga(f, bga::Method::Bzip2); }},
  };
  for (const Family& family : families) {
    fs::path program = MakeProgram(sfx::GuiStub, family.make(Sample()), Utf8(family.name) + L".exe");
    fs::path out = scratch / (L"out-" + Utf8(family.name));
    EXPECT_EQ(RunSilently(program, out), 0) << family.name;
    EXPECT_EQ(Tree(out), Expected(Sample())) << family.name;
  }
}

TEST_F(SfxStubs, LzhSampleExtractsAsLibarchiveReadsIt) {
  fs::path sample = fs::path(Utf8(TAVIX_SOURCE_DIR)) / L"samples" / L"sample.lzh";
  // Z: is the Linux root under Wine.
  std::wstring windowsPath = L"Z:" + sample.wstring();
  for (auto& c : windowsPath) c = c == L'/' ? L'\\' : c;
  std::string lzh = ReadFile(windowsPath);
  ASSERT_FALSE(lzh.empty());
  std::map<std::wstring, std::string> expected;
  std::setlocale(LC_ALL, "");
  struct archive* a = archive_read_new();
  archive_read_support_format_lha(a);
  archive_read_set_options(a, "hdrcharset=CP932");
  ASSERT_EQ(archive_read_open_memory(a, lzh.data(), lzh.size()), ARCHIVE_OK);
  struct archive_entry* entry;
  while (archive_read_next_header(a, &entry) == ARCHIVE_OK) {
    std::wstring name = archive_entry_pathname_w(entry);
    for (auto& c : name) c = c == L'/' ? L'\\' : c;
    std::string bytes(static_cast<size_t>(archive_entry_size(entry)), '\0');
    archive_read_data(a, bytes.data(), bytes.size());
    expected[name] = bytes;
  }
  archive_read_free(a);
  ASSERT_EQ(expected.size(), 4u);

  fs::path program = MakeProgram(sfx::GuiStub, lzh, L"lzh.exe");
  EXPECT_EQ(RunSilently(program, scratch / L"gui"), 0);
  EXPECT_EQ(Tree(scratch / L"gui"), expected);
  fs::path console = MakeProgram(sfx::ConsoleStub, lzh, L"LONGARCH.exe");
  EXPECT_EQ(RunProgram(L"\"" + console.wstring() + L"\" -s \"" + (scratch / L"console").wstring() + L"\""), 0);
  EXPECT_EQ(Tree(scratch / L"console"), expected);
}

TEST_F(SfxStubs, ZipWithAdjustedOffsetsAndTarUnderItsOwnName) {
  fs::path stub = FindStub(sfx::GuiStub);
  ASSERT_FALSE(stub.empty());
  std::string program = ReadFile(stub) + Zip(Sample());
  AdjustZipOffsets(program, static_cast<size_t>(fs::file_size(stub)));
  WriteFile(scratch / L"adjusted.exe", program);
  EXPECT_EQ(RunSilently(scratch / L"adjusted.exe", scratch / L"zip"), 0);
  EXPECT_EQ(Tree(scratch / L"zip"), Expected(Sample()));

  fs::path tar = MakeProgram(sfx::TarStub, Tgz(Sample()), L"tgz.exe");
  EXPECT_EQ(RunSilently(tar, scratch / L"tgz"), 0);
  EXPECT_EQ(Tree(scratch / L"tgz"), Expected(Sample()));
}

TEST_F(SfxStubs, ExistingFilesAreKeptUnlessOverwriteIsAsked) {
  fs::path program = MakeProgram(sfx::GuiStub, Zip(Sample()));
  fs::path out = scratch / L"out";
  WriteFile(out / L"readme.txt", "mine");
  EXPECT_EQ(RunSilently(program, out), 0);
  EXPECT_EQ(ReadFile(out / L"readme.txt"), "mine");
  EXPECT_EQ(ReadFile(out / L"empty.dat"), "");
  EXPECT_EQ(RunSilently(program, out, L"/o"), 0);
  EXPECT_EQ(ReadFile(out / L"readme.txt"), "read me\r\n");
}

TEST_F(SfxStubs, DamagedArchivesWriteNothing) {
  const std::string zip = StoredZip(Sample()), gza = Bga(Sample(), bga::Method::Deflate), tgz = Tgz(Sample());
  struct Case {
    const char* what;
    std::string archive;
  } cases[] = {
      {"zip data", std::string(zip).replace(zip.find("mmmm") + 100, 1, "\x5A")},
      {"zip truncated", zip.substr(0, zip.size() / 2)},
      {"bga data of the last entry", std::string(gza).replace(gza.size() - 6, 1, "\x01")},
      {"bga header of the second entry", std::string(gza).replace(gza.find("docs") - 28 + 2, 1, "\x7F")},
      {"tgz truncated", tgz.substr(0, tgz.size() - 30)},
      {"nothing appended", std::string()},
      {"garbage appended", std::string(5000, 'g')},
  };
  for (const Case& c : cases) {
    for (const wchar_t* stub : {sfx::GuiStub, sfx::ConsoleStub}) {
      fs::path program = MakeProgram(stub, c.archive);
      fs::path out = scratch / L"out";
      int code = stub == sfx::GuiStub
                     ? RunSilently(program, out)
                     : RunProgram(L"\"" + program.wstring() + L"\" -s \"" + out.wstring() + L"\"");
      EXPECT_EQ(code, 2) << c.what;
      EXPECT_TRUE(Tree(out).empty()) << c.what;
      fs::remove_all(out);
    }
  }
}

TEST_F(SfxStubs, HostileNamesStayInsideTheDestination) {
  Files hostile = {
      {"../sfxesc1.txt", "1"},        {"../../sfxesc2.txt", "2"}, {"/sfxesc3.txt", "3"},
      {"C:/Windows/sfxesc4.txt", "4"}, {"ok/../../sfxesc5.txt", "5"}, {"aux.txt", "6"},
      {"C:sfxesc7.txt", "7"}, {"../../../../../../../../../../sfxesc8.txt", "8"},
  };
  fs::path program = MakeProgram(sfx::GuiStub, Zip(hostile));
  fs::path out = scratch / L"a\\b\\dest";
  EXPECT_EQ(RunSilently(program, out), 0);
  EXPECT_EQ(Tree(out).size(), hostile.size());
  for (auto& [name, bytes] : Tree(scratch.Path())) {
    if (fs::path(name).extension() == L".exe" || name == L"archive.bin") continue;
    EXPECT_EQ(name.rfind(L"a\\b\\dest\\", 0), 0u) << "written outside: " << fs::path(name).string();
  }
  EXPECT_EQ(escape_check::EscapedFiles(L"sfxesc", out.wstring()), std::vector<std::wstring>{});
}

}  // namespace
