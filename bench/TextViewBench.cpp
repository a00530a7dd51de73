// Opening, scrolling and searching a large Shift-JIS file in the text view
// (bench/textview.sh makes the file and runs this).
#include "TextView.h"

#include <psapi.h>

#include <chrono>
#include <cstdio>

namespace {

std::string Sjis(const std::wstring& text) { return sjis::FromWide(text); }

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Wine reports no private bytes; the working set is what it keeps.
double PrivateMB() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters.WorkingSetSize / 1e6;
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::printf("usage: textview_bench FILE\n");
    return 2;
  }
  const double before = PrivateMB();
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"TextViewBenchHost";
  RegisterClassW(&wc);
  HWND host = CreateWindowW(L"TextViewBenchHost", L"bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 900, 700,
                            nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  RECT client{};
  GetClientRect(host, &client);
  TTextView view;
  view.Create(host, 1, client);
  Pump();

  auto start = std::chrono::steady_clock::now();
  TFileHandle file(CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) {
    std::printf("cannot open the file\n");
    return 1;
  }
  LARGE_INTEGER size{};
  GetFileSizeEx(file.get(), &size);
  std::string text(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  for (size_t done = 0; done < text.size(); done += read) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - done, 1 << 24));
    if (!ReadFile(file.get(), text.data() + done, chunk, &read, nullptr) || read == 0) return 1;
  }
  double readSeconds = Seconds(start);
  auto indexStart = std::chrono::steady_clock::now();
  view.SetText(std::move(text));
  double indexSeconds = Seconds(indexStart);
  UpdateWindow(view.Handle());
  double firstPaint = Seconds(start);
  const double mb = view.Model().Size() / 1e6;
  std::printf("file                       %8.1f MB, %zu lines\n", mb, view.Model().LineCount());
  std::printf("read                       %8.3f s\n", readSeconds);
  std::printf("line index                 %8.3f s\n", indexSeconds);
  std::printf("open to first paint        %8.3f s   (target < 1 s)\n", firstPaint);
  std::printf("memory (working set, added)%8.1f MB = %.2f x the file (target < 2 x)\n", PrivateMB() - before,
              (PrivateMB() - before) / mb);

  // Page by page to the end: the rows of every line on the way are laid out.
  auto scrollStart = std::chrono::steady_clock::now();
  size_t pages = 0;
  double paintSeconds = 0;
  size_t painted = 0;
  for (size_t lastTop = static_cast<size_t>(-1);; ++pages) {
    size_t top = view.TopRow();
    if (top == lastTop) break;
    lastTop = top;
    SendMessageW(view.Handle(), WM_VSCROLL, SB_PAGEDOWN, 0);
    if (pages % 100 == 0) {  // painting every page would measure GDI, not the view
      auto paintStart = std::chrono::steady_clock::now();
      UpdateWindow(view.Handle());
      paintSeconds += Seconds(paintStart);
      ++painted;
    }
  }
  double scrollSeconds = Seconds(scrollStart);
  std::printf("scroll to the end          %8.3f s for %zu pages (%.1f us a page, %zu pages painted at %.1f ms)\n",
              scrollSeconds, pages, scrollSeconds * 1e6 / std::max<size_t>(pages, 1), painted,
              paintSeconds * 1e3 / std::max<size_t>(painted, 1));
  auto rowsStart = std::chrono::steady_clock::now();
  size_t rows = view.RowCount();
  std::printf("count every row            %8.3f s (%zu rows)\n", Seconds(rowsStart), rows);
  std::printf("memory after scrolling     %8.1f MB = %.2f x the file (text and index: %.1f MB)\n",
              PrivateMB() - before, (PrivateMB() - before) / mb, view.Model().MemoryBytes() / 1e6);

  struct Case {
    const char* name;
    std::wstring pattern;
    TSearchOptions options;
  } cases[] = {
      {"plain", L"終端マーカー", {}},
      {"plain, match case", L"終端マーカー", {.matchCase = true}},
      {"fuzzy", L"終端まーかー", {.fuzzy = true}},
      {"regular expression", L"終端マ.カー", {.regex = true}},
  };
  for (const auto& c : cases) {
    TTextSearch search;
    search.Prepare(Sjis(c.pattern), c.options);
    auto searchStart = std::chrono::steady_clock::now();
    auto hit = search.FindForward(view.Model(), 0);
    double seconds = Seconds(searchStart);
    std::printf("search %-19s %8.3f s  %7.0f MB/s  %s\n", c.name, seconds, mb / seconds,
                hit ? "found" : "NOT FOUND");
  }
  view.SetCaretOffset(0);
  auto findStart = std::chrono::steady_clock::now();
  bool found = view.Find(Sjis(L"終端マーカー"), {}, false);
  std::printf("view Find (select, centre) %8.3f s  %s, row %zu\n", Seconds(findStart), found ? "found" : "NOT FOUND",
              view.CaretRow());
  DestroyWindow(host);
  return 0;
}
