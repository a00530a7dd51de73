// Help: every topic a window asks for has its page, the pages' links hold,
// and the keys open the page in the user's browser (a recorder registered
// for .html stands in for it).
#include "../app/WindowDriver.h"

#include "dialogs/FindDialogIds.h"
#include "engine/Handles.h"
#include "settings/IniGT.h"
#include "viewer/Viewer.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <thread>

namespace {

std::string Narrow(const std::wstring& text) {
  std::string out(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), static_cast<int>(out.size()), nullptr, nullptr);
  out.pop_back();
  return out;
}

std::string ReadAll(const std::wstring& path) {
  TFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               0, nullptr));
  if (!file) return {};
  std::string text(GetFileSize(file.get(), nullptr), '\0');
  DWORD read = 0;
  ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
  text.resize(read);
  return text;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

#define TAVIX_TOPIC_OF(id, handler, caption, image, hint, drop, slot, key, topic) topic,
constexpr DWORD CommandTopics[] = {TAVIX_MAIN_COMMANDS(TAVIX_TOPIC_OF)};
#undef TAVIX_TOPIC_OF
// The windows' own topics and the tool-bar buttons' ones.
constexpr DWORD WindowTopics[] = {1, 5, 14, 15, 17, 18, 19, 20, 21, 22, 23, 25, 26, 28, 47, 58, 60};

TEST(HelpPages, EveryTopicHasItsPageAndEveryLinkHolds) {
  std::wstring folder = HelpFolderOf(ProgramHelpFile());
  std::set<std::wstring> pages;
  for (DWORD topic : CommandTopics) pages.insert(HelpPageForTopic(topic));
  for (DWORD topic : WindowTopics) {
    pages.insert(HelpPageForTopic(topic));
    if (topic != 1) {
      EXPECT_NE(std::wstring(HelpPageForTopic(topic)), L"index.html") << "topic " << topic;
    }
  }
  pages.insert(L"index.html");
  for (const std::wstring& page : pages) {
    std::string text = ReadAll(folder + L"\\" + page);
    ASSERT_FALSE(text.empty()) << Narrow(page) << " missing from " << Narrow(folder);
    EXPECT_NE(text.find("<meta charset=\"utf-8\">"), std::string::npos) << Narrow(page);
    std::regex link("href=\"([^\"#:]+)");
    for (std::sregex_iterator it(text.begin(), text.end(), link), end; it != end; ++it) {
      std::string target = (*it)[1];
      EXPECT_TRUE(Exists(folder + L"\\" + std::wstring(target.begin(), target.end())))
          << Narrow(page) << " links to missing " << target;
    }
  }
}

class HelpWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = TempFolder(L"help");
    record_ = folder_ + L"\\opened.txt";
    SetEnvironmentVariableW(L"TAVIX_OPEN_RECORD", record_.c_str());
    std::wstring recorder = WinPath(TAVIX_BINARY_DIR) + L"\\bin\\open_recorder.exe";
    ASSERT_TRUE(Exists(recorder));
    std::wstring command = L"\"" + recorder + L"\" \"%1\"";
    // The prefix's classes (Wine does not merge the per-user ones into them);
    // the earlier association is put back afterwards.
    wchar_t old[256] = {};
    LONG size = sizeof old;
    if (RegQueryValueW(HKEY_CLASSES_ROOT, L".html", old, &size) == ERROR_SUCCESS) oldHtml_ = old;
    ASSERT_EQ(RegSetValueW(HKEY_CLASSES_ROOT, L".html", REG_SZ, Kind, 0), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueW(HKEY_CLASSES_ROOT, (std::wstring(Kind) + L"\\shell\\open\\command").c_str(), REG_SZ,
                           command.c_str(), 0),
              ERROR_SUCCESS);
    ini_ = folder_ + L"\\Tavix.ini";
    WritePrivateProfileStringW(L"Options", L"WorkDir", (folder_ + L"\\work").c_str(), ini_.c_str());
    WritePrivateProfileStringW(L"Options", L"UseShellIcon", L"0", ini_.c_str());
  }
  void TearDown() override {
    main_.reset();
    RegDeleteTreeW(HKEY_CLASSES_ROOT, Kind);
    if (oldHtml_.empty()) {
      RegDeleteTreeW(HKEY_CLASSES_ROOT, L".html");
    } else {
      RegSetValueW(HKEY_CLASSES_ROOT, L".html", REG_SZ, oldHtml_.c_str(), 0);
    }
    SetEnvironmentVariableW(L"TAVIX_OPEN_RECORD", nullptr);
  }
  TTavixMain& Start() {
    main_ = std::make_unique<TTavixMain>();
    EXPECT_TRUE(main_->Create(MainStart(ini_, {}, nullptr), SW_SHOWNORMAL));
    PumpUntil(*main_, [&] { return !main_->State().pendingJob && !main_->State().busy; });
    return *main_;
  }
  // Waits until the recorder has been asked for the page (a line ending in it).
  bool Opened(const std::string& page, int milliseconds = 20000) {
    return PumpUntil(*main_, [&] { return ReadAll(record_).find("\\help\\" + page + "\"") != std::string::npos ||
                                          ReadAll(record_).find("\\help\\" + page + "\n") != std::string::npos; },
                     milliseconds);
  }
  static constexpr const wchar_t* Kind = L"TavixTest.HtmlRecorder";
  std::wstring folder_, record_, ini_, oldHtml_;
  std::unique_ptr<TTavixMain> main_;
};

TEST_F(HelpWindow, KeysOpenTheContentsTheWindowsPageAndADialogsPage) {
  TTavixMain& main = Start();
  // The extraction dialog built hidden at start must not hold the keyboard.
  EXPECT_EQ(GetAncestor(GetFocus(), GA_ROOT), main.Handle());
  PointAt(main.Handle());
  ASSERT_EQ(Xdotool(L"key --clearmodifiers ctrl+h"), 0);
  ASSERT_TRUE(Opened("index.html")) << ReadAll(record_);
  // F1 with the mouse over the list: the window's own page.
  PointAt(main.ArcList().Handle());
  ASSERT_EQ(Xdotool(L"key --clearmodifiers F1"), 0);
  ASSERT_TRUE(Opened("main.html")) << ReadAll(record_);

  // F1 in the about box, pressed while its own message loop runs.
  std::atomic<bool> pressed{false};
  std::thread user([&] {
    HWND box = nullptr;
    for (int i = 0; i < 1000 && !(box = FindWindowW(nullptr, L"Tavixについて")); ++i) Sleep(10);
    if (!box) return;
    Xdotool(L"key --clearmodifiers F1");
    pressed = true;
    for (int i = 0; i < 2000 && ReadAll(record_).find("about.html") == std::string::npos; ++i) Sleep(10);
    Xdotool(L"key --clearmodifiers Escape");
    for (int i = 0; i < 500 && IsWindow(box); ++i) Sleep(10);
    if (IsWindow(box)) PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
  });
  SendMessageW(main.Handle(), WM_COMMAND, CmdAbout, 0);
  user.join();
  EXPECT_TRUE(pressed) << "the about box never showed";
  EXPECT_TRUE(Opened("about.html", 1000)) << ReadAll(record_);
}

// F1 in the viewer's find dialog opens the dialog's page, not the viewer's
// under it; the dialog runs its own message loop.
TEST_F(HelpWindow, F1InTheFindDialogOpensItsPage) {
  TTavixMain& main = Start();
  std::wstring text = folder_ + L"\\find.txt";
  WriteText(text, "line 1\r\nline 2 needle\r\n");
  TIniGT ini;
  ini.SetFileName(ini_);
  ini.Loaded();
  TViewer viewer(main.Handle(), ini, {});
  viewer.Open(text);
  std::atomic<bool> shown{false}, pressed{false};
  std::thread user([&] {
    auto waitFor = [](const std::function<bool()>& done) {
      for (int i = 0; i < 2000; ++i) {
        if (done()) return true;
        Sleep(10);
      }
      return false;
    };
    HWND window = nullptr, find = nullptr;
    if (!waitFor([&] { return (window = FindWindowW(TViewer::kClassName, nullptr)) && IsWindowVisible(window); }))
      return;
    PointAt(viewer.Editor().Handle(), true);
    Xdotool(L"key --clearmodifiers ctrl+f");
    if (waitFor([&] { return (find = FindWindowW(L"#32770", L"検索")) && IsWindowVisible(find); })) {
      shown = true;
      // Into the search box, as a user would be: a click elsewhere could change an option.
      if (HWND edit = FindWindowExW(GetDlgItem(find, IDC_FIND_WORD), nullptr, L"Edit", nullptr)) PointAt(edit, true);
      Xdotool(L"key --clearmodifiers F1");
      pressed = true;
      waitFor([&] { return ReadAll(record_).find("find.html") != std::string::npos; });
      Xdotool(L"key --clearmodifiers Escape");
      waitFor([&] { return !IsWindowVisible(find); });
    }
    PostMessageW(window, WM_CLOSE, 0, 0);
  });
  viewer.ShowModal();
  user.join();
  ASSERT_TRUE(shown) << "the find dialog never showed";
  EXPECT_TRUE(pressed);
  EXPECT_TRUE(Opened("find.html", 1000)) << ReadAll(record_);
  EXPECT_EQ(ReadAll(record_).find("viewer.html"), std::string::npos) << ReadAll(record_);
}

TEST_F(HelpWindow, MissingPagesAreToldAndNothingStarts) {
  TMessageBoxAnswerer answer;
  SystemHelp().ShowContext(nullptr, folder_ + L"\\Tavix.hlp>LMain", 19);
  SystemHelp().KeywordSearch(nullptr, folder_ + L"\\Tavix.hlp>LMain", L"");
  std::vector<std::wstring> texts = answer.Texts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_NE(texts[0].find(folder_ + L"\\help\\extract.html"), std::wstring::npos) << Narrow(texts[0]);
  EXPECT_NE(texts[0].find(L"が見つかりません"), std::wstring::npos) << Narrow(texts[0]);
  EXPECT_FALSE(Exists(record_));
}

}  // namespace
