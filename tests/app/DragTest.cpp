// Drag and drop with another program, through OLE as the user does it: the
// mouse is pressed, moved and released by xdotool. Entries dragged out of the
// list reach a window of another process that records the file list it gets;
// files dragged from another process onto the list are added to the archive,
// which lhasa then judges.
#include "DragDriver.h"
#include "WindowDriver.h"

#include "../support/EscapeCheck.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <set>

namespace {

namespace fs = std::filesystem;

std::wstring TextOf(const char* ascii) { return std::wstring(ascii, ascii + strlen(ascii)); }

std::wstring Fixture(const char* name) { return WinPath(TAVIX_FIXTURE_DIR) + L"\\" + TextOf(name); }

std::wstring Lower(std::wstring text) {
  CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

bool Inside(const std::wstring& path, const std::wstring& folder) {
  std::wstring base = Lower(folder);
  if (base.back() != L'\\') base += L'\\';
  return Lower(path).rfind(base, 0) == 0 && path.find(L"\\..\\") == std::wstring::npos;
}

std::wstring FileName(const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); }
std::wstring ParentName(const std::wstring& path) {
  std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
  return FileName(folder);
}

// Every file under a folder.
std::vector<fs::path> FilesUnder(const std::wstring& folder) {
  std::vector<fs::path> files;
  std::error_code error;
  fs::path root(folder);
  if (!fs::exists(root, error)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(root, error))
    if (entry.is_regular_file()) files.push_back(entry.path());
  return files;
}

std::string Content(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A window of the test's thread that notes when a posted message reached it:
// what was posted before it has been handled then.
class TQueueMark {
 public:
  TQueueMark() {
    WNDCLASSW cls{};
    cls.lpfnWndProc = Proc;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.lpszClassName = L"TavixDragQueueMark";
    RegisterClassW(&cls);
    window_ = CreateWindowExW(0, cls.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, cls.hInstance, this);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~TQueueMark() { DestroyWindow(window_); }
  void Post() {
    reached_ = false;
    PostMessageW(window_, WM_APP, 0, 0);
  }
  bool Reached() const { return reached_; }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_APP) reinterpret_cast<TQueueMark*>(GetWindowLongPtrW(window, GWLP_USERDATA))->reached_ = true;
    return DefWindowProcW(window, message, w, l);
  }
  HWND window_ = nullptr;
  bool reached_ = false;
};

class Dragging : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetACP(), 932u);
    folder_ = TempFolder(TextOf(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    ini_ = folder_ + L"\\Tavix.ini";
    work_ = folder_ + L"\\work";
    Setting(L"WorkDir", work_);
    Setting(L"UseShellIcon", L"0");
    Setting(L"NewMode", L"0");
    Setting(L"IconStyle", L"3");
  }
  void TearDown() override {
    if (main_ && IsWindow(main_->Handle())) {
      main_->State().modified = false;
      SendMessageW(main_->Handle(), WM_CLOSE, 0, 0);
      Pump(*main_, 50);
    }
    main_.reset();
  }
  void Setting(const wchar_t* key, const std::wstring& value) {
    WritePrivateProfileStringW(L"Options", key, value.c_str(), ini_.c_str());
  }
  TTavixMain& Start(std::vector<std::wstring> arguments, int entries) {
    main_ = std::make_unique<TTavixMain>();
    EXPECT_TRUE(main_->Create(MainStart(ini_, arguments, &help_), SW_SHOWNORMAL));
    SetWindowPos(main_->Handle(), HWND_TOP, 0, 0, 560, 460, SWP_SHOWWINDOW);
    EXPECT_TRUE(PumpUntil(*main_, [&] {
      return !main_->State().pendingJob && !main_->State().busy && main_->State().entryCount == entries;
    }, 20000)) << main_->State().entryCount;
    return *main_;
  }
  // The work folder as the window names it.
  std::wstring Work() {
    std::wstring work = main_->State().workFolder;
    while (!work.empty() && work.back() == L'\\') work.pop_back();
    return work;
  }
  // Runs the gesture on a thread of its own while this thread runs the window.
  void Gesture(const TGesture& gesture, bool* dragSeen = nullptr) {
    std::atomic<bool> done{false};
    bool seen = false;
    std::thread user([&] {
      seen = PerformDrag(gesture);
      done = true;
    });
    EXPECT_TRUE(PumpUntil(*main_, [&] { return done.load(); }, 110000));
    user.join();
    if (dragSeen) *dragSeen = seen;
  }
  // Drags the selection, pressed on item, into the peer target; the names it received.
  std::vector<std::wstring> DragIntoPeer(int item) {
    TDragPeer peer;
    std::wstring out = folder_ + L"\\received.txt";
    EXPECT_TRUE(StartDragPeer(peer, L"target", out, 700, 100));
    RECT area{};
    GetWindowRect(peer.window, &area);
    TGesture gesture;
    gesture.from = ItemPoint(*main_, item);
    gesture.to = {(area.left + area.right) / 2, (area.top + area.bottom) / 2};
    HWND target = peer.window;
    gesture.arrived = [target] {
      wchar_t caption[64] = {};
      GetWindowTextW(target, caption, 64);
      return std::wstring(caption).find(L"entered") != std::wstring::npos;
    };
    bool seen = false;
    Gesture(gesture, &seen);
    EXPECT_TRUE(seen) << "no drag started";
    EXPECT_TRUE(WaitForFile(out, 20000)) << "the target received nothing";
    std::vector<std::wstring> lines = ReadPeerLines(out);
    std::vector<std::wstring> names;
    for (size_t i = 1; i < lines.size(); ++i)
      if (!lines[i].empty()) names.push_back(lines[i]);
    EXPECT_FALSE(main_->State().dragging);
    return names;
  }

  struct NoHelp : THelpService {
    void ShowContext(HWND, const std::wstring&, DWORD) override {}
    void KeywordSearch(HWND, const std::wstring&, const std::wstring&) override {}
  } help_;
  std::wstring folder_, ini_, work_;
  std::unique_ptr<TTavixMain> main_;
};

// Two selected entries, pressed on one and dragged past the threshold onto
// another program's window: it receives both files from the work folder,
// each with the content of its entry.
TEST_F(Dragging, SelectedEntriesReachAnotherProgramWithTheirContent) {
  TTavixMain& main = Start({Fixture("drag.zip")}, 4);
  int top = FindItem(main, L"top.txt", L"");
  int unique = FindItem(main, L"unique.txt", L"c");
  ASSERT_GE(top, 0);
  ASSERT_GE(unique, 0);
  SelectOnly(main, {top, unique});
  std::vector<std::wstring> names = DragIntoPeer(top);
  ASSERT_EQ(names.size(), 2u);
  std::set<std::wstring> files;
  for (const std::wstring& name : names) {
    EXPECT_TRUE(Inside(name, Work())) << name;
    files.insert(FileName(name));
  }
  EXPECT_EQ(files, (std::set<std::wstring>{L"top.txt", L"unique.txt"}));
  for (const std::wstring& name : names) {
    if (FileName(name) == L"top.txt") {
      EXPECT_EQ(ReadBytes(name), "top level\n");
    }
    if (FileName(name) == L"unique.txt") {
      EXPECT_EQ(ReadBytes(name), "unique\n");
    }
  }
  // The archive is untouched and the window takes the next press as before.
  EXPECT_EQ(main.State().entryCount, 4);
  EXPECT_FALSE(main.State().dropping);
}

// Two entries of one name from different folders: the target gets two
// different files, each with its own entry's content (not one path twice
// holding the last one extracted).
TEST_F(Dragging, SameNameEntriesFromTwoFoldersKeepTheirOwnContent) {
  TTavixMain& main = Start({Fixture("drag.zip")}, 4);
  int a = FindItem(main, L"readme.txt", L"a");
  int b = FindItem(main, L"readme.txt", L"b");
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  SelectOnly(main, {a, b});
  std::vector<std::wstring> names = DragIntoPeer(b);
  ASSERT_EQ(names.size(), 2u);
  EXPECT_NE(Lower(names[0]), Lower(names[1]));
  std::set<std::string> contents;
  for (const std::wstring& name : names) {
    EXPECT_TRUE(Inside(name, Work())) << name;
    EXPECT_EQ(FileName(name), L"readme.txt");
    std::string content = ReadBytes(name);
    contents.insert(content);
    // Each file sits in its entry's folder.
    if (ParentName(name) == L"a") EXPECT_EQ(content, "from folder a\n");
    else if (ParentName(name) == L"b") EXPECT_EQ(content, "from folder b, longer\n");
    else ADD_FAILURE() << "unexpected folder: " << name;
  }
  EXPECT_EQ(contents, (std::set<std::string>{"from folder a\n", "from folder b, longer\n"}));
}

// Moves shorter than the threshold start no drag: nothing is extracted and
// the other program receives nothing; the press and release stay a click.
TEST_F(Dragging, MovesBelowTheThresholdStartNoDrag) {
  TTavixMain& main = Start({Fixture("drag.zip")}, 4);
  int top = FindItem(main, L"top.txt", L"");
  int unique = FindItem(main, L"unique.txt", L"c");
  SelectOnly(main, {top});
  TDragPeer peer;
  std::wstring out = folder_ + L"\\received.txt";
  ASSERT_TRUE(StartDragPeer(peer, L"target", out, 700, 100));
  TGesture gesture;
  gesture.from = ItemPoint(main, top);
  gesture.distance = 25;
  gesture.expectDrag = false;
  bool seen = true;
  Gesture(gesture, &seen);
  EXPECT_FALSE(seen);
  // A click on another entry afterwards: once it shows, the gesture's own
  // messages have all been handled.
  POINT other = ItemPoint(main, unique);
  std::atomic<bool> clicked{false};
  std::thread user([&] {
    Xdotool(L"mousemove --sync " + std::to_wstring(other.x) + L" " + std::to_wstring(other.y) + L" click 1");
    clicked = true;
  });
  EXPECT_TRUE(PumpUntil(main, [&] {
    std::vector<int> selected = main.ArcList().SelectedItems();
    return clicked && selected.size() == 1 && selected[0] == unique;
  }, 20000));
  user.join();
  EXPECT_FALSE(DragRunning());
  EXPECT_FALSE(main.State().dragging);
  EXPECT_TRUE(FilesUnder(Work()).empty());
  EXPECT_EQ(GetFileAttributesW(out.c_str()), INVALID_FILE_ATTRIBUTES);
}

// The button released while the entry is still being extracted (the window
// is disabled then and does not see the release), and the pointer taken on
// over another program: no drag starts or runs on after the extraction, the
// other program receives nothing, and the next click is a plain click.
TEST_F(Dragging, ButtonReleasedDuringTheExtractionStartsNoDrag) {
  TTavixMain& main = Start({Fixture("big-drag.zip")}, 2);
  int big = FindItem(main, L"big.bin", L"");
  int small = FindItem(main, L"small.txt", L"");
  ASSERT_GE(big, 0);
  ASSERT_GE(small, 0);
  SelectOnly(main, {big});
  TDragPeer peer;
  std::wstring out = folder_ + L"\\received.txt";
  ASSERT_TRUE(StartDragPeer(peer, L"target", out, 700, 100));
  HWND window = main.Handle();
  POINT from = ItemPoint(main, big);
  // Read from the gesture's thread while the window's thread may be inside the drag.
  auto dragging = [&] { return std::atomic_ref<bool>(main.State().dragging).load(); };
  std::atomic<bool> done{false};
  bool sawDisabled = false, releasedWhileDisabled = false, settled = false;
  std::thread user([&] {
    Xdotool(L"mousemove --sync " + std::to_wstring(from.x) + L" " + std::to_wstring(from.y) + L" mousedown 1");
    for (int x = 5; x <= 40; x += 5)
      Xdotool(L"mousemove --sync " + std::to_wstring(from.x + x) + L" " + std::to_wstring(from.y));
    // The extraction before the drag disables the window.
    for (int waited = 0; waited < 60000 && !sawDisabled; waited += 10) {
      sawDisabled = !IsWindowEnabled(window);
      if (!sawDisabled) Sleep(10);
    }
    Xdotool(L"mouseup 1");
    // The hand goes on over the other program, the button up.
    RECT area{};
    GetWindowRect(peer.window, &area);
    POINT over{(area.left + area.right) / 2, (area.top + area.bottom) / 2};
    Xdotool(L"mousemove --sync " + std::to_wstring(over.x) + L" " + std::to_wstring(over.y));
    releasedWhileDisabled = sawDisabled && !IsWindowEnabled(window);
    // Once the window is back and the drag gesture is over, nothing may run.
    for (int waited = 0; waited < 30000 && !settled; waited += 20) {
      settled = IsWindowEnabled(window) && !dragging() && !DragRunning();
      if (!settled) Sleep(20);
    }
    // A drag that ran on would take this click as its drop.
    if (!settled) Xdotool(L"click 1");
    done = true;
  });
  EXPECT_TRUE(PumpUntil(main, [&] { return done.load(); }, 150000));
  user.join();
  ASSERT_TRUE(sawDisabled) << "the window was never disabled for the extraction";
  ASSERT_TRUE(releasedWhileDisabled) << "the extraction ended before the release and the move: the entry is too small";
  EXPECT_TRUE(settled) << "the drag ran on after the button was released";
  // The next click on another entry is a click: it selects that entry.
  POINT other = ItemPoint(main, small);
  std::atomic<bool> clicked{false};
  std::thread second([&] {
    Xdotool(L"mousemove --sync " + std::to_wstring(other.x) + L" " + std::to_wstring(other.y) + L" click 1");
    clicked = true;
  });
  EXPECT_TRUE(PumpUntil(main, [&] {
    std::vector<int> selected = main.ArcList().SelectedItems();
    return clicked && selected.size() == 1 && selected[0] == small;
  }, 20000));
  second.join();
  EXPECT_FALSE(DragRunning());
  EXPECT_FALSE(main.State().dragging);
  EXPECT_EQ(GetFileAttributesW(out.c_str()), INVALID_FILE_ATTRIBUTES) << "the other program received files";
  EXPECT_EQ(main.State().entryCount, 2);
  // The work file is large: it goes now rather than with the next run.
  DeleteFileW((Work() + L"\\big.bin").c_str());
}

// Entries whose names try to leave the work folder or look like switches,
// all dragged: nothing is written outside the work folder, and every name
// the target receives is a file inside it.
TEST_F(Dragging, HostileNamesWriteNothingOutsideTheWorkFolder) {
  TTavixMain& main = Start({Fixture("hostile-drag.zip")}, 8);
  main.ArcList().SelectAll();
  std::vector<std::wstring> names = DragIntoPeer(0);
  EXPECT_GE(names.size(), 2u);
  std::set<std::wstring> files;
  for (const std::wstring& name : names) {
    EXPECT_TRUE(Inside(name, Work())) << name;
    EXPECT_NE(GetFileAttributesW(name.c_str()), INVALID_FILE_ATTRIBUTES) << name;
    files.insert(FileName(name));
  }
  // The names that merely look like switches are files like any other.
  EXPECT_EQ(files.count(L"-dash-tavixdragesc.txt"), 1u);
  EXPECT_EQ(files.count(L"@at-tavixdragesc.txt"), 1u);
  for (const std::wstring& name : names) {
    if (FileName(name) == L"-dash-tavixdragesc.txt") {
      EXPECT_EQ(ReadBytes(name), "dash");
    }
    if (FileName(name) == L"@at-tavixdragesc.txt") {
      EXPECT_EQ(ReadBytes(name), "at");
    }
  }
  std::vector<std::wstring> escaped = escape_check::EscapedFiles(L"tavixdragesc", Work());
  EXPECT_TRUE(escaped.empty()) << (escaped.empty() ? std::string() : std::string(escaped[0].begin(), escaped[0].end()));
}

// Entries dragged and released over the window's own list add nothing: no
// question, no new entry, the archive unchanged.
TEST_F(Dragging, DropOnItsOwnWindowIsIgnored) {
  std::wstring archive = folder_ + L"\\own.zip";
  ASSERT_TRUE(CopyFileW(Fixture("drag.zip").c_str(), archive.c_str(), FALSE));
  std::string before = ReadBytes(archive);
  TTavixMain& main = Start({archive}, 4);
  main.State().readOnlyView = false;  // a drop would be added without a question
  int top = FindItem(main, L"top.txt", L"");
  SelectOnly(main, {top});
  TMessageBoxAnswerer answers(IDNO);
  RECT list{};
  GetWindowRect(main.ArcList().Handle(), &list);
  TGesture gesture;
  gesture.from = ItemPoint(main, top);
  gesture.to = {(list.left + list.right) / 2, list.bottom - 30};
  bool seen = false;
  Gesture(gesture, &seen);
  EXPECT_TRUE(seen);
  // Whatever the drop posted has been handled once the mark comes through.
  TQueueMark mark;
  mark.Post();
  EXPECT_TRUE(PumpUntil(main, [&] { return mark.Reached() && !main.State().busy; }, 20000));
  EXPECT_TRUE(answers.Texts().empty());
  EXPECT_EQ(main.State().entryCount, 4);
  EXPECT_EQ(ReadBytes(archive), before);
  EXPECT_FALSE(main.State().dragging);
}

// Files dragged from another program (its drag source is the widget's) and
// released over the list of a new archive are added; lhasa reads them back
// byte for byte.
TEST_F(Dragging, FilesDraggedFromAnotherProgramAreAdded) {
  std::wstring data = folder_ + L"\\data";
  CreateDirectoryW(data.c_str(), nullptr);
  const std::wstring japanese = L"\u65e5\u672c\u8a9e.txt";
  WriteText(data + L"\\first.txt", "first file\r\n");
  WriteText(data + L"\\" + japanese, "nihongo\r\n");
  TTavixMain& main = Start({}, 0);
  ASSERT_TRUE(main.State().newArchiveMode);
  TDragPeer peer;
  std::wstring out = folder_ + L"\\effect.txt";
  ASSERT_TRUE(StartDragPeer(peer, L"source", out, 700, 100, {data + L"\\first.txt", data + L"\\" + japanese}));
  RECT area{}, list{};
  GetWindowRect(peer.window, &area);
  GetWindowRect(main.ArcList().Handle(), &list);
  TGesture gesture;
  gesture.from = {area.left + 40, (area.top + area.bottom) / 2};
  gesture.to = {(list.left + list.right) / 2, (list.top + list.bottom) / 2};
  bool seen = false;
  Gesture(gesture, &seen);
  EXPECT_TRUE(seen);
  EXPECT_TRUE(WaitForFile(out, 20000));
  std::vector<std::wstring> effect = ReadPeerLines(out);
  ASSERT_FALSE(effect.empty());
  EXPECT_EQ(effect[0], std::to_wstring(DROPEFFECT_COPY));
  ASSERT_TRUE(PumpUntil(main, [&] { return main.State().entryCount == 2 && !main.State().busy; }, 30000))
      << main.State().entryCount;

  std::wstring archive = main.State().archivePath;
  std::wstring extracted = folder_ + L"\\judged";
  CreateDirectoryW(extracted.c_str(), nullptr);
  EXPECT_EQ(RunUnix(L"cd", L"'" + UnixPath(extracted) + L"' && lhasa -x '" + UnixPath(archive) + L"' >/dev/null 2>&1"), 0);
  bool first = false, nihongo = false;
  for (const fs::path& file : FilesUnder(extracted)) {
    std::string content = Content(file);
    if (content == "first file\r\n") first = true;
    if (content == "nihongo\r\n") nihongo = true;
  }
  EXPECT_TRUE(first);
  EXPECT_TRUE(nihongo);
}

}  // namespace
