// The editor settings sheet: seven pages over one TEditorSettings object
// (EditorPropEx1), every change applied at once to it and to a preview view
// on the colour page; optionally the shortcut keys of a list of commands.
#pragma once

#include "TextView.h"
#include "TextViewSettings.h"
#include "widgets/TabPages.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

// One command whose shortcut the sheet may change; key is the hot-key
// control's value (virtual key in the low byte, HOTKEYF_ flags in the high).
struct TShortcutSlot {
  std::wstring name;  // empty: not a command
  WORD key = 0;
};

class TmEditorProp {
 public:
  explicit TmEditorProp(HWND owner);
  ~TmEditorProp();
  TmEditorProp(const TmEditorProp&) = delete;
  TmEditorProp& operator=(const TmEditorProp&) = delete;

  // The sheet's own settings object: the caller loads it before and reads it after OK.
  TEditorSettings EditorPropEx1;
  std::vector<TShortcutSlot> Slots;

  void SetCaption(const std::wstring& caption) { caption_ = caption; }
  void SetFunctionsEnabled(bool enabled) { functionsEnabled_ = enabled; }
  void CenterOn(HWND window) { centerOn_ = window; }
  // IDOK or IDCANCEL.
  int ShowModal();

  HWND Handle() const { return dialog_; }
  HWND Page(int index) const { return pages_.Page(index); }
  TTextView& Preview() { return preview_; }

  static std::wstring ShortcutText(WORD key);
  // One word a line; lines are CR LF, LF or CR; blank lines dropped.
  static std::vector<std::wstring> SplitWords(const std::wstring& text);
  // An .rsv file in code page 932; false (and the reason) when it cannot be read.
  static bool LoadWordFile(const std::wstring& path, std::wstring* text, std::wstring* error);
  static bool SaveWordFile(const std::wstring& path, const std::wstring& text);

 private:
  static INT_PTR CALLBACK SheetProc(HWND, UINT, WPARAM, LPARAM);
  static INT_PTR CALLBACK PageProc(HWND, UINT, WPARAM, LPARAM);
  void FormCreate(HWND dialog);
  void FormShow();
  void ShowPage(int index);
  void Command(int id, int code, HWND control);
  bool Notify(NMHDR* header);
  HWND Item(int id) const;
  bool Checked(int id) const;
  void SetCheck(int id, bool on);
  int Number(int id, int fallback) const;
  void SetNumber(int id, int value);
  std::wstring TextOf(int id) const;
  void FillColorCombo(int id, COLORREF color);
  bool ColorOfCombo(int id, COLORREF* color);
  void ElementSelected();
  void EnableGroups();
  void FunctionsSelected();
  void Apply();  // the settings object into the preview
  void ReadReservedWords();
  void LoadReservedWords();
  void SaveReservedWords();

  HWND owner_;
  HWND centerOn_ = nullptr;
  HWND dialog_ = nullptr;
  TTabPages pages_;
  std::wstring caption_;
  bool functionsEnabled_ = true;
  bool filling_ = false;
  TTextView preview_;
};

// The viewer's entry point: shows the sheet over owner with the caption,
// loaded from settings (and the slots when given); on OK copies the sheet's
// settings (and slot values) back and returns true. Cancel changes nothing.
bool EditEditorSettings(HWND owner, TEditorSettings& settings, const std::wstring& caption,
                        std::vector<TShortcutSlot>* slots = nullptr);
