#include "TextModel.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

namespace sjis {

bool IsCharStart(const char* text, size_t lineStart, size_t offset) {
  size_t leads = 0;
  for (size_t i = offset; i > lineStart && IsLead(static_cast<unsigned char>(text[i - 1])); --i) ++leads;
  if (leads % 2 == 0) return true;
  // An odd count means text[offset-1] is a lead byte, unless its "pair" is
  // not valid (a trail byte outside the trail range cannot follow it).
  return !IsTrail(static_cast<unsigned char>(text[offset]));
}

namespace {
// The table of code page 932, built once: single bytes and every lead/trail pair.
struct TWideTable {
  wchar_t single[256];
  std::unique_ptr<wchar_t[]> pairs;  // (lead index) * 256 + trail
  static int LeadIndex(unsigned char b) { return b <= 0x9F ? b - 0x81 : b - 0xE0 + 31; }
  TWideTable() : pairs(new wchar_t[60 * 256]) {
    for (int b = 0; b < 256; ++b) {
      char c = static_cast<char>(b);
      wchar_t w = 0;
      if (b < 0x80) {
        w = static_cast<wchar_t>(b);
      } else if (b >= 0xA1 && b <= 0xDF) {
        w = static_cast<wchar_t>(0xFF61 + b - 0xA1);
      } else if (!IsLead(static_cast<unsigned char>(b)) &&
                 MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, &c, 1, &w, 1) != 1) {
        w = 0x30FB;
      }
      single[b] = w ? w : (b == 0 ? 0 : 0x30FB);
    }
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
      if (!IsLead(static_cast<unsigned char>(lead))) continue;
      for (int trail = 0; trail < 256; ++trail) {
        wchar_t w = 0x30FB;
        if (IsTrail(static_cast<unsigned char>(trail))) {
          char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
          wchar_t out[2] = {};
          if (MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, pair, 2, out, 2) == 1) w = out[0];
        }
        pairs[LeadIndex(static_cast<unsigned char>(lead)) * 256 + trail] = w;
      }
    }
  }
};
const TWideTable& Table() {
  static const TWideTable table;
  return table;
}
}  // namespace

wchar_t ToWide(unsigned code) {
  const TWideTable& t = Table();
  if (code < 256) return IsLead(static_cast<unsigned char>(code)) ? 0x30FB : t.single[code];
  auto lead = static_cast<unsigned char>(code >> 8);
  if (!IsLead(lead)) return 0x30FB;
  return t.pairs[TWideTable::LeadIndex(lead) * 256 + (code & 0xFF)];
}

void AppendWide(const char* text, size_t length, std::wstring& wide, std::vector<uint32_t>* offsets) {
  const TWideTable& t = Table();
  const char* end = text + length;
  for (const char* p = text; p < end;) {
    size_t n = CharLength(p, end);
    auto b = static_cast<unsigned char>(*p);
    wchar_t w = n == 2 ? t.pairs[TWideTable::LeadIndex(b) * 256 + static_cast<unsigned char>(p[1])]
                       : (IsLead(b) ? wchar_t{0x30FB} : t.single[b]);
    wide.push_back(w);
    if (offsets) offsets->push_back(static_cast<uint32_t>(p - text));
    p += n;
  }
}

std::string FromWide(const std::wstring& text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(std::max(n, 0)), '\0');
  WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace sjis

void TTextModel::SetText(std::string text) {
  if (text.size() >= 0xFFFFFFFFu) throw std::length_error("text too large");
  text_ = std::move(text);
  starts_.clear();
  starts_.push_back(0);
  const char* data = text_.data();
  const size_t size = text_.size();
  for (size_t i = 0; i < size; ++i) {
    char c = data[i];
    if (c > '\r' || c < '\n') continue;  // the common case: one compare pair per byte
    if (c == '\n') {
      starts_.push_back(static_cast<uint32_t>(i + 1));
    } else if (c == '\r') {
      if (i + 1 < size && data[i + 1] == '\n') ++i;
      starts_.push_back(static_cast<uint32_t>(i + 1));
    }
  }
  starts_.shrink_to_fit();
}

size_t TTextModel::NextLineStart(size_t line) const {
  return line + 1 < starts_.size() ? starts_[line + 1] : text_.size();
}

size_t TTextModel::LineEnd(size_t line) const {
  size_t end = NextLineStart(line);
  if (line + 1 < starts_.size()) {
    if (end >= 2 && text_[end - 1] == '\n' && text_[end - 2] == '\r' && end - 2 >= starts_[line]) return end - 2;
    return end - 1;
  }
  return end;
}

size_t TTextModel::LineOfOffset(size_t offset) const {
  auto it = std::upper_bound(starts_.begin(), starts_.end(), static_cast<uint32_t>(std::min(offset, text_.size())));
  return static_cast<size_t>(it - starts_.begin()) - 1;
}
