// Telling an archive's kind from its content when every family's library is
// there: all probes run in a fixed order and the last yes wins.
#include "engine/ArchiveFile.h"
#include "drivers/DriverTable.h"
#include "tests/drivers/DriverTestSupport.h"
#include "engine/TextUtil.h"
#include "drivers/Zip.h"

#include <algorithm>

namespace {

// The libraries in probe order after the TAR family.
const wchar_t* const Libraries[] = {L"UNRAR32.DLL", L"UNARJ32.DLL", L"QXZIP32.DLL",
                                    L"BGA32.DLL",   L"CAB32.DLL",   L"UNLHA32.DLL"};

class ContentDetection : public ::testing::Test {
 protected:
  void SetUp() override {
    // Creating one driver of each family loads every library.
    for (auto kind : {atLha, atZip, atCab, atArj, atTar, atRar, atBga}) CreateArchiver(kind);
    WriteBytes(file, "MZ");
  }
  void TearDown() override {
    for (auto name : Libraries) SpyLibrary(name).Reset();
    SpyLibrary(L"TAR32.DLL").Reset();
  }
  // accepting: one flag per library of Libraries; tar: TAR32's kind answer.
  TArchiverType Detect(std::initializer_list<bool> accepting, int tar) {
    auto flag = accepting.begin();
    for (auto name : Libraries) SpyLibrary(name).SetResult(*flag++ ? 0 : 0x8019);
    SpyLibrary(L"TAR32.DLL").SetResult(tar);
    return ArchiveKindFromContent(file);
  }
  ScratchFolder folder;
  std::string file = folder / "setup.exe";
};

TEST_F(ContentDetection, TheLastProbeThatSaysYesWins) {
  struct Case {
    std::initializer_list<bool> accepting;  // RAR, ARJ, ZIP, BGA, CAB, LHA
    int tar;
    TArchiverType kind;
  } const cases[] = {
      {{true, true, true, true, true, true}, 1, atLha},
      {{true, true, true, true, true, false}, 1, atCab},
      {{true, true, true, true, false, false}, 1, atBga},
      {{true, true, true, false, false, false}, 1, atZip},
      {{false, false, true, false, false, true}, 0, atLha},
      {{true, true, false, false, false, false}, 1, atArj},
      {{true, false, false, false, false, false}, 1, atRar},
      {{false, false, false, false, false, false}, 1, atTar},
      {{false, false, false, false, false, false}, 2, atTgz},
      {{false, false, false, false, false, false}, 7, atBZ2},
      {{false, false, false, false, false, false}, 0, atNone},
      {{false, false, false, false, false, false}, -1, atNone},
  };
  int row = 0;
  for (const auto& c : cases) EXPECT_EQ(Detect(c.accepting, c.tar), c.kind) << "row " << row++;
}

TEST_F(ContentDetection, TheComponentCreatesTheDriverOfTheDetectedKind) {
  Detect({false, false, true, false, false, false}, 0);
  TArchiveFile arc;
  arc.SetFileName(file);
  EXPECT_EQ(arc.ArchiverType(), atZip);
  EXPECT_NE(dynamic_cast<TCZIP32*>(arc.Archiver()), nullptr);
}

TEST_F(ContentDetection, AFileNoProbeAcceptsStaysUndetected) {
  Detect({false, false, false, false, false, false}, 0);
  TArchiveFile arc;
  arc.SetArchiverType(atAutoDetect);
  std::string notes = folder / "notes.dat";
  arc.SetFileName(notes);
  WriteBytes(notes, "plain text");
  for (auto name : Libraries) SpyLibrary(name).Reset();
  SpyLibrary(L"TAR32.DLL").Reset();
  Detect({false, false, false, false, false, false}, 0);
  EXPECT_ARCHIVER_ERROR(arc.OpenArchive(nullptr, 1), EArchiver, L"書庫の形式を判別できません。");
  EXPECT_EQ(arc.Archiver(), nullptr);
  // Every family's probe was asked about the file and said no.
  std::vector<const wchar_t*> asked(std::begin(Libraries), std::end(Libraries));
  asked.push_back(L"TAR32.DLL");
  for (auto name : asked) {
    auto calls = SpyLibrary(name).Calls();
    EXPECT_TRUE(std::any_of(calls.begin(), calls.end(),
                            [&](const std::string& call) { return call.find(notes) != std::string::npos; }))
        << "the probe never reached " << WideToAnsi(name);
  }
}

}  // namespace
