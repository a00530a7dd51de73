// The core's extraction, driven by a reader of made-up entries: what is left
// on disk when a write fails, the data is damaged or the owner cancels; and
// the input file that format readers read headers through.
#include "archivers/core/ArcCore.h"
#include "tests/archivers/ArchiverFixture.h"

#include <algorithm>

namespace {

// Entries with their data; an entry may fail with `code` once `failAfter`
// bytes of it were read.
struct Item {
  std::wstring name;
  std::string data;
  int year = 2020;
  int code = 0;
  size_t failAfter = 0;
  DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
  bool directory = false;
  std::wstring hardLinkTo;
};

class ScriptedReader : public arc::EntryReader {
 public:
  explicit ScriptedReader(std::vector<Item> items) : items_(std::move(items)) {}

  bool Next(arc::EntryInfo& entry) override {
    if (next_ >= items_.size()) return false;
    current_ = &items_[next_++];
    offset_ = 0;
    entry = arc::EntryInfo{};
    entry.name = current_->name;
    entry.originalSize = entry.compressedSize = current_->data.size();
    entry.attributes = current_->attributes;
    entry.isDirectory = current_->directory;
    entry.isLink = entry.isHardLink = !current_->hardLinkTo.empty();
    entry.linkTarget = current_->hardLinkTo;
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(current_->year);
    st.wMonth = 6;
    st.wDay = 15;
    st.wHour = 12;
    SystemTimeToFileTime(&st, &entry.writeTime);
    return true;
  }

  size_t Read(void* buffer, size_t size) override {
    if (current_->code != 0 && offset_ >= current_->failAfter) throw arc::Error{current_->code, current_->name};
    size_t limit = current_->code != 0 ? current_->failAfter : current_->data.size();
    size_t n = std::min({size, limit - offset_, size_t{16384}});
    std::copy_n(current_->data.data() + offset_, n, static_cast<char*>(buffer));
    offset_ += n;
    return n;
  }

 private:
  std::vector<Item> items_;
  size_t next_ = 0, offset_ = 0;
  const Item* current_ = nullptr;
};

class CoreExtract : public ScratchTest {
 protected:
  fs::path Out(const std::wstring& name = L"") const { return Path(L"out") / name; }

  // Runs an extraction; returns the result code, or the code of the error it threw.
  int Extract(std::vector<Item> items, bool overwrite, bool commitAtEnd = false) {
    ScriptedReader reader(std::move(items));
    arc::ExtractOptions options;
    options.destination = Out().wstring();
    options.overwrite = overwrite;
    options.commitAtEnd = commitAtEnd;
    arc::Output output;
    try {
      return arc::ExtractEntries(reader, L"made-up.arc", options, output).code;
    } catch (const arc::Error& error) {
      return error.code;
    }
  }

  // Every file under out, relative, sorted; temporaries would show here.
  std::vector<std::wstring> Files() const {
    std::vector<std::wstring> names;
    for (auto& entry : fs::recursive_directory_iterator(Out()))
      if (entry.is_regular_file()) names.push_back(fs::relative(entry.path(), Out()).wstring());
    std::sort(names.begin(), names.end());
    return names;
  }

  static int64_t WriteYear(const fs::path& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    SYSTEMTIME st;
    FileTimeToSystemTime(&data.ftLastWriteTime, &st);
    return st.wYear;
  }
};

TEST_F(CoreExtract, FailureOrCancelMidwayKeepsTheOldFileAndLeavesNoNewOne) {
  enum Failure { DataError, FatalError, CancelAtBegin, CancelWhileWriting, CancelAfterTheData };
  struct Case {
    const char* label;
    Failure failure;
    bool existing;
    bool commitAtEnd;
    int code;
  } cases[] = {
      {"damaged data, new file", DataError, false, false, ERROR_FILE_CRC},
      {"damaged data, old file", DataError, true, false, ERROR_FILE_CRC},
      {"broken archive, new file", FatalError, false, false, ERROR_BROKEN_DATA},
      {"broken archive, old file", FatalError, true, false, ERROR_BROKEN_DATA},
      {"broken archive, new file kept to the end", FatalError, false, true, ERROR_BROKEN_DATA},
      {"broken archive, old file kept to the end", FatalError, true, true, ERROR_BROKEN_DATA},
      {"cancel at begin, new file", CancelAtBegin, false, false, ERROR_USER_CANCEL},
      {"cancel at begin, old file", CancelAtBegin, true, false, ERROR_USER_CANCEL},
      {"cancel while writing, new file", CancelWhileWriting, false, false, ERROR_USER_CANCEL},
      {"cancel while writing, old file", CancelWhileWriting, true, false, ERROR_USER_CANCEL},
      {"cancel while writing, new file kept to the end", CancelWhileWriting, false, true, ERROR_USER_CANCEL},
      {"cancel after the data, new file", CancelAfterTheData, false, false, ERROR_USER_CANCEL},
      {"cancel after the data, old file", CancelAfterTheData, true, false, ERROR_USER_CANCEL},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    fs::remove_all(Out());
    if (c.existing) {
      Write(Out(L"sub\\a.txt"), "old content");
      SetTime(Out(L"sub\\a.txt"), 2001);
    }
    // Large enough for reports while writing; under 64 KiB the only
    // in-process report is the final one, after the last byte.
    Item item{L"sub/a.txt", Pattern(c.failure == CancelAfterTheData ? 1000 : 300000, 7), 2024};
    if (c.failure == DataError || c.failure == FatalError) {
      item.code = c.code;
      item.failAfter = 100000;  // part of it is on disk already
    }
    ProgressWindow window;
    window.stopAtState = c.failure == CancelAtBegin ? 0 : c.failure >= CancelWhileWriting ? 1 : -1;
    window.stopForSource = "sub/a.txt";
    ASSERT_TRUE(arc::SetOwner(window.Handle(), nullptr));
    // A good entry before the failing one: written at once, or only after the
    // whole archive was read.
    int code = Extract({Item{L"first.txt", "first"}, item}, true, c.commitAtEnd);
    arc::KillOwner(window.Handle());
    EXPECT_EQ(code, c.code);
    std::vector<std::wstring> expected;
    if (!c.commitAtEnd || c.failure == DataError) expected.push_back(L"first.txt");
    if (c.existing) {
      expected.push_back(L"sub\\a.txt");
      EXPECT_EQ(Read(Out(L"sub\\a.txt")), "old content");
      EXPECT_EQ(WriteYear(Out(L"sub\\a.txt")), 2001);
    }
    EXPECT_EQ(Files(), expected);
  }
}

TEST_F(CoreExtract, NewFilesAndFoldersAppearAndExistingFilesFollowTheRules) {
  Write(Out(L"older.txt"), "old");
  SetTime(Out(L"older.txt"), 2001);
  Write(Out(L"newer.txt"), "mine");
  SetTime(Out(L"newer.txt"), 2030);
  Write(Out(L"locked.txt"), "locked");
  SetTime(Out(L"locked.txt"), 2001);
  SetFileAttributesW(Out(L"locked.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  fs::create_directories(Out(L"taken.txt"));
  Item readOnly{L"deep/er/ro.txt", "ro", 2024};
  readOnly.attributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY;
  Item folder{L"empty/folder"};
  folder.directory = true;
  Item link{L"deep/copy.txt"};
  link.hardLinkTo = L"deep/er/ro.txt";
  Item outside{L"escape.txt"};
  outside.hardLinkTo = L"../../elsewhere.txt";
  Write(Path(L"elsewhere.txt"), "outside");
  int code = Extract({readOnly, folder, link, outside, Item{L"older.txt", "new", 2024}, Item{L"newer.txt", "new", 2024},
                      Item{L"locked.txt", "new", 2024}, Item{L"taken.txt", "new", 2024}},
                     false);
  EXPECT_EQ(code, ERROR_NOT_SUPPORT);  // the first warning: a link whose target lies outside
  EXPECT_EQ(Read(Out(L"deep\\er\\ro.txt")), "ro");
  EXPECT_EQ(WriteYear(Out(L"deep\\er\\ro.txt")), 2024);
  EXPECT_TRUE(GetFileAttributesW(Out(L"deep\\er\\ro.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(Read(Out(L"deep\\copy.txt")), "ro");
  EXPECT_TRUE(fs::is_directory(Out(L"empty\\folder")));
  EXPECT_FALSE(fs::exists(Out(L"escape.txt")));
  EXPECT_EQ(Read(Out(L"older.txt")), "new");  // the entry is newer
  EXPECT_EQ(WriteYear(Out(L"older.txt")), 2024);
  EXPECT_EQ(Read(Out(L"newer.txt")), "mine");  // skipped silently
  EXPECT_EQ(Read(Out(L"locked.txt")), "locked");
  EXPECT_TRUE(fs::is_directory(Out(L"taken.txt")));
  EXPECT_EQ(Files(), (std::vector<std::wstring>{L"deep\\copy.txt", L"deep\\er\\ro.txt", L"locked.txt", L"newer.txt",
                                                L"older.txt"}));
  // Overwriting: the newer file too, the read-only one never.
  EXPECT_EQ(Extract({Item{L"newer.txt", "new", 2024}, Item{L"locked.txt", "new", 2024}}, true), ERROR_READ_ONLY);
  EXPECT_EQ(Read(Out(L"newer.txt")), "new");
  EXPECT_EQ(Read(Out(L"locked.txt")), "locked");
}

TEST_F(CoreExtract, KeptToTheEndNothingStaysWhenTheArchiveBreaks) {
  Write(Out(L"old.txt"), "old");
  SetTime(Out(L"old.txt"), 2001);
  Item link{L"copy.txt"};
  link.hardLinkTo = L"a.txt";
  Item broken{L"z.txt", Pattern(5000, 1)};
  broken.code = ERROR_UNEXPECTED_EOF;
  broken.failAfter = 100;
  std::vector<Item> items{Item{L"a.txt", "a"}, link, Item{L"old.txt", "new", 2024}, broken};
  EXPECT_EQ(Extract(items, true, true), ERROR_UNEXPECTED_EOF);
  EXPECT_EQ(Files(), std::vector<std::wstring>{L"old.txt"});
  EXPECT_EQ(Read(Out(L"old.txt")), "old");
  items.pop_back();
  EXPECT_EQ(Extract(items, true, true), 0);
  EXPECT_EQ(Files(), (std::vector<std::wstring>{L"a.txt", L"copy.txt", L"old.txt"}));
  EXPECT_EQ(Read(Out(L"copy.txt")), "a");
  EXPECT_EQ(Read(Out(L"old.txt")), "new");
}

class CoreFiles : public ScratchTest {};

TEST_F(CoreFiles, SmallReadsThroughTheReadAheadGiveTheFileBytes) {
  const std::string bytes = Pattern(100000, 9);
  Write(Path(L"input.bin"), bytes);
  arc::InputFile file(Path(L"input.bin").wstring());
  EXPECT_EQ(file.Size(), bytes.size());
  struct Case {
    uint64_t offset;
    size_t size;
  } cases[] = {
      {0, 32},      {32, 84},      {10, 1},         {0, 1},         {32760, 16},  // across the block read ahead
      {40000, 7},   {39990, 20},   {99990, 10},     {99995, 10},    {100000, 4},  // at and past the end
      {200000, 4},  {5, 65536},    {50000, 50000},  {34000, 30000}, {1, 32767},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.offset) + "+" + std::to_string(c.size));
    std::string got(c.size, '\0');
    size_t n = file.ReadAt(c.offset, got.data(), c.size);
    size_t expected = c.offset >= bytes.size() ? 0 : std::min<size_t>(c.size, bytes.size() - c.offset);
    ASSERT_EQ(n, expected);
    EXPECT_EQ(got.substr(0, n), bytes.substr(std::min<size_t>(c.offset, bytes.size()), n));
  }
}

}  // namespace
