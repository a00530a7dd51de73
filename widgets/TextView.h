// The read-only text view: shows Shift-JIS text laid out by TTextLayout,
// coloured by ColorLine, searched by TTextSearch. The window part only
// draws, scrolls and turns keys and the mouse into caret moves.
//
// Hosting: create it as a child (Create), give it the text's bytes once
// (SetText) and its settings (SetSettings); read rows and lines for the
// status panels through the caret queries; OnCaretMoved and
// OnSelectionChange are called after every change.
#pragma once

#include "../engine/Handles.h"
#include "TextColoring.h"
#include "TextLayout.h"
#include "TextModel.h"
#include "TextSearch.h"
#include "TextViewSettings.h"

#include <windows.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class TTextView {
 public:
  static constexpr const wchar_t* kClassName = L"TavixTextView";

  TTextView();
  ~TTextView();
  TTextView(const TTextView&) = delete;
  TTextView& operator=(const TTextView&) = delete;

  // A child window of parent with the control id.
  HWND Create(HWND parent, int id, const RECT& bounds);
  HWND Handle() const { return window_; }

  // The text in Shift-JIS; the view keeps this one copy. A text of 4 GB or
  // more throws std::length_error (the host tells the user).
  void SetText(std::string text);
  void Clear() { SetText({}); }
  const TTextModel& Model() const { return model_; }

  const TEditorSettings& Settings() const { return settings_; }
  void SetSettings(const TEditorSettings& settings);

  // Caret. Rows count wrapped rows, lines stored lines; columns are display columns.
  size_t CaretOffset() const { return caret_; }
  size_t CaretRow();
  size_t CaretLine() const { return model_.LineOfOffset(caret_); }
  int CaretColumn();
  // Moves the caret (extend: keep the selection's other end) and scrolls it into view.
  void SetCaretOffset(size_t offset, bool extend = false);
  void SetCaretRow(size_t row);
  size_t RowCount() { return layout_.TotalRows(); }
  size_t TopRow();
  void SetTopRow(size_t row);
  int VisibleRows() const;
  // Client coordinates of the top left of an offset's cell; false when it is not on screen.
  bool OffsetPoint(size_t offset, POINT* point);
  // The top row becomes row less half the visible rows (halved toward zero).
  void CenterRow(size_t row);

  // Selection [start, end) in bytes.
  bool HasSelection() const { return anchor_ != caret_; }
  size_t SelectionStart() const { return std::min(anchor_, caret_); }
  size_t SelectionEnd() const { return std::max(anchor_, caret_); }
  void Select(size_t start, size_t end);
  void SelectAll() { Select(0, model_.Size()); }
  void ClearSelection() { SetCaretOffset(caret_, false); }
  std::string SelectedText() const;
  // The word at the caret (letters and digits, or a run of one kind of Japanese characters).
  std::string WordAtCaret() const;
  // CF_TEXT (code page 932) and CF_UNICODETEXT; false when the clipboard refused.
  bool CopyToClipboard();

  // Finds from the caret (forward: from the selection's end; backward: before
  // its start), selects the hit and centres its row. False when nothing was
  // found or the search failed; error tells why it failed.
  bool Find(const std::string& pattern, const TSearchOptions& options, bool backward, std::wstring* error = nullptr);
  // Marks every hit of pattern on screen; an empty pattern marks nothing.
  void SetHighlight(const std::string& pattern, const TSearchOptions& options);

  std::function<void()> OnCaretMoved;
  std::function<void()> OnSelectionChange;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM w, LPARAM l);
  LRESULT Handle(UINT message, WPARAM w, LPARAM l);
  void Paint(HDC dc, const RECT& client);
  void PaintRow(HDC dc, TRowPos pos, int y, int right);
  void PaintGutterAndRuler(HDC dc, const RECT& client);
  void KeyDown(WPARAM key);
  void MouseAt(int x, int y, bool extend);
  void ApplyLayout();
  void UpdateMetrics();
  void UpdateScrollBars();
  void SetScrollBars();
  void UpdateCaret();
  void EnsureCaretVisible();
  void ScrollRows(long long rows);
  // Rows from the top of the window to row, or -1 when it is not on screen.
  int ScreenRowOf(TRowPos row);
  // Tab cells the caret may stop in (inTab): the tab's width when offset holds one, else 0.
  int TabWidthAt(size_t offset);
  void SelectRows(TRowPos from, TRowPos to);
  void Changed(size_t oldAnchor, size_t oldCaret);
  // The caret to a display column of a row (with a free caret, past its end).
  void PlaceCaret(TRowPos row, int column, bool extend);
  void MoveCaretToRow(TRowPos row, bool extend);
  size_t ValidOffset(size_t offset) const;
  std::pair<size_t, size_t> WordBoundsAtCaret() const;
  size_t PreviousChar(size_t offset) const;
  size_t NextChar(size_t offset) const;
  HFONT FontFor(const TTextColor& color);
  int TextLeft() const;
  int TextTop() const;
  int ColumnWidth() const { return charWidth_ + settings_.charSpacing; }
  int WindowColumns() const;

  HWND window_ = nullptr;
  TTextModel model_;
  TTextLayout layout_{model_};
  TEditorSettings settings_;
  TColorRules colorRules_;
  TTextSearch highlight_;
  bool highlightOn_ = false;

  TFont fonts_[8];  // by bold, italic, underline
  int charWidth_ = 8;
  int charHeight_ = 15;
  int lineHeight_ = 17;

  size_t caret_ = 0;
  size_t anchor_ = 0;
  int caretExtra_ = 0;      // free caret: columns past the row's end
  int desiredColumn_ = -1;  // kept while moving up and down
  TRowPos top_;
  int leftColumn_ = 0;
  bool hasFocus_ = false;
  bool scrollBarsDirty_ = true;
  SCROLLINFO vertical_{};  // what the bars were last given
  SCROLLINFO horizontal_{};
  bool dragging_ = false;
  bool rowDragging_ = false;  // a press in the left margin selects whole rows
  TRowPos rowAnchor_;

  static constexpr size_t kLongLine = 65536;
  size_t coloredStart_ = static_cast<size_t>(-1);
  size_t coloredEnd_ = static_cast<size_t>(-1);
  std::optional<size_t> partner_;  // the bracket matching the one at the caret
  std::vector<unsigned char> elements_;
  std::vector<TSearchHit> hits_;
};
