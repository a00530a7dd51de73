// BGA32.DLL through its exported entries, with the command lines Tavix sends.
#include "archivers/bga/BgaFormat.h"
#include "engine/ArchiverApi.h"
#include "tests/archivers/bga/TestFiles.h"
#include "../../support/EscapeCheck.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using namespace testfiles;

// The entry record as Tavix reads it (with the three times) and the progress record.
using Record = TIndividualInfo;
using Progress = EXTRACTINGINFOEX;

class Bga {
 public:
  Bga() {
    module_ = LoadLibraryW(L"BGA32.DLL");
    if (module_ == nullptr) return;
    command_ = Get<int(WINAPI*)(HWND, LPCSTR, LPSTR, DWORD)>("Bga");
    open_ = Get<HGLOBAL(WINAPI*)(HWND, LPCSTR, DWORD)>("BgaOpenArchive");
    first_ = Get<int(WINAPI*)(HGLOBAL, LPCSTR, Record*)>("BgaFindFirst");
    next_ = Get<int(WINAPI*)(HGLOBAL, Record*)>("BgaFindNext");
    close_ = Get<int(WINAPI*)(HGLOBAL)>("BgaCloseArchive");
    check_ = Get<BOOL(WINAPI*)(LPCSTR, int)>("BgaCheckArchive");
    setOwner_ = Get<BOOL(WINAPI*)(HWND, void*)>("BgaSetOwnerWindowEx");
    killOwner_ = Get<BOOL(WINAPI*)(HWND)>("BgaKillOwnerWindowEx");
  }
  bool Loaded() const { return module_ != nullptr && command_ && open_ && first_ && next_ && close_ && check_; }

  int Run(const std::string& line, std::string* output = nullptr, HWND window = nullptr) {
    std::vector<char> buffer(65536);
    int code = command_(window, line.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (output != nullptr) *output = buffer.data();
    return code;
  }
  int RunWithoutBuffer(const std::string& line) { return command_(nullptr, line.c_str(), nullptr, 0); }

  std::vector<Record> List(const fs::path& archive, const char* wildcard = "*.*") {
    std::vector<Record> records;
    HGLOBAL handle = open_(nullptr, Ansi(archive.wstring()).c_str(), 0x00800002);
    if (handle == nullptr) return records;
    Record record;
    for (int code = first_(handle, wildcard, &record); code == 0; code = next_(handle, &record))
      records.push_back(record);
    close_(handle);
    return records;
  }
  bool Opens(const fs::path& archive) {
    HGLOBAL handle = open_(nullptr, Ansi(archive.wstring()).c_str(), 0x00800002);
    if (handle != nullptr) close_(handle);
    return handle != nullptr;
  }
  bool Check(const fs::path& archive, int mode) { return check_(Ansi(archive.wstring()).c_str(), mode) != FALSE; }
  BOOL SetOwner(HWND window) { return setOwner_(window, nullptr); }
  BOOL KillOwner(HWND window) { return killOwner_(window); }

 private:
  template <typename T>
  T Get(const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }
  HMODULE module_ = nullptr;
  int(WINAPI* command_)(HWND, LPCSTR, LPSTR, DWORD) = nullptr;
  HGLOBAL(WINAPI* open_)(HWND, LPCSTR, DWORD) = nullptr;
  int(WINAPI* first_)(HGLOBAL, LPCSTR, Record*) = nullptr;
  int(WINAPI* next_)(HGLOBAL, Record*) = nullptr;
  int(WINAPI* close_)(HGLOBAL) = nullptr;
  BOOL(WINAPI* check_)(LPCSTR, int) = nullptr;
  BOOL(WINAPI* setOwner_)(HWND, void*) = nullptr;
  BOOL(WINAPI* killOwner_)(HWND) = nullptr;
};

std::string Quoted(const fs::path& path) { return "\"" + Ansi(path.wstring()) + "\""; }
std::string Folder(const fs::path& path) { return "\"" + Ansi(path.wstring()) + "\\\""; }

// An owner window that records the progress states and can stop the command.
class Owner {
 public:
  Owner() {
    static const wchar_t* className = [] {
      WNDCLASSW windowClass{};
      windowClass.lpfnWndProc = Procedure;
      windowClass.hInstance = GetModuleHandleW(nullptr);
      windowClass.lpszClassName = L"BgaTestOwner";
      RegisterClassW(&windowClass);
      return L"BgaTestOwner";
    }();
    window_ = CreateWindowW(className, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~Owner() { DestroyWindow(window_); }
  HWND Window() const { return window_; }
  std::vector<int> states;
  std::vector<std::string> begun;
  int cancelAfterProgress = -1;  // answer non-zero at this INPROCESS report

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    static UINT progress = RegisterWindowMessageA("wm_arcextract");
    if (message == progress) {
      auto* self = reinterpret_cast<Owner*>(GetWindowLongPtrW(window, GWLP_USERDATA));
      self->states.push_back(static_cast<int>(wParam));
      if (wParam == 0) self->begun.push_back(reinterpret_cast<Progress*>(lParam)->szSourceFileName);
      if (wParam == 1 && self->cancelAfterProgress-- == 0) return 1;
      return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }
  HWND window_;
};

class BgaLibrary : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(bga.Loaded()) << "BGA32.DLL is not on the PATH"; }

  // source\readme.txt, source\sub\data.bin (100 KB), source\sub\deep\日本語.txt
  void MakeSource() {
    WriteFile(scratch / L"source\\readme.txt", "read me\r\n");
    std::string data(100000, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 % 251);
    WriteFile(scratch / L"source\\sub\\data.bin", data);
    WriteFile(scratch / L"source\\sub\\deep\\日本語.txt", "にほんご");
  }
  fs::path Source() const { return scratch / L"source"; }

  Bga bga;
  ScratchFolder scratch;
};

TEST_F(BgaLibrary, RunsInTheJapaneseCodePage) { EXPECT_EQ(GetACP(), 932u); }

TEST_F(BgaLibrary, AddListsAndExtractsBothMethods) {
  MakeSource();
  for (const wchar_t* name : {L"new.gza", L"new.bza"}) {
    fs::path archive = scratch / name;
    // Tavix's adding line: a -r -l<level>, archive, base folder, names.
    ASSERT_EQ(bga.Run("a -n -r -l9 " + Quoted(archive) + " " + Folder(Source()) + " *.*"), 0);
    auto records = bga.List(archive);
    ASSERT_EQ(records.size(), 3u);
    std::map<std::string, Record> byName;
    for (auto& r : records) byName[r.szFileName] = r;
    ASSERT_TRUE(byName.count("sub\\data.bin"));
    ASSERT_TRUE(byName.count(Ansi(L"sub\\deep\\日本語.txt")));
    const Record& data = byName["sub\\data.bin"];
    EXPECT_EQ(data.dwOriginalSize, 100000u);
    EXPECT_LT(data.dwCompressedSize, 100000u);
    EXPECT_EQ(data.wRatio, data.dwCompressedSize * 1000 / 100000);
    EXPECT_STREQ(data.szMode, name[4] == L'b' ? "BZ2" : "GZIP");
    EXPECT_STREQ(data.szAttribute, "--A--");
    EXPECT_NE(data.wDate, 0);

    fs::path out = scratch / (std::wstring(name) + L".out");
    ASSERT_EQ(bga.Run("x -n " + Quoted(archive) + " " + Folder(out)), 0);
    EXPECT_EQ(Tree(out), Tree(Source()));
  }
}

TEST_F(BgaLibrary, FlatAddingAndFlatExtraction) {
  MakeSource();
  fs::path archive = scratch / L"flat.gza";
  ASSERT_EQ(bga.Run("a -j -r " + Quoted(archive) + " " + Folder(Source()) + " *.txt"), 0);
  auto records = bga.List(archive);
  ASSERT_EQ(records.size(), 2u);
  for (auto& r : records) EXPECT_EQ(std::strchr(r.szFileName, '\\'), nullptr) << r.szFileName;

  // Flat, two files share one name: the first is stored, the second reported.
  WriteFile(Source() / L"sub\\readme.txt", "another");
  fs::path clash = scratch / L"clash.gza";
  EXPECT_EQ(bga.Run("a -j -r " + Quoted(clash) + " " + Folder(Source()) + " readme.*"), 0x8028);
  EXPECT_EQ(bga.List(clash).size(), 1u);
  fs::remove(Source() / L"sub\\readme.txt");

  fs::path nested = scratch / L"nested.gza";
  ASSERT_EQ(bga.Run("a -r " + Quoted(nested) + " " + Folder(Source()) + " *.*"), 0);
  fs::path out = scratch / L"out";
  ASSERT_EQ(bga.Run("x -n -j " + Quoted(nested) + " " + Folder(out)), 0);
  auto tree = Tree(out);
  EXPECT_EQ(tree.size(), 3u);
  EXPECT_TRUE(tree.count(L"data.bin"));
  EXPECT_TRUE(tree.count(L"日本語.txt"));
}

TEST_F(BgaLibrary, SelectedEntriesByWildcard) {
  MakeSource();
  fs::path archive = scratch / L"a.gza";
  ASSERT_EQ(bga.Run("a -r " + Quoted(archive) + " " + Folder(Source()) + " *.*"), 0);
  fs::path out = scratch / L"out";
  ASSERT_EQ(bga.Run("x -n " + Quoted(archive) + " " + Folder(out) + " sub\\*.bin"), 0);
  auto tree = Tree(out);
  ASSERT_EQ(tree.size(), 1u);
  EXPECT_TRUE(tree.count(L"sub\\data.bin"));
  EXPECT_EQ(bga.List(archive, "*.txt").size(), 2u);
}

TEST_F(BgaLibrary, ExistingFilesAreReplacedOnlyWithOverwriteOrWhenOlder) {
  WriteFile(scratch / L"src\\f.txt", "archived");
  fs::path archive = scratch / L"a.gza";
  ASSERT_EQ(bga.Run("a " + Quoted(archive) + " " + Folder(scratch / L"src") + " f.txt"), 0);
  fs::path out = scratch / L"out";
  struct Case {
    const char* switches;
    int ageDays;  // of the file on disk relative to the entry (+ newer)
    const char* expected;
  } cases[] = {
      {"-n", +1, "on disk"},
      {"-n", -1, "archived"},
      {"-o", +1, "archived"},
  };
  for (const Case& c : cases) {
    WriteFile(out / L"f.txt", "on disk");
    HANDLE file = CreateFileW((out / L"f.txt").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME entryTime = {};
    auto records = bga.List(archive);
    ASSERT_EQ(records.size(), 1u);
    FILETIME local;
    DosDateTimeToFileTime(records[0].wDate, records[0].wTime, &local);
    LocalFileTimeToFileTime(&local, &entryTime);
    ULARGE_INTEGER t{{entryTime.dwLowDateTime, entryTime.dwHighDateTime}};
    t.QuadPart += static_cast<long long>(c.ageDays) * 864000000000LL;
    FILETIME changed{t.LowPart, t.HighPart};
    SetFileTime(file, nullptr, nullptr, &changed);
    CloseHandle(file);
    ASSERT_EQ(bga.Run(std::string("x ") + c.switches + " " + Quoted(archive) + " " + Folder(out)), 0);
    EXPECT_EQ(ReadFile(out / L"f.txt"), c.expected) << c.switches << " " << c.ageDays;
  }
}

TEST_F(BgaLibrary, AddingReplacesSameNamesAndKeepsTheRest) {
  WriteFile(scratch / L"src\\a.txt", "one");
  WriteFile(scratch / L"src\\b.txt", "two");
  fs::path archive = scratch / L"a.gza";
  ASSERT_EQ(bga.Run("a " + Quoted(archive) + " " + Folder(scratch / L"src") + " a.txt b.txt"), 0);
  WriteFile(scratch / L"src\\A.TXT", "one, changed");
  WriteFile(scratch / L"src\\c.txt", "three");
  ASSERT_EQ(bga.Run("a " + Quoted(archive) + " " + Folder(scratch / L"src") + " a.txt c.txt"), 0);
  auto records = bga.List(archive);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_STREQ(records[0].szFileName, "b.txt");
  fs::path out = scratch / L"out";
  ASSERT_EQ(bga.Run("x -o " + Quoted(archive) + " " + Folder(out)), 0);
  EXPECT_EQ(ReadFile(out / L"a.txt"), "one, changed");
  EXPECT_EQ(ReadFile(out / L"c.txt"), "three");
}

TEST_F(BgaLibrary, DeleteRemovesMatchesAndLeavesTheArchiveWhenNothingMatches) {
  MakeSource();
  fs::path archive = scratch / L"a.bza";
  ASSERT_EQ(bga.Run("a -r " + Quoted(archive) + " " + Folder(Source()) + " *.*"), 0);
  std::string before = ReadFile(archive);
  EXPECT_EQ(bga.Run("d " + Quoted(archive) + " nothing*.xyz"), 0x8031);
  EXPECT_EQ(ReadFile(archive), before);
  ASSERT_EQ(bga.Run("d -n -j " + Quoted(archive) + " sub\\*"), 0);
  auto records = bga.List(archive);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_STREQ(records[0].szFileName, "readme.txt");
}

TEST_F(BgaLibrary, ResponseFileAndLiteralNames) {
  WriteFile(scratch / L"src\\-dash.txt", "dash");
  WriteFile(scratch / L"src\\with blank.txt", "blank");
  WriteFile(scratch / L"list.txt", "\"with blank.txt\"\r\n");
  fs::path archive = scratch / L"a.gza";
  ASSERT_EQ(bga.Run("a " + Quoted(archive) + " " + Folder(scratch / L"src") + " -gb-dash.txt @" +
                    Quoted(scratch / L"list.txt")),
            0);
  EXPECT_EQ(bga.List(archive).size(), 2u);
}

TEST_F(BgaLibrary, TestCommandAndCheckLevelsSeeDamagedData) {
  MakeSource();
  fs::path archive = scratch / L"a.gza";
  ASSERT_EQ(bga.Run("a -r " + Quoted(archive) + " " + Folder(Source()) + " *.*"), 0);
  EXPECT_TRUE(bga.Check(archive, 0));
  EXPECT_TRUE(bga.Check(archive, 2));
  EXPECT_EQ(bga.Run("t " + Quoted(archive)), 0);
  // Damage the data (not the header) of the first entry.
  std::string bytes = ReadFile(archive);
  uint16_t folder, name;
  std::memcpy(&folder, bytes.data() + 24, 2);
  std::memcpy(&name, bytes.data() + 26, 2);
  bytes[28 + folder + name + 20] ^= 0x55;
  WriteFile(archive, bytes);
  EXPECT_TRUE(bga.Check(archive, 1));   // headers are fine
  EXPECT_FALSE(bga.Check(archive, 2));  // the data is not
  EXPECT_EQ(bga.Run("t " + Quoted(archive)), 0x800C);
}

TEST_F(BgaLibrary, DamagedEntryIsSkippedAndLeavesNoFileTheOthersExtract) {
  MakeSource();
  fs::path archive = scratch / L"a.gza";
  ASSERT_EQ(bga.Run("a " + Quoted(archive) + " " + Folder(Source()) + " readme.txt sub\\data.bin"), 0);
  std::string bytes = ReadFile(archive);
  uint32_t packed;
  uint16_t folder, name;
  std::memcpy(&packed, bytes.data() + 8, 4);
  std::memcpy(&folder, bytes.data() + 24, 2);
  std::memcpy(&name, bytes.data() + 26, 2);
  size_t second = 28 + folder + name + packed;
  bytes[second + 28 + 16 + 200] ^= 0x55;  // inside data.bin's data
  WriteFile(archive, bytes);
  fs::path out = scratch / L"out";
  std::string output;
  EXPECT_EQ(bga.Run("x -o " + Quoted(archive) + " " + Folder(out), &output), 0x800C);
  auto tree = Tree(out);
  EXPECT_EQ(tree.size(), 1u) << output;
  EXPECT_TRUE(tree.count(L"readme.txt"));
  EXPECT_FALSE(output.empty());
}

TEST_F(BgaLibrary, BrokenAndTruncatedArchivesFailCleanly) {
  MakeSource();
  fs::path archive = scratch / L"a.gza";
  ASSERT_EQ(bga.Run("a -r " + Quoted(archive) + " " + Folder(Source()) + " *.*"), 0);
  const std::string good = ReadFile(archive);
  struct Case {
    const char* what;
    std::string bytes;
    bool opens;
  } cases[] = {
      {"first header checksum", std::string(good).replace(0, 1, 1, static_cast<char>(good[0] ^ 1)), false},
      {"truncated inside the first header", good.substr(0, 20), false},
      {"truncated inside the last entry", good.substr(0, good.size() - 10), true},
      {"not an archive", std::string(1000, 'x'), false},
      {"empty file", std::string(), false},
  };
  for (const Case& c : cases) {
    fs::path broken = scratch / L"broken.gza";
    WriteFile(broken, c.bytes);
    EXPECT_EQ(bga.Opens(broken), c.opens) << c.what;
    EXPECT_FALSE(bga.Check(broken, 1)) << c.what;
    fs::path out = scratch / L"broken-out";
    std::string output;
    int code = bga.Run("x -o " + Quoted(broken) + " " + Folder(out), &output);
    EXPECT_GE(code, 0x8000) << c.what;
    EXPECT_FALSE(output.empty()) << c.what;
    // No partly written file: whatever was written is complete.
    for (auto& [name, bytes] : Tree(out)) EXPECT_EQ(bytes, ReadFile(Source() / name)) << c.what;
    fs::remove_all(out);
  }
}

// A literal '?' in a stored name (Unix names may hold one) is listed as
// itself; sent back, the listed name selects that entry, not its partner
// stored first, for extraction, listing and deletion.
TEST_F(BgaLibrary, ListedNameWithAQuestionMarkSelectsOnlyItsEntry) {
  fs::path archive = scratch / L"question.gza";
  {
    std::FILE* out = _wfopen(archive.c_str(), L"wb");
    ASSERT_NE(out, nullptr);
    for (const auto& [name, data] : {std::pair<std::string, std::string>{"axb.txt", "partner"}, {"a?b.txt", "literal"}}) {
      std::FILE* in = std::tmpfile();
      std::fputs(data.c_str(), in);
      std::fflush(in);
      _fseeki64(in, 0, SEEK_SET);
      ASSERT_EQ(bga::WriteEntry(out, in, data.size(), bga::Method::Deflate, 6, "", name, 0x5A21, 0, 0x20, nullptr),
                bga::Result::Ok);
      std::fclose(in);
    }
    std::fclose(out);
  }
  ASSERT_EQ(bga.List(archive, "a?b.txt").size(), 1u);
  EXPECT_EQ(bga.List(archive, "a?b.txt")[0].dwOriginalSize, 7u);
  fs::path out = scratch / L"out";
  std::string output;
  ASSERT_EQ(bga.Run("x -o " + Quoted(archive) + " " + Folder(out) + " \"a?b.txt\"", &output), 0) << output;
  auto tree = Tree(out);
  ASSERT_EQ(tree.size(), 1u);
  EXPECT_EQ(tree.begin()->second, "literal");
  ASSERT_EQ(bga.Run("d " + Quoted(archive) + " \"a?b.txt\"", &output), 0) << output;
  auto left = bga.List(archive);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_STREQ(left[0].szFileName, "axb.txt");
}

// Hand-made archive whose names try to leave the destination.
TEST_F(BgaLibrary, HostileNamesStayInsideTheDestination) {
  fs::path archive = scratch / L"hostile.gza";
  {
    std::FILE* out = _wfopen(archive.c_str(), L"wb");
    ASSERT_NE(out, nullptr);
    const std::pair<std::string, std::string> names[] = {
        {"..\\..\\", "bgaesc1.txt"}, {"C:\\Windows\\", "bgaesc2.txt"}, {"\\", "bgaesc3.txt"},
        {"a\\..\\..\\", "bgaesc4.txt"},  {"", "CON"},                 {"x\\", "nul.txt"},
        {"C:", "bgaesc5.txt"}, {"..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\", "bgaesc6.txt"},
    };
    for (const auto& [folder, name] : names) {
      std::FILE* in = std::tmpfile();
      std::fputs("payload", in);
      std::fflush(in);
      _fseeki64(in, 0, SEEK_SET);
      ASSERT_EQ(bga::WriteEntry(out, in, 7, bga::Method::Deflate, 6, folder, name, 0x5A21, 0, 0x20, nullptr),
                bga::Result::Ok);
      std::fclose(in);
    }
    std::fclose(out);
  }
  fs::path destination = scratch / L"deep\\dest";
  ASSERT_LT(bga.Run("x -o " + Quoted(archive) + " " + Folder(destination)), 0x8012);
  auto inside = Tree(destination);
  EXPECT_EQ(inside.size(), 8u);
  // Nothing appeared beside the destination or above it.
  auto all = Tree(scratch.Path());
  for (auto& [name, bytes] : all) {
    if (name == L"hostile.gza") continue;
    EXPECT_EQ(name.rfind(L"deep\\dest\\", 0), 0u) << "written outside: " << fs::path(name).string();
  }
  EXPECT_EQ(escape_check::EscapedFiles(L"bgaesc", destination.wstring()), std::vector<std::wstring>{});
}

TEST_F(BgaLibrary, ProgressReportsAndCancelLeavesNothing) {
  MakeSource();
  fs::path archive = scratch / L"a.gza";
  Owner owner;
  ASSERT_TRUE(bga.SetOwner(owner.Window()));
  ASSERT_EQ(bga.Run("a -r -i " + Quoted(archive) + " " + Folder(Source()) + " *.*", nullptr, owner.Window()), 0);
  ASSERT_FALSE(owner.states.empty());
  EXPECT_EQ(owner.states.front(), 3);  // OPEN
  EXPECT_EQ(owner.states.back(), 2);   // END
  EXPECT_EQ(owner.begun.size(), 3u);

  owner.states.clear();
  owner.cancelAfterProgress = 0;
  fs::path out = scratch / L"out";
  EXPECT_EQ(bga.Run("x -o -i " + Quoted(archive) + " " + Folder(out), nullptr, owner.Window()), 0x8020);
  EXPECT_TRUE(Tree(out).empty());

  // Cancelling an addition leaves the old archive as it was.
  std::string before = ReadFile(archive);
  WriteFile(Source() / L"more.txt", std::string(200000, 'm'));
  owner.cancelAfterProgress = 1;
  EXPECT_EQ(bga.Run("a -r " + Quoted(archive) + " " + Folder(Source()) + " *.*", nullptr, owner.Window()), 0x8020);
  EXPECT_EQ(ReadFile(archive), before);
  EXPECT_EQ(Tree(scratch.Path()).count(L"a.gza"), 1u);
  size_t leftovers = 0;
  for (auto& item : fs::directory_iterator(scratch.Path())) leftovers += item.path().extension() == L".tmp";
  EXPECT_EQ(leftovers, 0u);
  EXPECT_TRUE(bga.KillOwner(owner.Window()));
}

TEST_F(BgaLibrary, ReadOnlyArchiveIsNotChanged) {
  MakeSource();
  fs::path archive = scratch / L"a.gza";
  ASSERT_EQ(bga.Run("a " + Quoted(archive) + " " + Folder(Source()) + " readme.txt"), 0);
  std::string before = ReadFile(archive);
  SetFileAttributesW(archive.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(bga.Run("a " + Quoted(archive) + " " + Folder(Source()) + " sub\\data.bin"), 0x8027);
  EXPECT_EQ(bga.Run("d " + Quoted(archive) + " readme.txt"), 0x8027);
  SetFileAttributesW(archive.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadFile(archive), before);
}

TEST_F(BgaLibrary, OverlongNamesAreSkippedWithAWarning) {
  // 3 x 161 + 44 bytes in the ANSI code page: longer than the record's name
  // field (each folder stays within Linux's 255 bytes of UTF-8). The full path
  // exceeds MAX_PATH, hence the long-path prefix.
  std::wstring base = L"\\\\?\\" + (scratch / L"source").wstring();
  std::vector<std::wstring> folders = {base};
  for (wchar_t c : {L'長', L'い', L'名'}) folders.push_back(folders.back() + L"\\" + std::wstring(80, c));
  std::wstring file = folders.back() + L"\\" + std::wstring(20, L'前') + L".txt";
  for (auto& folder : folders) ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  CloseHandle(handle);
  WriteFile(scratch / L"source\\short.txt", "short");
  fs::path archive = scratch / L"a.gza";
  std::string output;
  EXPECT_EQ(bga.Run("a -r " + Quoted(archive) + " \"" + Ansi(base) + "\\\" *.*", &output), 0x8026);
  auto records = bga.List(archive);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_STREQ(records[0].szFileName, "short.txt");
  DeleteFileW(file.c_str());
  for (size_t i = folders.size(); i-- > 1;) RemoveDirectoryW(folders[i].c_str());
}

TEST_F(BgaLibrary, OutputBufferMayBeNullAndUnknownCommandsFail) {
  MakeSource();
  fs::path archive = scratch / L"a.gza";
  EXPECT_EQ(bga.RunWithoutBuffer("a " + Quoted(archive) + " " + Folder(Source()) + " readme.txt"), 0);
  EXPECT_EQ(bga.Run("q " + Quoted(archive)), 0x801C);
  EXPECT_EQ(bga.Run("x " + Quoted(scratch / L"missing.gza") + " " + Folder(scratch / L"o")) >= 0x8000, true);
}

TEST_F(BgaLibrary, SelfExtractorListsAndExtractsItself) {
  MakeSource();
  fs::path archive = scratch / L"pack.gza";
  ASSERT_EQ(bga.Run("a -r " + Quoted(archive) + " " + Folder(Source()) + " *.*"), 0);
  fs::path outFolder = scratch / L"exe";
  ASSERT_EQ(bga.Run("s " + Quoted(archive) + " " + Folder(outFolder)), 0);
  fs::path program = outFolder / L"pack.exe";
  ASSERT_TRUE(fs::exists(program));
  EXPECT_EQ(bga.List(program).size(), 3u);  // Tavix opens it as a BGA archive
  EXPECT_TRUE(bga.Check(program, 16 | 1));
  // Adding to a self-extractor would lose the program: refused.
  EXPECT_EQ(bga.Run("a " + Quoted(program) + " " + Folder(Source()) + " readme.txt"), 0x8023);
  fs::path out = scratch / L"extracted";
  EXPECT_EQ(RunProgram(L"\"" + program.wstring() + L"\" /s /d \"" + out.wstring() + L"\""), 0);
  EXPECT_EQ(Tree(out), Tree(Source()));
}

}  // namespace
