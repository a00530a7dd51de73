#include "EditorPropDialog.h"

#include "DialogSupport.h"
#include "DialogTexts.h"
#include "EditorPropDialogIds.h"
#include "engine/Handles.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <set>

namespace {

const TTabPages::TPageDef kPages[] = {
    {dialog_texts::EditorPageEdit, IDD_EDITORPROP_EDIT},   {dialog_texts::EditorPageView1, IDD_EDITORPROP_VIEW1},
    {dialog_texts::EditorPageView2, IDD_EDITORPROP_VIEW2}, {dialog_texts::EditorPageColor, IDD_EDITORPROP_COLOR},
    {dialog_texts::EditorPageWrap, IDD_EDITORPROP_WRAP},   {dialog_texts::EditorReservedWords, IDD_EDITORPROP_RESERVED},
    {dialog_texts::EditorPageKeys, IDD_EDITORPROP_KEYS},
};

const auto& kElementNames = dialog_texts::EditorElements;
static_assert(std::size(kElementNames) == teElementCount);

const COLORREF kPalette[] = {RGB(0, 0, 0),       RGB(128, 0, 0),   RGB(0, 128, 0),   RGB(128, 128, 0),
                             RGB(0, 0, 128),     RGB(128, 0, 128), RGB(0, 128, 128), RGB(128, 128, 128),
                             RGB(192, 192, 192), RGB(255, 0, 0),   RGB(0, 255, 0),   RGB(255, 255, 0),
                             RGB(0, 0, 255),     RGB(255, 0, 255), RGB(0, 255, 255), RGB(255, 255, 255)};
static_assert(std::size(kPalette) == std::size(dialog_texts::EditorColors));

std::string ToSjis(const std::wstring& text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(932, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(932, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

struct TBox {
  int id;
  bool TEditorSettings::*field;
};
const TBox kBoxes[] = {
    {IDC_EP_FREECURSOR, &TEditorSettings::freeCaret},   {IDC_EP_AUTOINDENT, &TEditorSettings::autoIndent},
    {IDC_EP_UNINDENT, &TEditorSettings::unindent},      {IDC_EP_KEEPCARET, &TEditorSettings::keepCaret},
    {IDC_EP_NEXTLINE, &TEditorSettings::nextLine},      {IDC_EP_SOFTTAB, &TEditorSettings::softTab},
    {IDC_EP_LOCKSCROLL, &TEditorSettings::lockScroll},  {IDC_EP_ROWSELECT, &TEditorSettings::rowSelect},
    {IDC_EP_SELMOVE, &TEditorSettings::selMove},        {IDC_EP_INTAB, &TEditorSettings::inTab},
    {IDC_EP_TABINDENT, &TEditorSettings::tabIndent},    {IDC_EP_CURSOR, &TEditorSettings::editorCaret},
    {IDC_EP_UNDERLINE, &TEditorSettings::caretUnderline}, {IDC_EP_ADDRESS, &TEditorSettings::markAddresses},
    {IDC_EP_RETMARK, &TEditorSettings::returnMark},     {IDC_EP_EOFMARK, &TEditorSettings::eofMark},
    {IDC_EP_TABMARK, &TEditorSettings::tabMark},        {IDC_EP_ZSPACE, &TEditorSettings::fullWidthSpaceMark},
    {IDC_EP_LEFTBAR, &TEditorSettings::lineNumbers},    {IDC_EP_ZEROLEAD, &TEditorSettings::zeroLead},
    {IDC_EP_RULER, &TEditorSettings::ruler},            {IDC_EP_WORDWRAP, &TEditorSettings::wordWrap},
    {IDC_EP_FOLLOWP, &TEditorSettings::hangPunctuation}, {IDC_EP_LEADING, &TEditorSettings::pushOut},
    {IDC_EP_WORDBRK, &TEditorSettings::wordBreak},      {IDC_EP_FOLLOWR, &TEditorSettings::hangReturn},
    {IDC_EP_RIGHTBAR, &TEditorSettings::wrapLine},
};

struct TNumber {
  int id, upDown, low, high;
  int TEditorSettings::*field;
};
const TNumber kNumbers[] = {
    {IDC_EP_TABSIZE, IDC_EP_TABSIZE_UD, 0, 16, &TEditorSettings::tabSize},
    {IDC_EP_MLEFT, IDC_EP_MLEFT_UD, 0, 48, &TEditorSettings::marginLeft},
    {IDC_EP_MTOP, IDC_EP_MTOP_UD, 0, 32, &TEditorSettings::marginTop},
    {IDC_EP_MLINE, IDC_EP_MLINE_UD, 0, 32, &TEditorSettings::lineSpacing},
    {IDC_EP_MCHAR, IDC_EP_MCHAR_UD, 0, 32, &TEditorSettings::charSpacing},
    {IDC_EP_FSIZE, IDC_EP_FSIZE_UD, 5, 72, &TEditorSettings::fontSize},
    {IDC_EP_LEFTNUM, IDC_EP_LEFTNUM_UD, 0, 8, &TEditorSettings::lineNumberDigits},
    {IDC_EP_COLUMN, IDC_EP_COLUMN_UD, 0, 256, &TEditorSettings::wrapColumn},
};

struct TTextBox {
  int id;
  std::wstring TEditorSettings::*field;
};
const TTextBox kTextBoxes[] = {
    {IDC_EP_HEXPRF, &TEditorSettings::hexPrefix}, {IDC_EP_COMMENT, &TEditorSettings::lineComment},
    {IDC_EP_QUATE, &TEditorSettings::quotes},     {IDC_EP_FOLLOW, &TEditorSettings::followChars},
    {IDC_EP_LEAD, &TEditorSettings::leadChars},   {IDC_EP_PUNC, &TEditorSettings::punctuationChars},
};

int CALLBACK AddFixedFont(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM data) {
  if ((font->lfPitchAndFamily & 3) == FIXED_PITCH && font->lfFaceName[0] != L'@')
    reinterpret_cast<std::set<std::wstring>*>(data)->insert(font->lfFaceName);
  return 1;
}

// "背景色の統一": every element but the selection and the search hits.
bool TakesCommonBackground(int element) { return element != teSelection && element != teSearchHit; }

}  // namespace

TmEditorProp::TmEditorProp(HWND owner) : owner_(owner) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_UPDOWN_CLASS | ICC_LISTVIEW_CLASSES |
                                                     ICC_HOTKEY_CLASS};
  InitCommonControlsEx(&controls);
  Slots.resize(0);
}

TmEditorProp::~TmEditorProp() = default;

int TmEditorProp::ShowModal() {
  TPageTurnKeys keys([this](int step) { pages_.Turn(step); });
  int result = ShowDialogBox(IDD_EDITORPROP, owner_, SheetProc, this);
  dialog_ = nullptr;
  return result;
}

INT_PTR CALLBACK TmEditorProp::SheetProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  auto* self = DialogObject<TmEditorProp>(window, message, l);
  if (message == WM_INITDIALOG) {
    self->FormCreate(window);
    self->FormShow();
    return TRUE;
  }
  if (self == nullptr) return FALSE;
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(w) == IDOK) {
        // The memo goes into the settings object only here, as designed.
        self->ReadReservedWords();
        EndDialog(window, IDOK);
        return TRUE;
      }
      if (LOWORD(w) == IDCANCEL) {
        EndDialog(window, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(l);
      if (self->pages_.Notified(header)) return TRUE;
      return FALSE;
    }
  }
  return FALSE;
}

INT_PTR CALLBACK TmEditorProp::PageProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  auto* self = DialogObject<TmEditorProp>(window, message, l);
  if (message == WM_INITDIALOG) return FALSE;
  if (self == nullptr) return FALSE;
  if (message == WM_COMMAND) {
    self->Command(LOWORD(w), HIWORD(w), reinterpret_cast<HWND>(l));
    return TRUE;
  }
  if (message == WM_NOTIFY) return self->Notify(reinterpret_cast<NMHDR*>(l)) ? TRUE : FALSE;
  return FALSE;
}

void TmEditorProp::FormCreate(HWND dialog) {
  dialog_ = dialog;
  if (!caption_.empty()) SetWindowTextW(dialog_, caption_.c_str());
  pages_.Create(dialog_, IDC_EP_TABS, DialogModule(), kPages, PageProc, reinterpret_cast<LPARAM>(this));
  // The preview takes the place the colour page keeps for it.
  HWND frame = GetDlgItem(pages_.Page(3), IDC_EP_PREVIEWFRAME);
  RECT bounds{};
  GetWindowRect(frame, &bounds);
  MapWindowPoints(nullptr, pages_.Page(3), reinterpret_cast<POINT*>(&bounds), 2);
  preview_.Create(pages_.Page(3), IDC_EP_EDITVIEW, bounds);
  ShowPage(0);
  if (centerOn_ != nullptr) {
    RECT over{};
    GetWindowRect(centerOn_, &over);
    CenterWindowOver(dialog_, over);
  }
}

void TmEditorProp::ShowPage(int index) { pages_.Show(index); }

HWND TmEditorProp::Item(int id) const { return pages_.Item(id); }
bool TmEditorProp::Checked(int id) const { return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
void TmEditorProp::SetCheck(int id, bool on) { SendMessageW(Item(id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0); }
std::wstring TmEditorProp::TextOf(int id) const { return WindowTextOf(Item(id)); }
int TmEditorProp::Number(int id, int fallback) const {
  std::wstring text = TextOf(id);
  if (text.empty() || text.size() > 6) return fallback;
  for (wchar_t c : text)
    if (c < L'0' || c > L'9') return fallback;
  return std::stoi(text);
}
void TmEditorProp::SetNumber(int id, int value) { SetWindowTextW(Item(id), std::to_wstring(value).c_str()); }

void TmEditorProp::FillColorCombo(int id, COLORREF color) {
  HWND combo = Item(id);
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  int selected = -1;
  for (size_t i = 0; i < std::size(kPalette); ++i) {
    auto name = reinterpret_cast<LPARAM>(dialog_texts::EditorColors[i]);
    int index = static_cast<int>(SendMessageW(combo, CB_ADDSTRING, 0, name));
    SendMessageW(combo, CB_SETITEMDATA, index, kPalette[i]);
    if (kPalette[i] == color) selected = index;
  }
  if (selected < 0) {
    wchar_t text[32];
    swprintf(text, 32, L"#%02X%02X%02X", GetRValue(color), GetGValue(color), GetBValue(color));
    selected = static_cast<int>(SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
    SendMessageW(combo, CB_SETITEMDATA, selected, color);
  }
  int other =
      static_cast<int>(SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(dialog_texts::EditorOtherColor)));
  SendMessageW(combo, CB_SETITEMDATA, other, static_cast<LPARAM>(-1));
  SendMessageW(combo, CB_SETCURSEL, selected, 0);
}

// The colour chosen in a combo; "その他..." asks the colour dialog.
bool TmEditorProp::ColorOfCombo(int id, COLORREF* color) {
  HWND combo = Item(id);
  int index = static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
  if (index < 0) return false;
  LRESULT data = SendMessageW(combo, CB_GETITEMDATA, index, 0);
  if (data != static_cast<LRESULT>(-1) && data != CB_ERR) {
    *color = static_cast<COLORREF>(data);
    return true;
  }
  static COLORREF custom[16]{};
  CHOOSECOLORW choose{sizeof choose};
  choose.hwndOwner = dialog_;
  choose.rgbResult = *color;
  choose.lpCustColors = custom;
  choose.Flags = CC_RGBINIT | CC_FULLOPEN;
  bool chosen = ChooseColorW(&choose) != FALSE;
  if (chosen) *color = choose.rgbResult;
  FillColorCombo(id, *color);
  return chosen;
}

void TmEditorProp::FormShow() {
  filling_ = true;
  TEditorSettings& s = EditorPropEx1;
  s.Clamp();
  // Fonts: the installed fixed-pitch families, and the current one in any case.
  std::set<std::wstring> fonts;
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  HDC dc = GetDC(dialog_);
  EnumFontFamiliesExW(dc, &wanted, AddFixedFont, reinterpret_cast<LPARAM>(&fonts), 0);
  ReleaseDC(dialog_, dc);
  fonts.insert(s.fontName);
  HWND fontList = Item(IDC_EP_FNAME);
  for (const auto& name : fonts) SendMessageW(fontList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  SendMessageW(fontList, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(s.fontName.c_str()));
  // An exact match: the combo's prefix search could pick a longer name.
  int count = static_cast<int>(SendMessageW(fontList, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    wchar_t name[LF_FACESIZE * 2]{};
    if (SendMessageW(fontList, CB_GETLBTEXTLEN, i, 0) < LF_FACESIZE * 2 - 1)
      SendMessageW(fontList, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(name));
    if (s.fontName == name) SendMessageW(fontList, CB_SETCURSEL, i, 0);
  }
  preview_.SetText(ToSjis(dialog_texts::EditorSample));
  Apply();

  for (const auto& box : kBoxes) SetCheck(box.id, s.*box.field);
  for (const auto& number : kNumbers) {
    SendMessageW(Item(number.upDown), UDM_SETRANGE32, number.low, number.high);
    SetNumber(number.id, s.*number.field);
  }
  for (const auto& text : kTextBoxes) SetWindowTextW(Item(text.id), (s.*text.field).c_str());
  HWND bars = Item(IDC_EP_SCROLLBAR);
  for (const wchar_t* name : dialog_texts::EditorScrollBars)
    SendMessageW(bars, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  SendMessageW(bars, CB_SETCURSEL, s.scrollBars, 0);
  SetCheck(IDC_EP_R8, s.rulerGauge == 8);
  SetCheck(IDC_EP_R10, s.rulerGauge != 8);
  FillColorCombo(IDC_EP_BARFCOLOR, s.barForeground);
  FillColorCombo(IDC_EP_BARBKCOLOR, s.barBackground);
  HWND brackets = Item(IDC_EP_BRACKET);
  for (const auto& pair : s.brackets)
    SendMessageW(brackets, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>((pair.first + L" " + pair.second).c_str()));
  if (!s.brackets.empty()) {
    SetWindowTextW(Item(IDC_EP_BRLEFT), s.brackets[0].first.c_str());
    SetWindowTextW(Item(IDC_EP_BRRIGHT), s.brackets[0].second.c_str());
  }
  HWND elements = Item(IDC_EP_ELEMENT);
  for (const wchar_t* name : kElementNames) SendMessageW(elements, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  SendMessageW(elements, LB_SETCURSEL, 0, 0);
  ElementSelected();

  std::wstring words;
  for (const auto& word : s.reservedWords) words += word + L"\r\n";
  SendMessageW(Item(IDC_EP_RESVSTR), EM_SETLIMITTEXT, 0, 0);
  SetWindowTextW(Item(IDC_EP_RESVSTR), words.c_str());

  HWND functions = Item(IDC_EP_FUNCTIONS);
  SetListColumns(functions, {{dialog_texts::EditorColumnFunction, 260}, {dialog_texts::EditorColumnShortcut, 150}});
  for (size_t i = 0; i < Slots.size(); ++i) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(i);
    item.pszText = const_cast<wchar_t*>(Slots[i].name.c_str());
    ListView_InsertItem(functions, &item);
    std::wstring key = ShortcutText(Slots[i].key);
    ListView_SetItemText(functions, static_cast<int>(i), 1, key.data());
  }
  EnableWindow(functions, functionsEnabled_);
  SendMessageW(Item(IDC_EP_HOTKEY), HKM_SETHOTKEY, Slots.empty() ? 0 : Slots[0].key, 0);
  bool firstNamed = !Slots.empty() && !Slots[0].name.empty() && functionsEnabled_;
  EnableWindow(Item(IDC_EP_HOTKEY), firstNamed);
  EnableWindow(Item(IDC_EP_ASSIGN), firstNamed);
  if (!Slots.empty()) ListView_SetItemState(functions, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);

  // The sample word, so that the selection colour shows.
  preview_.Select(34, 40);
  EnableGroups();
  filling_ = false;
}

void TmEditorProp::Apply() { preview_.SetSettings(EditorPropEx1); }

// The group check boxes: line numbers (group 100) and the ruler (group 101).
void TmEditorProp::EnableGroups() {
  bool numbers = Checked(IDC_EP_LEFTBAR), ruler = Checked(IDC_EP_RULER);
  for (int id : {IDC_EP_LEFTNUM_LABEL, IDC_EP_LEFTNUM, IDC_EP_LEFTNUM_UD, IDC_EP_ZEROLEAD})
    EnableWindow(Item(id), numbers);
  for (int id : {IDC_EP_R8, IDC_EP_R10}) EnableWindow(Item(id), ruler);
}

void TmEditorProp::ElementSelected() {
  int element = static_cast<int>(SendMessageW(Item(IDC_EP_ELEMENT), LB_GETCURSEL, 0, 0));
  if (element < 0 || element >= teElementCount) return;
  bool was = filling_;
  filling_ = true;
  const TTextColor& color = EditorPropEx1.colors[element];
  FillColorCombo(IDC_EP_FCOLOR, color.foreground);
  FillColorCombo(IDC_EP_BCOLOR, color.background);
  SetCheck(IDC_EP_BOLD, color.bold);
  SetCheck(IDC_EP_ITALIC, color.italic);
  SetCheck(IDC_EP_FUNDERLINE, color.underline);
  filling_ = was;
}

void TmEditorProp::Command(int id, int code, HWND) {
  if (filling_) return;
  TEditorSettings& s = EditorPropEx1;
  bool changed = false;
  for (const auto& box : kBoxes) {
    if (box.id == id && code == BN_CLICKED) {
      s.*box.field = Checked(id);
      changed = true;
      if (id == IDC_EP_LEFTBAR || id == IDC_EP_RULER) EnableGroups();
    }
  }
  for (const auto& number : kNumbers) {
    if (number.id == id && code == EN_CHANGE) {
      // Typing may pass through values out of range; the setting keeps inside it.
      s.*number.field = std::clamp(Number(id, s.*number.field), number.low, number.high);
      changed = true;
    }
    if (number.id == id && code == EN_KILLFOCUS) SetNumber(id, s.*number.field);
  }
  for (const auto& text : kTextBoxes) {
    if (text.id == id && code == EN_CHANGE) {
      s.*text.field = TextOf(id);
      changed = true;
    }
  }
  int element = static_cast<int>(SendMessageW(Item(IDC_EP_ELEMENT), LB_GETCURSEL, 0, 0));
  switch (id) {
    case IDC_EP_SCROLLBAR:
      if (code == CBN_SELCHANGE) {
        s.scrollBars = static_cast<TScrollBars>(std::clamp<int>(
            static_cast<int>(SendMessageW(Item(id), CB_GETCURSEL, 0, 0)), sbNone, sbBoth));
        changed = true;
      }
      break;
    case IDC_EP_FNAME:
      if (code == CBN_SELCHANGE) {
        s.fontName = TextOf(id);
        changed = true;
      }
      break;
    case IDC_EP_R8:
    case IDC_EP_R10:
      if (code == BN_CLICKED) {
        s.rulerGauge = Checked(IDC_EP_R8) ? 8 : 10;
        changed = true;
      }
      break;
    case IDC_EP_BARFCOLOR:
      if (code == CBN_SELCHANGE) changed = ColorOfCombo(id, &s.barForeground) || true;
      break;
    case IDC_EP_BARBKCOLOR:
      if (code == CBN_SELCHANGE) changed = ColorOfCombo(id, &s.barBackground) || true;
      break;
    case IDC_EP_BRACKET:
      if (code == LBN_SELCHANGE) {
        int index = static_cast<int>(SendMessageW(Item(id), LB_GETCURSEL, 0, 0));
        if (index >= 0 && index < static_cast<int>(s.brackets.size())) {
          SetWindowTextW(Item(IDC_EP_BRLEFT), s.brackets[index].first.c_str());
          SetWindowTextW(Item(IDC_EP_BRRIGHT), s.brackets[index].second.c_str());
        }
      }
      break;
    case IDC_EP_BRADD:
      if (code == BN_CLICKED) {
        std::wstring left = TextOf(IDC_EP_BRLEFT), right = TextOf(IDC_EP_BRRIGHT);
        // A pair is two non-blank halves; blanks would break the "left right" form.
        if (left.empty() || right.empty() || left.find(L' ') != std::wstring::npos ||
            right.find(L' ') != std::wstring::npos)
          break;
        std::pair<std::wstring, std::wstring> pair{left, right};
        if (std::find(s.brackets.begin(), s.brackets.end(), pair) != s.brackets.end()) break;
        s.brackets.push_back(pair);
        SendMessageW(Item(IDC_EP_BRACKET), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>((left + L" " + right).c_str()));
        changed = true;
      }
      break;
    case IDC_EP_BRDELETE:
      if (code == BN_CLICKED) {
        int index = static_cast<int>(SendMessageW(Item(IDC_EP_BRACKET), LB_GETCURSEL, 0, 0));
        if (index < 0 || index >= static_cast<int>(s.brackets.size())) break;
        s.brackets.erase(s.brackets.begin() + index);
        SendMessageW(Item(IDC_EP_BRACKET), LB_DELETESTRING, index, 0);
        changed = true;
      }
      break;
    case IDC_EP_ELEMENT:
      if (code == LBN_SELCHANGE) ElementSelected();
      break;
    case IDC_EP_FCOLOR:
      if (code == CBN_SELCHANGE && element >= 0) changed = ColorOfCombo(id, &s.colors[element].foreground) || true;
      break;
    case IDC_EP_BCOLOR:
    case IDC_EP_SAMEBCOLOR:
      if ((code == CBN_SELCHANGE || code == BN_CLICKED) && element >= 0) {
        if (id == IDC_EP_BCOLOR) ColorOfCombo(id, &s.colors[element].background);
        if (Checked(IDC_EP_SAMEBCOLOR)) {
          COLORREF common = s.colors[element].background;
          for (int i = 0; i < teElementCount; ++i)
            if (TakesCommonBackground(i)) s.colors[i].background = common;
        }
        changed = true;
      }
      break;
    case IDC_EP_BOLD:
    case IDC_EP_ITALIC:
    case IDC_EP_FUNDERLINE:
      if (code == BN_CLICKED && element >= 0) {
        s.colors[element].bold = Checked(IDC_EP_BOLD);
        s.colors[element].italic = Checked(IDC_EP_ITALIC);
        s.colors[element].underline = Checked(IDC_EP_FUNDERLINE);
        changed = true;
      }
      break;
    case IDC_EP_FOLLOW_DEFAULT:
      if (code == BN_CLICKED) SetWindowTextW(Item(IDC_EP_FOLLOW), TEditorSettings::DefaultFollowChars());
      break;
    case IDC_EP_LEAD_DEFAULT:
      if (code == BN_CLICKED) SetWindowTextW(Item(IDC_EP_LEAD), TEditorSettings::DefaultLeadChars());
      break;
    case IDC_EP_PUNC_DEFAULT:
      if (code == BN_CLICKED) SetWindowTextW(Item(IDC_EP_PUNC), TEditorSettings::DefaultPunctuationChars());
      break;
    case IDC_EP_RESVSTR:
      if (code == EN_KILLFOCUS) {
        ReadReservedWords();
        changed = true;
      }
      break;
    case IDC_EP_RESVLOAD:
      if (code == BN_CLICKED) LoadReservedWords();
      break;
    case IDC_EP_RESVSAVE:
      if (code == BN_CLICKED) SaveReservedWords();
      break;
    case IDC_EP_ASSIGN:
      if (code == BN_CLICKED) {
        HWND functions = Item(IDC_EP_FUNCTIONS);
        int row = ListView_GetNextItem(functions, -1, LVNI_SELECTED);
        if (row < 0 || row >= static_cast<int>(Slots.size()) || Slots[row].name.empty()) break;
        Slots[row].key = static_cast<WORD>(SendMessageW(Item(IDC_EP_HOTKEY), HKM_GETHOTKEY, 0, 0));
        std::wstring key = ShortcutText(Slots[row].key);
        ListView_SetItemText(functions, row, 1, key.data());
      }
      break;
  }
  if (changed) Apply();
}

bool TmEditorProp::Notify(NMHDR* header) {
  if (filling_) return false;
  if (header->idFrom == IDC_EP_FUNCTIONS && header->code == LVN_ITEMCHANGED) {
    auto* change = reinterpret_cast<NMLISTVIEW*>(header);
    if ((change->uNewState & LVIS_SELECTED) && !(change->uOldState & LVIS_SELECTED)) FunctionsSelected();
    return true;
  }
  return false;
}

void TmEditorProp::FunctionsSelected() {
  int row = ListView_GetNextItem(Item(IDC_EP_FUNCTIONS), -1, LVNI_SELECTED);
  bool named = row >= 0 && row < static_cast<int>(Slots.size()) && !Slots[row].name.empty();
  EnableWindow(Item(IDC_EP_HOTKEY), named);
  EnableWindow(Item(IDC_EP_ASSIGN), named);
  if (!named) return;
  SendMessageW(Item(IDC_EP_HOTKEY), HKM_SETHOTKEY, Slots[row].key, 0);
  SetFocus(Item(IDC_EP_HOTKEY));
}

std::vector<std::wstring> TmEditorProp::SplitWords(const std::wstring& text) {
  std::vector<std::wstring> words;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of(L"\r\n", start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring word = text.substr(start, end - start);
    if (word.find_first_not_of(L" \t") != std::wstring::npos) words.push_back(word);
    start = end + 1;
  }
  return words;
}

void TmEditorProp::ReadReservedWords() { EditorPropEx1.reservedWords = SplitWords(TextOf(IDC_EP_RESVSTR)); }

bool TmEditorProp::LoadWordFile(const std::wstring& path, std::wstring* text, std::wstring* error) {
  TFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) {
    *error = path + dialog_texts::EditorCannotRead;
    return false;
  }
  LARGE_INTEGER size{};
  GetFileSizeEx(file.get(), &size);
  // A word list is small; a huge file is not one and would choke the memo.
  if (size.QuadPart > 16 * 1024 * 1024) {
    *error = path + dialog_texts::EditorWordsTooLarge;
    return false;
  }
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  BOOL ok = bytes.empty() || ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  file.reset();
  if (!ok) {
    *error = path + dialog_texts::EditorCannotRead;
    return false;
  }
  bytes.resize(read);
  // Bytes that are not Shift-JIS become the replacement character, not a failure.
  std::wstring wide;
  if (!bytes.empty()) {
    int n = MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    wide.resize(n);
    MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), n);
  }
  wide.erase(std::remove(wide.begin(), wide.end(), L'\0'), wide.end());
  text->clear();
  for (const auto& word : SplitWords(wide)) *text += word + L"\r\n";
  return true;
}

bool TmEditorProp::SaveWordFile(const std::wstring& path, const std::wstring& text) {
  std::wstring lines;
  for (const auto& word : SplitWords(text)) lines += word + L"\r\n";
  std::string bytes = ToSjis(lines);
  TFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  BOOL ok = bytes.empty() || WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  return ok && written == bytes.size();
}

void TmEditorProp::LoadReservedWords() {
  auto path = AskFileName(dialog_, false,
                          {.title = dialog_texts::EditorLoadWordsTitle,
                           .filter = dialog_texts::EditorLoadWordsFilter,
                           .defaultExtension = L"rsv",
                           .flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST});
  if (!path) return;
  std::wstring text, error;
  if (!LoadWordFile(*path, &text, &error)) {
    MessageBoxW(dialog_, error.c_str(), dialog_texts::EditorReservedWords, MB_OK | MB_ICONERROR);
    return;
  }
  SetWindowTextW(Item(IDC_EP_RESVSTR), text.c_str());
  ReadReservedWords();
  Apply();
}

void TmEditorProp::SaveReservedWords() {
  auto path = AskFileName(dialog_, true,
                          {.title = dialog_texts::EditorSaveWordsTitle,
                           .filter = dialog_texts::EditorSaveWordsFilter,
                           .defaultExtension = L"rsv",
                           .flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT});
  if (!path) return;
  if (!SaveWordFile(*path, TextOf(IDC_EP_RESVSTR)))
    MessageBoxW(dialog_, (*path + dialog_texts::EditorCannotWrite).c_str(), dialog_texts::EditorReservedWords,
                MB_OK | MB_ICONERROR);
}

std::wstring TmEditorProp::ShortcutText(WORD key) {
  if (LOBYTE(key) == 0) return {};
  std::wstring text;
  BYTE flags = HIBYTE(key);
  if (flags & HOTKEYF_CONTROL) text += L"Ctrl+";
  if (flags & HOTKEYF_SHIFT) text += L"Shift+";
  if (flags & HOTKEYF_ALT) text += L"Alt+";
  UINT scan = MapVirtualKeyW(LOBYTE(key), MAPVK_VK_TO_VSC);
  LONG lparam = static_cast<LONG>(scan << 16);
  if (flags & HOTKEYF_EXT) lparam |= 1 << 24;
  wchar_t name[64]{};
  if (GetKeyNameTextW(lparam, name, 64) > 0) {
    text += name;
  } else {
    wchar_t code[16];
    swprintf(code, 16, L"#%u", LOBYTE(key));
    text += code;
  }
  return text;
}

bool EditEditorSettings(HWND owner, TEditorSettings& settings, const std::wstring& caption,
                        std::vector<TShortcutSlot>* slots) {
  TmEditorProp sheet(owner);
  sheet.EditorPropEx1 = settings;
  sheet.SetCaption(caption);
  if (slots != nullptr) sheet.Slots = *slots;
  sheet.CenterOn(owner);
  if (sheet.ShowModal() != IDOK) return false;
  settings = sheet.EditorPropEx1;
  if (slots != nullptr) *slots = sheet.Slots;
  return true;
}
