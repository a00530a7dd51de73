// The about box: the program's own file version and two links.
#pragma once

#include <windows.h>

#include <string>

class TAbout {
 public:
  // The FileVersion text of a program's version resource, by its first
  // translation: empty without a resource or translation, "UnKnown" when that
  // block lacks the text.
  static std::wstring FileVersionOf(const std::wstring& programPath);

  // Centred over the owner; returns when the user closes it.
  static void ShowModal(HWND owner);

 private:
  static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
};
