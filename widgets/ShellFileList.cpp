#include "ShellFileList.h"
#include "WidgetTexts.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>

namespace {

constexpr UINT_PTR SubclassId = 0x5346 + 1;  // beside the tree's

struct TColumn {
  const wchar_t* caption;
  int width;
  int format;
};
constexpr TColumn Columns[] = {
    {widget_texts::ColumnName, 180, LVCFMT_LEFT},
    {widget_texts::ColumnSize, 80, LVCFMT_RIGHT},
    {widget_texts::ColumnType, 110, LVCFMT_LEFT},
    {widget_texts::ColumnModified, 120, LVCFMT_LEFT},
};

std::wstring StrRetText(IShellFolder* folder, PCUITEMID_CHILD child, SHGDNF flags) {
  STRRET text{};
  if (FAILED(folder->GetDisplayNameOf(child, flags, &text))) return {};
  wchar_t* name = nullptr;
  if (FAILED(StrRetToStrW(&text, child, &name))) return {};
  std::wstring result = name;
  CoTaskMemFree(name);
  return result;
}

std::wstring SizeText(ULONGLONG size) {
  std::wstring digits = std::to_wstring(size), grouped;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += L',';
    grouped += digits[i];
  }
  return grouped;
}

std::wstring TimeText(const FILETIME& written) {
  FILETIME local{};
  SYSTEMTIME time{};
  if (!FileTimeToLocalFileTime(&written, &local) || !FileTimeToSystemTime(&local, &time)) return {};
  wchar_t text[32];
  swprintf(text, 32, L"%04u/%02u/%02u %02u:%02u", time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute);
  return text;
}

}  // namespace

TShellFileList::~TShellFileList() {
  if (list_ != nullptr) RemoveWindowSubclass(list_, SubclassProc, SubclassId);
}

void TShellFileList::Attach(HWND listView) {
  list_ = listView;
  // The system's image list is shared by every window of the process: the
  // list must not destroy it with itself.
  SetWindowLongPtrW(list_, GWL_STYLE, GetWindowLongPtrW(list_, GWL_STYLE) | LVS_SHAREIMAGELISTS);
  SHFILEINFOW info{};
  auto images = reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoW(L"C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
  ListView_SetImageList(list_, images, LVSIL_SMALL);
  ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT);
  AddColumns();
  SetWindowSubclass(list_, SubclassProc, SubclassId, reinterpret_cast<DWORD_PTR>(this));
  SetStyle(style_);
}

void TShellFileList::AddColumns() {
  for (int i = 0; i < static_cast<int>(std::size(Columns)); ++i) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    column.pszText = const_cast<wchar_t*>(Columns[i].caption);
    column.cx = Columns[i].width;
    column.fmt = Columns[i].format;
    column.iSubItem = i;
    ListView_InsertColumn(list_, i, &column);
  }
}

void TShellFileList::SetStyle(TStyle style) {
  style_ = style;
  if (list_ == nullptr) return;
  LONG_PTR bits = GetWindowLongPtrW(list_, GWL_STYLE) & ~static_cast<LONG_PTR>(LVS_TYPEMASK);
  SetWindowLongPtrW(list_, GWL_STYLE, bits | (style == TStyle::List ? LVS_LIST : LVS_REPORT));
  InvalidateRect(list_, nullptr, TRUE);
}

void TShellFileList::ShowFolder(PCIDLIST_ABSOLUTE folder) {
  folder_.reset(folder != nullptr ? ILCloneFull(folder) : nullptr);
  Refresh();
}

void TShellFileList::Refresh() {
  if (list_ == nullptr) return;
  SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(list_);
  entries_.clear();
  Fill();
  for (int i = 0; i < Count(); ++i) {
    TEntry& entry = entries_[i];
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = i;
    item.pszText = entry.name.data();
    item.iImage = entry.icon;
    ListView_InsertItem(list_, &item);
    std::wstring size = entry.hasSize ? SizeText(entry.size) : std::wstring();
    std::wstring time = entry.written.dwLowDateTime || entry.written.dwHighDateTime ? TimeText(entry.written)
                                                                                     : std::wstring();
    ListView_SetItemText(list_, i, 1, size.data());
    ListView_SetItemText(list_, i, 2, entry.type.data());
    ListView_SetItemText(list_, i, 3, time.data());
  }
  SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_, nullptr, TRUE);
}

void TShellFileList::Fill() {
  TComPtr<IShellFolder> desktop, folder;
  if (FAILED(SHGetDesktopFolder(desktop.put()))) return;
  PCIDLIST_ABSOLUTE parent = folder_.get();
  if (parent == nullptr || ILIsEmpty(parent)) {
    folder.reset(desktop.get());
    folder->AddRef();
  } else if (FAILED(desktop->BindToObject(parent, nullptr, IID_IShellFolder, folder.put_void()))) {
    return;
  }
  TComPtr<IEnumIDList> items;
  if (folder->EnumObjects(list_, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, items.put()) != S_OK) return;
  PITEMID_CHILD child = nullptr;
  while (items->Next(1, &child, nullptr) == S_OK) {
    TPidl childOwner(reinterpret_cast<PIDLIST_ABSOLUTE>(child));
    SFGAOF attributes = SFGAO_FOLDER | SFGAO_STREAM | SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR;
    PCUITEMID_CHILD list[] = {child};
    folder->GetAttributesOf(1, list, &attributes);
    // Only what leads to files: no control panel, printers and the like.
    if (!(attributes & (SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR))) continue;
    TEntry entry;
    TPidl full(parent != nullptr ? ILCombine(parent, child) : ILCloneFull(reinterpret_cast<PCIDLIST_ABSOLUTE>(child)));
    wchar_t path[MAX_PATH] = L"";
    if (full && SHGetPathFromIDListW(full.get(), path)) entry.path = path;
    // The parsing name is the real file name (display names may hide the
    // extension); virtual items have only a display name.
    entry.name = attributes & SFGAO_FILESYSTEM ? StrRetText(folder.get(), child, SHGDN_INFOLDER | SHGDN_FORPARSING)
                                               : StrRetText(folder.get(), child, SHGDN_INFOLDER);
    if (entry.name.empty() || entry.name.starts_with(L"::"))
      entry.name = StrRetText(folder.get(), child, SHGDN_INFOLDER);
    entry.folder = (attributes & SFGAO_FOLDER) && !(attributes & SFGAO_STREAM);
    SHFILEINFOW info{};
    if (full)
      SHGetFileInfoW(reinterpret_cast<LPCWSTR>(full.get()), 0, &info, sizeof info,
                     SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_TYPENAME);
    entry.icon = info.iIcon;
    entry.type = info.szTypeName;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!entry.path.empty() && GetFileAttributesExW(entry.path.c_str(), GetFileExInfoStandard, &data)) {
      entry.written = data.ftLastWriteTime;
      entry.hasSize = !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
      entry.size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    entries_.push_back(std::move(entry));
  }
  // Folders first, then names in the order a person reads numbers.
  std::stable_sort(entries_.begin(), entries_.end(), [](const TEntry& a, const TEntry& b) {
    if (a.folder != b.folder) return a.folder;
    return StrCmpLogicalW(a.name.c_str(), b.name.c_str()) < 0;
  });
}

std::vector<int> TShellFileList::SelectedIndexes() const {
  std::vector<int> selected;
  for (int i = ListView_GetNextItem(list_, -1, LVNI_SELECTED); i >= 0; i = ListView_GetNextItem(list_, i, LVNI_SELECTED))
    if (i < Count()) selected.push_back(i);
  return selected;
}

std::wstring TShellFileList::Name(int index) const {
  return index >= 0 && index < Count() ? entries_[index].name : std::wstring();
}

std::wstring TShellFileList::Path(int index) const {
  return index >= 0 && index < Count() ? entries_[index].path : std::wstring();
}

bool TShellFileList::IsFolder(int index) const { return index >= 0 && index < Count() && entries_[index].folder; }

int TShellFileList::Find(const std::wstring& name) const {
  for (int i = 0; i < Count(); ++i)
    if (entries_[i].name == name) return i;
  return -1;
}

LRESULT CALLBACK TShellFileList::SubclassProc(HWND window, UINT message, WPARAM w, LPARAM l, UINT_PTR,
                                              DWORD_PTR data) {
  auto self = reinterpret_cast<TShellFileList*>(data);
  // In a dialog, Enter would press the default button before the list saw
  // it: the list keeps it, and its owner gets it as LVN_KEYDOWN.
  if (message == WM_GETDLGCODE && l != 0 && reinterpret_cast<const MSG*>(l)->message == WM_KEYDOWN &&
      reinterpret_cast<const MSG*>(l)->wParam == VK_RETURN)
    return DefSubclassProc(window, message, w, l) | DLGC_WANTMESSAGE;
  if (message == WM_DESTROY) {
    RemoveWindowSubclass(window, SubclassProc, SubclassId);
    self->list_ = nullptr;
  }
  return DefSubclassProc(window, message, w, l);
}
