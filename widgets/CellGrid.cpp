#include "CellGrid.h"

#include <commctrl.h>

#include <algorithm>

namespace {

constexpr UINT_PTR EditorSubclass = 1;
constexpr int ComboListRows = 8;

std::wstring TextOf(HWND window) {
  std::wstring text(GetWindowTextLengthW(window) + 1, L'\0');
  text.resize(GetWindowTextW(window, text.data(), static_cast<int>(text.size())));
  return text;
}

}  // namespace

void TCellGrid::Register() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXW type{sizeof type};
  type.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
  type.lpfnWndProc = WindowProc;
  type.hInstance = GetModuleHandleW(nullptr);
  type.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  type.lpszClassName = ClassName;
  registered = RegisterClassExW(&type) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

TCellGrid* TCellGrid::FromHandle(HWND window) {
  return reinterpret_cast<TCellGrid*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void TCellGrid::SetColumns(const std::vector<std::pair<std::wstring, int>>& columns, int rows) {
  EndEdit(false);
  titles_.clear();
  widths_.clear();
  for (const auto& [title, width] : columns) titles_.push_back(title), widths_.push_back(width);
  cells_.assign(std::max(rows, 0), std::vector<std::wstring>(titles_.size()));
  choices_.assign(titles_.size(), {});
  row_ = column_ = 0;
  InvalidateRect(window_, nullptr, TRUE);
}

void TCellGrid::SetCell(int row, int column, const std::wstring& text) {
  if (row < 0 || row >= Rows() || column < 0 || column >= Columns()) return;
  cells_[row][column] = text;
  RECT cell = CellRect(row, column);
  InvalidateRect(window_, &cell, TRUE);
}

SIZE TCellGrid::FullSize() const {
  RECT frame{0, 0, 0, 0};
  AdjustWindowRectEx(&frame, GetWindowLongW(window_, GWL_STYLE), FALSE, GetWindowLongW(window_, GWL_EXSTYLE));
  int width = 0;
  for (int column : widths_) width += column;
  return SIZE{width + frame.right - frame.left, (Rows() + 1) * RowHeight() + frame.bottom - frame.top};
}

void TCellGrid::SetChoices(int column, const std::vector<std::wstring>& choices) {
  if (column < 0 || column >= Columns()) return;
  choices_[column] = choices;
}

int TCellGrid::RowHeight() const {
  HDC dc = GetDC(window_);
  HGDIOBJ old = SelectObject(dc, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(window_, dc);
  return metrics.tmHeight + 6;
}

RECT TCellGrid::CellRect(int row, int column) const {
  // Row -1 is the title row.
  int height = RowHeight();
  int left = 0;
  for (int i = 0; i < column && i < static_cast<int>(widths_.size()); ++i) left += widths_[i];
  int width = column < static_cast<int>(widths_.size()) ? widths_[column] : 0;
  int top = (row + 1) * height;
  return RECT{left, top, left + width, top + height};
}

HWND TCellGrid::Editor() const {
  if (!editing_) return nullptr;
  return choices_[column_].empty() ? edit_ : combo_;
}

void TCellGrid::Select(int row, int column) {
  if (Rows() == 0 || Columns() == 0) return;
  EndEdit(true);
  RECT old = CellRect(row_, column_);
  InvalidateRect(window_, &old, TRUE);
  row_ = std::clamp(row, 0, Rows() - 1);
  column_ = std::clamp(column, 0, Columns() - 1);
  RECT now = CellRect(row_, column_);
  InvalidateRect(window_, &now, TRUE);
}

void TCellGrid::BeginEdit(const std::wstring* replaceWith) {
  if (Rows() == 0 || Columns() == 0 || editing_) return;
  RECT cell = CellRect(row_, column_);
  const std::wstring& text = replaceWith ? *replaceWith : cells_[row_][column_];
  HWND editor = nullptr;
  if (choices_[column_].empty()) {
    editor = edit_;
    SetWindowPos(edit_, HWND_TOP, cell.left + 1, cell.top + 1, cell.right - cell.left - 1, cell.bottom - cell.top - 1,
                 SWP_SHOWWINDOW);
    SetWindowTextW(edit_, text.c_str());
    SendMessageW(edit_, EM_SETSEL, replaceWith ? text.size() : 0, -1);
  } else {
    editor = combo_;
    SendMessageW(combo_, CB_RESETCONTENT, 0, 0);
    for (const std::wstring& choice : choices_[column_])
      SendMessageW(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice.c_str()));
    int height = cell.bottom - cell.top;
    SetWindowPos(combo_, HWND_TOP, cell.left, cell.top, cell.right - cell.left, height * (ComboListRows + 1),
                 SWP_SHOWWINDOW);
    SendMessageW(combo_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), height - 6);
    LRESULT found = SendMessageW(combo_, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageW(combo_, CB_SETCURSEL, found, 0);
    SetWindowTextW(combo_, text.c_str());
    SendMessageW(combo_, CB_SETEDITSEL, 0, MAKELPARAM(replaceWith ? text.size() : 0, -1));
  }
  editing_ = true;
  SetFocus(editor);
}

void TCellGrid::Commit(const std::wstring& text) {
  int row = row_, column = column_;
  editing_ = false;
  cells_[row][column] = text;
  edited_ = {row, column};
  RECT cell = CellRect(row, column);
  InvalidateRect(window_, &cell, TRUE);
  SendMessageW(GetParent(window_), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window_), CellChanged),
               reinterpret_cast<LPARAM>(window_));
}

void TCellGrid::EndEdit(bool keep) {
  if (!editing_) return;
  HWND editor = Editor();
  std::wstring text = TextOf(editor);
  bool hadFocus = editor == GetFocus() || IsChild(editor, GetFocus());
  editing_ = false;  // before hiding: the lost focus must not end the edit twice
  if (hadFocus) SetFocus(window_);
  if (editor == combo_) SendMessageW(combo_, CB_SHOWDROPDOWN, FALSE, 0);
  ShowWindow(editor, SW_HIDE);
  editing_ = true;
  if (keep) Commit(text);
  editing_ = false;
}

bool TCellGrid::EditorKey(WPARAM key) {
  switch (key) {
    case VK_RETURN:
      EndEdit(true);
      return true;
    case VK_ESCAPE:
      EndEdit(false);
      return true;
  }
  return false;
}

LRESULT CALLBACK TCellGrid::EditorProc(HWND window, UINT message, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR data) {
  auto self = reinterpret_cast<TCellGrid*>(data);
  switch (message) {
    case WM_GETDLGCODE:
      // Enter and Escape belong to the cell, not to the dialog's buttons.
      if (l != 0) {
        auto msg = reinterpret_cast<const MSG*>(l);
        if (msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE))
          return DefSubclassProc(window, message, w, l) | DLGC_WANTALLKEYS;
      }
      break;
    case WM_KEYDOWN:
      // With the drop-down list open, Enter takes its item and Escape only closes it.
      if ((w == VK_RETURN || w == VK_ESCAPE) && IsChild(self->combo_, window) &&
          SendMessageW(self->combo_, CB_GETDROPPEDSTATE, 0, 0)) {
        LRESULT index = SendMessageW(self->combo_, CB_GETCURSEL, 0, 0);
        std::wstring chosen = TextOf(self->combo_);
        if (w == VK_RETURN && index >= 0 && index < static_cast<LRESULT>(self->choices_[self->column_].size()))
          chosen = self->choices_[self->column_][index];
        SendMessageW(self->combo_, CB_SHOWDROPDOWN, FALSE, 0);
        if (w == VK_RETURN) SetWindowTextW(self->combo_, chosen.c_str());
        return 0;
      }
      if (self->EditorKey(w)) return 0;
      break;
    case WM_CHAR:
      if (w == L'\r' || w == 27) return 0;  // no beep for the keys taken above
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(window, EditorProc, EditorSubclass);
      break;
  }
  return DefSubclassProc(window, message, w, l);
}

LRESULT CALLBACK TCellGrid::WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  auto self = FromHandle(window);
  if (message == WM_NCCREATE) {
    self = new TCellGrid;
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  if (self == nullptr) return DefWindowProcW(window, message, w, l);
  LRESULT result = self->Handle(message, w, l);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    delete self;
  }
  return result;
}

LRESULT TCellGrid::Handle(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_CREATE: {
      HINSTANCE instance = GetModuleHandleW(nullptr);
      edit_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_AUTOHSCROLL, 0, 0, 0, 0, window_, nullptr, instance, nullptr);
      combo_ = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, 0, 0, 0, 0,
                               window_, nullptr, instance, nullptr);
      SetWindowSubclass(edit_, EditorProc, EditorSubclass, reinterpret_cast<DWORD_PTR>(this));
      COMBOBOXINFO info{sizeof info};
      if (GetComboBoxInfo(combo_, &info) && info.hwndItem)
        SetWindowSubclass(info.hwndItem, EditorProc, EditorSubclass, reinterpret_cast<DWORD_PTR>(this));
      return 0;
    }
    case WM_SETFONT:
      font_ = reinterpret_cast<HFONT>(w);
      SendMessageW(edit_, WM_SETFONT, w, FALSE);
      SendMessageW(combo_, WM_SETFONT, w, FALSE);
      if (LOWORD(l)) InvalidateRect(window_, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_);
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
      RECT cell = CellRect(row_, column_);
      InvalidateRect(window_, &cell, TRUE);
      return 0;
    }
    case WM_LBUTTONDOWN: {
      SetFocus(window_);
      POINT at{static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))};
      for (int row = 0; row < Rows(); ++row)
        for (int column = 0; column < Columns(); ++column) {
          RECT cell = CellRect(row, column);
          if (PtInRect(&cell, at)) {
            Select(row, column);
            BeginEdit();
            return 0;
          }
        }
      return 0;
    }
    case WM_KEYDOWN:
      switch (w) {
        case VK_UP: Select(row_ - 1, column_); return 0;
        case VK_DOWN: Select(row_ + 1, column_); return 0;
        case VK_LEFT: Select(row_, column_ - 1); return 0;
        case VK_RIGHT: Select(row_, column_ + 1); return 0;
        case VK_F2: BeginEdit(); return 0;
      }
      break;
    case WM_CHAR:
      if (w >= L' ') {
        std::wstring typed(1, static_cast<wchar_t>(w));
        BeginEdit(&typed);
      }
      return 0;
    case WM_COMMAND: {
      HWND from = reinterpret_cast<HWND>(l);
      WORD code = HIWORD(w);
      if (from == combo_ && code == CBN_SELENDOK && editing_) {
        // A choice from the list is the cell's new text.
        LRESULT index = SendMessageW(combo_, CB_GETCURSEL, 0, 0);
        if (index >= 0 && index < static_cast<LRESULT>(choices_[column_].size()))
          SetWindowTextW(combo_, choices_[column_][index].c_str());
        return 0;
      }
      if (((from == edit_ && code == EN_KILLFOCUS) || (from == combo_ && code == CBN_KILLFOCUS)) && editing_)
        EndEdit(true);
      return 0;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window_, &paint);
      Paint(dc);
      EndPaint(window_, &paint);
      return 0;
    }
  }
  return DefWindowProcW(window_, message, w, l);
}

void TCellGrid::Paint(HDC dc) {
  HGDIOBJ oldFont = SelectObject(dc, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  for (int row = -1; row < Rows(); ++row)
    for (int column = 0; column < Columns(); ++column) {
      RECT cell = CellRect(row, column);
      if (row < 0) FillRect(dc, &cell, GetSysColorBrush(COLOR_BTNFACE));
      MoveToEx(dc, cell.left, cell.bottom - 1, nullptr);
      LineTo(dc, cell.right - 1, cell.bottom - 1);
      LineTo(dc, cell.right - 1, cell.top - 1);
      RECT text = cell;
      InflateRect(&text, -3, 0);
      const std::wstring& value = row < 0 ? titles_[column] : cells_[row][column];
      SetTextColor(dc, GetSysColor(IsWindowEnabled(window_) ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
      DrawTextW(dc, value.c_str(), static_cast<int>(value.size()), &text,
                DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
      if (row == row_ && column == column_ && GetFocus() == window_) {
        RECT frame = cell;
        InflateRect(&frame, -1, -1);
        DrawFocusRect(dc, &frame);
      }
    }
  SelectObject(dc, oldPen);
  DeleteObject(pen);
  SelectObject(dc, oldFont);
}
