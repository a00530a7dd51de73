// The colouring of one stored line: which element each byte shows as
// (numbers, strings, comments, reserved words, addresses...). Plain code
// without windows; lines are coloured one at a time, only when drawn.
#pragma once

#include "TextModel.h"
#include "TextViewSettings.h"

#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

struct TColorRules {
  std::string hexPrefix;    // Shift-JIS bytes, compared without case
  std::string lineComment;
  std::string quotes;       // each byte opens and closes a string
  std::unordered_set<std::string> reservedWords;
  bool markAddresses = true;
  std::vector<std::pair<std::string, std::string>> brackets;

  static TColorRules From(const TEditorSettings& settings);
};

// One element (TTextElement) per byte of the line.
void ColorLine(const char* line, size_t length, const TColorRules& rules, std::vector<unsigned char>& elements);

// The partner of the bracket that starts at offset (nesting counted, at most
// limit bytes away), or nothing.
std::optional<size_t> MatchingBracket(const TTextModel& model, size_t offset, const TColorRules& rules,
                                      size_t limit = 1 << 20);
