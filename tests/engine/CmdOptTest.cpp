#include "ArchiverDll.h"
#include "CmdOpt.h"
#include "TextUtil.h"

#include <gtest/gtest.h>
#include <oleauto.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Brackets(const std::string& name) { return "[" + name + "]"; }

TEST(CmdOpt, ValueForms) {
  struct Case {
    std::string switchName, value;
    bool separate;
    std::string expected;
  } cases[] = {
      {"", "v", false, " \"v\""},
      {" x", "v", false, " \"xv\""},
      {"x", "v", false, " \"-xv\""},
      {"x", "v", true, " -x \"v\""},
      {" -f", "a.tar", true, " -f \"a.tar\""},
      {"x", "", false, ""},
      {"", "", true, ""},
  };
  for (const auto& c : cases) {
    TCmdOpt cmd;
    cmd.SeparateValue = c.separate;
    cmd.AddValue(c.switchName, c.value);
    EXPECT_EQ(cmd.Text(), c.expected) << "switch '" << c.switchName << "' value '" << c.value << "'";
  }
}

TEST(CmdOpt, NumbersFlagsAndRawItems) {
  TCmdOpt cmd;
  cmd.AddNumber("a", -1);
  EXPECT_EQ(cmd.Text(), "");
  cmd.AddNumber("a", 0);
  cmd.AddNumber("jm", 12);
  cmd.AddFlag("y", false);
  cmd.AddFlag("y", true);
  cmd.AddRaw("");
  cmd.AddRaw("-gm1");
  EXPECT_EQ(cmd.Text(), " -a0 -jm12 -y  -gm1");
}

TEST(CmdOpt, DirectoryGetsOneBackslashCountingDoubleByteCharacters) {
  struct Case {
    std::string dir, expected;
  } cases[] = {
      {"C:\\out", " \"C:\\out\\\""},
      {"C:\\out\\", " \"C:\\out\\\""},
      {"", ""},
      // "表" is 0x95 0x5C in Shift-JIS: its second byte is not a backslash of its own.
      {"C:\\\x95\x5C", " \"C:\\\x95\x5C\\\""},
      {"C:\\\x95\x5C\\", " \"C:\\\x95\x5C\\\""},
  };
  for (const auto& c : cases) {
    TCmdOpt cmd;
    cmd.AddDir("", c.dir);
    EXPECT_EQ(cmd.Text(), c.expected) << c.dir;
  }
  TCmdOpt withSwitch;
  withSwitch.AddDir("w", "C:\\tmp");
  EXPECT_EQ(withSwitch.Text(), " \"-wC:\\tmp\\\"");
}

TEST(CmdOpt, NameListFlattensEverySourceKindInOrder) {
  const char* array[] = {"a1", "", "a2", nullptr};
  std::vector<std::string> list = {"l1", "", "l2"};
  VARIANT single;
  VariantInit(&single);
  single.vt = VT_BSTR;
  single.bstrVal = SysAllocString(L"v1");
  SAFEARRAYBOUND bound{3, 5};  // indices 5..7
  SAFEARRAY* sa = SafeArrayCreate(VT_VARIANT, 1, &bound);
  const wchar_t* items[] = {L"e1", L"", L"e3"};
  for (LONG i = 0; i < 3; ++i) {
    VARIANT item;
    VariantInit(&item);
    item.vt = VT_BSTR;
    item.bstrVal = SysAllocString(items[i]);
    LONG index = 5 + i;
    SafeArrayPutElement(sa, &index, &item);
    VariantClear(&item);
  }
  VARIANT arrayVariant;
  VariantInit(&arrayVariant);
  arrayVariant.vt = VT_ARRAY | VT_VARIANT;
  arrayVariant.parray = sa;
  VARIANT number;
  VariantInit(&number);
  number.vt = VT_I4;
  number.lVal = 42;

  TNameList names = {std::string("t1"), "c1", array, list, 7, true, L'w', 2.5, nullptr,
                     single, arrayVariant, number, std::string()};
  std::vector<std::string> expected = {"t1", "c1", "a1", "a2", "l1", "l2", "v1", "e1", "e3", "42"};
  EXPECT_EQ(FlattenNames(names), expected);
  EXPECT_TRUE(FlattenNames({nullptr}).empty());

  TCmdOpt cmd;
  EXPECT_EQ(cmd.AddFiles("", {"a b", list}), 3);
  EXPECT_EQ(cmd.Text(), " \"a b\" \"l1\" \"l2\"");
  VariantClear(&single);
  VariantClear(&arrayVariant);
}

TEST(CmdOpt, NameFilterAppliesToEveryFileName) {
  TCmdOpt cmd;
  cmd.NameFilter = Brackets;
  cmd.AddFiles("", {"a", "b"});
  cmd.AddValue("", "c");
  EXPECT_EQ(cmd.Text(), " \"[a]\" \"[b]\" \"c\"");
}

TEST(CmdOpt, ResponseFileHoldsQuotedFilteredNamesInSystemCodePage) {
  auto path = std::filesystem::temp_directory_path() / "tavix-resp.txt";
  std::string ansiPath = path.string();
  {
    std::ofstream old(path);
    old << "old contents that must disappear\n";
  }
  TCmdOpt cmd;
  cmd.NameFilter = Brackets;
  std::string japanese = "\x95\x5C.txt";  // 表.txt
  EXPECT_EQ(cmd.WriteResponseFile({"a.txt", japanese, ""}, ansiPath), 2);
  EXPECT_EQ(ReadFile(path), "\"[a.txt]\"\r\n\"[\x95\x5C.txt]\"\r\n");
  EXPECT_EQ(cmd.Text(), " \"@" + ansiPath + "\"");

  TCmdOpt empty;
  EXPECT_EQ(empty.WriteResponseFile({}, ansiPath), 0);
  EXPECT_EQ(ReadFile(path), "");
  EXPECT_EQ(empty.Text(), " \"@" + ansiPath + "\"");
  std::filesystem::remove(path);
}

TEST(CmdOpt, UnwritableResponseFileRaisesNamingThePath) {
  TCmdOpt cmd;
  std::string path = "Z:\\no\\such\\folder\\resp.txt";
  try {
    cmd.WriteResponseFile({"a"}, path);
    FAIL() << "no exception";
  } catch (const EArchiver& e) {
    EXPECT_NE(e.Message().find(L"Z:\\no\\such\\folder\\resp.txt"), std::wstring::npos);
  }
  EXPECT_EQ(cmd.Text(), "");
}

TEST(CmdOpt, ExtractionExampleFromTheLzhDriver) {
  TCmdOpt cmd;
  cmd.AddRaw("-+");
  cmd.AddNumber("p", 1);
  cmd.AddRaw("");
  cmd.AddValue("", "C:\\a.lzh");
  cmd.AddDir("", "C:\\out");
  cmd.AddFiles("", {"f1", "f2"});
  cmd.AddRaw("");
  EXPECT_EQ("x" + cmd.Text(), "x -+ -p1  \"C:\\a.lzh\" \"C:\\out\\\" \"f1\" \"f2\" ");
}

TEST(FormatMessageText, IndexedAndSequentialPlaceholders) {
  EXPECT_EQ(FormatMessageText(L"%1:s-%0:s", {L"a", L"b"}), L"b-a");
  EXPECT_EQ(FormatMessageText(L"%s と %s 100%%", {L"x", L"y"}), L"x と y 100%");
  EXPECT_EQ(FormatMessageText(L"%2:s|", {L"x"}), L"|");
}

}  // namespace
