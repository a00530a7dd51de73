// Help for every window: topic numbers mapped to the pages of the HTML help
// that ships beside the program (help\*.html), opened in the user's browser.
#pragma once

#include <windows.h>

#include <string>

// Help calls start another program (the browser); tests record them instead.
class THelpService {
 public:
  virtual ~THelpService() = default;
  virtual void ShowContext(HWND window, const std::wstring& helpFile, DWORD context) = 0;
  virtual void KeywordSearch(HWND window, const std::wstring& helpFile, const std::wstring& key) = 0;
};

// The HTML help: opens the page of a topic with the shell's "open".
THelpService& SystemHelp();

// The service every window uses (the system's unless a caller set another).
THelpService& CurrentHelp();
void SetCurrentHelp(THelpService* help);

// The page file name of a topic number (the contents page for an unknown one).
const wchar_t* HelpPageForTopic(DWORD topic);
// The help folder of a help file name ("C:\x\Tavix.hlp>LMain" -> "C:\x\help").
std::wstring HelpFolderOf(const std::wstring& helpFile);
// The program's own help file name (its path with ".hlp").
std::wstring ProgramHelpFile();

// What a dialog's help button and F1 do: the topic through the current service.
void ShowHelpTopic(HWND window, DWORD topic);
