#include "FindDialog.h"

#include "DialogSupport.h"
#include "FindDialogIds.h"
#include "help/HelpService.h"

#include <vector>

static_assert(IDC_FIND_MATCHCASE == 4721 && IDC_FIND_FROMTOP == 4732, "the class's ids follow FindDialogIds.h");

namespace {

constexpr DWORD HelpTopic = 15;
const wchar_t kSection[] = L"Find";

// The settings of the dialog in the order they are read: both radio buttons
// are set in turn, so with From and FromTop both stored the later wins.
struct TStoredBox {
  int id;
  const wchar_t* key;
  bool defaultValue;
};
const TStoredBox kStoredBoxes[] = {
    {IDC_FIND_MATCHCASE, L"MatchCase", false}, {IDC_FIND_WHOLEWORD, L"WholeWord", false},
    {IDC_FIND_REGEXP, L"RegExp", false},       {IDC_FIND_FUZZY, L"Fuzzy", false},
    {IDC_FIND_AREA, L"FindArea", false},       {IDC_FIND_FROMHERE, L"From", true},
    {IDC_FIND_FROMTOP, L"FromTop", false},
};

}  // namespace

TFindDlg::TFindDlg(HWND owner, const std::wstring& settingsFile) : owner_(owner) {
  ini_.SetFileName(settingsFile);
  ini_.Loaded();
  history_.SetFileName(ini_.FullPath());
  dialog_ =
      CreateDialogParamW(DialogModule(), MAKEINTRESOURCEW(IDD_FIND), owner, DialogProc, reinterpret_cast<LPARAM>(this));
  FormCreate();
}

TFindDlg::~TFindDlg() {
  if (dialog_ != nullptr) DestroyWindow(dialog_);
}

void TFindDlg::FormCreate() {
  history_.SetComboBox(GetDlgItem(dialog_, IDC_FIND_WORD));
  history_.Load();
  for (const auto& box : kStoredBoxes) {
    bool on = ini_.ReadBool(kSection, box.key, box.defaultValue);
    if (box.id == IDC_FIND_FROMHERE || box.id == IDC_FIND_FROMTOP) {
      if (on) CheckRadioButton(dialog_, IDC_FIND_FROMHERE, IDC_FIND_FROMTOP, box.id);
    } else {
      CheckDlgButton(dialog_, box.id, on ? BST_CHECKED : BST_UNCHECKED);
    }
  }
}

void TFindDlg::CenterOn(HWND window) {
  RECT owner{}, self{};
  GetWindowRect(window, &owner);
  GetWindowRect(dialog_, &self);
  int width = self.right - self.left, height = self.bottom - self.top;
  int left = owner.left + (owner.right - owner.left - width) / 2;
  int top = owner.top + (owner.bottom - owner.top - height) / 2;
  SetWindowPos(dialog_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TFindDlg::SetStartPointsEnabled(bool enabled) {
  EnableWindow(GetDlgItem(dialog_, IDC_FIND_FROMHERE), enabled);
  EnableWindow(GetDlgItem(dialog_, IDC_FIND_FROMTOP), enabled);
}

void TFindDlg::SetDownCaption(const std::wstring& caption) { SetDlgItemTextW(dialog_, IDC_FIND_DOWN, caption.c_str()); }

void TFindDlg::SetUpVisible(bool visible) { ShowWindow(GetDlgItem(dialog_, IDC_FIND_UP), visible ? SW_SHOW : SW_HIDE); }

void TFindDlg::SetFindAreaEnabled(bool enabled) { EnableWindow(GetDlgItem(dialog_, IDC_FIND_AREA), enabled); }

void TFindDlg::SetFindWord(const std::wstring& text) { SetDlgItemTextW(dialog_, IDC_FIND_WORD, text.c_str()); }

std::wstring TFindDlg::FindWord() const {
  HWND box = GetDlgItem(dialog_, IDC_FIND_WORD);
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(box)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(box, text.data(), static_cast<int>(text.size()))));
  return text;
}

int TFindDlg::ShowModal() {
  return RunModal(
      dialog_, owner_, &modalResult_, [this] { FormShow(); }, [this] { FormCloseQuery(); });
}

void TFindDlg::FormShow() { SetFocus(GetDlgItem(dialog_, IDC_FIND_WORD)); }

void TFindDlg::Button1Click(int result) {
  history_.Add(FindWord());
  modalResult_ = result;
}

void TFindDlg::FormCloseQuery() {
  // Written at every close, Cancel included; a refused write is the settings component's to report.
  history_.Save();
  try {
    for (const auto& box : kStoredBoxes) ini_.WriteBool(kSection, box.key, Checked(box.id));
  } catch (const EIniFileError& error) {
    ShowSettingsWarning(error.Message());
  }
}

INT_PTR CALLBACK TFindDlg::DialogProc(HWND dialog, UINT message, WPARAM w, LPARAM l) {
  auto self = DialogObject<TFindDlg>(dialog, message, l);
  switch (message) {
    case WM_INITDIALOG: return FALSE;
    case WM_CLOSE:
      if (self) self->modalResult_ = IDCANCEL;
      return TRUE;
    case WM_HELP: ShowHelpTopic(dialog, HelpTopic); return TRUE;
    case WM_COMMAND:
      if (!self) return FALSE;
      switch (LOWORD(w)) {
        case IDC_FIND_UP:
          self->Button1Click(IDNO);
          return TRUE;
        case IDOK:  // Enter: the default button
        case IDC_FIND_DOWN:
          self->Button1Click(IDYES);
          return TRUE;
        case IDCANCEL:  // Escape, from the dialog or from the combo box
        case IDC_FIND_CANCEL:
          self->modalResult_ = IDCANCEL;
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}
