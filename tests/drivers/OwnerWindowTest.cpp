// Withdrawing the owner window from a library that lacks the entry: the
// driver raises the missing entry and still forgets the window, so later
// command lines do not ask for progress to a window that is gone.
#include "drivers/Bga.h"
#include "drivers/Cab.h"
#include "tests/drivers/DriverTestSupport.h"
#include "drivers/Rar.h"
#include "drivers/Tar.h"
#include "drivers/Zip.h"

namespace {

TEST(OwnerWindow, IsForgottenWhenTheLibraryCannotWithdrawIt) {
  struct Case {
    const char* name;
    std::unique_ptr<TArchiver> driver;
  } cases[] = {{"ZIP", CreateDriver<TCZIP32>()}, {"CAB", CreateDriver<TCCAB32>()},
               {"TAR", CreateDriver<TCTAR32>()}, {"TGZ", CreateDriver<TTgz32>()},
               {"RAR", CreateDriver<TRar32>()},  {"BGA", CreateDriver<TBGA32>()}};
  for (auto& c : cases) {
    EXPECT_TRUE(c.driver->SetOwnerWindow(OwnerWindow)) << c.name;
    EXPECT_TRUE(c.driver->HasOwnerWindow()) << c.name;
    EXPECT_THROW(c.driver->KillOwnerWindow(OwnerWindow), EEntryNotFound) << c.name;
    EXPECT_FALSE(c.driver->HasOwnerWindow()) << c.name;
  }
  // TAR32 shows its dialog unless an owner window takes the progress.
  std::string output;
  cases[2].driver->Extract(nullptr, "a.tar", MakeOptions([](auto& o) { o.n = 1, o.c = 1; }), "",
                           {}, false, output);
  EXPECT_EQ(cases[2].driver->LastCommandLine, R"(x --display-dialog=0  -f "a.tar" )");
}

}  // namespace
