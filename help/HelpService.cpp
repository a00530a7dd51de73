#include "help/HelpService.h"

#include "engine/SystemText.h"
#include "help/HelpTexts.h"

#include <shellapi.h>

namespace {

struct TTopicPage {
  DWORD topic;
  const wchar_t* page;
};

// Every topic number a window or command asks for; one page per window.
constexpr TTopicPage TopicPages[] = {
    {1, L"index.html"},       {5, L"main.html"},     {14, L"viewer.html"}, {15, L"find.html"},    {17, L"create.html"},
    {18, L"main.html"},       {19, L"extract.html"}, {20, L"add.html"},    {21, L"entries.html"}, {22, L"add.html"},
    {23, L"viewer.html"},     {25, L"options.html"}, {26, L"sfx.html"},    {28, L"about.html"},   {47, L"entries.html"},
    {58, L"properties.html"}, {60, L"sfx.html"},
};

void OpenPage(HWND window, const std::wstring& folder, const wchar_t* page) {
  std::wstring path = folder + L"\\" + page;
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    std::wstring text = help_texts::PageMissing + path + help_texts::PageMissingEnd;
    MessageBoxW(window, text.c_str(), help_texts::Caption, MB_OK | MB_ICONWARNING);
    return;
  }
  auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(window, L"open", path.c_str(), nullptr, folder.c_str(), SW_SHOWNORMAL));
  if (result <= 32) {
    std::wstring text = help_texts::OpenFailed + path + help_texts::OpenFailedEnd;
    MessageBoxW(window, text.c_str(), help_texts::Caption, MB_OK | MB_ICONWARNING);
  }
}

class THtmlHelp : public THelpService {
 public:
  void ShowContext(HWND window, const std::wstring& helpFile, DWORD context) override {
    OpenPage(window, HelpFolderOf(helpFile), HelpPageForTopic(context));
  }
  // The contents page carries the keyword index.
  void KeywordSearch(HWND window, const std::wstring& helpFile, const std::wstring&) override {
    OpenPage(window, HelpFolderOf(helpFile), L"index.html");
  }
};

THelpService* current = nullptr;

}  // namespace

THelpService& SystemHelp() {
  static THtmlHelp help;
  return help;
}

THelpService& CurrentHelp() { return current ? *current : SystemHelp(); }

void SetCurrentHelp(THelpService* help) { current = help; }

const wchar_t* HelpPageForTopic(DWORD topic) {
  for (const TTopicPage& entry : TopicPages)
    if (entry.topic == topic) return entry.page;
  return L"index.html";
}

std::wstring HelpFolderOf(const std::wstring& helpFile) {
  std::wstring file = helpFile.substr(0, helpFile.find(L'>'));
  size_t slash = file.find_last_of(L"\\/");
  return (slash == std::wstring::npos ? std::wstring(L".") : file.substr(0, slash)) + L"\\help";
}

std::wstring ProgramHelpFile() {
  std::wstring path = ModulePath(nullptr);
  size_t dot = path.rfind(L'.');
  if (dot != std::wstring::npos && dot > path.rfind(L'\\')) path.erase(dot);
  return path + L".hlp";
}

void ShowHelpTopic(HWND window, DWORD topic) { CurrentHelp().ShowContext(window, ProgramHelpFile(), topic); }
