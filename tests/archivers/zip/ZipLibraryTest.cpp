// Our ZIP libraries through their exported entries, as Tavix calls them:
// round trips, the switches Tavix sends, bad input and cancelling. The
// libraries are loaded from bin/archivers (on the test's PATH).
#include "archivers/core/ArcApi.h"
#include "archivers/zip/ZipFormat.h"
#include "archivers/zip/ZipReader.h"
#include "../../support/EscapeCheck.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <functional>
#include <string>
#include <vector>

namespace {

using Record = INDIVIDUALINFO;

using Command = int(WINAPI*)(HWND, LPCSTR, LPSTR, DWORD);
using OpenArchive = HGLOBAL(WINAPI*)(HWND, LPCSTR, DWORD);
using CloseArchive = int(WINAPI*)(HGLOBAL);
using FindFirst = int(WINAPI*)(HGLOBAL, LPCSTR, Record*);
using FindNext = int(WINAPI*)(HGLOBAL, Record*);
using GetTime = BOOL(WINAPI*)(HGLOBAL, FILETIME*);
using CheckArchive = BOOL(WINAPI*)(LPCSTR, int);
using ExtractMem = int(WINAPI*)(HWND, LPCSTR, LPBYTE, DWORD, time_t*, LPWORD, LPDWORD);
using SetOwner = BOOL(WINAPI*)(HWND, void*);
using KillOwner = BOOL(WINAPI*)(HWND);

std::string Ansi(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string s(n, '\0');
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, s.data(), n, nullptr, nullptr);
  s.resize(n - 1);
  return s;
}

struct Library {
  HMODULE module;
  explicit Library(const char* file) : module(LoadLibraryA(file)) {}
  template <typename F>
  F Get(const char* name) const {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  }
};

const Library& Unzip32() {
  static Library library("UNZIP32.DLL");
  return library;
}
const Library& Zip32j() {
  static Library library("ZIP32J.DLL");
  return library;
}
const Library& Qxzip32() {
  static Library library("QXZIP32.DLL");
  return library;
}

struct Result {
  int code;
  std::string output;
};
Result Call(const Library& library, const char* entry, const std::string& line) {
  auto command = library.Get<Command>(entry);
  EXPECT_NE(command, nullptr) << entry;
  if (command == nullptr) return {-1, ""};
  std::vector<char> out(8192, '\x7F');
  int code = command(nullptr, line.c_str(), out.data(), static_cast<DWORD>(out.size()));
  return {code, out.data()};
}
Result Zip(const std::string& line) { return Call(Zip32j(), "Zip", line); }
Result UnZip(const std::string& line) { return Call(Unzip32(), "UnZip", line); }

std::string Quote(const std::string& path) { return "\"" + path + "\""; }

std::string ReadAll(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  std::string data;
  char block[65536];
  DWORD got = 0;
  while (ReadFile(file, block, sizeof block, &got, nullptr) && got > 0) data.append(block, got);
  CloseHandle(file);
  return data;
}

void WriteAll(const std::string& path, const std::string& data) {
  size_t slash = path.find_last_of('\\');
  for (size_t i = path.find('\\', 3); i != std::string::npos && i <= slash; i = path.find('\\', i + 1))
    CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD done = 0;
  WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &done, nullptr);
  CloseHandle(file);
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void SetTime(const std::string& path, int64_t unix) {
  HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  FILETIME t = zip::UnixToFileTime(unix);
  SetFileTime(file, nullptr, nullptr, &t);
  CloseHandle(file);
}

std::string Text(size_t size, unsigned seed = 1) {
  std::string s;
  while (s.size() < size) s += "line " + std::to_string(seed++ % 997) + " of some compressible text\r\n";
  s.resize(size);
  return s;
}
std::string Noise(size_t size) {
  std::string s(size, '\0');
  uint32_t x = 2463534242u;
  for (auto& c : s) x ^= x << 13, x ^= x >> 17, x ^= x << 5, c = static_cast<char>(x);
  return s;
}

std::vector<std::string> FilesBelow(const std::string& folder) {
  std::vector<std::string> found;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return found;
  do {
    std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      for (auto& sub : FilesBelow(folder + "\\" + name)) found.push_back(name + "\\" + sub);
    } else {
      found.push_back(name);
    }
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return found;
}

void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::string name = data.cFileName, path = folder + "\\" + name;
      if (name == "." || name == "..") continue;
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(path);
      else DeleteFileA(path.c_str());
    } while (FindNextFileA(find, &data));
    FindClose(find);
  }
  RemoveDirectoryA(folder.c_str());
}

std::vector<Record> List(const Library& library, const char* prefix, const std::string& archive,
                         const char* wildcard = "*.*") {
  std::string p = prefix;
  auto open = library.Get<OpenArchive>((p + "OpenArchive").c_str());
  auto first = library.Get<FindFirst>((p + "FindFirst").c_str());
  auto next = library.Get<FindNext>((p + "FindNext").c_str());
  auto close = library.Get<CloseArchive>((p + "CloseArchive").c_str());
  std::vector<Record> records;
  if (!open || !first || !next || !close) {
    ADD_FAILURE() << "listing entries missing for " << prefix;
    return records;
  }
  HGLOBAL handle = open(nullptr, archive.c_str(), 0x00800002);
  if (handle == nullptr) return records;
  Record r;
  for (int found = first(handle, wildcard, &r); found == 0; found = next(handle, &r)) records.push_back(r);
  close(handle);
  return records;
}

class ZipTest : public testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    dir = std::string(temp) + "tavix-zip-" + std::to_string(GetCurrentProcessId()) + "-" +
          testing::UnitTest::GetInstance()->current_test_info()->name();
    RemoveTree(dir);
    CreateDirectoryA(dir.c_str(), nullptr);
    src = dir + "\\src";
    out = dir + "\\out";
    archive = dir + "\\test.zip";
  }
  void TearDown() override { RemoveTree(dir); }
  // A small tree: text, noise, an empty file, brackets and Japanese names.
  void MakeTree() {
    WriteAll(src + "\\a.txt", Text(200000));
    WriteAll(src + "\\noise.bin", Noise(70000));
    WriteAll(src + "\\empty.txt", "");
    WriteAll(src + "\\sub\\[x].txt", "bracket");
    WriteAll(src + "\\sub\\" + Ansi(L"日本語のファイル.txt"), "japanese");
  }
  std::string dir, src, out, archive;
};

TEST(ZipEnvironment, AnsiCodePageIs932) { EXPECT_EQ(GetACP(), 932u); }

TEST(ZipEntries, EachLibraryExportsItsSet) {
  const char* unzip32[] = {"UnZip", "UnZipOpenArchive", "UnZipFindFirst", "UnZipFindNext", "UnZipCloseArchive",
                           "UnzipGetWriteTimeEx", "UnZipGetCreateTimeEx", "UnZipGetAccessTimeEx",
                           "UnZipCheckArchive", "UnZipExtractMem", "UnZipSetOwnerWindowEx", "UnZipKillOwnerWindowEx"};
  for (auto name : unzip32) EXPECT_NE(GetProcAddress(Unzip32().module, name), nullptr) << name;
  EXPECT_EQ(GetProcAddress(Unzip32().module, "Zip"), nullptr);
  const char* zip32j[] = {"Zip", "UnZipOpenArchive", "UnZipFindFirst", "UnZipFindNext", "UnZipCloseArchive",
                          "UnzipGetWriteTimeEx", "UnZipCheckArchive", "UnZipExtractMem", "ZipSetOwnerWindowEx"};
  for (auto name : zip32j) EXPECT_NE(GetProcAddress(Zip32j().module, name), nullptr) << name;
  EXPECT_EQ(GetProcAddress(Zip32j().module, "UnZip"), nullptr);
  const char* qxzip32[] = {"Zip", "Unzip", "UnzipOpenArchive", "UnzipFindFirst", "UnzipFindNext",
                           "UnzipCloseArchive", "UnzipGetWriteTimeEx", "UnzipGetCreateTimeEx",
                           "UnzipCheckArchive", "UnzipExtractMem", "UnzipSetOwnerWindowEx"};
  for (auto name : qxzip32) EXPECT_NE(GetProcAddress(Qxzip32().module, name), nullptr) << name;
  EXPECT_EQ(GetProcAddress(Qxzip32().module, "UnZip"), nullptr);
}

TEST_F(ZipTest, RoundTripKeepsBytesNamesAndTimes) {
  MakeTree();
  SetTime(src + "\\a.txt", 1600000000);
  Result made = Zip("-r -9 -D " + Quote(archive) + " " + Quote(src + "\\") + " *.*");
  ASSERT_EQ(made.code, 0) << made.output;
  auto records = List(Zip32j(), "UnZip", archive);
  ASSERT_EQ(records.size(), 5u);
  std::map<std::string, Record> byName;
  for (auto& r : records) byName[r.szFileName] = r;
  ASSERT_TRUE(byName.count("sub/" + Ansi(L"日本語のファイル.txt")));  // CP932 bytes in the record
  const Record& a = byName.at("a.txt");
  std::string text = Text(200000);
  EXPECT_EQ(a.dwOriginalSize, 200000u);
  EXPECT_EQ(a.dwCRC, crc32(0, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size())));
  EXPECT_LT(a.dwCompressedSize, a.dwOriginalSize / 4);
  EXPECT_STREQ(a.szMode, "Defl:X");
  EXPECT_EQ(a.wRatio, a.dwCompressedSize * 1000 / a.dwOriginalSize);
  EXPECT_STREQ(byName.at("noise.bin").szMode, "Stored");  // deflate could not shrink it

  Result done = UnZip("-x -o " + Quote(archive) + " " + Quote(out + "\\"));
  ASSERT_EQ(done.code, 0) << done.output;
  for (auto& name : FilesBelow(src)) EXPECT_EQ(ReadAll(out + "\\" + name), ReadAll(src + "\\" + name)) << name;
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExA((out + "\\a.txt").c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(zip::FileTimeToUnix(data.ftLastWriteTime), 1600000000);
}

TEST_F(ZipTest, QxZip32CreatesWithRuAndExtractsWithUnzip) {
  MakeTree();
  ASSERT_EQ(Call(Qxzip32(), "Zip", "-ru -j " + Quote(archive) + " " + Quote(src + "\\a.txt")).code, 0);
  ASSERT_EQ(Call(Qxzip32(), "Zip", "-ru -j " + Quote(archive) + " " + Quote(src + "\\empty.txt")).code, 0);
  auto records = List(Qxzip32(), "Unzip", archive);
  ASSERT_EQ(records.size(), 2u);  // -ru on an existing archive adds, it does not start over
  Result done = Call(Qxzip32(), "Unzip", "-x -o " + Quote(archive) + " " + Quote(out + "\\"));
  EXPECT_EQ(done.code, 0) << done.output;
  EXPECT_EQ(ReadAll(out + "\\a.txt"), Text(200000));
}

TEST_F(ZipTest, BracketNamesAsTavixConvertsThem) {
  MakeTree();
  // Tavix turns sub\[x].txt into sub/[[]x].txt for both directions.
  ASSERT_EQ(Zip("-D " + Quote(archive) + " " + Quote(src + "\\") + " sub/[[]x].txt").code, 0);
  ASSERT_EQ(Zip("-D " + Quote(archive) + " " + Quote(src + "\\") + " a.txt").code, 0);
  Result done = UnZip("-x -o " + Quote(archive) + " " + Quote(out + "\\") + " sub/[[]x].txt");
  ASSERT_EQ(done.code, 0) << done.output;
  EXPECT_EQ(FilesBelow(out), std::vector<std::string>{"sub\\[x].txt"});
}

// A selection of thousands of plain names, escaped brackets, a wildcard and a
// listed name ('?' for a character the code page lacks) takes exactly what
// trying each pattern in turn takes.
TEST(ZipSelection, ThousandsOfNamesSelectWhatEachPatternSelects) {
  zip::Directory directory;
  std::vector<std::wstring> names;
  for (int i = 0; i < 5000; ++i) {
    zip::Entry e;
    e.name = "d" + std::to_string(i % 40) + "/File" + std::to_string(i) + ".txt";
    directory.entries.push_back(e);
    if (i % 1000 != 7) names.push_back(L"D" + std::to_wstring(i % 40) + L"\\file" + std::to_wstring(i) + L".TXT");
  }
  for (const char* extra : {"sub/[x].txt", "pics/a.jpg", "pics/b.png", "\xe2\x82\xa9won.txt"}) {
    zip::Entry e;
    e.name = extra;
    e.flags = zip::FlagUtf8;
    directory.entries.push_back(e);
  }
  names.push_back(L"sub/[[]x].txt");
  names.push_back(L"pics\\*.jpg");
  names.push_back(L"?won.txt");
  zip::ZipPatterns selection(names, directory);
  int selected = 0;
  for (const auto& e : directory.entries) {
    std::wstring name = e.WideName();
    bool one_by_one = false;
    for (const auto& pattern : names) one_by_one = one_by_one || zip::ZipWildcard(pattern, name);
    if (name == L"\u20a9won.txt") one_by_one = true;  // taken as its listed name
    EXPECT_EQ(selection.Matches(name), one_by_one) << name;
    selected += selection.Matches(name) ? 1 : 0;
  }
  EXPECT_EQ(selected, 5000 - 5 + 3);
}

TEST_F(ZipTest, ResponseFilesAndDashNames) {
  WriteAll(src + "\\-dash.txt", "dash");
  WriteAll(src + "\\@at.txt", "at");
  WriteAll(src + "\\" + Ansi(L"表示.txt"), "kanji");
  std::string list = dir + "\\list.txt";
  WriteAll(list, "\"-dash.txt\"\r\n" + Ansi(L"表示.txt") + "\r\n");
  ASSERT_EQ(Zip(Quote(archive) + " " + Quote(src + "\\") + " @" + list + " -gb@at.txt").code, 0);
  std::vector<std::string> names;
  for (auto& r : List(Zip32j(), "UnZip", archive)) names.push_back(r.szFileName);
  std::sort(names.begin(), names.end());
  std::vector<std::string> expected = {"-dash.txt", "@at.txt", Ansi(L"表示.txt")};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
  ASSERT_EQ(Zip("-d " + Quote(archive) + " -gb-dash.txt").code, 0);
  EXPECT_EQ(List(Zip32j(), "UnZip", archive).size(), 2u);
}

TEST_F(ZipTest, LevelSwitchChoosesTheMethod) {
  WriteAll(src + "\\a.txt", Text(100000));
  struct Case {
    const char* level;
    const char* mode;
  } cases[] = {{"-0", "Stored"}, {"-1", "Defl:S"}, {"-2", "Defl:F"}, {"-6", "Defl:N"}, {"-9", "Defl:X"}};
  for (auto& c : cases) {
    DeleteFileA(archive.c_str());
    ASSERT_EQ(Zip(std::string(c.level) + " " + Quote(archive) + " " + Quote(src + "\\") + " a.txt").code, 0);
    auto records = List(Zip32j(), "UnZip", archive);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_STREQ(records[0].szMode, c.mode) << c.level;
  }
}

// One deflate state serves every entry of an archive; each entry must still
// be what a fresh one writes: files added in one call give the same archive,
// byte for byte, as the same files added one call each, at every level.
TEST_F(ZipTest, EntriesAddedTogetherMatchEntriesAddedOneByOne) {
  const size_t sizes[] = {700000, 5000, 20, 40000, 3, 300000};
  std::string all;
  for (size_t i = 0; i < std::size(sizes); ++i) {
    WriteAll(src + "\\f" + std::to_string(i) + ".txt", Text(sizes[i], static_cast<unsigned>(i + 3)));
    all += " f" + std::to_string(i) + ".txt";
  }
  for (const char* level : {"-1", "-6", "-9"}) {
    std::string together = dir + "\\together" + level + ".zip", single = dir + "\\single" + level + ".zip";
    ASSERT_EQ(Zip(std::string(level) + " " + Quote(together) + " " + Quote(src + "\\") + all).code, 0);
    for (size_t i = 0; i < std::size(sizes); ++i)
      ASSERT_EQ(Zip(std::string(level) + " " + Quote(single) + " " + Quote(src + "\\") + " f" + std::to_string(i) + ".txt").code, 0);
    ASSERT_EQ(List(Zip32j(), "UnZip", together).size(), std::size(sizes)) << level;
    EXPECT_TRUE(ReadAll(together) == ReadAll(single)) << level;
  }
}

TEST_F(ZipTest, FolderSwitchesWhenAdding) {
  MakeTree();
  WriteAll(src + "\\sub\\hidden.txt", "h");
  SetFileAttributesA((src + "\\sub\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
  struct Case {
    const char* switches;
    std::vector<std::string> names;
  } cases[] = {
      {"-r -D", {"sub/[x].txt", "sub/" + Ansi(L"日本語のファイル.txt")}},
      {"-r -D -S", {"sub/[x].txt", "sub/hidden.txt", "sub/" + Ansi(L"日本語のファイル.txt")}},
      {"-r", {"sub/", "sub/[x].txt", "sub/" + Ansi(L"日本語のファイル.txt")}},
      {"-r -D -j", {"[x].txt", Ansi(L"日本語のファイル.txt")}},
  };
  for (auto& c : cases) {
    DeleteFileA(archive.c_str());
    Result made = Zip(std::string(c.switches) + " " + Quote(archive) + " " + Quote(src + "\\") + " sub");
    ASSERT_EQ(made.code, 0) << c.switches << made.output;
    std::vector<std::string> names;
    for (auto& r : List(Zip32j(), "UnZip", archive)) names.push_back(r.szFileName);
    std::sort(names.begin(), names.end());
    std::sort(c.names.begin(), c.names.end());
    EXPECT_EQ(names, c.names) << c.switches;
  }
}

TEST_F(ZipTest, UpdateFreshenAndDelete) {
  MakeTree();
  ASSERT_EQ(Zip("-D " + Quote(archive) + " " + Quote(src + "\\") + " a.txt empty.txt").code, 0);
  WriteAll(src + "\\a.txt", "newer");
  SetTime(src + "\\a.txt", 2000000000);
  WriteAll(src + "\\empty.txt", "older");
  SetTime(src + "\\empty.txt", 1000000000);
  // -f: replaces a.txt (newer), keeps empty.txt (older), adds nothing new.
  ASSERT_EQ(Zip("-f -D " + Quote(archive) + " " + Quote(src + "\\") + " a.txt empty.txt noise.bin").code, 0);
  auto records = List(Zip32j(), "UnZip", archive);
  ASSERT_EQ(records.size(), 2u);
  ASSERT_EQ(UnZip("-x -o " + Quote(archive) + " " + Quote(out + "\\")).code, 0);
  EXPECT_EQ(ReadAll(out + "\\a.txt"), "newer");
  EXPECT_EQ(ReadAll(out + "\\empty.txt"), "");
  // -u adds new files too.
  ASSERT_EQ(Zip("-u -D " + Quote(archive) + " " + Quote(src + "\\") + " noise.bin").code, 0);
  EXPECT_EQ(List(Zip32j(), "UnZip", archive).size(), 3u);
  // -d of a name that is not there changes nothing and says so.
  std::string before = ReadAll(archive);
  EXPECT_EQ(Zip("-d " + Quote(archive) + " nothere.txt").code, 0x8031);
  EXPECT_EQ(ReadAll(archive), before);
  ASSERT_EQ(Zip("-d " + Quote(archive) + " a.txt noise.bin").code, 0);
  records = List(Zip32j(), "UnZip", archive);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_STREQ(records[0].szFileName, "empty.txt");
  // Deleting the last entry removes the archive.
  ASSERT_EQ(Zip("-d " + Quote(archive) + " *.*").code, 0);
  EXPECT_FALSE(Exists(archive));
}

TEST_F(ZipTest, PasswordRoundTripThroughExtractMem) {
  WriteAll(src + "\\a.txt", Text(5000));
  ASSERT_EQ(Zip("-P secret " + Quote(archive) + " " + Quote(src + "\\") + " a.txt").code, 0);
  auto extract = Unzip32().Get<ExtractMem>("UnZipExtractMem");
  std::vector<BYTE> buffer(10000);
  DWORD written = 0;
  struct Case {
    const char* password;
    int code;
  } cases[] = {{"-Psecret ", 0}, {"", 0x800A}, {"-Pwrong ", 0x800A}};
  for (auto& c : cases) {
    std::string line = std::string(c.password) + Quote(archive) + " a.txt";
    EXPECT_EQ(extract(nullptr, line.c_str(), buffer.data(), 10000, nullptr, nullptr, &written), c.code) << line;
  }
  EXPECT_EQ(extract(nullptr, ("-Psecret " + Quote(archive) + " a.txt").c_str(), buffer.data(), 10000, nullptr,
                    nullptr, &written), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.data()), written), Text(5000));
  // A buffer too small holds the beginning and says so.
  EXPECT_EQ(extract(nullptr, ("-Psecret " + Quote(archive) + " a.txt").c_str(), buffer.data(), 100, nullptr,
                    nullptr, &written), 0x801D);
  EXPECT_EQ(written, 100u);
}

TEST_F(ZipTest, ArchiveTimeAndDosNames) {
  WriteAll(src + "\\LongFileName.text", "x");
  SetTime(src + "\\LongFileName.text", 1500000000);
  ASSERT_EQ(Zip("-o -k " + Quote(archive) + " " + Quote(src + "\\") + " LongFileName.text").code, 0);
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExA(archive.c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(zip::FileTimeToUnix(data.ftLastWriteTime), 1500000000);
  auto records = List(Zip32j(), "UnZip", archive);
  ASSERT_EQ(records.size(), 1u);
  std::string name = records[0].szFileName;
  EXPECT_LE(name.size(), 12u) << name;
  EXPECT_EQ(name, Ansi(std::wstring(name.begin(), name.end())));
  for (char c : name) EXPECT_FALSE(c >= 'a' && c <= 'z') << name;
}

TEST_F(ZipTest, SelfExtractorStubAdjustAndCheck) {
  MakeTree();
  ASSERT_EQ(Zip("-r -D " + Quote(archive) + " " + Quote(src + "\\") + " *.*").code, 0);
  std::string exe = dir + "\\sfx.exe", stub = Noise(3000);
  WriteAll(exe, stub + ReadAll(archive));
  auto check = Unzip32().Get<CheckArchive>("UnZipCheckArchive");
  EXPECT_TRUE(check(exe.c_str(), 16));
  EXPECT_EQ(List(Unzip32(), "UnZip", exe).size(), 5u);
  ASSERT_EQ(Zip("-A " + exe).code, 0);  // Tavix sends the path unquoted
  zip::File file;
  zip::Directory directory;
  std::string message;
  ASSERT_TRUE(file.OpenRead(std::wstring(exe.begin(), exe.end())));
  ASSERT_EQ(zip::ReadDirectory(file, directory, message), zip::ReadResult::Ok);
  EXPECT_EQ(directory.bias, 0);
  EXPECT_EQ(directory.prefixSize, 3000u);
  file.Close();
  EXPECT_EQ(ReadAll(exe).substr(0, 3000), stub);
  ASSERT_EQ(UnZip("-x -o " + Quote(exe) + " " + Quote(out + "\\")).code, 0);
  EXPECT_EQ(ReadAll(out + "\\a.txt"), Text(200000));
}

TEST_F(ZipTest, MoreThan65535EntriesUseZip64Records) {
  {
    zip::File file;
    ASSERT_TRUE(file.Create(std::wstring(archive.begin(), archive.end())));
    zip::Writer writer(file);
    for (int i = 0; i < 70000; ++i) {
      zip::Entry e;
      e.name = "d" + std::to_string(i) + "/";
      e.externalAttributes = FILE_ATTRIBUTE_DIRECTORY;
      ASSERT_EQ(writer.Add(e, nullptr, 6, "", nullptr), zip::Writer::AddResult::Ok);
    }
    ASSERT_TRUE(writer.Finish(""));
  }
  auto records = List(Unzip32(), "UnZip", archive);
  ASSERT_EQ(records.size(), 70000u);
  EXPECT_STREQ(records.back().szFileName, "d69999/");
}

// ---------------------------------------------------------------- bad input

TEST_F(ZipTest, DamagedArchivesFailCleanly) {
  MakeTree();
  ASSERT_EQ(Zip("-r -D " + Quote(archive) + " " + Quote(src + "\\") + " *.*").code, 0);
  std::string good = ReadAll(archive);
  auto check = Unzip32().Get<CheckArchive>("UnZipCheckArchive");
  struct Case {
    const char* what;
    std::string bytes;
    bool listable;     // the directory reads (CheckArchive's first level too)
    bool headersFound;  // CheckArchive's second level
  } cases[] = {
      {"truncated", good.substr(0, good.size() / 2), false, false},
      {"tail cut", good.substr(0, good.size() - 10), false, false},
      {"not a zip", Noise(5000), false, false},
      {"empty file", "", false, false},
      {"data damaged", good, true, true},
      {"local header damaged", good, true, false},
  };
  // Damage inside a.txt's deflate data (it starts near the front), and a.txt's
  // local header signature.
  cases[4].bytes[200] ^= 0x55;
  cases[4].bytes[201] ^= 0x55;
  cases[5].bytes[0] = 'X';
  for (auto& c : cases) {
    std::string damaged = dir + "\\damaged.zip";
    WriteAll(damaged, c.bytes);
    RemoveTree(out);
    Result result = UnZip("-x -o " + Quote(damaged) + " " + Quote(out + "\\") + " a.txt");
    EXPECT_GE(result.code, 0x8000) << c.what;
    EXPECT_FALSE(result.output.empty()) << c.what;
    EXPECT_FALSE(Exists(out + "\\a.txt")) << c.what;  // nothing half written is left
    EXPECT_EQ(!List(Unzip32(), "UnZip", damaged).empty(), c.listable) << c.what;
    EXPECT_EQ(check(damaged.c_str(), 2) != FALSE, false) << c.what;  // every CRC
    EXPECT_EQ(check(damaged.c_str(), 0) != FALSE, c.listable) << c.what;
    EXPECT_EQ(check(damaged.c_str(), 1) != FALSE, c.headersFound) << c.what;
  }
}

TEST_F(ZipTest, FixSwitchSalvagesADamagedArchive) {
  MakeTree();
  ASSERT_EQ(Zip("-D " + Quote(archive) + " " + Quote(src + "\\") + " a.txt empty.txt").code, 0);
  std::string cut = ReadAll(archive);
  cut.resize(cut.size() - 30);  // the end record is gone
  WriteAll(archive, cut);
  Result plain = Zip("-D " + Quote(archive) + " " + Quote(src + "\\") + " noise.bin");
  EXPECT_EQ(plain.code, 0x8019) << plain.output;  // no end record: not recognised as a ZIP
  EXPECT_EQ(ReadAll(archive), cut);  // the old file stays as it was
  Result fixed = Zip("-FF -D " + Quote(archive) + " " + Quote(src + "\\") + " noise.bin");
  ASSERT_EQ(fixed.code, 0) << fixed.output;
  EXPECT_EQ(List(Zip32j(), "UnZip", archive).size(), 3u);
  ASSERT_EQ(UnZip("-x -o " + Quote(archive) + " " + Quote(out + "\\")).code, 0);
  EXPECT_EQ(ReadAll(out + "\\a.txt"), Text(200000));
}

TEST_F(ZipTest, HostileNamesStayInsideTheDestination) {
  const char* hostile[] = {"../zipesc1.txt", "..\\zipesc2.txt", "C:/zipesc3.txt", "/zipesc4.txt",
                           "a/../../zipesc5.txt", "sub/../../../zipesc6.txt", "\\\\server\\share\\zipesc7.txt",
                           "C:zipesc8.txt", "../../../../../../../../../../zipesc9.txt", "ok.txt"};
  {
    WriteAll(src + "\\payload", "payload");
    zip::File file, payload;
    ASSERT_TRUE(file.Create(std::wstring(archive.begin(), archive.end())));
    zip::Writer writer(file);
    for (auto name : hostile) {
      ASSERT_TRUE(payload.OpenRead(std::wstring(src.begin(), src.end()) + L"\\payload"));
      zip::Entry e;
      e.name = name;
      e.size = 7;
      e.dosDate = 0x5021;
      ASSERT_EQ(writer.Add(e, &payload, 6, "", nullptr), zip::Writer::AddResult::Ok);
    }
    ASSERT_TRUE(writer.Finish(""));
  }
  std::string inner = out + "\\inner";
  UnZip("-x -o " + Quote(archive) + " " + Quote(inner + "\\"));
  auto files = FilesBelow(out);
  for (auto& f : files) EXPECT_EQ(f.rfind("inner\\", 0), 0u) << f;  // nothing beside the destination
  EXPECT_EQ(escape_check::EscapedFiles(L"zipesc", std::wstring(inner.begin(), inner.end())),
            std::vector<std::wstring>{});
  EXPECT_EQ(ReadAll(inner + "\\ok.txt"), "payload");
  EXPECT_EQ(ReadAll(inner + "\\zipesc1.txt"), "payload");  // kept, but inside
}

TEST_F(ZipTest, LongNamesAreCutSafelyInRecords) {
  std::string longAscii(600, 'n');
  std::string longJapanese;
  for (int i = 0; i < 300; ++i) longJapanese += Ansi(L"表");  // 0x95 0x5C: a trail byte that looks like '\'
  WriteAll(src + "\\payload", "x");
  {
    zip::File file, payload;
    ASSERT_TRUE(file.Create(std::wstring(archive.begin(), archive.end())));
    zip::Writer writer(file);
    for (auto& name : {longAscii, longJapanese}) {
      ASSERT_TRUE(payload.OpenRead(std::wstring(src.begin(), src.end()) + L"\\payload"));
      zip::Entry e;
      e.name = name;
      e.size = 1;
      ASSERT_EQ(writer.Add(e, &payload, 6, "", nullptr), zip::Writer::AddResult::Ok);
    }
    ASSERT_TRUE(writer.Finish(""));
  }
  auto records = List(Unzip32(), "UnZip", archive);
  ASSERT_EQ(records.size(), 2u);
  for (auto& r : records) {
    size_t length = strnlen(r.szFileName, sizeof r.szFileName);
    EXPECT_LE(length, 512u);
    EXPECT_EQ(r.szFileName[length], '\0');
    EXPECT_STREQ(r.szAttribute, "--A--");  // the field after the name is intact
  }
  EXPECT_EQ(std::string(records[0].szFileName), longAscii.substr(0, 512));
  EXPECT_EQ(strlen(records[1].szFileName), 512u);  // 256 whole characters, none split
  EXPECT_EQ(std::string(records[1].szFileName), longJapanese.substr(0, 512));
  Result result = UnZip("-x -o " + Quote(archive) + " " + Quote(out + "\\"));
  EXPECT_NE(result.code, 0);  // Windows cannot hold such a name: an error, not a crash
}

TEST_F(ZipTest, ReadOnlyTargetsFailAndKeepTheOldFiles) {
  MakeTree();
  ASSERT_EQ(Zip("-D " + Quote(archive) + " " + Quote(src + "\\") + " a.txt").code, 0);
  WriteAll(out + "\\a.txt", "mine");
  SetFileAttributesA((out + "\\a.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(UnZip("-x -o " + Quote(archive) + " " + Quote(out + "\\")).code, 0x8006);
  EXPECT_EQ(ReadAll(out + "\\a.txt"), "mine");
  std::string before = ReadAll(archive);
  SetFileAttributesA(archive.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(Zip("-D " + Quote(archive) + " " + Quote(src + "\\") + " empty.txt").code, 0x8027);
  SetFileAttributesA(archive.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadAll(archive), before);
}

TEST_F(ZipTest, ExistingFilesAreSkippedUnlessNewerOrOverwritten) {
  WriteAll(src + "\\a.txt", "archived");
  SetTime(src + "\\a.txt", 1500000000);
  ASSERT_EQ(Zip(Quote(archive) + " " + Quote(src + "\\") + " a.txt").code, 0);
  struct Case {
    const char* switches;
    int64_t diskTime;
    const char* expected;
  } cases[] = {{"-x", 1600000000, "disk"}, {"-x", 1400000000, "archived"}, {"-x -o", 1600000000, "archived"},
               {"-x -o --o", 1600000000, "disk"}};
  for (auto& c : cases) {
    WriteAll(out + "\\a.txt", "disk");
    SetTime(out + "\\a.txt", c.diskTime);
    ASSERT_EQ(UnZip(std::string(c.switches) + " " + Quote(archive) + " " + Quote(out + "\\")).code, 0);
    EXPECT_EQ(ReadAll(out + "\\a.txt"), c.expected) << c.switches << " " << c.diskTime;
  }
}

// ---------------------------------------------------------------- progress

struct Owner {
  static inline std::vector<int> states;
  static inline int cancelAt = -1;  // state that is answered with "stop"
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    static UINT arcMessage = RegisterWindowMessageA("wm_arcextract");
    if (message == arcMessage) {
      states.push_back(static_cast<int>(wParam));
      return static_cast<int>(wParam) == cancelAt ? 1 : 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
  }
  HWND window;
  Owner() {
    WNDCLASSA c{};
    c.lpfnWndProc = Proc;
    c.hInstance = GetModuleHandleA(nullptr);
    c.lpszClassName = "ZipTestOwner";
    RegisterClassA(&c);
    window = CreateWindowA("ZipTestOwner", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, c.hInstance, nullptr);
    states.clear();
    cancelAt = -1;
  }
  ~Owner() { DestroyWindow(window); }
};

TEST_F(ZipTest, ProgressReportsInOrderAndCancelLeavesNothing) {
  WriteAll(src + "\\a.txt", Noise(1 << 20));
  ASSERT_EQ(Zip("-1 " + Quote(archive) + " " + Quote(src + "\\") + " a.txt").code, 0);
  Owner owner;
  auto set = Unzip32().Get<SetOwner>("UnZipSetOwnerWindowEx");
  auto kill = Unzip32().Get<KillOwner>("UnZipKillOwnerWindowEx");
  ASSERT_TRUE(set(owner.window, nullptr));
  ASSERT_EQ(UnZip("-x -o --i " + Quote(archive) + " " + Quote(out + "\\")).code, 0);
  ASSERT_GE(Owner::states.size(), 4u);
  EXPECT_EQ(Owner::states.front(), 3);  // OPEN
  EXPECT_EQ(Owner::states[1], 0);       // BEGIN
  EXPECT_GE(std::count(Owner::states.begin(), Owner::states.end(), 1), 16);  // every 64 KiB of 1 MiB
  EXPECT_EQ(Owner::states.back(), 2);   // END

  RemoveTree(out);
  Owner::states.clear();
  Owner::cancelAt = 1;
  EXPECT_EQ(UnZip("-x -o " + Quote(archive) + " " + Quote(out + "\\")).code, 0x8020);
  EXPECT_TRUE(FilesBelow(out).empty());
  EXPECT_TRUE(kill(owner.window));

  // Adding: cancelled half way, the old archive stays and no temporary is
  // left, for one file and for several (compressed ahead on other threads).
  auto zipSet = Zip32j().Get<SetOwner>("ZipSetOwnerWindowEx");
  auto zipKill = Zip32j().Get<KillOwner>("ZipKillOwnerWindowEx");
  ASSERT_TRUE(zipSet(owner.window, nullptr));
  for (int i = 0; i < 6; ++i) WriteAll(src + "\\b" + std::to_string(i) + ".bin", Noise(1 << 20));
  std::string before = ReadAll(archive);
  for (const char* names : {" b0.bin", " b0.bin b1.bin b2.bin b3.bin b4.bin b5.bin"}) {
    Owner::states.clear();
    EXPECT_EQ(Zip(Quote(archive) + " " + Quote(src + "\\") + names).code, 0x8020) << names;
    EXPECT_EQ(ReadAll(archive), before) << names;
    EXPECT_EQ(FilesBelow(dir).size(), FilesBelow(src).size() + 1) << names;  // sources + the archive only
    ASSERT_GE(Owner::states.size(), 3u) << names;
    EXPECT_EQ(Owner::states[1], 0) << names;  // BEGIN of the first file before its progress
  }
  // Not cancelled: one BEGIN per file, each followed by its progress (one
  // report at least: a file compressed ahead is done when its turn comes).
  Owner::states.clear();
  Owner::cancelAt = -1;
  ASSERT_EQ(Zip(Quote(archive) + " " + Quote(src + "\\") + " b0.bin b1.bin b2.bin b3.bin b4.bin b5.bin").code, 0);
  EXPECT_EQ(std::count(Owner::states.begin(), Owner::states.end(), 0), 6);
  for (size_t i = 0; i < Owner::states.size(); ++i) {
    if (Owner::states[i] == 0) {
      EXPECT_TRUE(i + 1 < Owner::states.size() && Owner::states[i + 1] == 1) << i;
    }
  }
  EXPECT_EQ(List(Zip32j(), "UnZip", archive).size(), 7u);
  EXPECT_TRUE(zipKill(owner.window));
}

// A file that cannot be opened among many (others compressed ahead on
// worker threads): named, the call ends with the warning, the rest is added.
TEST_F(ZipTest, ALockedFileAmongManyIsNamedAndTheRestAdded) {
  for (int i = 0; i < 8; ++i) WriteAll(src + "\\f" + std::to_string(i) + ".txt", Text(50000 + i * 1000, i + 1));
  HANDLE locked = CreateFileA((src + "\\f3.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  Result result = Zip(Quote(archive) + " " + Quote(src + "\\") + " *.txt");
  CloseHandle(locked);
  EXPECT_EQ(result.code, ERROR_FILE_OPEN);
  EXPECT_NE(result.output.find("f3.txt"), std::string::npos) << result.output;
  auto records = List(Zip32j(), "UnZip", archive);
  ASSERT_EQ(records.size(), 7u);
  ASSERT_EQ(UnZip("-x -o " + Quote(archive) + " " + Quote(out + "\\")).code, 0);
  for (int i = 0; i < 8; ++i) {
    std::string name = "\\f" + std::to_string(i) + ".txt";
    if (i == 3) {
      EXPECT_EQ(GetFileAttributesA((out + name).c_str()), INVALID_FILE_ATTRIBUTES);
    } else {
      EXPECT_EQ(ReadAll(out + name), ReadAll(src + name)) << name;
    }
  }
}

TEST(ZipText, Utf8DetectionForNamesWithoutTheFlag) {
  struct Case {
    std::string bytes;
    bool utf8;
  } cases[] = {
      {"plain.txt", false},                      // ASCII: either way, keep it ANSI
      {"\xE6\x97\xA5\xE6\x9C\xAC.txt", true},    // 日本 in UTF-8
      {Ansi(L"日本語.txt"), false},              // the same in CP932
      {Ansi(L"ソフト表示.txt"), false},          // trail bytes 0x5C
      {"\xC0\xAF", false},                       // overlong '/'
      {"\xED\xA0\x80", false},                   // surrogate
      {"\xE6\x97", false},                       // cut short
  };
  for (auto& c : cases) EXPECT_EQ(zip::LooksLikeUtf8(c.bytes), c.utf8) << c.bytes;
}

}  // namespace
