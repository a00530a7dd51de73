#include "PrintDialog.h"

#include "DialogSupport.h"
#include "DialogTexts.h"
#include "PrintDialogIds.h"

#include <commctrl.h>

#include <algorithm>

namespace {

const wchar_t kSection[] = L"Print";

struct TItem {
  const wchar_t* caption;
  const wchar_t* templ;
};
const TItem kItems[] = {
    {dialog_texts::PrintFields[0], L"%p"},       {dialog_texts::PrintFields[1], L"%F"},
    {dialog_texts::PrintFields[2], L"%f"},       {dialog_texts::PrintFields[3], L"%y/%m/%d %t"},
    {dialog_texts::PrintFields[4], L"%y/%m/%d"}, {dialog_texts::PrintFields[5], L"%t"},
};
static_assert(std::size(kItems) == std::size(dialog_texts::PrintFields));

struct TMarginField {
  int edit;
  int spin;
  const wchar_t* key;
};
const TMarginField kMargins[] = {
    {IDC_PRINT_MARGINL, IDC_PRINT_MARGINL_SPIN, L"LeftMargin"},
    {IDC_PRINT_MARGINR, IDC_PRINT_MARGINR_SPIN, L"RightMargin"},
    {IDC_PRINT_MARGINT, IDC_PRINT_MARGINT_SPIN, L"TopMargin"},
    {IDC_PRINT_MARGINB, IDC_PRINT_MARGINB_SPIN, L"BottomMargin"},
};
const int kMarginLow = 5, kMarginHigh = 100;

}  // namespace

std::string ExpandTabs(const std::string& line, int tabWidth) {
  std::string out;
  for (size_t i = 0; i < line.size(); ++i) {
    unsigned char byte = static_cast<unsigned char>(line[i]);
    if (byte == '\t') {
      // As the editor shows it: a tab size of 0 makes a tab one column wide.
      size_t width = tabWidth > 0 ? static_cast<size_t>(tabWidth) - out.size() % static_cast<size_t>(tabWidth) : 1;
      out.append(width, ' ');
    } else if (IsDBCSLeadByte(byte) && i + 1 < line.size()) {
      out += line[i];
      out += line[++i];
    } else {
      out += line[i];
    }
  }
  return out;
}

std::wstring TPrintDlg::TemplateOf(const std::wstring& text) {
  for (const auto& item : kItems)
    if (text == item.caption) return item.templ;
  return text;
}

TPrintDlg::TPrintDlg(HWND owner, const std::wstring& settingsFile) : owner_(owner) {
  INITCOMMONCONTROLSEX init{sizeof init, ICC_UPDOWN_CLASS};
  InitCommonControlsEx(&init);
  ini_.SetFileName(settingsFile);
  ini_.Loaded();
  dialog_ = CreateDialogParamW(DialogModule(), MAKEINTRESOURCEW(IDD_PRINT), owner, DialogProc,
                               reinterpret_cast<LPARAM>(this));
  FormCreate();
}

TPrintDlg::~TPrintDlg() {
  if (dialog_ != nullptr) DestroyWindow(dialog_);
}

void TPrintDlg::FormCreate() {
  for (int combo : {IDC_PRINT_HEADER, IDC_PRINT_FOOTER}) {
    for (const auto& item : kItems)
      SendDlgItemMessageW(dialog_, combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.caption));
  }
  SetDlgItemTextW(dialog_, IDC_PRINT_HEADER, ini_.ReadString(kSection, L"Header", L"").c_str());
  SetDlgItemTextW(dialog_, IDC_PRINT_FOOTER, ini_.ReadString(kSection, L"Footer", L"").c_str());
  int header = std::clamp(ini_.ReadInteger(kSection, L"HeaderAlign", 0), 0, 2);
  CheckRadioButton(dialog_, IDC_PRINT_ARHEADER_LEFT, IDC_PRINT_ARHEADER_RIGHT, IDC_PRINT_ARHEADER_LEFT + header);
  int footer = std::clamp(ini_.ReadInteger(kSection, L"FooterAlign", 0), 0, 2);
  CheckRadioButton(dialog_, IDC_PRINT_ARFOOTER_LEFT, IDC_PRINT_ARFOOTER_RIGHT, IDC_PRINT_ARFOOTER_LEFT + footer);
  for (const auto& field : kMargins) {
    SendDlgItemMessageW(dialog_, field.spin, UDM_SETRANGE32, kMarginLow, kMarginHigh);
    int value = std::clamp(ini_.ReadInteger(kSection, field.key, 20), kMarginLow, kMarginHigh);
    SendDlgItemMessageW(dialog_, field.spin, UDM_SETPOS32, 0, value);
    SetDlgItemInt(dialog_, field.edit, static_cast<UINT>(value), FALSE);
  }
  int columns = std::clamp(ini_.ReadInteger(kSection, L"ColumnCount", 0), 0, 2);
  CheckRadioButton(dialog_, IDC_PRINT_MULTICOL_1, IDC_PRINT_MULTICOL_3, IDC_PRINT_MULTICOL_1 + columns);
  CheckDlgButton(dialog_, IDC_PRINT_LINENO, ini_.ReadBool(kSection, L"LineNo", false) ? BST_CHECKED : BST_UNCHECKED);
}

void TPrintDlg::HeaderChange(int comboId) {
  HWND combo = GetDlgItem(dialog_, comboId);
  LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  if (index < 0 || index >= static_cast<LRESULT>(std::size(kItems))) return;
  // The selection's own text is written after this notification: replace it afterwards.
  PostMessageW(dialog_, WM_APP, static_cast<WPARAM>(comboId), static_cast<LPARAM>(index));
}

void TPrintDlg::Button3Click() { PrinterSetupDialog(dialog_); }

int TPrintDlg::Margin(int id) const {
  BOOL ok = FALSE;
  int value = static_cast<int>(GetDlgItemInt(dialog_, id, &ok, FALSE));
  return std::clamp(ok ? value : 20, kMarginLow, kMarginHigh);
}

int TPrintDlg::RadioIndex(int firstId) const {
  for (int i = 0; i < 3; ++i)
    if (IsDlgButtonChecked(dialog_, firstId + i) == BST_CHECKED) return i;
  return 0;
}

std::wstring TPrintDlg::HeaderTemplate() const { return TemplateOf(WindowTextOf(GetDlgItem(dialog_, IDC_PRINT_HEADER))); }
std::wstring TPrintDlg::FooterTemplate() const { return TemplateOf(WindowTextOf(GetDlgItem(dialog_, IDC_PRINT_FOOTER))); }
int TPrintDlg::HeaderAlignIndex() const { return RadioIndex(IDC_PRINT_ARHEADER_LEFT); }
int TPrintDlg::FooterAlignIndex() const { return RadioIndex(IDC_PRINT_ARFOOTER_LEFT); }
int TPrintDlg::MarginLeft() const { return Margin(IDC_PRINT_MARGINL); }
int TPrintDlg::MarginRight() const { return Margin(IDC_PRINT_MARGINR); }
int TPrintDlg::MarginTop() const { return Margin(IDC_PRINT_MARGINT); }
int TPrintDlg::MarginBottom() const { return Margin(IDC_PRINT_MARGINB); }
int TPrintDlg::ColumnIndex() const { return RadioIndex(IDC_PRINT_MULTICOL_1); }
bool TPrintDlg::LineNo() const { return IsDlgButtonChecked(dialog_, IDC_PRINT_LINENO) == BST_CHECKED; }

int TPrintDlg::ShowModal() {
  if (owner_ != nullptr) {
    RECT area{};
    GetWindowRect(owner_, &area);
    CenterWindowOver(dialog_, area);
  }
  return RunModal(
      dialog_, owner_, &modalResult_, [this] { SetFocus(GetDlgItem(dialog_, IDC_PRINT_BUTTON1)); },
      [this] { FormCloseQuery(); });
}

void TPrintDlg::FormCloseQuery() {
  // Written at every close, Cancel included; a refused write is the settings component's to report.
  try {
    ini_.WriteString(kSection, L"Header", WindowTextOf(GetDlgItem(dialog_, IDC_PRINT_HEADER)));
    ini_.WriteString(kSection, L"Footer", WindowTextOf(GetDlgItem(dialog_, IDC_PRINT_FOOTER)));
    ini_.WriteInteger(kSection, L"HeaderAlign", HeaderAlignIndex());
    ini_.WriteInteger(kSection, L"FooterAlign", FooterAlignIndex());
    ini_.WriteInteger(kSection, L"LeftMargin", MarginLeft());
    ini_.WriteInteger(kSection, L"RightMargin", MarginRight());
    ini_.WriteInteger(kSection, L"TopMargin", MarginTop());
    ini_.WriteInteger(kSection, L"BottomMargin", MarginBottom());
    ini_.WriteInteger(kSection, L"ColumnCount", ColumnIndex());
    ini_.WriteBool(kSection, L"LineNo", LineNo());
  } catch (const EIniFileError& error) {
    ShowSettingsWarning(error.Message());
  }
}

INT_PTR CALLBACK TPrintDlg::DialogProc(HWND dialog, UINT message, WPARAM w, LPARAM l) {
  auto self = DialogObject<TPrintDlg>(dialog, message, l);
  switch (message) {
    case WM_INITDIALOG: return FALSE;
    case WM_CLOSE:
      if (self) self->modalResult_ = IDCANCEL;
      return TRUE;
    case WM_APP:
      SetDlgItemTextW(dialog, static_cast<int>(w), kItems[l].templ);
      return TRUE;
    case WM_COMMAND:
      if (!self) return FALSE;
      switch (LOWORD(w)) {
        case IDC_PRINT_HEADER:
        case IDC_PRINT_FOOTER:
          if (HIWORD(w) == CBN_SELCHANGE) self->HeaderChange(LOWORD(w));
          return TRUE;
        case IDC_PRINT_MARGINL:
        case IDC_PRINT_MARGINR:
        case IDC_PRINT_MARGINT:
        case IDC_PRINT_MARGINB:
          // A typed value outside 5..100 is put back in range when the field is left.
          if (HIWORD(w) == EN_KILLFOCUS)
            SetDlgItemInt(dialog, LOWORD(w), static_cast<UINT>(self->Margin(LOWORD(w))), FALSE);
          return TRUE;
        case IDC_PRINT_BUTTON3: self->Button3Click(); return TRUE;
        case IDC_PRINT_BUTTON4: self->modalResult_ = IDYES; return TRUE;
        case IDC_PRINT_BUTTON2:
        case IDOK: self->modalResult_ = IDOK; return TRUE;
        case IDC_PRINT_BUTTON1:
        case IDCANCEL: self->modalResult_ = IDCANCEL; return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

bool PrintLines(HWND owner, const std::vector<std::string>& lines, const LOGFONTW& editorFont, int tabWidth,
                const std::wstring& fileName, const std::wstring& settingsFile) {
  std::vector<std::string> expanded;
  expanded.reserve(lines.size());
  for (const std::string& line : lines) expanded.push_back(ExpandTabs(line, tabWidth));
  TPrintDlg dialog(owner, settingsFile);
  for (;;) {
    int result = dialog.ShowModal();
    if (result == IDCANCEL) return false;
    TStringsPrinter& printer = dialog.StrPrt();
    printer.SetFont(editorFont);
    printer.SetMarginLeft(dialog.MarginLeft());
    printer.SetMarginRight(dialog.MarginRight());
    printer.SetMarginTop(dialog.MarginTop());
    printer.SetMarginBottom(dialog.MarginBottom());
    printer.SetHeader(dialog.HeaderTemplate());
    printer.SetFooter(dialog.FooterTemplate());
    printer.SetHeaderAlign(static_cast<TStringsPrinterHeaderAlign>(dialog.HeaderAlignIndex() + 1));
    printer.SetFooterAlign(static_cast<TStringsPrinterHeaderAlign>(dialog.FooterAlignIndex() + 1));
    printer.SetFileName(fileName);
    printer.SetColumnCount(dialog.ColumnIndex() + 1);
    printer.SetColumnSpace(10);
    printer.SetLineNumber(dialog.LineNo());
    printer.SetFirstLineNumber(1);
    printer.SetFirstPageNumber(1);
    if (result == IDYES) {
      printer.Preview(owner, expanded);
      continue;
    }
    return printer.Print(owner, expanded);
  }
}
