// ZIP with our QXZIP32.DLL as the only ZIP library: it lists, extracts and
// writes through "-ru", and adding to an archive keeps its entries.
#include "engine/ArchiveFile.h"
#include "tests/drivers/DriverTestSupport.h"
#include "drivers/Zip.h"

#include <algorithm>

namespace {

std::vector<std::string> List(TArchiveFile& arc) {
  std::vector<std::string> names;
  if (arc.OpenArchive(nullptr, 1) != 0) return {"<not opened>"};
  TIndividualInfo record{};
  for (int found = arc.FindFirst("*.*", &record); found == 0; found = arc.FindNext(&record))
    names.push_back(record.szFileName);
  for (auto& name : names) std::replace(name.begin(), name.end(), '\\', '/');
  arc.CloseArchive();
  std::sort(names.begin(), names.end());
  return names;
}

TEST(QxzipOnly, CreatesAddsListsAndExtracts) {
  ScratchFolder root;
  WriteBytes(root / "one.txt", "first");
  WriteBytes(root / "two.txt", "second");
  TArchiveFile arc;
  arc.SetOutputSize(1024);
  arc.SetFileName(root / "q.zip");
  ASSERT_NE(SharedZipDll(), nullptr);
  ASSERT_EQ(SharedZipDll()->Zip32j(), nullptr) << "only QXZIP32 on this program's path";
  ASSERT_NE(SharedZipDll()->Qxzip32(), nullptr);
  auto options = MakeOptions([](auto& o) { o.x = 0; });
  ASSERT_EQ(arc.Add(nullptr, &options, root.Path(), {root / "one.txt"}), 0) << arc.OutputText();
  EXPECT_EQ(arc.LastCommandLine().rfind("-ru", 0), 0u) << arc.LastCommandLine();
  ASSERT_EQ(arc.Add(nullptr, &options, root.Path(), {root / "two.txt"}), 0) << arc.OutputText();
  EXPECT_EQ(List(arc), (std::vector<std::string>{"one.txt", "two.txt"}));
  auto extract = MakeOptions([](auto& o) { o.x = 0, o.c = 1; });
  ASSERT_EQ(arc.Extract(nullptr, &extract, root / "out", {}), 0) << arc.OutputText();
  EXPECT_EQ(ReadBytes(root / "out\\one.txt"), "first");
  EXPECT_EQ(ReadBytes(root / "out\\two.txt"), "second");
}

// QXZIP32 has no base-folder word: names relative to the base folder must
// still be found there, whatever the process's current folder is.
TEST(QxzipOnly, RelativeNamesAreTakenFromTheBaseFolder) {
  ScratchFolder root, elsewhere;
  CreateDirectoryA((root / "sub").c_str(), nullptr);
  WriteBytes(root / "one.txt", "first");
  WriteBytes(root / "sub\\two.txt", "second");
  WriteBytes(elsewhere / "one.txt", "a different file");
  InFolder in(elsewhere.Path());
  TArchiveFile arc;
  arc.SetOutputSize(1024);
  arc.SetFileName(root / "r.zip");
  auto options = MakeOptions([](auto& o) { o.x = 1; });
  ASSERT_EQ(arc.Add(nullptr, &options, root.Path(), {std::string("one.txt"), std::string("sub\\two.txt")}), 0)
      << arc.LastCommandLine() << " " << arc.OutputText();
  EXPECT_EQ(List(arc), (std::vector<std::string>{"one.txt", "sub/two.txt"}));
  auto extract = MakeOptions([](auto& o) { o.x = 1, o.c = 1; });
  ASSERT_EQ(arc.Extract(nullptr, &extract, root / "out", {}), 0) << arc.OutputText();
  EXPECT_EQ(ReadBytes(root / "out\\one.txt"), "first");
  EXPECT_EQ(ReadBytes(root / "out\\sub\\two.txt"), "second");
}

}  // namespace
