#pragma once

#include "TextModel.h"

#include <string>

// Japanese text in the tests is written in UTF-16 and used as Shift-JIS.
inline std::string Sjis(const std::wstring& text) { return sjis::FromWide(text); }
inline std::string Repeat(const std::string& unit, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) out += unit;
  return out;
}
