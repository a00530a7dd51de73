// The archive component works through the driver factory it is given: a
// self-extractor's kind comes from the factory's probe and every driver from
// its creation, so the engine needs no driver of its own.
#include "engine/ArchiveFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class TRecordingDriver : public TArchiver {
 public:
  int Extract(HWND, const std::string& archivePath, const TArchiverOptions&,
              const std::string& directory, const TNameList&, bool, std::string&) override {
    LastCommandLine = "extract " + archivePath + " " + directory;
    return 7;
  }
};

std::vector<TArchiverType> created;
std::vector<std::string> probed;

std::unique_ptr<TArchiver> CreateRecordingDriver(TArchiverType kind) {
  created.push_back(kind);
  if (kind == atRar) throw ENoArchiverDLL(L"UNRAR32.DLL がありません。");
  return std::make_unique<TRecordingDriver>();
}

TArchiverType ProbeAsCabinet(const std::string& path) {
  probed.push_back(path);
  return atCab;
}

TEST(DriverFactory, TheComponentProbesCreatesAndRunsThroughTheFactoryItWasGiven) {
  created.clear();
  probed.clear();
  TArchiveFile file(TDriverFactory{CreateRecordingDriver, ProbeAsCabinet});

  file.SetFileName("C:\\in\\setup.exe");
  EXPECT_EQ(probed, std::vector<std::string>{"C:\\in\\setup.exe"});
  EXPECT_EQ(file.ArchiverType(), atCab);
  EXPECT_EQ(created, std::vector<TArchiverType>{atCab});
  TArchiver* cabinet = file.Archiver();
  ASSERT_NE(cabinet, nullptr);

  // A kind whose library is missing leaves the driver that was there.
  EXPECT_THROW(file.SetArchiverType(atRar), ENoArchiverDLL);
  EXPECT_EQ(file.Archiver(), cabinet);
  EXPECT_EQ(file.ArchiverType(), atCab);

  EXPECT_EQ(file.Extract(nullptr, nullptr, "C:\\out", {}), 7);
  EXPECT_EQ(file.LastCommandLine(), "extract C:\\in\\setup.exe C:\\out");

  // An extension names the kind without asking the probe.
  file.SetFileName("C:\\in\\b.lzh");
  EXPECT_EQ(probed.size(), 1u);
  EXPECT_EQ(created, (std::vector<TArchiverType>{atCab, atRar, atLha}));
}

}  // namespace
