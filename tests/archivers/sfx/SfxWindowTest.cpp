// The GUI stub as a user meets it: the folder dialog, the overwrite question
// and the final message, answered from outside like a user would (needs a
// display: the test suite runs under Xvfb).
#include "archivers/sfx/SfxStubs.h"
#include "tests/archivers/bga/TestFiles.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>

#include <clocale>
#include <vector>

namespace {

using namespace testfiles;

std::string SmallZip() {
  std::setlocale(LC_ALL, "");
  struct archive* a = archive_write_new();
  archive_write_set_format_zip(a);
  std::vector<char> buffer(1 << 16);
  size_t used = 0;
  archive_write_open_memory(a, buffer.data(), buffer.size(), &used);
  for (const char* name : {"readme.txt", "bin/tool.dat"}) {
    struct archive_entry* entry = archive_entry_new();
    archive_entry_set_pathname(entry, name);
    archive_entry_set_filetype(entry, AE_IFREG);
    archive_entry_set_perm(entry, 0644);
    archive_entry_set_size(entry, 7);
    archive_entry_set_mtime(entry, 1700000000, 0);
    archive_write_header(a, entry);
    archive_write_data(a, "content", 7);
    archive_entry_free(entry);
  }
  archive_write_close(a);
  archive_write_free(a);
  return std::string(buffer.data(), used);
}

struct WindowSearch {
  DWORD process;
  std::wstring caption, text;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM data) {
  auto* s = reinterpret_cast<WindowSearch*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t title[256] = {};
  GetWindowTextW(window, title, 256);
  if (owner != s->process || !IsWindowVisible(window) || s->caption != title) return TRUE;
  if (!s->text.empty()) {
    HWND label = GetDlgItem(window, 0xFFFF);
    wchar_t body[1024] = {};
    if (label != nullptr) GetWindowTextW(label, body, 1024);
    if (std::wstring(body).find(s->text) == std::wstring::npos) return TRUE;
  }
  s->found = window;
  return FALSE;
}

// A visible top-level window of process whose caption is caption and, when
// given, whose text (a message box's static) contains text.
HWND WaitForWindow(DWORD process, const std::wstring& caption, const std::wstring& text = L"") {
  WindowSearch search{process, caption, text, nullptr};
  for (int i = 0; i < 200 && search.found == nullptr; ++i) {
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) Sleep(100);  // a poll for the window, at most 20 s; callers assert it came
  }
  return search.found;
}

TEST(SfxStubWindows, AsksForTheFolderAndAboutExistingFiles) {
  ScratchFolder scratch;
  WriteFile(scratch / L"archive.zip", SmallZip());
  wchar_t stub[MAX_PATH];
  ASSERT_NE(SearchPathW(nullptr, sfx::GuiStub, nullptr, MAX_PATH, stub, nullptr), 0u);
  fs::path program = scratch / L"tool.exe";
  ASSERT_EQ(sfx::JoinStubAndArchive(stub, (scratch / L"archive.zip").wstring(), program.wstring()), 0u);
  fs::path destination = scratch / L"chosen";
  WriteFile(destination / L"readme.txt", "mine");

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::wstring line = L"\"" + program.wstring() + L"\"";
  ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
  const std::wstring caption = L"tool.exe - 自己解凍";

  HWND dialog = WaitForWindow(process.dwProcessId, caption);
  ASSERT_NE(dialog, nullptr) << "no folder dialog";
  wchar_t proposed[MAX_PATH] = {};
  GetDlgItemTextW(dialog, 102, proposed, MAX_PATH);
  EXPECT_EQ(fs::path(proposed), scratch.Path());  // the program's own folder
  SetDlgItemTextW(dialog, 102, destination.c_str());
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);

  HWND question = WaitForWindow(process.dwProcessId, caption, L"上書きしますか");
  ASSERT_NE(question, nullptr) << "no overwrite question";
  PostMessageW(question, WM_COMMAND, IDNO, 0);
  HWND done = WaitForWindow(process.dwProcessId, caption, L"展開が終了しました。");
  ASSERT_NE(done, nullptr) << "no final message";
  PostMessageW(done, WM_COMMAND, IDOK, 0);

  DWORD code = 99;
  if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
  else TerminateProcess(process.hProcess, 99);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(ReadFile(destination / L"readme.txt"), "mine");
  EXPECT_EQ(ReadFile(destination / L"bin\\tool.dat"), "content");
}

}  // namespace
