#include "TextView.h"

#include <windowsx.h>

#include <algorithm>

namespace {

bool IsAsciiWord(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

// Rough kinds of characters for word selection: letters/digits, kanji,
// hiragana, katakana, other double-byte, and everything else.
int CharKind(const char* p, size_t n) {
  if (n == 1) return IsAsciiWord(static_cast<unsigned char>(*p)) ? 1 : 0;
  wchar_t w = sjis::ToWide(sjis::Code(p, n));
  if (w >= 0x4E00 && w <= 0x9FFF) return 2;
  if (w >= 0x3041 && w <= 0x309F) return 3;
  if ((w >= 0x30A1 && w <= 0x30FF) || w == 0x30FC) return 4;
  if ((w >= 0xFF10 && w <= 0xFF19) || (w >= 0xFF21 && w <= 0xFF5A)) return 5;
  return 0;
}

bool RegisterOnce() {
  static const bool registered = [] {
    WNDCLASSEXW wc{sizeof wc};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_IBEAM);
    wc.lpszClassName = TTextView::kClassName;
    return RegisterClassExW(&wc) != 0;
  }();
  return registered;
}

}  // namespace

TTextView::TTextView() { SetSettings(settings_); }

TTextView::~TTextView() {
  if (window_) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
}

HWND TTextView::Create(HWND parent, int id, const RECT& bounds) {
  if (!RegisterOnce()) return nullptr;
  window_ = CreateWindowExW(WS_EX_CLIENTEDGE, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP,
                            bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  if (!window_) return nullptr;
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TTextView::WindowProc));
  UpdateMetrics();
  ApplyLayout();
  ShowScrollBar(window_, SB_VERT, settings_.scrollBars & sbVertical);
  ShowScrollBar(window_, SB_HORZ, settings_.scrollBars & sbHorizontal);
  return window_;
}

LRESULT CALLBACK TTextView::WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  auto self = reinterpret_cast<TTextView*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, w, l);
  if (message == WM_NCDESTROY) {
    self->window_ = nullptr;
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    return DefWindowProcW(window, message, w, l);
  }
  return self->Handle(message, w, l);
}

void TTextView::SetText(std::string text) {
  model_.SetText(std::move(text));
  caret_ = anchor_ = 0;
  caretExtra_ = 0;
  desiredColumn_ = -1;
  top_ = {};
  leftColumn_ = 0;
  ApplyLayout();
  if (window_) InvalidateRect(window_, nullptr, FALSE);
  UpdateCaret();
  // New text: the caret and the selection are new whatever they were.
  if (OnSelectionChange) OnSelectionChange();
  if (OnCaretMoved) OnCaretMoved();
}

void TTextView::SetSettings(const TEditorSettings& settings) {
  settings_ = settings;
  settings_.Clamp();
  colorRules_ = TColorRules::From(settings_);
  for (auto& font : fonts_) font.reset();
  UpdateMetrics();
  ApplyLayout();
  if (window_) {
    ShowScrollBar(window_, SB_VERT, settings_.scrollBars & sbVertical);
    ShowScrollBar(window_, SB_HORZ, settings_.scrollBars & sbHorizontal);
    vertical_ = horizontal_ = SCROLLINFO{};
    UpdateScrollBars();
    InvalidateRect(window_, nullptr, FALSE);
    if (hasFocus_) {
      // The caret's shape and height follow the settings at once.
      DestroyCaret();
      CreateCaret(window_, nullptr, settings_.editorCaret ? charWidth_ : 2, charHeight_);
      ShowCaret(window_);
    }
    UpdateCaret();
  }
}

HFONT TTextView::FontFor(const TTextColor& color) {
  int index = (color.bold ? 1 : 0) | (color.italic ? 2 : 0) | (color.underline ? 4 : 0);
  if (!fonts_[index]) {
    HDC screen = GetDC(nullptr);
    int height = -MulDiv(settings_.fontSize, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    fonts_[index].reset(CreateFontW(height, 0, 0, 0, color.bold ? FW_BOLD : FW_NORMAL, color.italic, color.underline,
                                    FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                    FIXED_PITCH | FF_MODERN, settings_.fontName.c_str()));
  }
  return fonts_[index].get();
}

void TTextView::UpdateMetrics() {
  HDC dc = GetDC(window_);
  HGDIOBJ old = SelectObject(dc, FontFor(TTextColor{}));
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  SIZE size{};
  // Half-width cell: the width of a digit in the fixed-pitch font.
  GetTextExtentPoint32W(dc, L"0", 1, &size);
  SelectObject(dc, old);
  ReleaseDC(window_, dc);
  charWidth_ = std::max(1, static_cast<int>(size.cx > 0 ? size.cx : tm.tmAveCharWidth));
  charHeight_ = std::max(1, static_cast<int>(tm.tmHeight));
  lineHeight_ = charHeight_ + settings_.lineSpacing;
}

int TTextView::TextLeft() const {
  int gutter = settings_.lineNumbers ? (settings_.lineNumberDigits + 1) * charWidth_ + 4 : 0;
  return gutter + settings_.marginLeft;
}

int TTextView::TextTop() const { return (settings_.ruler ? lineHeight_ : 0) + settings_.marginTop; }

int TTextView::WindowColumns() const {
  RECT r{};
  if (window_) GetClientRect(window_, &r);
  return std::max(2, (static_cast<int>(r.right) - TextLeft() - charWidth_) / ColumnWidth());
}

int TTextView::VisibleRows() const {
  RECT r{};
  if (window_) GetClientRect(window_, &r);
  return std::max(1, (static_cast<int>(r.bottom) - TextTop()) / lineHeight_);
}

void TTextView::ApplyLayout() {
  size_t topOffset = window_ ? layout_.RowStart(top_) : 0;
  layout_.Reset(TWrapRules::From(settings_, WindowColumns()));
  top_ = layout_.RowOfOffset(topOffset);
  UpdateScrollBars();
}

void TTextView::UpdateScrollBars() {
  // Set when the window paints: Wine redraws a bar at once on every
  // SetScrollInfo, which cost more than the page move itself.
  scrollBarsDirty_ = true;
  if (window_) InvalidateRect(window_, nullptr, FALSE);
}

void TTextView::SetScrollBars() {
  scrollBarsDirty_ = false;
  if (!window_) return;
  // The bar counts stored lines: rows are only known for what has been laid
  // out. Wine redraws a bar on every SetScrollInfo, so unchanged values are not set again.
  SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL};
  si.nMin = 0;
  si.nMax = static_cast<int>(std::min<size_t>(model_.LineCount() - 1 + VisibleRows() - 1, 0x7FFFFFFF));
  si.nPage = static_cast<UINT>(VisibleRows());
  si.nPos = static_cast<int>(top_.line);
  // A bar the settings leave out is not set: setting it would show it again.
  if ((settings_.scrollBars & sbVertical) &&
      (si.nMax != vertical_.nMax || si.nPage != vertical_.nPage || si.nPos != vertical_.nPos)) {
    SetScrollInfo(window_, SB_VERT, &si, TRUE);
    vertical_ = si;
  }
  SCROLLINFO sh{sizeof sh, SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL};
  int columns = layout_.Rules().columns > 0 ? layout_.Rules().columns + 4 : 1024;
  sh.nMax = columns;
  sh.nPage = static_cast<UINT>(WindowColumns());
  sh.nPos = leftColumn_;
  if ((settings_.scrollBars & sbHorizontal) &&
      (sh.nMax != horizontal_.nMax || sh.nPage != horizontal_.nPage || sh.nPos != horizontal_.nPos)) {
    SetScrollInfo(window_, SB_HORZ, &sh, TRUE);
    horizontal_ = sh;
  }
}

size_t TTextView::TopRow() { return layout_.RowOfLine(top_.line) + top_.subRow; }

void TTextView::SetTopRow(size_t row) {
  top_ = layout_.RowPosOf(row);
  UpdateScrollBars();
  if (window_) InvalidateRect(window_, nullptr, FALSE);
  UpdateCaret();
}

bool TTextView::OffsetPoint(size_t offset, POINT* point) {
  TRowPos target = layout_.RowOfOffset(ValidOffset(offset));
  TRowPos pos = top_;
  for (int n = 0; n < VisibleRows(); ++n) {
    if (pos == target) {
      point->x = TextLeft() + (layout_.ColumnOf(ValidOffset(offset)) - leftColumn_) * ColumnWidth();
      point->y = TextTop() + n * lineHeight_;
      return true;
    }
    TRowPos next = layout_.Next(pos);
    if (next == pos) break;
    pos = next;
  }
  return false;
}

void TTextView::CenterRow(size_t row) {
  size_t half = static_cast<size_t>(VisibleRows() / 2);
  SetTopRow(row > half ? row - half : 0);
}

size_t TTextView::CaretRow() {
  TRowPos pos = layout_.RowOfOffset(caret_);
  return layout_.RowOfLine(pos.line) + pos.subRow;
}

int TTextView::CaretColumn() { return layout_.ColumnOf(caret_) + caretExtra_; }

void TTextView::SetCaretRow(size_t row) { MoveCaretToRow(layout_.RowPosOf(row), false); }

int TTextView::ScreenRowOf(TRowPos row) {
  TRowPos pos = top_;
  for (int n = 0, visible = VisibleRows(); n < visible; ++n) {
    if (pos == row) return n;
    TRowPos next = layout_.Next(pos);
    if (next == pos) break;
    pos = next;
  }
  return -1;
}

int TTextView::TabWidthAt(size_t offset) {
  if (offset >= model_.Size() || model_.Data()[offset] != '\t') return 0;
  return CharColumns(model_.Data() + offset, 1, layout_.ColumnOf(offset), layout_.Rules().tabSize);
}

void TTextView::SelectRows(TRowPos from, TRowPos to) {
  auto after = [&](TRowPos row) {
    TRowPos next = layout_.Next(row);
    return next == row ? model_.Size() : layout_.RowStart(next);
  };
  bool down = from.line < to.line || (from.line == to.line && from.subRow <= to.subRow);
  if (down) Select(layout_.RowStart(from), after(to));
  else Select(after(from), layout_.RowStart(to));
}

void TTextView::ScrollRows(long long rows) {
  // A locked caret keeps its place in the window while the text moves under it.
  int caretScreenRow = settings_.lockScroll && rows != 0 ? ScreenRowOf(layout_.RowOfOffset(caret_)) : -1;
  top_ = layout_.Move(top_, rows);
  if (caretScreenRow >= 0) {
    TRowPos keep = top_;  // placing the caret must not scroll again
    PlaceCaret(layout_.Move(top_, caretScreenRow), desiredColumn_ >= 0 ? desiredColumn_ : CaretColumn(), false);
    top_ = keep;
  }
  UpdateScrollBars();
  if (window_) InvalidateRect(window_, nullptr, FALSE);
  UpdateCaret();
}

void TTextView::EnsureCaretVisible() {
  TRowPos caretRow = layout_.RowOfOffset(caret_);
  int visible = VisibleRows();
  bool above = caretRow.line < top_.line || (caretRow.line == top_.line && caretRow.subRow < top_.subRow);
  if (above) {
    top_ = caretRow;
  } else {
    // Walk down from the top at most one screen; further away, the caret row goes to the bottom.
    TRowPos pos = top_;
    int n = 0;
    while (!(pos == caretRow) && n < visible) {
      TRowPos next = layout_.Next(pos);
      if (next == pos) break;
      pos = next;
      ++n;
    }
    if (!(pos == caretRow) || n >= visible) top_ = layout_.Move(caretRow, -(visible - 1));
  }
  int column = CaretColumn();
  int columns = WindowColumns();
  if (column < leftColumn_) leftColumn_ = column;
  else if (column >= leftColumn_ + columns) leftColumn_ = column - columns + 1;
  UpdateScrollBars();
  if (window_) InvalidateRect(window_, nullptr, FALSE);
}

void TTextView::UpdateCaret() {
  if (!window_ || !hasFocus_) return;
  TRowPos caretRow = layout_.RowOfOffset(caret_);
  // Rows between the top and the caret, counted only over one screen.
  int visible = VisibleRows();
  TRowPos pos = top_;
  int n = 0;
  bool found = false;
  for (; n <= visible; ++n) {
    if (pos == caretRow) {
      found = true;
      break;
    }
    TRowPos next = layout_.Next(pos);
    if (next == pos) break;
    pos = next;
  }
  int x = TextLeft() + (CaretColumn() - leftColumn_) * ColumnWidth();
  int y = found ? TextTop() + n * lineHeight_ : -10 * lineHeight_;
  SetCaretPos(x, y);
}

void TTextView::Changed(size_t oldAnchor, size_t oldCaret) {
  if (window_) InvalidateRect(window_, nullptr, FALSE);
  UpdateCaret();
  bool selectionChanged = std::min(oldAnchor, oldCaret) != SelectionStart() ||
                          std::max(oldAnchor, oldCaret) != SelectionEnd();
  if (selectionChanged && OnSelectionChange) OnSelectionChange();
  if (OnCaretMoved) OnCaretMoved();
}

size_t TTextView::ValidOffset(size_t offset) const {
  offset = std::min(offset, model_.Size());
  // Never between the bytes of a character or of a CR LF pair.
  size_t line = model_.LineOfOffset(offset);
  offset = std::min(offset, model_.LineEnd(line));
  if (offset > model_.LineStart(line) && !sjis::IsCharStart(model_.Data(), model_.LineStart(line), offset)) --offset;
  return offset;
}

void TTextView::SetCaretOffset(size_t offset, bool extend) {
  size_t oldAnchor = anchor_, oldCaret = caret_;
  caret_ = offset = ValidOffset(offset);
  if (!extend) anchor_ = offset;
  caretExtra_ = 0;
  desiredColumn_ = -1;
  EnsureCaretVisible();
  Changed(oldAnchor, oldCaret);
}

void TTextView::PlaceCaret(TRowPos row, int column, bool extend) {
  size_t oldAnchor = anchor_, oldCaret = caret_;
  size_t offset = layout_.OffsetAtColumn(row, column);
  size_t rowEnd = layout_.RowEnd(row);
  bool lastRow = row.subRow + 1 >= layout_.RowsOfLine(row.line);
  // The end of a wrapped row is the next row's start: stay on this row.
  if (offset == rowEnd && !lastRow && offset > layout_.RowStart(row)) offset = PreviousChar(offset);
  caret_ = offset;
  if (!extend) anchor_ = offset;
  caretExtra_ = settings_.freeCaret && offset == rowEnd ? std::max(0, column - layout_.ColumnOf(offset)) : 0;
  if (settings_.inTab) {
    // Inside a tab's blank cells the caret stays where it was put.
    for (size_t tab : {PreviousChar(offset), offset}) {
      int width = TabWidthAt(tab), start = width > 0 ? layout_.ColumnOf(tab) : 0;
      if (width > 0 && layout_.RowOfOffset(tab) == row && column > start && column < start + width) {
        caret_ = tab;
        if (!extend) anchor_ = tab;
        caretExtra_ = column - start;
        break;
      }
    }
  }
  EnsureCaretVisible();
  Changed(oldAnchor, oldCaret);
}

void TTextView::MoveCaretToRow(TRowPos row, bool extend) {
  // The column the move started from is kept over short rows.
  int column = desiredColumn_ >= 0 ? desiredColumn_ : CaretColumn();
  PlaceCaret(row, column, extend);
  // Kept, the column survives short rows and tabs on the way; otherwise the next move starts where this one landed.
  desiredColumn_ = settings_.keepCaret ? column : -1;
}

void TTextView::Select(size_t start, size_t end) {
  size_t oldAnchor = anchor_, oldCaret = caret_;
  anchor_ = ValidOffset(start);
  caret_ = ValidOffset(end);
  caretExtra_ = 0;
  desiredColumn_ = -1;
  EnsureCaretVisible();
  Changed(oldAnchor, oldCaret);
}

size_t TTextView::PreviousChar(size_t offset) const {
  if (offset == 0) return 0;
  size_t line = model_.LineOfOffset(offset);
  size_t start = model_.LineStart(line);
  if (offset == start) return model_.LineEnd(line - 1);
  const char* data = model_.Data();
  if (offset >= start + 2 && sjis::IsCharStart(data, start, offset - 2) &&
      sjis::CharLength(data + offset - 2, data + model_.Size()) == 2)
    return offset - 2;
  return offset - 1;
}

size_t TTextView::NextChar(size_t offset) const {
  size_t line = model_.LineOfOffset(offset);
  if (offset >= model_.LineEnd(line)) return line + 1 < model_.LineCount() ? model_.LineStart(line + 1) : offset;
  return offset + sjis::CharLength(model_.Data() + offset, model_.Data() + model_.LineEnd(line));
}

std::string TTextView::SelectedText() const {
  return model_.Text().substr(SelectionStart(), SelectionEnd() - SelectionStart());
}

std::pair<size_t, size_t> TTextView::WordBoundsAtCaret() const {
  size_t line = model_.LineOfOffset(caret_);
  size_t start = model_.LineStart(line), end = model_.LineEnd(line);
  const char* data = model_.Data();
  // Characters up to 1 KB around the caret are enough for a word.
  size_t from = caret_ > start + 1024 ? caret_ - 1024 : start;
  while (from > start && !sjis::IsCharStart(data, start, from)) --from;
  size_t to = std::min(end, caret_ + 1024);
  std::vector<size_t> starts;
  for (size_t p = from; p < to; p += sjis::CharLength(data + p, data + end)) starts.push_back(p);
  auto at = std::lower_bound(starts.begin(), starts.end(), caret_);
  if (at == starts.end() || *at != caret_) return {caret_, caret_};
  size_t index = static_cast<size_t>(at - starts.begin());
  auto kind = [&](size_t i) { return CharKind(data + starts[i], sjis::CharLength(data + starts[i], data + end)); };
  int k = kind(index);
  if (k == 0) return {caret_, caret_};
  size_t first = index, last = index;
  while (first > 0 && kind(first - 1) == k) --first;
  while (last + 1 < starts.size() && kind(last + 1) == k) ++last;
  return {starts[first], last + 1 < starts.size() ? starts[last + 1] : to};
}

std::string TTextView::WordAtCaret() const {
  auto [start, end] = WordBoundsAtCaret();
  return model_.Text().substr(start, end - start);
}

bool TTextView::CopyToClipboard() {
  if (!HasSelection()) return false;
  // Line breaks as CR LF, whatever the file used.
  std::string text;
  const std::string selected = SelectedText();
  text.reserve(selected.size() + 16);
  for (size_t i = 0; i < selected.size(); ++i) {
    char c = selected[i];
    if (c == '\r') {
      text += "\r\n";
      if (i + 1 < selected.size() && selected[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      text += "\r\n";
    } else {
      text += c;
    }
  }
  int wideLength = text.empty() ? 0
                                : MultiByteToWideChar(932, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  TGlobalMemory narrow(GlobalAlloc(GMEM_MOVEABLE, text.size() + 1));
  TGlobalMemory wide(GlobalAlloc(GMEM_MOVEABLE, (static_cast<size_t>(wideLength) + 1) * sizeof(wchar_t)));
  if (!narrow || !wide) return false;
  {
    TGlobalLock<char> lock(narrow.get());
    if (!lock.get()) return false;
    std::copy(text.begin(), text.end(), lock.get());
    lock.get()[text.size()] = 0;
  }
  {
    TGlobalLock<wchar_t> lock(wide.get());
    if (!lock.get()) return false;
    if (wideLength > 0) MultiByteToWideChar(932, 0, text.data(), static_cast<int>(text.size()), lock.get(), wideLength);
    lock.get()[wideLength] = 0;
  }
  // Another program may hold the clipboard for a moment.
  bool opened = false;
  for (int attempt = 0; attempt < 20 && !(opened = OpenClipboard(window_)); ++attempt) Sleep(10);
  if (!opened) return false;
  TScopeExit close([] { CloseClipboard(); });
  EmptyClipboard();
  if (!SetClipboardData(CF_TEXT, narrow.get())) return false;
  narrow.release();  // the clipboard owns it now
  if (!SetClipboardData(CF_UNICODETEXT, wide.get())) return false;
  wide.release();
  return true;
}

bool TTextView::Find(const std::string& pattern, const TSearchOptions& options, bool backward, std::wstring* error) {
  TTextSearch search;
  if (!search.Prepare(pattern, options)) {
    if (error) *error = search.Error();
    return false;
  }
  std::optional<TSearchHit> hit = backward ? search.FindBackward(model_, SelectionStart())
                                           : search.FindForward(model_, SelectionEnd());
  if (error) *error = search.Error();
  if (!hit) return false;
  if (backward) Select(hit->start + hit->length, hit->start);
  else Select(hit->start, hit->start + hit->length);
  CenterRow(CaretRow());
  return true;
}

void TTextView::SetHighlight(const std::string& pattern, const TSearchOptions& options) {
  highlightOn_ = !pattern.empty() && highlight_.Prepare(pattern, options);
  if (window_) InvalidateRect(window_, nullptr, FALSE);
}

void TTextView::KeyDown(WPARAM key) {
  bool shift = GetKeyState(VK_SHIFT) < 0;
  bool control = GetKeyState(VK_CONTROL) < 0;
  TRowPos row = layout_.RowOfOffset(caret_);
  switch (key) {
    case VK_LEFT:
      if (caretExtra_ > 0 && !shift) {
        --caretExtra_;
        UpdateCaret();
        if (OnCaretMoved) OnCaretMoved();
      } else if (!settings_.nextLine && caret_ == model_.LineStart(row.line) && !shift) {
        break;  // the caret stays on its line
      } else {
        SetCaretOffset(PreviousChar(caret_), shift);
        if (settings_.inTab && !shift && TabWidthAt(caret_) > 1) {
          caretExtra_ = TabWidthAt(caret_) - 1;
          EnsureCaretVisible();
          UpdateCaret();
          if (OnCaretMoved) OnCaretMoved();
        }
      }
      break;
    case VK_RIGHT:
      if (settings_.freeCaret && caret_ == model_.LineEnd(row.line) && !shift) {
        ++caretExtra_;
        EnsureCaretVisible();
        UpdateCaret();
        if (OnCaretMoved) OnCaretMoved();
      } else if (settings_.inTab && !shift && caretExtra_ + 1 < TabWidthAt(caret_)) {
        ++caretExtra_;
        EnsureCaretVisible();
        UpdateCaret();
        if (OnCaretMoved) OnCaretMoved();
      } else if (!settings_.nextLine && caret_ == model_.LineEnd(row.line) && !shift) {
        break;
      } else {
        SetCaretOffset(NextChar(caret_), shift);
      }
      break;
    case VK_UP:
      if (control) ScrollRows(-1);
      else MoveCaretToRow(layout_.Previous(row), shift);
      break;
    case VK_DOWN:
      if (control) ScrollRows(1);
      else MoveCaretToRow(layout_.Next(row), shift);
      break;
    case VK_PRIOR:
    case VK_NEXT: {
      long long page = std::max(1, VisibleRows() - 1) * (key == VK_PRIOR ? -1LL : 1LL);
      top_ = layout_.Move(top_, page);
      MoveCaretToRow(layout_.Move(row, page), shift);
      break;
    }
    case VK_HOME:
      if (control) SetCaretOffset(0, shift);
      else SetCaretOffset(layout_.RowStart(row), shift);
      break;
    case VK_END:
      if (control) {
        SetCaretOffset(model_.Size(), shift);
      } else {
        size_t end = layout_.RowEnd(row);
        bool lastRow = row.subRow + 1 >= layout_.RowsOfLine(row.line);
        SetCaretOffset(lastRow || end == layout_.RowStart(row) ? end : PreviousChar(end), shift);
      }
      break;
    case 'A':
      if (control) SelectAll();
      break;
    case 'C':
    case VK_INSERT:
      if (control) CopyToClipboard();
      break;
    default:
      break;
  }
}

void TTextView::MouseAt(int x, int y, bool extend) {
  long long rows = y < TextTop() ? -1 - (TextTop() - y) / lineHeight_ : (y - TextTop()) / lineHeight_;
  int column = std::max(0, (x - TextLeft() + ColumnWidth() / 2) / ColumnWidth() + leftColumn_);
  desiredColumn_ = -1;
  PlaceCaret(layout_.Move(top_, rows), column, extend);
}

LRESULT TTextView::Handle(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_PAINT: {
      if (scrollBarsDirty_) SetScrollBars();
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window_, &ps);
      RECT client{};
      GetClientRect(window_, &client);
      // Drawn off screen first, so scrolling does not flicker.
      HDC memory = CreateCompatibleDC(dc);
      TBitmap bitmap(CreateCompatibleBitmap(dc, std::max(1L, client.right), std::max(1L, client.bottom)));
      HGDIOBJ old = SelectObject(memory, bitmap.get());
      Paint(memory, client);
      BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
      SelectObject(memory, old);
      DeleteDC(memory);
      EndPaint(window_, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      if (settings_.wordWrap && settings_.wrapColumn == 0) ApplyLayout();
      UpdateScrollBars();
      InvalidateRect(window_, nullptr, FALSE);
      UpdateCaret();
      return 0;
    case WM_SETFOCUS:
      hasFocus_ = true;
      CreateCaret(window_, nullptr, settings_.editorCaret ? charWidth_ : 2, charHeight_);
      UpdateCaret();
      ShowCaret(window_);
      return 0;
    case WM_KILLFOCUS:
      hasFocus_ = false;
      DestroyCaret();
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_KEYDOWN:
      KeyDown(w);
      return 0;
    case WM_LBUTTONDOWN:
      SetFocus(window_);
      SetCapture(window_);
      dragging_ = true;
      rowDragging_ = settings_.rowSelect && GET_X_LPARAM(l) < TextLeft();
      if (rowDragging_) {
        int y = GET_Y_LPARAM(l);
        rowAnchor_ = layout_.Move(top_, y < TextTop() ? -1 : (y - TextTop()) / lineHeight_);
        SelectRows(rowAnchor_, rowAnchor_);
      } else {
        MouseAt(GET_X_LPARAM(l), GET_Y_LPARAM(l), (w & MK_SHIFT) != 0);
      }
      return 0;
    case WM_MOUSEMOVE:
      if (dragging_ && rowDragging_) {
        int y = GET_Y_LPARAM(l);
        SelectRows(rowAnchor_, layout_.Move(top_, y < TextTop() ? -1 - (TextTop() - y) / lineHeight_
                                                                : (y - TextTop()) / lineHeight_));
      } else if (dragging_) {
        MouseAt(GET_X_LPARAM(l), GET_Y_LPARAM(l), true);
      }
      return 0;
    case WM_LBUTTONUP:
      if (dragging_) ReleaseCapture();
      return 0;
    case WM_CAPTURECHANGED:
      dragging_ = false;
      return 0;
    case WM_LBUTTONDBLCLK: {
      auto [start, end] = WordBoundsAtCaret();
      if (end > start) Select(start, end);
      return 0;
    }
    case WM_MOUSEWHEEL: {
      int delta = GET_WHEEL_DELTA_WPARAM(w);
      ScrollRows(-3LL * delta / WHEEL_DELTA);
      return 0;
    }
    case WM_VSCROLL: {
      int visible = VisibleRows();
      switch (LOWORD(w)) {
        case SB_LINEUP: ScrollRows(-1); break;
        case SB_LINEDOWN: ScrollRows(1); break;
        case SB_PAGEUP: ScrollRows(-std::max(1, visible - 1)); break;
        case SB_PAGEDOWN: ScrollRows(std::max(1, visible - 1)); break;
        case SB_TOP: SetTopRow(0); break;
        case SB_BOTTOM: top_ = {model_.LineCount() - 1, 0}; ScrollRows(0); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
          SCROLLINFO si{sizeof si, SIF_TRACKPOS};
          GetScrollInfo(window_, SB_VERT, &si);
          top_ = {std::min(static_cast<size_t>(std::max(0, si.nTrackPos)), model_.LineCount() - 1), 0};
          ScrollRows(0);
          break;
        }
        default: break;
      }
      return 0;
    }
    case WM_HSCROLL: {
      int columns = WindowColumns();
      switch (LOWORD(w)) {
        case SB_LINELEFT: leftColumn_ -= 1; break;
        case SB_LINERIGHT: leftColumn_ += 1; break;
        case SB_PAGELEFT: leftColumn_ -= columns; break;
        case SB_PAGERIGHT: leftColumn_ += columns; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
          SCROLLINFO si{sizeof si, SIF_TRACKPOS};
          GetScrollInfo(window_, SB_HORZ, &si);
          leftColumn_ = si.nTrackPos;
          break;
        }
        default: break;
      }
      leftColumn_ = std::max(0, leftColumn_);
      UpdateScrollBars();
      InvalidateRect(window_, nullptr, FALSE);
      UpdateCaret();
      return 0;
    }
    default:
      return DefWindowProcW(window_, message, w, l);
  }
}

void TTextView::Paint(HDC dc, const RECT& client) {
  const TTextColor& normal = settings_.colors[teDefault];
  TBrush background(CreateSolidBrush(normal.background));
  FillRect(dc, &client, background.get());
  SetBkMode(dc, OPAQUE);
  coloredStart_ = coloredEnd_ = static_cast<size_t>(-1);
  partner_.reset();
  if (!colorRules_.brackets.empty()) partner_ = MatchingBracket(model_, caret_, colorRules_);
  int visible = VisibleRows();
  TRowPos pos = top_;
  for (int n = 0; n <= visible; ++n) {
    PaintRow(dc, pos, TextTop() + n * lineHeight_, client.right);
    TRowPos next = layout_.Next(pos);
    if (next == pos) break;
    pos = next;
  }
  if (settings_.wrapLine && layout_.Rules().columns > 0) {
    // Drawn where the rows wrap, in the ruler's colour.
    int x = TextLeft() + (layout_.Rules().columns - leftColumn_) * ColumnWidth();
    TPen pen(CreatePen(PS_SOLID, 1, settings_.barForeground));
    HGDIOBJ old = SelectObject(dc, pen.get());
    MoveToEx(dc, x, 0, nullptr);
    LineTo(dc, x, client.bottom);
    SelectObject(dc, old);
  }
  PaintGutterAndRuler(dc, client);
}

void TTextView::PaintRow(HDC dc, TRowPos pos, int y, int right) {
  const char* data = model_.Data();
  const size_t lineStart = model_.LineStart(pos.line), lineEnd = model_.LineEnd(pos.line);
  const size_t rowStart = layout_.RowStart(pos), rowEnd = layout_.RowEnd(pos);
  // Colours and hits of the line, computed once per line while its rows are drawn.
  // A very long line is coloured and searched only around the row drawn,
  // from the start of the row before to the end of the row after.
  size_t segmentStart = lineStart, segmentEnd = lineEnd;
  if (lineEnd - lineStart > kLongLine) {
    segmentStart = layout_.RowStart(layout_.Previous(pos));
    if (segmentStart > rowStart) segmentStart = rowStart;
    TRowPos next = layout_.Next(pos);
    segmentEnd = next.line == pos.line ? layout_.RowEnd(next) : rowEnd;
  }
  if (coloredStart_ != segmentStart || coloredEnd_ != segmentEnd) {
    ColorLine(data + segmentStart, segmentEnd - segmentStart, colorRules_, elements_);
    hits_.clear();
    if (highlightOn_) highlight_.FindInRange(model_, segmentStart, segmentEnd, hits_);
    coloredStart_ = segmentStart;
    coloredEnd_ = segmentEnd;
  }
  const size_t selStart = SelectionStart(), selEnd = SelectionEnd();
  const int colW = ColumnWidth();
  const int left = TextLeft();

  std::wstring run;
  std::vector<INT> dx;
  int runColumn = 0;
  const TTextColor* runColor = nullptr;
  auto flush = [&](int endColumn) {
    if (!runColor || run.empty()) return;
    SelectObject(dc, FontFor(*runColor));
    SetTextColor(dc, runColor->foreground);
    SetBkColor(dc, runColor->background);
    RECT cell{left + (runColumn - leftColumn_) * colW, y, left + (endColumn - leftColumn_) * colW, y + lineHeight_};
    ExtTextOutW(dc, cell.left, y + settings_.lineSpacing / 2, ETO_OPAQUE | ETO_CLIPPED, &cell, run.data(),
                static_cast<UINT>(run.size()), dx.data());
    run.clear();
    dx.clear();
  };
  int column = 0;
  const char* end = data + rowEnd;
  for (const char* p = data + rowStart; p < end;) {
    size_t n = sjis::CharLength(p, end);
    size_t offset = static_cast<size_t>(p - data);
    int width = CharColumns(p, n, column, layout_.Rules().tabSize);
    TTextElement element = static_cast<TTextElement>(elements_[offset - segmentStart]);
    wchar_t glyph = sjis::ToWide(sjis::Code(p, n));
    if (*p == '\t') {
      glyph = settings_.tabMark ? L'»' : L' ';
      element = settings_.tabMark ? teTabMark : teDefault;
    } else if (glyph == 0x3000 && settings_.fullWidthSpaceMark) {
      glyph = L'□';
      element = teFullWidthSpace;
    } else if (glyph < L' ') {
      glyph = L'・';
    }
    bool hit = std::any_of(hits_.begin(), hits_.end(),
                           [&](const TSearchHit& h) { return offset >= h.start && offset < h.start + h.length; });
    if (offset >= selStart && offset < selEnd) element = teSelection;
    else if (hit) element = teSearchHit;
    else if (partner_ && (offset == caret_ || offset == *partner_)) element = teBracket;
    const TTextColor* color = &settings_.colors[element];
    if (color != runColor) {
      flush(column);
      runColor = color;
      runColumn = column;
    }
    run.push_back(glyph);
    dx.push_back(width * colW);
    if (*p == '\t')  // the rest of the tab's cells stay blank
      for (int k = 1; k < width; ++k) {
        run.push_back(L' ');
        dx.back() = colW;
        dx.push_back(colW);
      }
    column += width;
    p += n;
    if (left + (column - leftColumn_) * colW > right) break;
  }
  flush(column);
  // A line break that does not hang gets a row of its own, empty but for its mark.
  bool lastRow = pos.subRow + 1 >= layout_.RowsOfLine(pos.line);
  if (lastRow) {
    // A selected line break shows as one selected cell.
    bool breakSelected = model_.HasLineBreak(pos.line) && lineEnd >= selStart && lineEnd < selEnd;
    const wchar_t* mark = nullptr;
    TTextElement element = teReturnMark;
    if (model_.HasLineBreak(pos.line) && settings_.returnMark) mark = L"↓";
    else if (!model_.HasLineBreak(pos.line) && pos.line + 1 == model_.LineCount() && settings_.eofMark) {
      mark = L"[EOF]";
      element = teEofMark;
    }
    if (mark || breakSelected) {
      const TTextColor& color = settings_.colors[breakSelected ? teSelection : element];
      SelectObject(dc, FontFor(color));
      SetTextColor(dc, breakSelected ? settings_.colors[teSelection].foreground : settings_.colors[element].foreground);
      SetBkColor(dc, breakSelected ? color.background : settings_.colors[teDefault].background);
      std::wstring text = mark ? mark : L" ";
      std::vector<INT> widths(text.size(), colW);
      int x = left + (column - leftColumn_) * colW;
      RECT cell{x, y, x + static_cast<int>(text.size()) * colW, y + lineHeight_};
      ExtTextOutW(dc, x, y + settings_.lineSpacing / 2, ETO_OPAQUE, &cell, text.data(), static_cast<UINT>(text.size()),
                  widths.data());
    }
  }
  if (settings_.caretUnderline && hasFocus_ && layout_.RowOfOffset(caret_) == pos) {
    TPen pen(CreatePen(PS_SOLID, 1, settings_.colors[teCaretUnderline].foreground));
    HGDIOBJ old = SelectObject(dc, pen.get());
    MoveToEx(dc, left, y + lineHeight_ - 1, nullptr);
    LineTo(dc, right, y + lineHeight_ - 1);
    SelectObject(dc, old);
  }
}

void TTextView::PaintGutterAndRuler(HDC dc, const RECT& client) {
  TBrush bar(CreateSolidBrush(settings_.barBackground));
  SelectObject(dc, FontFor(TTextColor{}));
  SetTextColor(dc, settings_.barForeground);
  SetBkColor(dc, settings_.barBackground);
  if (settings_.lineNumbers) {
    RECT gutter{0, 0, TextLeft() - settings_.marginLeft, client.bottom};
    FillRect(dc, &gutter, bar.get());
    TRowPos pos = top_;
    for (int n = 0; n <= VisibleRows(); ++n) {
      if (pos.subRow == 0) {
        wchar_t number[32];
        swprintf(number, 32, settings_.zeroLead ? L"%0*zu" : L"%*zu", settings_.lineNumberDigits, pos.line + 1);
        RECT cell{0, TextTop() + n * lineHeight_, gutter.right - charWidth_ / 2, TextTop() + (n + 1) * lineHeight_};
        DrawTextW(dc, number, -1, &cell, DT_RIGHT | DT_SINGLELINE | DT_NOPREFIX);
      }
      TRowPos next = layout_.Next(pos);
      if (next == pos) break;
      pos = next;
    }
  }
  if (settings_.ruler) {
    RECT ruler{0, 0, client.right, lineHeight_};
    FillRect(dc, &ruler, bar.get());
    TPen pen(CreatePen(PS_SOLID, 1, settings_.barForeground));
    HGDIOBJ old = SelectObject(dc, pen.get());
    int colW = ColumnWidth();
    for (int c = leftColumn_; TextLeft() + (c - leftColumn_) * colW < client.right; ++c) {
      int x = TextLeft() + (c - leftColumn_) * colW;
      bool major = c % settings_.rulerGauge == 0;
      MoveToEx(dc, x, lineHeight_ - (major ? lineHeight_ / 2 : 3), nullptr);
      LineTo(dc, x, lineHeight_);
      if (major && c > 0) {
        std::wstring label = std::to_wstring(c);
        TextOutW(dc, x + 2, 0, label.c_str(), static_cast<int>(label.size()));
      }
    }
    int caretX = TextLeft() + (CaretColumn() - leftColumn_) * colW;
    RECT mark{caretX, lineHeight_ - 4, caretX + colW, lineHeight_};
    InvertRect(dc, &mark);
    SelectObject(dc, old);
  }
}
