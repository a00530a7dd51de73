// The text of the view: Shift-JIS bytes held once, and an index of where
// each stored line starts, built in one pass. Plain code without windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sjis {
inline bool IsLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
inline bool IsTrail(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }
// Bytes of the character at p (1 or 2); a lead byte without a valid trail
// byte after it stands alone.
inline size_t CharLength(const char* p, const char* end) {
  auto b = static_cast<unsigned char>(*p);
  return IsLead(b) && p + 1 < end && IsTrail(static_cast<unsigned char>(p[1])) ? 2 : 1;
}
// The character as one number: a byte, or lead * 256 + trail.
inline unsigned Code(const char* p, size_t length) {
  auto b = static_cast<unsigned char>(p[0]);
  return length == 2 ? b * 256u + static_cast<unsigned char>(p[1]) : b;
}
// True when offset starts a character of text[lineStart, ...): the classic
// backward count of lead-range bytes, which stops at the first byte that
// cannot be a lead byte (the end of a character) or at lineStart.
bool IsCharStart(const char* text, size_t lineStart, size_t offset);
// The UTF-16 character of a Shift-JIS character (code page 932); bytes that
// are no character become U+30FB.
wchar_t ToWide(unsigned code);
// Converts text, appending one UTF-16 unit per Shift-JIS character, and the
// byte offset of each character when offsets is given.
void AppendWide(const char* text, size_t length, std::wstring& wide, std::vector<uint32_t>* offsets = nullptr);
// Characters given in UTF-16 (settings texts) as Shift-JIS codes.
std::string FromWide(const std::wstring& text);
}  // namespace sjis

class TTextModel {
 public:
  // Takes the bytes (moved in, never copied per line). Line ends: CR LF, CR or LF.
  void SetText(std::string text);
  void Clear() { SetText({}); }

  const char* Data() const { return text_.data(); }
  size_t Size() const { return text_.size(); }
  const std::string& Text() const { return text_; }

  // There is always at least one line (an empty text has one empty line).
  size_t LineCount() const { return starts_.size(); }
  size_t LineStart(size_t line) const { return starts_[line]; }
  // End of the line's text, before its line break.
  size_t LineEnd(size_t line) const;
  size_t LineLength(size_t line) const { return LineEnd(line) - LineStart(line); }
  // Start of the next line (the text's size for the last line).
  size_t NextLineStart(size_t line) const;
  bool HasLineBreak(size_t line) const { return LineEnd(line) < NextLineStart(line); }
  size_t LineOfOffset(size_t offset) const;

  // Memory held by the text and its index, for the benchmark.
  size_t MemoryBytes() const { return text_.capacity() + starts_.capacity() * sizeof(uint32_t); }

 private:
  std::string text_;
  // 32-bit offsets halve the index of a file made of line ends; larger texts are refused.
  std::vector<uint32_t> starts_{0};
};
