#include "engine/Archiver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

namespace {

// A format that supports nothing beyond extraction.
class BareArchiver : public TArchiver {
 public:
  int Extract(HWND, const std::string&, const TArchiverOptions&, const std::string&,
              const TNameList&, bool, std::string&) override {
    return 0;
  }
  // Exposes the shared command-building steps.
  static std::string Target(const std::string& archive, const std::string& directory) {
    TCmdOpt cmd;
    AddTarget(cmd, archive, directory);
    return cmd.Text();
  }
  static std::string FileList(const TArchiverOptions& options, bool useResponseFile,
                              const TNameList& files, int* count) {
    TCmdOpt cmd;
    *count = AddFileList(cmd, options, useResponseFile, files);
    return cmd.Text();
  }
};

class OtherPersistent : public TPersistent {
 public:
  const wchar_t* ClassName() const override { return L"TOtherPersistent"; }
};

std::wstring MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EArchiver& e) {
    return e.Message();
  }
  return L"<no exception>";
}

TEST(ArchiverOptions, FreshObjectHasEverySwitchUnsetAndTheDefaultModes) {
  TArchiverOptions o;
  for (TSwitch value : {o.a, o.c, o.e, o.f, o.h, o.i, o.l, o.m, o.n, o.o, o.p, o.r, o.s, o.t, o.u,
                        o.x, o.y, o.z, o.jc, o.jd, o.je, o.jf, o.jh, o.ji, o.jm, o.jn, o.jp, o.jr,
                        o.jsb, o.jsc, o.jsd, o.jse, o.jsf, o.jsl, o.jso, o.jss, o.jst, o.jsv, o.jsz,
                        o.jw, o.jyc, o.jyd, o.jyk, o.jyn, o.jyo, o.ga, o.gd, o.ge, o.gf, o.gj, o.gm,
                        o.gn, o.go, o.gp, o.gs, o.gu, o.gw})
    EXPECT_EQ(value, -1);
  for (const std::string* text : {&o.w, &o.jo, &o.job, &o.jz, &o.gr, &o.UserOptions,
                                  &o.UserFileList, &o.ResFileName})
    EXPECT_TRUE(text->empty());
  EXPECT_TRUE(o.jx.empty());
  EXPECT_EQ(o.PackFilter, pfComponent);
  EXPECT_TRUE(o.ResFileUsage.Contains(ruOnPack));
  EXPECT_TRUE(o.ResFileUsage.Contains(ruOnUnpack));
  EXPECT_TRUE(o.ResFileUsage.Contains(ruOnRemoveItem));
  EXPECT_FALSE(o.ResFileUsage.Contains(ruOnUpdate));
}

TArchiverOptions Changed() {
  TArchiverOptions o;
  o.a = 1;
  o.n = 0;
  o.gw = 127;
  o.w = "C:\\work";
  o.jo = "250101";
  o.jx = {"*.bak", "~*"};
  o.UserOptions = "-zz";
  o.PackFilter = pfArchiver;
  o.ResFileName = "r.txt";
  o.ResFileUsage = {ruOnUpdate};
  return o;
}

TEST(ArchiverOptions, ResetAndAssignCoverEveryProperty) {
  TArchiverOptions o = Changed();
  TArchiverOptions copy;
  copy.Assign(o);
  EXPECT_EQ(copy, o);
  // The copy owns its own list.
  o.jx.push_back("x");
  EXPECT_EQ(copy.jx.size(), 2u);
  copy.Reset();
  EXPECT_EQ(copy, TArchiverOptions());
}

TEST(ArchiverOptions, AssignBetweenOptionsAndAnotherKindIsRefused) {
  TArchiverOptions o = Changed();
  OtherPersistent other;
  EXPECT_EQ(MessageOf([&] { o.Assign(other); }),
            L"Cannot assign a TOtherPersistent to a TArchiverOptions");
  EXPECT_EQ(o, Changed());
  EXPECT_EQ(MessageOf([&] { other.Assign(o); }),
            L"Cannot assign a TArchiverOptions to a TOtherPersistent");
  EXPECT_THROW(o.Assign(other), EConvertError);
}

TEST(Archiver, UnsupportedOperationsRaiseTheirOwnMessageAndSendNothing) {
  BareArchiver driver;
  driver.LastCommandLine = "previous";
  TArchiverOptions o;
  std::string out(16, '\0');
  BYTE buffer[4];
  DWORD written = 0;
  struct Case {
    std::function<void()> call;
    std::wstring message;
  } cases[] = {
      {[&] { driver.LoadDLL(); }, L"Abstract method 'TArchiver.LoadDLL' was called"},
      {[&] { driver.FreeDLL(); }, L"Abstract method 'TArchiver.FreeDLL' was called"},
      {[&] { driver.Add(nullptr, "a", o, "", {"f"}, false, out); },
       L"この形式では書庫ファイルの作成をサポートしておりません。"},
      {[&] { driver.Delete(nullptr, "a", o, "", {"f"}, false, out); },
       L"この形式の書庫ではファイルの削除をサポートしておりません。"},
      {[&] { driver.Update(nullptr, "a", o, "", {"f"}, false, out); },
       L"この形式の書庫では書庫の更新をサポートしておりません。"},
      {[&] { driver.MakeSfx(nullptr, "a", o, "", out); },
       L"この形式では自己解凍書庫の作成をサポートしておりません。"},
      {[&] { driver.ExtractMem(nullptr, "a", o, "f", buffer, 4, &written); },
       L"この形式ではメモリへの展開をサポートしておりません。"},
      {[&] { driver.CheckArchive("a", 0, 0); }, L"この形式では書庫チェック機能をサポートしておりません。"},
      {[&] { driver.LoadPackDLL(); }, L"Abstract method 'TArchiver.LoadDLL' was called"},
  };
  for (const auto& c : cases) EXPECT_EQ(MessageOf(c.call), c.message);
  EXPECT_EQ(driver.LastCommandLine, "previous");
}

TEST(Archiver, ListingWithoutALibraryFindsNothing) {
  BareArchiver driver;
  TIndividualInfo record{};
  EXPECT_EQ(driver.OpenArchive(nullptr, "a", 0), nullptr);
  EXPECT_EQ(driver.FindFirst(nullptr, "*.*", &record), -1);
  EXPECT_EQ(driver.FindNext(nullptr, &record), -1);
  EXPECT_EQ(driver.CloseArchive(nullptr), 0);
}

TEST(Archiver, OwnerWindowIsKeptFromSetUntilKill) {
  BareArchiver driver;
  HWND window = reinterpret_cast<HWND>(0x1234);
  EXPECT_FALSE(driver.HasOwnerWindow());
  EXPECT_FALSE(driver.SetOwnerWindow(window));
  EXPECT_TRUE(driver.HasOwnerWindow());
  EXPECT_EQ(driver.OwnerWindow(), window);
  EXPECT_FALSE(driver.KillOwnerWindow(window));
  EXPECT_FALSE(driver.HasOwnerWindow());
}

TEST(Archiver, TargetIsQuotedArchiveThenDirectoryWithBackslash) {
  EXPECT_EQ(BareArchiver::Target("C:\\a.lzh", "C:\\out"), " \"C:\\a.lzh\" \"C:\\out\\\"");
  EXPECT_EQ(BareArchiver::Target("C:\\a.lzh", "C:\\out\\"), " \"C:\\a.lzh\" \"C:\\out\\\"");
  EXPECT_EQ(BareArchiver::Target("C:\\a.lzh", ""), " \"C:\\a.lzh\"");
}

TEST(Archiver, FileListGoesToResponseFileOnlyWhenAskedAndNamed) {
  auto path = std::filesystem::temp_directory_path() / "tavix-archiver-res.txt";
  TArchiverOptions o;
  o.UserFileList = "tail";
  std::vector<std::string> names = {"a b.txt", "c.txt"};
  int count = 0;
  EXPECT_EQ(BareArchiver::FileList(o, true, {names}, &count), " \"a b.txt\" \"c.txt\" tail");
  EXPECT_EQ(count, 2);
  o.ResFileName = path.string();
  EXPECT_EQ(BareArchiver::FileList(o, false, {names}, &count), " \"a b.txt\" \"c.txt\" tail");
  EXPECT_EQ(BareArchiver::FileList(o, true, {names}, &count), " \"@" + path.string() + "\" tail");
  EXPECT_EQ(count, 2);
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "\"a b.txt\"\r\n\"c.txt\"\r\n");
  in.close();
  std::filesystem::remove(path);
}

}  // namespace
