#include "widgets/FieldControls.h"

#include "settings/ShortCutText.h"
#include "widgets/FolderDialog.h"

#include <commctrl.h>

#include <string>

void TCheckList::Attach(HWND list, HIMAGELIST images) {
  list_ = list;
  ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  if (images != nullptr) ListView_SetImageList(list, images, LVSIL_SMALL);
  RECT area{};
  GetClientRect(list, &area);
  LVCOLUMNW column{};
  column.mask = LVCF_WIDTH;
  column.cx = area.right - GetSystemMetrics(SM_CXVSCROLL);
  ListView_InsertColumn(list, 0, &column);
}

void TCheckList::Add(const wchar_t* caption, int image) {
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_IMAGE;
  item.iItem = ListView_GetItemCount(list_);
  item.pszText = const_cast<wchar_t*>(caption);
  item.iImage = image >= 0 ? image : I_IMAGENONE;
  ListView_InsertItem(list_, &item);
}

bool TCheckList::Checked(int line) const { return ListView_GetCheckState(list_, line) != FALSE; }

void TCheckList::SetChecked(int line, bool on) { ListView_SetCheckState(list_, line, on); }

int TCheckList::Selected() const { return ListView_GetNextItem(list_, -1, LVNI_SELECTED); }

void THotKeyField::Attach(HWND field) {
  field_ = field;
  SendMessageW(field, HKM_SETRULES, HKCOMB_NONE | HKCOMB_S, MAKELPARAM(HOTKEYF_CONTROL, 0));
}

void THotKeyField::Set(WORD shortCut) { SendMessageW(field_, HKM_SETHOTKEY, ToHotKey(shortCut), 0); }

WORD THotKeyField::Get() const { return FromHotKey(static_cast<WORD>(SendMessageW(field_, HKM_GETHOTKEY, 0, 0))); }

WORD THotKeyField::FromHotKey(WORD value) {
  BYTE key = LOBYTE(value), modifiers = HIBYTE(value);
  if (key == 0) return scNone;
  WORD shortCut = key;
  if (modifiers & HOTKEYF_SHIFT) shortCut |= scShift;
  if (modifiers & HOTKEYF_CONTROL) shortCut |= scCtrl;
  if (modifiers & HOTKEYF_ALT) shortCut |= scAlt;
  return shortCut;
}

WORD THotKeyField::ToHotKey(WORD shortCut) {
  BYTE modifiers = 0;
  if (shortCut & scShift) modifiers |= HOTKEYF_SHIFT;
  if (shortCut & scCtrl) modifiers |= HOTKEYF_CONTROL;
  if (shortCut & scAlt) modifiers |= HOTKEYF_ALT;
  return MAKEWORD(LOBYTE(shortCut), modifiers);
}

void EnableGroup(bool on, std::initializer_list<HWND> controls) {
  for (HWND control : controls) EnableWindow(control, on);
}

bool BrowseFolderInto(HWND owner, HWND edit, bool trailingBackslash) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
  auto folder = BrowseForFolder(owner, L"", text);
  if (!folder || folder->empty()) return false;
  if (trailingBackslash && folder->back() != L'\\') *folder += L'\\';
  SetWindowTextW(edit, folder->c_str());
  return true;
}
