#include "TextLayout.h"

#include <algorithm>
#include <cstring>

TCharSet::TCharSet(const std::wstring& characters) : TCharSet() {
  std::string bytes = sjis::FromWide(characters);
  const char* end = bytes.data() + bytes.size();
  for (const char* p = bytes.data(); p < end;) {
    size_t n = sjis::CharLength(p, end);
    bits_->set(sjis::Code(p, n));
    p += n;
  }
}

TWrapRules TWrapRules::From(const TEditorSettings& settings, int windowColumns) {
  TWrapRules rules;
  rules.columns = !settings.wordWrap ? 0 : settings.wrapColumn > 0 ? settings.wrapColumn : std::max(windowColumns, 2);
  rules.tabSize = settings.tabSize;
  rules.follow = TCharSet(settings.followChars);
  rules.lead = TCharSet(settings.leadChars);
  rules.punctuation = TCharSet(settings.punctuationChars);
  rules.hangPunctuation = settings.hangPunctuation;
  rules.pushOut = settings.pushOut;
  rules.wordBreak = settings.wordBreak;
  rules.hangReturn = settings.hangReturn;
  return rules;
}

namespace {
bool IsWordByte(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
}  // namespace

std::vector<uint32_t> WrapLine(const char* line, size_t length, const TWrapRules& rules, bool lineBreak) {
  std::vector<uint32_t> rows{0};
  if (rules.columns <= 0) return rows;
  const char* end = line + length;
  // Character starts of the current row, for stepping back when a rule moves the break.
  std::vector<uint32_t> chars;
  chars.reserve(static_cast<size_t>(rules.columns) + 4);
  size_t rowStart = 0;
  int column = 0;
  auto codeAt = [&](size_t offset) { return sjis::Code(line + offset, sjis::CharLength(line + offset, end)); };
  bool full = false;  // the last row reaches the edge (or hangs past it)
  for (size_t i = 0; i < length;) {
    size_t n = sjis::CharLength(line + i, end);
    int width = CharColumns(line + i, n, column, rules.tabSize);
    if (column == 0 || column + width <= rules.columns) {
      chars.push_back(static_cast<uint32_t>(i));
      column += width;
      i += n;
      continue;
    }
    // The character at i does not fit: choose where the row ends.
    size_t brk = i;
    unsigned code = sjis::Code(line + i, n);
    if (rules.hangPunctuation && rules.punctuation.Contains(code)) {
      brk = i + n;  // punctuation hangs past the edge
    } else if (rules.pushOut) {
      // Step back while the next row would begin with a line-start character
      // or this row would end with a line-end character; an emptied row keeps the plain break.
      size_t k = chars.size();  // chars[k] would start the next row (k == size: i)
      auto startAt = [&](size_t index) { return index < chars.size() ? chars[index] : static_cast<uint32_t>(i); };
      while (k > 1 && (rules.follow.Contains(codeAt(startAt(k))) || rules.lead.Contains(codeAt(chars[k - 1])))) --k;
      if (k > 1 || !(rules.follow.Contains(codeAt(startAt(k))) || rules.lead.Contains(codeAt(chars[k - 1]))))
        brk = startAt(k);
    }
    // A trail byte can look like a letter: only single-byte characters count as a word.
    auto wordCharBefore = [&](size_t at) {
      return at > rowStart && IsWordByte(line[at - 1]) && sjis::IsCharStart(line, rowStart, at - 1);
    };
    if (rules.wordBreak && brk > rowStart && brk < length && IsWordByte(line[brk]) && wordCharBefore(brk)) {
      size_t w = brk;
      while (wordCharBefore(w)) --w;
      if (w > rowStart) brk = w;  // a word longer than the row is cut
    }
    if (brk >= length) {
      full = true;
      break;
    }
    rows.push_back(static_cast<uint32_t>(brk));
    rowStart = brk;
    i = brk;
    column = 0;
    chars.clear();
  }
  // Without hanging, the line break's mark does not fit behind a full row.
  if (!rules.hangReturn && lineBreak && length > 0 && (full || column >= rules.columns))
    rows.push_back(static_cast<uint32_t>(length));
  return rows;
}

void TTextLayout::Reset(const TWrapRules& rules) {
  rules_ = rules;
  rowCache_.clear();
  rowsBefore_.assign(1, 0);
}

bool TTextLayout::SingleRow(size_t line) const {
  if (rules_.columns <= 0) return true;
  size_t length = model_.LineLength(line);
  // Tabs may widen a short line past the edge; anything else fits.
  if (length == static_cast<size_t>(rules_.columns) && !rules_.hangReturn && model_.HasLineBreak(line)) return false;
  return length <= static_cast<size_t>(rules_.columns) &&
         std::memchr(model_.Data() + model_.LineStart(line), '\t', length) == nullptr;
}

const std::vector<uint32_t>& TTextLayout::RowStarts(size_t line) {
  if (SingleRow(line)) return single_;
  auto found = rowCache_.find(line);
  if (found != rowCache_.end()) return found->second;
  if (rowCache_.size() > 4096) rowCache_.clear();  // only the lines near the screen matter
  auto rows = WrapLine(model_.Data() + model_.LineStart(line), model_.LineLength(line), rules_, model_.HasLineBreak(line));
  return rowCache_.emplace(line, std::move(rows)).first->second;
}

size_t TTextLayout::RowsOfLine(size_t line) {
  if (SingleRow(line)) return 1;
  auto found = rowCache_.find(line);
  if (found != rowCache_.end()) return found->second.size();
  // Counting alone does not keep the rows of lines far from the screen.
  return WrapLine(model_.Data() + model_.LineStart(line), model_.LineLength(line), rules_, model_.HasLineBreak(line)).size();
}

size_t TTextLayout::RowOfLine(size_t line) {
  line = std::min(line, model_.LineCount() - 1);
  while (rowsBefore_.size() <= line) {
    size_t known = rowsBefore_.size() - 1;
    rowsBefore_.push_back(static_cast<uint32_t>(rowsBefore_.back() + RowsOfLine(known)));
  }
  return rowsBefore_[line];
}

size_t TTextLayout::TotalRows() {
  size_t last = model_.LineCount() - 1;
  return RowOfLine(last) + RowsOfLine(last);
}

TRowPos TTextLayout::RowPosOf(size_t row) {
  // Extend the sums until they pass the row, then search them.
  while (rowsBefore_.back() <= row && rowsBefore_.size() < model_.LineCount()) RowOfLine(rowsBefore_.size());
  auto it = std::upper_bound(rowsBefore_.begin(), rowsBefore_.end(), static_cast<uint32_t>(std::min<size_t>(row, 0xFFFFFFFFu)));
  size_t line = static_cast<size_t>(it - rowsBefore_.begin()) - 1;
  size_t sub = row - rowsBefore_[line];
  size_t rows = RowsOfLine(line);
  return {line, std::min(sub, rows - 1)};
}

TRowPos TTextLayout::Next(TRowPos pos) {
  if (pos.subRow + 1 < RowsOfLine(pos.line)) return {pos.line, pos.subRow + 1};
  if (pos.line + 1 < model_.LineCount()) return {pos.line + 1, 0};
  return pos;
}

TRowPos TTextLayout::Previous(TRowPos pos) {
  if (pos.subRow > 0) return {pos.line, pos.subRow - 1};
  if (pos.line > 0) return {pos.line - 1, RowsOfLine(pos.line - 1) - 1};
  return pos;
}

TRowPos TTextLayout::Move(TRowPos pos, long long count) {
  for (; count > 0; --count) {
    TRowPos next = Next(pos);
    if (next == pos) break;
    pos = next;
  }
  for (; count < 0; ++count) {
    TRowPos previous = Previous(pos);
    if (previous == pos) break;
    pos = previous;
  }
  return pos;
}

size_t TTextLayout::RowStart(TRowPos pos) {
  const auto& rows = RowStarts(pos.line);
  return model_.LineStart(pos.line) + rows[std::min(pos.subRow, rows.size() - 1)];
}

size_t TTextLayout::RowEnd(TRowPos pos) {
  const auto& rows = RowStarts(pos.line);
  if (pos.subRow + 1 < rows.size()) return model_.LineStart(pos.line) + rows[pos.subRow + 1];
  return model_.LineEnd(pos.line);
}

TRowPos TTextLayout::RowOfOffset(size_t offset) {
  size_t line = model_.LineOfOffset(offset);
  const auto& rows = RowStarts(line);
  size_t inLine = std::min(offset, model_.LineEnd(line)) - model_.LineStart(line);
  auto it = std::upper_bound(rows.begin(), rows.end(), static_cast<uint32_t>(inLine));
  return {line, static_cast<size_t>(it - rows.begin()) - 1};
}

int TTextLayout::ColumnOf(size_t offset) {
  TRowPos pos = RowOfOffset(offset);
  const char* data = model_.Data();
  const char* end = data + RowEnd(pos);
  const char* target = data + std::min(offset, RowEnd(pos));
  int column = 0;
  for (const char* p = data + RowStart(pos); p < target;) {
    size_t n = sjis::CharLength(p, end);
    column += CharColumns(p, n, column, rules_.tabSize);
    p += n;
  }
  return column;
}

size_t TTextLayout::OffsetAtColumn(TRowPos pos, int column) {
  const char* data = model_.Data();
  const char* end = data + RowEnd(pos);
  const char* p = data + RowStart(pos);
  int at = 0;
  while (p < end) {
    size_t n = sjis::CharLength(p, end);
    int width = CharColumns(p, n, at, rules_.tabSize);
    if (column < at + (width + 1) / 2) break;  // nearer to this character's start
    at += width;
    p += n;
  }
  return static_cast<size_t>(p - data);
}
