// The clipboard's file lists without a window: the block offered to other
// programs (read back by the system's own DragQueryFile) and reading blocks
// that other programs made, hostile ones included.
#include "app/ClipboardFiles.h"

#include <shellapi.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::wstring> DroppedNames(HGLOBAL block) {
  auto drop = static_cast<HDROP>(block);
  std::vector<std::wstring> names;
  UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    UINT length = DragQueryFileW(drop, i, nullptr, 0);
    std::wstring name(length + 1, L'\0');
    DragQueryFileW(drop, i, name.data(), length + 1);
    name.resize(length);
    names.push_back(name);
  }
  return names;
}

// A block as another program may make it: header fields, then the bytes.
std::vector<BYTE> Block(const std::string& bytes, bool wide, DWORD offset = sizeof(DROPFILES)) {
  DROPFILES header{};
  header.pFiles = offset;
  header.fWide = wide;
  std::vector<BYTE> block(sizeof header + bytes.size());
  std::memcpy(block.data(), &header, sizeof header);
  std::memcpy(block.data() + sizeof header, bytes.data(), bytes.size());
  return block;
}

std::string Wide(const std::wstring& text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

std::vector<std::wstring> Read(const std::vector<BYTE>& block) { return ReadFileDropList(block.data(), block.size()); }

}  // namespace

TEST(FileDropBlock, FiveThousandLongNamesAreAllOfferedWhole) {
  std::vector<std::wstring> paths;
  for (int i = 0; i < 5000; ++i)
    paths.push_back(L"C:\\work\\~Tavix0\\" + std::wstring(200, L'長') + L"\\" + std::to_wstring(i) +
                    std::wstring(40, L'x') + L".txt");
  HGLOBAL block = MakeFileDropBlock(paths);
  ASSERT_TRUE(block);
  EXPECT_EQ(DroppedNames(block), paths);
  size_t characters = 1;
  for (const std::wstring& path : paths) characters += path.size() + 1;
  EXPECT_EQ(GlobalSize(block), sizeof(DROPFILES) + characters * sizeof(wchar_t));
  {
    auto* header = static_cast<DROPFILES*>(GlobalLock(block));
    EXPECT_EQ(header->pFiles, sizeof(DROPFILES));
    EXPECT_TRUE(header->fWide);
    EXPECT_EQ(header->pt.x, 0);
    EXPECT_FALSE(header->fNC);
    GlobalUnlock(block);
  }
  // Our reader reads the same.
  EXPECT_EQ(ReadFileDropList(GlobalLock(block), GlobalSize(block)), paths);
  GlobalUnlock(block);
  GlobalFree(block);
}

TEST(FileDropBlock, OneName) {
  HGLOBAL one = MakeFileDropBlock({L"C:\\w\\a.txt"});
  EXPECT_EQ(DroppedNames(one), std::vector<std::wstring>{L"C:\\w\\a.txt"});
  EXPECT_EQ(GlobalSize(one), sizeof(DROPFILES) + 12 * sizeof(wchar_t));
  GlobalFree(one);
}

TEST(FileDropList, NarrowAndWideNamesEndAtTheEmptyName) {
  EXPECT_EQ(Read(Block(std::string("C:\\a\\b.txt\0C:\\\x93\xfa\x96\x7b.txt\0\0C:\\after\0\0", 33), false)),
            (std::vector<std::wstring>{L"C:\\a\\b.txt", L"C:\\日本.txt"}));
  EXPECT_EQ(Read(Block(Wide(std::wstring(L"C:\\a.txt\0C:\\日本.txt\0\0C:\\after\0\0", 31)), true)),
            (std::vector<std::wstring>{L"C:\\a.txt", L"C:\\日本.txt"}));
}

TEST(FileDropList, HostileBlocksAreReadSafely) {
  // No final NUL: the name the block cuts off is left out.
  EXPECT_EQ(Read(Block(std::string("C:\\a.txt\0C:\\cut", 15), false)), std::vector<std::wstring>{L"C:\\a.txt"});
  EXPECT_EQ(Read(Block(Wide(std::wstring(L"C:\\a.txt\0C:\\cut", 15)), true)),
            std::vector<std::wstring>{L"C:\\a.txt"});
  // An odd byte at the end of a wide list.
  EXPECT_EQ(Read(Block(Wide(std::wstring(L"C:\\a.txt\0", 9)) + "x", true)), std::vector<std::wstring>{L"C:\\a.txt"});
  // An empty list, a list that begins with its end, the offset outside the block or inside the header.
  EXPECT_TRUE(Read(Block("", true)).empty());
  EXPECT_TRUE(Read(Block(std::string("\0C:\\a\0\0", 7), false)).empty());
  EXPECT_TRUE(Read(Block(std::string("C:\\a\0\0", 6), false, 1000)).empty());
  EXPECT_TRUE(Read(Block(std::string("C:\\a\0\0", 6), false, 4)).empty());
  // A block shorter than its header, and none at all.
  std::vector<BYTE> tiny(10, 0);
  EXPECT_TRUE(Read(tiny).empty());
  EXPECT_TRUE(ReadFileDropList(nullptr, 100).empty());
  // A name longer than any path is skipped; the next one is read.
  std::wstring list = std::wstring(40000, L'a') + L'\0' + L"C:\\b.txt" + L'\0' + L'\0';
  EXPECT_EQ(Read(Block(Wide(list), true)), std::vector<std::wstring>{L"C:\\b.txt"});
  // 10,000 names.
  std::wstring many;
  for (int i = 0; i < 10000; ++i) many += L"C:\\f\\" + std::to_wstring(i) + L'\0';
  many += L'\0';
  std::vector<std::wstring> names = Read(Block(Wide(many), true));
  ASSERT_EQ(names.size(), 10000u);
  EXPECT_EQ(names.back(), L"C:\\f\\9999");
}

TEST(ClipboardPaths, PlainFullPathsOnly) {
  for (const wchar_t* good : {L"C:\\a.txt", L"c:\\dir\\sub\\", L"Z:\\日本\\-x.txt", L"\\\\server\\share\\a.txt",
                              L"C:\\dir\\@list.txt"})
    EXPECT_TRUE(IsPlainFullPath(good)) << good;
  for (const wchar_t* bad : {L"", L"a.txt", L"dir\\a.txt", L"\\a.txt", L"C:a.txt", L"C:\\", L"C:\\dir\\*.txt",
                             L"C:\\dir\\a?.txt", L"C:\\dir\\..\\a.txt", L"C:\\dir\\.\\a.txt", L"C:\\dir\\\\a.txt",
                             L"\\\\?\\C:\\a.txt", L"\\\\.\\C:\\a.txt", L"\\\\server", L"C:\\a.txt:stream",
                             L"C:/dir/a.txt", L"C:\\dir\\.. \\a.txt", L"C:\\dir\\a.", L"1:\\a.txt"})
    EXPECT_FALSE(IsPlainFullPath(bad)) << bad;
}

TEST(ClipboardPaths, EntryPathsThatStayBelowTheFolder) {
  for (const wchar_t* good : {L"a.txt", L"docs/sub/a.txt", L"docs\\a.txt", L"-x.txt", L"@x.txt", L"日本/語.txt"})
    EXPECT_TRUE(IsPlainRelativePath(good)) << good;
  for (const wchar_t* bad : {L"", L"../x", L"..\\x", L"a/../../x", L"/x", L"\\x", L"C:/x", L"C:x", L"a//x", L"./x",
                             L"a/", L"x*", L"a/.. /x"})
    EXPECT_FALSE(IsPlainRelativePath(bad)) << bad;
}
