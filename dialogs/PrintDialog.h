// The print dialog of the viewer: header and footer templates with their
// positions, the four margins, columns and line numbers, remembered in
// section "Print" of the settings file at every close. It owns the
// string-list printer the viewer configures from its fields.
#pragma once

#include "IniGT.h"
#include "StringsPrinter.h"

#include <windows.h>

#include <string>
#include <vector>

class TPrintDlg {
 public:
  // settingsFile: the program's settings file (empty: the program's own).
  explicit TPrintDlg(HWND owner, const std::wstring& settingsFile = {});
  ~TPrintDlg();
  TPrintDlg(const TPrintDlg&) = delete;
  TPrintDlg& operator=(const TPrintDlg&) = delete;

  HWND Handle() const { return dialog_; }
  TStringsPrinter& StrPrt() { return strPrt_; }

  // IDCANCEL, IDOK (print) or IDYES (preview).
  int ShowModal();

  // The fields as the viewer reads them: an item caption gives its template.
  std::wstring HeaderTemplate() const;
  std::wstring FooterTemplate() const;
  int HeaderAlignIndex() const;
  int FooterAlignIndex() const;
  int MarginLeft() const;
  int MarginRight() const;
  int MarginTop() const;
  int MarginBottom() const;
  int ColumnIndex() const;
  bool LineNo() const;

  // Handlers, named after their controls and events.
  void FormCreate();
  void HeaderChange(int comboId);
  void Button3Click();
  void FormCloseQuery();

  // The template of an item caption, or the text itself.
  static std::wstring TemplateOf(const std::wstring& text);

 private:
  static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
  int Margin(int id) const;
  int RadioIndex(int firstId) const;

  HWND owner_;
  HWND dialog_ = nullptr;
  TIniGT ini_;
  TStringsPrinter strPrt_;
  int modalResult_ = 0;
};

// The viewer's print command: shows the dialog until the user prints or
// cancels (preview returns to the dialog). lines are the stored lines in
// Shift-JIS; their tabs are expanded at every tabWidth columns. The font is
// the editor's. True when printed.
bool PrintLines(HWND owner, const std::vector<std::string>& lines, const LOGFONTW& editorFont, int tabWidth,
                const std::wstring& fileName, const std::wstring& settingsFile = {});

// Tabs to blanks at every tabWidth columns (0: a tab is one blank); a
// double-byte character takes two.
std::string ExpandTabs(const std::string& line, int tabWidth);
