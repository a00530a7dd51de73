// "環境の保存": the name and masks an environment is saved under.
#pragma once

#include <windows.h>

#include <string>

class TEnvSaveAs {
 public:
  explicit TEnvSaveAs(HWND owner) : owner_(owner) {}
  std::wstring Name, Masks;  // in before, out after OK
  // IDOK or IDCANCEL.
  int ShowModal();

 private:
  static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
  HWND owner_;
};
