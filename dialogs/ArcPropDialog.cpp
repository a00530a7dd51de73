#include "ArcPropDialog.h"

#include "ArcPropDialogIds.h"
#include "DialogSupport.h"
#include "DialogTexts.h"
#include "engine/Handles.h"
#include "help/HelpService.h"
#include "widgets/FolderDialog.h"

#include <cwchar>
#include <vector>

namespace {

constexpr UINT HelpTopic = 58;
// Escaped: "??-" would read as a trigraph.
constexpr wchar_t UnknownDate[] = L"?\?-?\?-?? ??:??:??";
constexpr wchar_t UnknownType[] = L"-??\?-";

// Thousands separators of the user's locale, no decimals.
std::wstring Grouped(double value, int decimals) {
  wchar_t plain[64];
  swprintf(plain, 64, L"%.*f", decimals, value);
  wchar_t grouped[96];
  NUMBERFMTW format{};
  wchar_t decimal[8] = L".", thousand[8] = L",";
  GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, decimal, 8);
  GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, thousand, 8);
  format.NumDigits = static_cast<UINT>(decimals);
  format.LeadingZero = 1;
  format.Grouping = 3;
  format.lpDecimalSep = decimal;
  format.lpThousandSep = thousand;
  format.NegativeOrder = 1;
  if (GetNumberFormatW(LOCALE_USER_DEFAULT, 0, plain, &format, grouped, 96) == 0) return plain;
  return grouped;
}

// The file system's packed date and time, so seconds come in two-second steps.
std::wstring PackedDateTime(const FILETIME& written) {
  FILETIME local{};
  WORD date = 0, time = 0;
  if (!FileTimeToLocalFileTime(&written, &local) || !FileTimeToDosDateTime(&local, &date, &time))
    return UnknownDate;
  DWORD packed = (static_cast<DWORD>(date) << 16) | time;
  wchar_t text[64];
  swprintf(text, 64, L"%.02d/%.02d/%.02d %.02d:%.02d:%.02d", static_cast<int>((packed >> 25) + 1980),
           static_cast<int>((packed >> 21) & 0x0F), static_cast<int>((packed >> 16) & 0x1F),
           static_cast<int>((packed >> 11) & 0x1F), static_cast<int>((packed >> 5) & 0x3F),
           static_cast<int>((packed & 0x1F) * 2));
  return text;
}

struct TDialogState {
  const TArcProp::TTexts* texts;
  TArcProp::TChoice choice;
};

void EnableBaseDir(HWND dialog) {
  bool on = IsDlgButtonChecked(dialog, IDC_ARCPROP_CANEDIT) == BST_CHECKED;
  for (int id : {IDC_ARCPROP_BASEDIR_LABEL, IDC_ARCPROP_BASEDIR, IDC_ARCPROP_BASEDIR_BUTTON})
    EnableWindow(GetDlgItem(dialog, id), on);
}

std::wstring ControlText(HWND control) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

}  // namespace

TArcProp::TTexts TArcProp::TextsFor(const TFacts& facts) {
  TTexts texts;
  texts.Name = facts.Name;
  texts.CanEditEnabled = facts.EditableKind;
  if (facts.FileKnown && (!facts.ListingAvailable || facts.EntryCount > 0)) {
    texts.Mdate = PackedDateTime(facts.WriteTime);
    texts.ASize = Grouped(static_cast<double>(facts.ArchiveSize), 0);
  } else {
    texts.Mdate = UnknownDate;
    texts.ASize = L"0";
    texts.CanEditEnabled = false;
  }
  if (facts.EntryCount > 0) {
    texts.FilesN = Grouped(static_cast<double>(facts.EntryCount), 0);
    texts.OrgSize = Grouped(static_cast<double>(facts.OriginalSize), 0);
    texts.CType = facts.CompressionType;
    // Nothing to compare with when every entry is empty.
    if (facts.OriginalSize == 0) {
      texts.TotalRatio = L"-";
    } else {
      std::wstring ratio =
          Grouped(static_cast<double>(facts.ArchiveSize) * 100.0 / static_cast<double>(facts.OriginalSize), 1);
      while (ratio.size() < 4) ratio.insert(0, L" ");
      texts.TotalRatio = ratio + L"%";
    }
  } else {
    texts.FilesN = L"?";
    texts.OrgSize = L"?";
    texts.CType = UnknownType;
    texts.TotalRatio = L"0";
  }
  return texts;
}

TArcProp::TChoice TArcProp::ShowModal(HWND owner, const TFacts& facts, const TChoice& initial) {
  TTexts texts = TextsFor(facts);
  TDialogState state{&texts, initial};
  DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ARCPROP), owner, DialogProc,
                  reinterpret_cast<LPARAM>(&state));
  return state.choice;
}

void TArcProp::BaseDirButtonClick(HWND dialog) {
  auto folder =
      BrowseForFolder(dialog, dialog_texts::ChooseBaseFolder, ControlText(GetDlgItem(dialog, IDC_ARCPROP_BASEDIR)));
  if (folder) SetDlgItemTextW(dialog, IDC_ARCPROP_BASEDIR, folder->c_str());
}

INT_PTR CALLBACK TArcProp::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = DialogObject<TDialogState>(dialog, message, lParam);
  switch (message) {
    case WM_INITDIALOG: {
      CenterOverOwner(dialog);
      const TTexts& texts = *state->texts;
      // The value labels are bold.
      LOGFONTW font{};
      GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof(font), &font);
      font.lfWeight = FW_BOLD;
      HFONT bold = CreateFontIndirectW(&font);
      SetPropW(dialog, L"TavixBoldFont", bold);
      std::pair<int, const std::wstring*> values[] = {
          {IDC_ARCPROP_NAME, &texts.Name},       {IDC_ARCPROP_MDATE, &texts.Mdate},
          {IDC_ARCPROP_FILESN, &texts.FilesN},   {IDC_ARCPROP_ASIZE, &texts.ASize},
          {IDC_ARCPROP_CTYPE, &texts.CType},     {IDC_ARCPROP_ORGSIZE, &texts.OrgSize},
          {IDC_ARCPROP_TOTALRATIO, &texts.TotalRatio}};
      for (auto [id, text] : values) {
        SendDlgItemMessageW(dialog, id, WM_SETFONT, reinterpret_cast<WPARAM>(bold), FALSE);
        SetDlgItemTextW(dialog, id, text->c_str());
      }
      CheckDlgButton(dialog, IDC_ARCPROP_CANEDIT, state->choice.ReadOnly ? BST_UNCHECKED : BST_CHECKED);
      EnableWindow(GetDlgItem(dialog, IDC_ARCPROP_CANEDIT), texts.CanEditEnabled);
      SetDlgItemTextW(dialog, IDC_ARCPROP_BASEDIR, state->choice.BaseDir.c_str());
      EnableBaseDir(dialog);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_ARCPROP_CANEDIT: EnableBaseDir(dialog); return TRUE;
        case IDC_ARCPROP_BASEDIR_BUTTON: BaseDirButtonClick(dialog); return TRUE;
        case IDOK:
        case IDCANCEL:
          // Closed any way, the two editable values go back.
          state->choice.ReadOnly = IsDlgButtonChecked(dialog, IDC_ARCPROP_CANEDIT) != BST_CHECKED;
          state->choice.BaseDir = ControlText(GetDlgItem(dialog, IDC_ARCPROP_BASEDIR));
          EndDialog(dialog, LOWORD(wParam));
          return TRUE;
      }
      return FALSE;
    case WM_HELP:
      ShowHelpTopic(dialog, HelpTopic);
      return TRUE;
    case WM_DESTROY:
      TGdiObject<HFONT>(static_cast<HFONT>(RemovePropW(dialog, L"TavixBoldFont")));
      return FALSE;
  }
  return FALSE;
}
