// Fixed-pitch layout of Shift-JIS text: a half-width character takes one
// column, a double-byte character two, a tab runs to the next tab stop.
// Stored lines wrap into rows at a byte column with the Japanese
// line-breaking rules; rows are computed only for the lines asked about.
// Plain code without windows.
#pragma once

#include "TextModel.h"
#include "TextViewSettings.h"

#include <bitset>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

// A set of Shift-JIS character codes (sjis::Code).
class TCharSet {
 public:
  TCharSet() : bits_(std::make_unique<std::bitset<65536>>()) {}
  explicit TCharSet(const std::wstring& characters);
  TCharSet(const TCharSet& other) : bits_(std::make_unique<std::bitset<65536>>(*other.bits_)) {}
  TCharSet& operator=(const TCharSet& other) {
    *bits_ = *other.bits_;
    return *this;
  }
  bool Contains(unsigned code) const { return code < 65536 && bits_->test(code); }

 private:
  std::unique_ptr<std::bitset<65536>> bits_;
};

struct TWrapRules {
  int columns = 80;  // 0: no wrapping
  int tabSize = 4;
  TCharSet follow;       // may not begin a row
  TCharSet lead;         // may not end a row
  TCharSet punctuation;  // may hang past the edge
  bool hangPunctuation = true;
  bool pushOut = true;
  bool wordBreak = true;
  bool hangReturn = true;  // off: a full row's line break takes a row of its own

  // From the settings; windowColumns serves when the settings wrap at the window edge.
  static TWrapRules From(const TEditorSettings& settings, int windowColumns);
};

// Width in columns of the character at p when it starts at column.
inline int CharColumns(const char* p, size_t length, int column, int tabSize) {
  if (*p == '\t') return tabSize > 0 ? tabSize - column % tabSize : 1;
  return static_cast<int>(length);
}

// Offsets (from the line start) where each row of a line begins; the first is 0.
// lineBreak: the line ends with a line break (its mark may need a row).
std::vector<uint32_t> WrapLine(const char* line, size_t length, const TWrapRules& rules, bool lineBreak = false);

// A row of the text: a stored line and the row's place in it.
struct TRowPos {
  size_t line = 0;
  size_t subRow = 0;
  bool operator==(const TRowPos&) const = default;
};

class TTextLayout {
 public:
  explicit TTextLayout(const TTextModel& model) : model_(model) {}

  // Forgets every row: after new text or new rules.
  void Reset(const TWrapRules& rules);
  const TWrapRules& Rules() const { return rules_; }

  // Row starts of a line, as offsets from the line start (cached for the lines on screen).
  const std::vector<uint32_t>& RowStarts(size_t line);
  size_t RowsOfLine(size_t line);
  // Absolute row numbers: the rows before a line are summed once, lazily.
  size_t RowOfLine(size_t line);
  TRowPos RowPosOf(size_t row);
  // Counts every row of the text (a pass over all lines the first time).
  size_t TotalRows();
  TRowPos Next(TRowPos pos);
  TRowPos Previous(TRowPos pos);
  // Moves by count rows (negative: up), stopping at the text's ends.
  TRowPos Move(TRowPos pos, long long count);
  // Text offsets of a row: [start, end); end excludes the line break.
  size_t RowStart(TRowPos pos);
  size_t RowEnd(TRowPos pos);
  // The row holding a text offset (an offset at a wrap point belongs to the later row).
  TRowPos RowOfOffset(size_t offset);
  // Display column of an offset inside its row, and the offset nearest a column.
  int ColumnOf(size_t offset);
  size_t OffsetAtColumn(TRowPos pos, int column);

 private:
  bool SingleRow(size_t line) const;

  const TTextModel& model_;
  TWrapRules rules_;
  std::unordered_map<size_t, std::vector<uint32_t>> rowCache_;
  std::vector<uint32_t> single_{0};
  // rowsBefore_[i]: rows of the lines before line i, known for i < size().
  std::vector<uint32_t> rowsBefore_{0};
};
