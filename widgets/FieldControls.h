// Small controls of the settings dialogs: the check-box list with icons,
// the hot-key field, a group's enabling, and the "..." folder button.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <initializer_list>

// A one-column report list of lines with a check box and an icon each.
class TCheckList {
 public:
  void Attach(HWND list, HIMAGELIST images);  // images may be null
  void Add(const wchar_t* caption, int image);  // image < 0: no icon
  bool Checked(int line) const;
  void SetChecked(int line, bool on);
  int Selected() const;  // -1 when none
  HWND Handle() const { return list_; }

 private:
  HWND list_ = nullptr;
};

// The system's hot-key control, read and written in the shortcut form of
// the settings (virtual key | scShift | scCtrl | scAlt).
class THotKeyField {
 public:
  // Plain keys and Shift alone are refused: Ctrl is added to them.
  void Attach(HWND field);
  void Set(WORD shortCut);
  WORD Get() const;
  HWND Handle() const { return field_; }
  static WORD FromHotKey(WORD value);
  static WORD ToHotKey(WORD shortCut);

 private:
  HWND field_ = nullptr;
};

// A group check box (or radio button) enables the controls of its group.
void EnableGroup(bool on, std::initializer_list<HWND> controls);

// The "..." button beside a folder field: the folder dialog starting at the
// field's text; the choice replaces it. False when the user cancelled.
bool BrowseFolderInto(HWND owner, HWND edit, bool trailingBackslash);
