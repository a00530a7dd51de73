// What the add step hands the library, how a new archive is named after its
// first file, and the save dialog's filters: no window needed.
#include "AddRules.h"

#include <gtest/gtest.h>

#include <set>

namespace {

const std::set<std::wstring> Folders = {L"C:\\data\\pics", L"C:\\proj\\src", L"D:\\x\\-dash"};
bool IsFolder(const std::wstring& path) { return Folders.count(path) > 0; }

TEST(AddRules, BaseFolderAndNamesFollowThePackDirOption) {
  struct Case {
    std::vector<std::wstring> files;
    int option;
    std::wstring baseFolder;
    int x, jf;
    std::vector<TAddCall> calls;
  } cases[] = {
      // A folder is stored under its own name, relative to its parent.
      {{L"C:\\data\\pics"}, 2, L"", 1, 0, {{L"C:\\data\\", {L"pics\\*.*"}}}},
      {{L"C:\\data\\pics\\"}, 2, L"", 1, 0, {{L"C:\\data\\", {L"pics\\*.*"}}}},
      {{L"C:\\data\\a.txt", L"C:\\data\\b.txt"}, 0, L"", 0, 0, {{L"C:\\data\\", {L"a.txt", L"b.txt"}}}},
      // The base folder the user set wins over folders inside it.
      {{L"C:\\proj\\src\\main.c"}, 0, L"C:\\proj", 0, 0, {{L"C:\\proj\\", {L"src\\main.c"}}}},
      {{L"c:\\PROJ\\src\\main.c"}, 2, L"C:\\proj\\", 1, 0, {{L"C:\\proj\\", {L"src\\main.c"}}}},
      // Absolute: from the drive's root.
      {{L"C:\\data\\pics"}, 1, L"", 1, 1, {{L"C:\\", {L"data\\pics\\*.*"}}}},
      // Names the library would take for switches or lists.
      {{L"C:\\t\\-readme.txt", L"C:\\t\\@list.txt"}, 2, L"", 1, 0, {{L"C:\\t\\", {L"-gb-readme.txt", L"-gb@list.txt"}}}},
      {{L"D:\\x\\-dash"}, 2, L"", 1, 0, {{L"D:\\x\\", {L"-gb-dash\\*.*"}}}},
      // Two folders: one call each, every name its own.
      {{L"C:\\a\\one.txt", L"C:\\b\\long name\\two.txt", L"C:\\a\\three.txt"},
       2, L"", 1, 0,
       {{L"C:\\a\\", {L"one.txt", L"three.txt"}}, {L"C:\\b\\long name\\", {L"two.txt"}}}},
      {{L"\\\\server\\share\\dir\\f.txt"}, 1, L"", 1, 1, {{L"\\\\server\\share\\", {L"dir\\f.txt"}}}},
      {{L"", L"C:\\a\\one.txt"}, 0, L"", 0, 0, {{L"C:\\a\\", {L"one.txt"}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "option " << c.option << ", first file #" << c.files.size());
    TAddPlan plan = PlanAdd(c.files, c.option, c.baseFolder, IsFolder);
    EXPECT_EQ(plan.x, c.x);
    EXPECT_EQ(plan.jf, c.jf);
    ASSERT_EQ(plan.calls.size(), c.calls.size());
    for (size_t i = 0; i < c.calls.size(); ++i) {
      EXPECT_EQ(plan.calls[i].base, c.calls[i].base);
      EXPECT_EQ(plan.calls[i].names, c.calls[i].names);
    }
  }
}

TEST(AddRules, NewArchiveIsNamedAfterItsFirstFile) {
  EXPECT_EQ(AutoNamedArchive(L"C:\\work\\~Tavix1\\Newfile.lzh", L"C:\\docs\\report.doc", L""),
            L"C:\\work\\~Tavix1\\report.lzh");
  EXPECT_EQ(AutoNamedArchive(L"C:\\work\\~Tavix1\\NewFile.zip", L"C:\\docs\\pics\\", L""),
            L"C:\\work\\~Tavix1\\pics.zip");
  EXPECT_EQ(AutoNamedArchive(L"C:\\w\\NewFile.cab", L"C:\\docs\\archive.tar.gz", L""), L"C:\\w\\archive.tar.cab");
  EXPECT_EQ(AutoNamedArchive(L"C:\\w\\NewFile.lzh", L"C:\\docs\\README", L""), L"C:\\w\\README.lzh");
}

TEST(AddRules, SaveDialogOffersTheKindsFiltersAndAllFiles) {
  EXPECT_EQ(SaveAsChoiceFor(atLha, L"C:\\w\\Newfile.lzh").defaultExtension, L"lzh");
  TSaveAsChoice zip = SaveAsChoiceFor(atZip, L"C:\\w\\NewFile.zip");
  EXPECT_EQ(zip.defaultExtension, L"zip");
  EXPECT_EQ(zip.filter, L"ZIP書庫ﾌｧｲﾙ(*.ZIP)|*.ZIP|ZIP書庫ﾌｧｲﾙ(*.JAR)|*.JAR|全てのﾌｧｲﾙ(*.*)|*.*");
  EXPECT_EQ(SaveAsChoiceFor(atZip, L"C:\\w\\NewFile.jar").defaultExtension, L"jar");
  EXPECT_EQ(SaveAsChoiceFor(atCab, L"C:\\w\\NewFile.cab").defaultExtension, L"cab");
  TSaveAsChoice tar = SaveAsChoiceFor(atTar, L"C:\\w\\x.tar");
  EXPECT_EQ(tar.filter, L"全てのﾌｧｲﾙ(*.*)|*.*");
  EXPECT_EQ(tar.defaultExtension, L"tar");
  EXPECT_EQ(FilterForDialog(L"a|*.a"), std::wstring(L"a\0*.a\0\0", 7));
}

// The ZIP choices are labelled by level; an index sent as "-0".."-3" would
// store ZIP/5 and ZIP/9 at levels 2 and 3.
TEST(AddRules, CompressionChoiceReachesTheLibraryAsLabelled) {
  EXPECT_EQ(CompressionSwitch(atZip, 0), 0);
  EXPECT_EQ(CompressionSwitch(atZip, 1), 1);
  EXPECT_EQ(CompressionSwitch(atZip, 2), 5);
  EXPECT_EQ(CompressionSwitch(atZip, 3), 9);
  for (int index = 0; index < 5; ++index) EXPECT_EQ(CompressionSwitch(atLha, index), index);
}

}  // namespace
