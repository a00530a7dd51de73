#include "engine/ArchiverDll.h"
#include "engine/CmdOpt.h"
#include "engine/TextUtil.h"

#include <gtest/gtest.h>
#include <oleauto.h>

#include <cstring>
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

// A record type whose records are 64 bytes: more than a VARIANT can hold.
class FakeRecordInfo : public IRecordInfo {
 public:
  int copies = 0;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE RecordInit(PVOID record) override {
    std::memset(record, 0, 64);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE RecordClear(PVOID) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RecordCopy(PVOID from, PVOID to) override {
    ++copies;
    std::memcpy(to, from, 64);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetGuid(GUID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetName(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetSize(ULONG* size) override {
    *size = 64;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetField(PVOID, LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetFieldNoCopy(PVOID, LPCOLESTR, VARIANT*, PVOID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE PutField(ULONG, PVOID, LPCOLESTR, VARIANT*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE PutFieldNoCopy(ULONG, PVOID, LPCOLESTR, VARIANT*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetFieldNames(ULONG*, BSTR*) override { return E_NOTIMPL; }
  BOOL STDMETHODCALLTYPE IsMatchingType(IRecordInfo*) override { return FALSE; }
  PVOID STDMETHODCALLTYPE RecordCreate() override { return nullptr; }
  HRESULT STDMETHODCALLTYPE RecordCreateCopy(PVOID, PVOID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RecordDestroy(PVOID) override { return E_NOTIMPL; }
};

// Array elements wider than a VARIANT's value: decimals are names like any
// number; records are no names and are never copied into a VARIANT.
TEST(CmdOpt, ArraysOfDecimalsAndRecords) {
  SAFEARRAYBOUND bound{2, 0};
  SAFEARRAY* decimals = SafeArrayCreate(VT_DECIMAL, 1, &bound);
  ASSERT_NE(decimals, nullptr);
  const double values[] = {12.5, -3};
  for (LONG i = 0; i < 2; ++i) {
    DECIMAL value;
    ASSERT_EQ(VarDecFromR8(values[i], &value), S_OK);
    ASSERT_EQ(SafeArrayPutElement(decimals, &i, &value), S_OK);
  }
  VARIANT decimalArray;
  VariantInit(&decimalArray);
  decimalArray.vt = VT_ARRAY | VT_DECIMAL;
  decimalArray.parray = decimals;
  EXPECT_EQ(FlattenNames({decimalArray}), (std::vector<std::string>{"12.5", "-3"}));
  VariantClear(&decimalArray);

  FakeRecordInfo recordInfo;
  SAFEARRAY* records = SafeArrayCreateEx(VT_RECORD, 1, &bound, &recordInfo);
  ASSERT_NE(records, nullptr);
  VARIANT recordArray;
  VariantInit(&recordArray);
  recordArray.vt = VT_ARRAY | VT_RECORD;
  recordArray.parray = records;
  EXPECT_TRUE(FlattenNames({recordArray, std::string("after")}) ==
              std::vector<std::string>{"after"});
  EXPECT_EQ(recordInfo.copies, 0);
  SafeArrayDestroy(records);
}

// Bare names beginning with "-" or "@" would be a switch or a response file
// to the library: they go marked "-gb", which every family reads as a name.
TEST(CmdOpt, NamesThatLookLikeSwitchesOrResponseFilesGoMarked) {
  for (bool separate : {false, true}) {
    TCmdOpt cmd;
    cmd.SeparateValue = separate;
    cmd.AddFiles("", {"-x.txt", "@list", "-gb-y.txt", "-GB@z", "a-b", "@", "sub\\-c"});
    EXPECT_EQ(cmd.Text(),
              R"( "-gb-x.txt" "-gb@list" "-gb-y.txt" "-GB@z" "a-b" "-gb@" "sub\-c")");
  }
  TCmdOpt exclusion;
  exclusion.AddFiles("jx", {"-x"});
  EXPECT_EQ(exclusion.Text(), R"( "-jx-x")");
  auto path = std::filesystem::temp_directory_path() / "tavix-resp-marks.txt";
  TCmdOpt response;
  response.WriteResponseFile({"@list", "-x", "-gb-y"}, path.string());
  EXPECT_EQ(ReadFile(path), "\"@list\"\r\n\"-x\"\r\n\"-y\"\r\n") << "a response file holds names only";
  std::filesystem::remove(path);
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
