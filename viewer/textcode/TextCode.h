// Japanese text codes: detection and conversion between JIS (ISO-2022-JP),
// EUC-JP and Shift-JIS, the viewer's own code. Byte strings in and out, one
// byte per char; no Windows dependency, so it also builds and is fuzzed natively.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The values DetectTextCode returns.
enum TTextCode {
  tcPlain = 0,      // "SJIS": only 7-bit bytes, no JIS escape
  tcBinary = 1,     // "BINARY"
  tcJis83 = 2,      // "JIS83": ESC $ B
  tcJis78 = 3,      // "JIS78": ESC $ @
  tcEuc = 4,        // "EUC"
  tcShiftJis = 5,   // "SJIS"
  tcEucOrSjis = 6,  // "EUCorSJIS"
  tcUnicodeLE = 7,  // "UNI-LI": byte-order mark FF FE
  tcUnicodeBE = 8,  // "UNI-BI": byte-order mark FE FF
};

// The name the viewer shows for a code ("SJIS", "EUC", ...).
const char* TextCodeName(int code);

struct TBytePair {
  unsigned char First;
  unsigned char Second;
  bool operator==(const TBytePair&) const = default;
};

// Examines at most the first n bytes of text (the last byte examined is never
// a lead byte on its own).
int DetectTextCode(std::string_view text, size_t n);
int DetectTextCode(std::string_view text);

// JIS and EUC text to Shift-JIS; any other code comes back unchanged.
std::string ToShiftJis(std::string_view text);
std::string JisToShiftJis(std::string_view text);
std::string EucToShiftJis(std::string_view text);
std::string ShiftJisToJis(std::string_view text);
std::string ShiftJisToEuc(std::string_view text);

TBytePair JisPairToShiftJis(unsigned char b1, unsigned char b2);
TBytePair ShiftJisPairToJis(unsigned char b1, unsigned char b2);

// The half-width katakana at position (161–223) as a full-width JIS X 0208
// pair; a following voiced or semi-voiced mark that combines with it is taken
// too. Advances position past what it consumed. Any other byte gives the geta
// mark 〓 (0x222E) and advances by one; at the end of text it gives {0, 0}.
TBytePair HalfKanaToJis(std::string_view text, size_t& position);
