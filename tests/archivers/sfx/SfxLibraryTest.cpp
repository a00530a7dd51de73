// The self-extractor roads of our libraries end in a program that works:
// UNLHA32 "s", CAB32 "-f", BGA32 "s", and Tavix's ZIP road (stub + archive,
// then ZIP32J "-A"). Each library is taken from the PATH; one that is not
// built is skipped.
#include "archivers/sfx/SfxStubs.h"
#include "tests/archivers/bga/TestFiles.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>

#include <clocale>
#include <vector>

namespace {

using namespace testfiles;

using Command = int(WINAPI*)(HWND, LPCSTR, LPSTR, DWORD);

Command LoadCommand(const wchar_t* file, const char* entry) {
  HMODULE module = LoadLibraryW(file);
  return module == nullptr ? nullptr : reinterpret_cast<Command>(reinterpret_cast<void*>(GetProcAddress(module, entry)));
}

int Call(Command command, const std::wstring& line, std::string* output = nullptr) {
  std::vector<char> buffer(16384);
  int code = command(nullptr, Ansi(line).c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
  if (output != nullptr) *output = buffer.data();
  return code;
}

std::wstring Quote(const fs::path& path) { return L"\"" + path.wstring() + L"\""; }

class LibrarySelfExtractors : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(scratch / L"src\\readme.txt", "read me\r\n");
    WriteFile(scratch / L"src\\docs\\manual.txt", std::string(50000, 'm'));
  }
  // Runs the program silently and compares what it extracted with src.
  void ExpectExtractsTheSource(const fs::path& program) {
    ASSERT_TRUE(fs::exists(program)) << program.string();
    fs::path out = scratch / (program.stem().wstring() + L"-out");
    EXPECT_EQ(RunProgram(Quote(program) + L" /s /d " + Quote(out)), 0);
    EXPECT_EQ(Tree(out), Tree(scratch / L"src"));
  }
  ScratchFolder scratch;
};

TEST_F(LibrarySelfExtractors, Bga) {
  Command bga = LoadCommand(L"BGA32.DLL", "Bga");
  ASSERT_NE(bga, nullptr) << "BGA32.DLL is built with the tests and must load";
  ASSERT_EQ(Call(bga, L"a -r " + Quote(scratch / L"a.bza") + L" " + Quote(scratch / L"src\\") + L" *.*"), 0);
  ASSERT_EQ(Call(bga, L"s " + Quote(scratch / L"a.bza") + L" " + Quote(scratch / L"exe\\")), 0);
  ExpectExtractsTheSource(scratch / L"exe\\a.exe");
}

TEST_F(LibrarySelfExtractors, Lzh) {
  Command lha = LoadCommand(L"UNLHA32.DLL", "Unlha");
  ASSERT_NE(lha, nullptr) << "UNLHA32.DLL is built with the tests and must load";
  std::string output;
  ASSERT_EQ(Call(lha, L"a -r2 -x1 " + Quote(scratch / L"a.lzh") + L" " + Quote(scratch / L"src\\") + L" readme.txt docs",
                &output),
            0)
      << output;
  // Tavix names the archive's own folder as the output folder.
  ASSERT_EQ(Call(lha, L"s -gw1 -n1 " + Quote(scratch / L"a.lzh") + L" " + Quote(scratch.Path() / L""), &output), 0)
      << output;
  ExpectExtractsTheSource(scratch / L"a.exe");
}

// "-gw4" joins the installer stub itself, and an output folder that is not
// there yet is made.
TEST_F(LibrarySelfExtractors, LzhInstallerIntoAMissingFolder) {
  Command lha = LoadCommand(L"UNLHA32.DLL", "Unlha");
  ASSERT_NE(lha, nullptr) << "UNLHA32.DLL is built with the tests and must load";
  std::string output;
  ASSERT_EQ(Call(lha, L"a -r2 -x1 " + Quote(scratch / L"a.lzh") + L" " + Quote(scratch / L"src\\") + L" readme.txt docs",
                &output),
            0)
      << output;
  fs::path folder = scratch / L"made\\later";
  ASSERT_FALSE(fs::exists(folder));
  ASSERT_EQ(Call(lha, L"s -gw4 -n1 " + Quote(scratch / L"a.lzh") + L" " + Quote(folder / L""), &output), 0) << output;
  wchar_t stub[MAX_PATH];
  ASSERT_NE(SearchPathW(nullptr, sfx::InstallerStub, nullptr, MAX_PATH, stub, nullptr), 0u);
  std::string stubBytes = ReadFile(stub), program = ReadFile(folder / L"a.exe");
  ASSERT_GT(program.size(), stubBytes.size());
  EXPECT_TRUE(program.compare(0, stubBytes.size(), stubBytes) == 0) << "the installer stub heads the program";
  EXPECT_EQ(program.substr(stubBytes.size()), ReadFile(scratch / L"a.lzh"));
  ExpectExtractsTheSource(folder / L"a.exe");
}

TEST_F(LibrarySelfExtractors, Cab) {
  Command cab = LoadCommand(L"CAB32.DLL", "Cab");
  ASSERT_NE(cab, nullptr) << "CAB32.DLL is built with the tests and must load";
  std::string output;
  ASSERT_EQ(Call(cab, L"-a -r " + Quote(scratch / L"a.cab") + L" " + Quote(scratch / L"src\\") + L" *.*", &output), 0)
      << output;
  ASSERT_EQ(Call(cab, L"-f " + Quote(scratch / L"a.cab") + L" " + Quote(scratch / L"exe\\"), &output), 0) << output;
  ExpectExtractsTheSource(scratch / L"exe\\a.exe");
}

// What Tavix does for ZIP: the stub and the archive joined, then "-A" on the result.
TEST_F(LibrarySelfExtractors, ZipAdjustedByZip32j) {
  Command zip = LoadCommand(L"ZIP32J.DLL", "Zip");
  ASSERT_NE(zip, nullptr) << "ZIP32J.DLL is built with the tests and must load";
  std::string output;
  ASSERT_EQ(Call(zip, L"-r " + Quote(scratch / L"a.zip") + L" " + Quote(scratch / L"src\\") + L" *.*", &output), 0)
      << output;
  for (const wchar_t* stubName : {sfx::GuiStub, sfx::ConsoleStub}) {
    wchar_t stub[MAX_PATH];
    ASSERT_NE(SearchPathW(nullptr, stubName, nullptr, MAX_PATH, stub, nullptr), 0u);
    fs::path program = scratch / (std::wstring(stubName) + L".exe");
    ASSERT_EQ(sfx::JoinStubAndArchive(stub, (scratch / L"a.zip").wstring(), program.wstring()), 0u);
    ASSERT_EQ(Call(zip, L"-A " + program.wstring(), &output), 0) << output;
    fs::path out = scratch / (program.stem().wstring() + L"-out");
    std::wstring silent = stubName == sfx::GuiStub ? L" /s /d " : L" -s ";
    EXPECT_EQ(RunProgram(Quote(program) + silent + Quote(out)), 0);
    EXPECT_EQ(Tree(out), Tree(scratch / L"src"));
  }
}

}  // namespace
