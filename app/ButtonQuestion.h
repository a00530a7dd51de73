// A question with buttons a message box does not offer (OK, Cancel, Abort, All).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The id a question's "All" button returns.
constexpr int IdAll = 100;

struct TQuestionButton {
  int id;  // IDOK, IDCANCEL, IDABORT, IdAll...
  std::wstring caption;
};

// Shows text with the buttons in a modal dialog centred over owner; returns
// the id of the button pressed (IDCANCEL when closed otherwise).
int AskWithButtons(HWND owner, const std::wstring& caption, const std::wstring& text,
                   const std::vector<TQuestionButton>& buttons);
