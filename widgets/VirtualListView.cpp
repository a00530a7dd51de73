#include "widgets/VirtualListView.h"

#include <commctrl.h>

#include <cwchar>
#include <sstream>

void TVirtualListView::Create(HWND parent, UINT id, const std::vector<TListColumn>& columns) {
  window_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS |
                                LVS_SHAREIMAGELISTS,
                            0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                            GetModuleHandleW(nullptr), nullptr);
  ListView_SetExtendedListViewStyle(window_, LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP | LVS_EX_DOUBLEBUFFER);
  columnCount_ = static_cast<int>(columns.size());
  for (int i = 0; i < columnCount_; ++i) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    column.pszText = const_cast<wchar_t*>(columns[i].caption.c_str());
    column.cx = columns[i].width;
    column.fmt = columns[i].format;
    column.iSubItem = i;
    ListView_InsertColumn(window_, i, &column);
  }
}

void TVirtualListView::SetItemCount(int count, bool keepScroll) {
  ListView_SetItemCountEx(window_, count, keepScroll ? LVSICF_NOSCROLL : 0);
  ArrangeIcons();
  InvalidateRect(window_, nullptr, FALSE);
}

void TVirtualListView::ArrangeIcons() {
  // Wine keeps the item positions of the view the items were counted in, so
  // in the icon views they would lie on top of each other, one row apart.
  DWORD view = ListView_GetView(window_);
  if (view == LV_VIEW_ICON || view == LV_VIEW_SMALLICON) ListView_Arrange(window_, LVA_DEFAULT);
}

int TVirtualListView::ItemCount() const { return ListView_GetItemCount(window_); }

int TVirtualListView::SelectedCount() const { return ListView_GetSelectedCount(window_); }

std::vector<int> TVirtualListView::SelectedItems() const {
  std::vector<int> items;
  for (int i = ListView_GetNextItem(window_, -1, LVNI_SELECTED); i >= 0;
       i = ListView_GetNextItem(window_, i, LVNI_SELECTED))
    items.push_back(i);
  return items;
}

void TVirtualListView::SelectAll() { ListView_SetItemState(window_, -1, LVIS_SELECTED, LVIS_SELECTED); }

void TVirtualListView::SetSortArrow(int column, TSortArrow arrow) {
  HWND header = ListView_GetHeader(window_);
  for (int i = 0; i < columnCount_; ++i) {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    Header_GetItem(header, i, &item);
    item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
    if (i == column && arrow == TSortArrow::Up) item.fmt |= HDF_SORTUP;
    if (i == column && arrow == TSortArrow::Down) item.fmt |= HDF_SORTDOWN;
    Header_SetItem(header, i, &item);
  }
}

TSortArrow TVirtualListView::SortArrow(int column) const {
  HDITEMW item{};
  item.mask = HDI_FORMAT;
  Header_GetItem(ListView_GetHeader(window_), column, &item);
  if (item.fmt & HDF_SORTUP) return TSortArrow::Up;
  if (item.fmt & HDF_SORTDOWN) return TSortArrow::Down;
  return TSortArrow::None;
}

void TVirtualListView::SetViewStyle(int style) {
  static const DWORD views[] = {LV_VIEW_ICON, LV_VIEW_SMALLICON, LV_VIEW_LIST, LV_VIEW_DETAILS};
  if (style < 0 || style > 3) style = 3;
  ListView_SetView(window_, views[style]);
  ArrangeIcons();
}

int TVirtualListView::ViewStyle() const {
  switch (ListView_GetView(window_)) {
    case LV_VIEW_ICON: return 0;
    case LV_VIEW_SMALLICON: return 1;
    case LV_VIEW_LIST: return 2;
    default: return 3;
  }
}

void TVirtualListView::AutoSizeColumns(const std::vector<int>& minimum) {
  SendMessageW(window_, WM_SETREDRAW, FALSE, 0);
  for (int i = 0; i < columnCount_; ++i) {
    ListView_SetColumnWidth(window_, i, LVSCW_AUTOSIZE);
    if (i < static_cast<int>(minimum.size()) && ListView_GetColumnWidth(window_, i) < minimum[i])
      ListView_SetColumnWidth(window_, i, minimum[i]);
  }
  SendMessageW(window_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(window_, nullptr, TRUE);
}

int TVirtualListView::ColumnWidth(int column) const { return ListView_GetColumnWidth(window_, column); }

void TVirtualListView::SetImageLists(HIMAGELIST small, HIMAGELIST large) {
  ListView_SetImageList(window_, small, LVSIL_SMALL);
  ListView_SetImageList(window_, large, LVSIL_NORMAL);
}

std::wstring TVirtualListView::ColumnLayout() const {
  std::wostringstream text;
  for (int i = 0; i < columnCount_; ++i) text << (i ? L"," : L"") << ListView_GetColumnWidth(window_, i);
  std::vector<int> order(columnCount_);
  ListView_GetColumnOrderArray(window_, columnCount_, order.data());
  text << L";";
  for (int i = 0; i < columnCount_; ++i) text << (i ? L"," : L"") << order[i];
  return text.str();
}

void TVirtualListView::SetColumnLayout(const std::wstring& layout) {
  size_t split = layout.find(L';');
  if (split == std::wstring::npos) return;
  auto numbers = [](const std::wstring& text) {
    std::vector<int> values;
    std::wistringstream in(text);
    std::wstring part;
    while (std::getline(in, part, L',')) values.push_back(static_cast<int>(std::wcstol(part.c_str(), nullptr, 10)));
    return values;
  };
  std::vector<int> widths = numbers(layout.substr(0, split));
  std::vector<int> order = numbers(layout.substr(split + 1));
  if (static_cast<int>(widths.size()) != columnCount_ || static_cast<int>(order.size()) != columnCount_) return;
  // An order must name every column once, or the header misbehaves.
  std::vector<bool> seen(columnCount_, false);
  for (int column : order) {
    if (column < 0 || column >= columnCount_ || seen[column]) return;
    seen[column] = true;
  }
  for (int i = 0; i < columnCount_; ++i)
    if (widths[i] > 0 && widths[i] < 4000) ListView_SetColumnWidth(window_, i, widths[i]);
  ListView_SetColumnOrderArray(window_, columnCount_, order.data());
}
