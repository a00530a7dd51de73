// A list view in virtual mode: it owns no items, it asks its owner for each
// visible item's text and image by index (LVN_GETDISPINFO reaches the owner).
// Adds the column set-up, sort arrows, view styles, auto-size and saved column
// widths and order.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <commctrl.h>

#include <string>
#include <vector>

struct TListColumn {
  std::wstring caption;
  int width;
  int format;  // LVCFMT_LEFT, LVCFMT_CENTER or LVCFMT_RIGHT
};

enum class TSortArrow { None, Up, Down };

class TVirtualListView {
 public:
  void Create(HWND parent, UINT id, const std::vector<TListColumn>& columns);
  HWND Handle() const { return window_; }

  // count: number of items; keepScroll: do not scroll to the top.
  void SetItemCount(int count, bool keepScroll);
  int ItemCount() const;
  int SelectedCount() const;
  std::vector<int> SelectedItems() const;
  void SelectAll();
  void SetSortArrow(int column, TSortArrow arrow);
  TSortArrow SortArrow(int column) const;
  // 0 large icons, 1 small icons, 2 list, 3 report.
  void SetViewStyle(int style);
  int ViewStyle() const;
  // Each column as wide as its content; a column narrower than minimum[c] is widened.
  void AutoSizeColumns(const std::vector<int>& minimum);
  int ColumnWidth(int column) const;
  void SetImageLists(HIMAGELIST small, HIMAGELIST large);
  // Column widths and order as one text ("w0,w1,...;o0,o1,..."), for the settings file.
  std::wstring ColumnLayout() const;
  void SetColumnLayout(const std::wstring& layout);

 private:
  void ArrangeIcons();
  HWND window_ = nullptr;
  int columnCount_ = 0;
};
