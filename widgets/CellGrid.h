// A small grid of text cells: a title row over a fixed number of data rows,
// columns of fixed widths. A data cell is edited in place, with an edit field
// or, for a column given choices, with an editable drop-down list.
//
// The window class "TavixCellGrid" can stand in a dialog template; the object
// lives as long as its window (TCellGrid::FromHandle). After a cell was
// edited the parent receives WM_COMMAND with the notification code
// TCellGrid::CellChanged; LastEdited() names the cell.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

class TCellGrid {
 public:
  static constexpr WORD CellChanged = 0x0F01;
  static constexpr wchar_t ClassName[] = L"TavixCellGrid";

  static void Register();
  static TCellGrid* FromHandle(HWND window);

  // Titles and pixel widths; replaces every cell.
  void SetColumns(const std::vector<std::pair<std::wstring, int>>& columns, int rows);
  // The window size that shows every cell and nothing more.
  SIZE FullSize() const;
  int Rows() const { return static_cast<int>(cells_.size()); }
  int Columns() const { return static_cast<int>(titles_.size()); }
  // Data rows count from 0 (the title row is not one of them).
  const std::wstring& Cell(int row, int column) const { return cells_[row][column]; }
  void SetCell(int row, int column, const std::wstring& text);
  // The drop-down list a column's cells are edited with (empty: an edit field).
  void SetChoices(int column, const std::vector<std::wstring>& choices);
  const std::vector<std::wstring>& Choices(int column) const { return choices_[column]; }

  // The cell with the focus frame and editing.
  void Select(int row, int column);
  void BeginEdit(const std::wstring* replaceWith = nullptr);
  void EndEdit(bool keep);
  bool Editing() const { return editing_; }
  HWND Editor() const;  // the field of the cell being edited, or nullptr
  std::pair<int, int> Current() const { return {row_, column_}; }
  std::pair<int, int> LastEdited() const { return edited_; }
  // The cell's rectangle in the grid's client coordinates.
  RECT CellRect(int row, int column) const;
  HWND Handle() const { return window_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK EditorProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  LRESULT Handle(UINT, WPARAM, LPARAM);
  void Paint(HDC dc);
  int RowHeight() const;
  void Commit(const std::wstring& text);
  bool EditorKey(WPARAM key);

  HWND window_ = nullptr;
  HWND edit_ = nullptr, combo_ = nullptr;
  HFONT font_ = nullptr;
  std::vector<std::wstring> titles_;
  std::vector<int> widths_;
  std::vector<std::vector<std::wstring>> cells_;
  std::vector<std::vector<std::wstring>> choices_;
  int row_ = 0, column_ = 0;
  bool editing_ = false;
  std::pair<int, int> edited_{-1, -1};
};
