#include "TextCode.h"

#include <algorithm>

namespace {

constexpr unsigned char kEsc = 27;

// Reads byte k of the first length bytes; a byte past the end reads as zero,
// which is what the text's end provides for a pair cut off there.
class Bytes {
 public:
  Bytes(std::string_view text, size_t length) : data_(text.data()), length_(length) {}
  unsigned operator[](size_t k) const {
    return k < length_ ? static_cast<unsigned char>(data_[k]) : 0u;
  }
  size_t size() const { return length_; }

 private:
  const char* data_;
  size_t length_;
};

bool In(unsigned c, unsigned low, unsigned high) { return c >= low && c <= high; }

void Append(std::string& out, TBytePair pair) {
  out.push_back(static_cast<char>(pair.First));
  out.push_back(static_cast<char>(pair.Second));
}

// JIS X 0201 katakana 161 (｡) … 223 (ﾟ) as JIS X 0208 codes: punctuation,
// the prolonged sound mark and the sound marks in row 1, the kana in row 5.
constexpr unsigned short kHalfKana[63] = {
    0x2123, 0x2156, 0x2157, 0x2122, 0x2126, 0x2572, 0x2521, 0x2523,  // ｡｢｣､･ｦｧｨ
    0x2525, 0x2527, 0x2529, 0x2563, 0x2565, 0x2567, 0x2543, 0x213C,  // ｩｪｫｬｭｮｯｰ
    0x2522, 0x2524, 0x2526, 0x2528, 0x252A, 0x252B, 0x252D, 0x252F,  // ｱｲｳｴｵｶｷｸ
    0x2531, 0x2533, 0x2535, 0x2537, 0x2539, 0x253B, 0x253D, 0x253F,  // ｹｺｻｼｽｾｿﾀ
    0x2541, 0x2544, 0x2546, 0x2548, 0x254A, 0x254B, 0x254C, 0x254D,  // ﾁﾂﾃﾄﾅﾆﾇﾈ
    0x254E, 0x254F, 0x2552, 0x2555, 0x2558, 0x255B, 0x255E, 0x255F,  // ﾉﾊﾋﾌﾍﾎﾏﾐ
    0x2560, 0x2561, 0x2562, 0x2564, 0x2566, 0x2568, 0x2569, 0x256A,  // ﾑﾒﾓﾔﾕﾖﾗﾘ
    0x256B, 0x256C, 0x256D, 0x256F, 0x2573, 0x212B, 0x212C,          // ﾙﾚﾛﾜﾝﾞﾟ
};

constexpr unsigned char kVoicedMark = 222;      // ﾞ
constexpr unsigned char kSemiVoicedMark = 223;  // ﾟ

}  // namespace

const char* TextCodeName(int code) {
  static const char* const names[] = {"SJIS",      "BINARY", "JIS83",  "JIS78", "EUC",
                                      "SJIS",      "EUCorSJIS", "UNI-LI", "UNI-BI"};
  return code >= 0 && code <= 8 ? names[code] : "";
}

int DetectTextCode(std::string_view text, size_t n) {
  const Bytes s(text, std::min(n, text.size()));
  const size_t length = s.size();
  if (length >= 2) {
    if (s[0] == 255 && s[1] == 254) return tcUnicodeLE;
    if (s[0] == 254 && s[1] == 255) return tcUnicodeBE;
  }
  // Control bytes in the first 512 (the last byte of the text is not looked at).
  const size_t binaryCheck = std::min<size_t>(512, length == 0 ? 0 : length - 1);
  for (size_t k = 0; k < binaryCheck; ++k) {
    if (s[k] < 8 || s[k] == 255) return tcBinary;
  }

  int r = tcPlain;
  size_t i = 0;
  // The last byte is never examined as a lead, so s[i + 1] always exists.
  while ((r == tcPlain || r == tcEucOrSjis) && i + 1 < length) {
    const unsigned c = s[i];
    if (c == kEsc) {
      if (s[i + 1] == '$') {
        const unsigned e = s[i + 2];
        if (e == 'B') r = tcJis83;
        else if (e == '@') r = tcJis78;
        i += 3;
      } else {
        i += 2;
      }
    } else if (c < 8 || c == 255) {
      r = tcBinary;
      ++i;
    } else if (c <= 127) {
      ++i;
    } else if (In(c, 129, 141) || In(c, 143, 159)) {
      r = tcShiftJis;
      ++i;
    } else if (c == 142) {
      const unsigned d = s[i + 1];
      if (In(d, 64, 126) || In(d, 128, 160) || In(d, 224, 252)) r = tcShiftJis;
      else if (In(d, 161, 223)) r = tcEucOrSjis;
      i += 2;
    } else if (In(c, 161, 223)) {
      const unsigned d = s[i + 1];
      if (In(d, 240, 254)) {
        r = tcEuc;
      } else if (In(d, 161, 223)) {
        r = tcEucOrSjis;
      } else if (In(d, 224, 239)) {
        // A run of 8-bit bytes: Shift-JIS trail bytes or EUC-only bytes decide.
        r = tcEucOrSjis;
        size_t k = i + 1;
        while (k < length && s[k] >= 64 && r == tcEucOrSjis) {
          const unsigned b = s[k];
          if (In(b, 129, 141) || In(b, 143, 156)) r = tcShiftJis;
          else if (b == 253 || b == 254) r = tcEuc;
          ++k;
        }
        i = k + 1;
        continue;
      } else if (d <= 159) {
        r = tcShiftJis;
      }
      i += 2;
    } else if (In(c, 240, 254)) {
      r = tcEuc;
      ++i;
    } else if (In(c, 224, 239)) {
      const unsigned d = s[i + 1];
      if (In(d, 64, 126) || In(d, 128, 160)) r = tcShiftJis;
      else if (d == 253 || d == 254) r = tcEuc;
      else if (In(d, 161, 252)) r = tcEucOrSjis;
      i += 2;
    } else {
      ++i;  // 128 and 160 decide nothing
    }
  }
  return r;
}

int DetectTextCode(std::string_view text) { return DetectTextCode(text, text.size()); }

TBytePair JisPairToShiftJis(unsigned char b1, unsigned char b2) {
  const unsigned first = (b1 + 1) / 2 + (b1 < 95 ? 112 : 176);
  const unsigned second = b2 + (b1 % 2 == 0 ? 126 : b2 <= 95 ? 31 : 32);
  return {static_cast<unsigned char>(first), static_cast<unsigned char>(second)};
}

TBytePair ShiftJisPairToJis(unsigned char b1, unsigned char b2) {
  const unsigned adjust = b2 < 159 ? 1 : 0;
  const unsigned first = (b1 - (b1 < 160 ? 112u : 176u)) * 2 - adjust;
  const unsigned second = b2 - (adjust == 0 ? 126u : b2 > 127 ? 32u : 31u);
  return {static_cast<unsigned char>(first), static_cast<unsigned char>(second)};
}

TBytePair HalfKanaToJis(std::string_view text, size_t& position) {
  if (position >= text.size()) return {0, 0};
  const unsigned k = static_cast<unsigned char>(text[position]);
  if (!In(k, 161, 223)) {
    ++position;
    return {0x22, 0x2E};
  }
  unsigned code = kHalfKana[k - 161];
  const unsigned mark =
      position + 1 < text.size() ? static_cast<unsigned char>(text[position + 1]) : 0u;
  size_t used = 1;
  if (mark == kVoicedMark && k == 179) {  // ｳﾞ
    code = 0x2574;
    used = 2;
  } else if (mark == kVoicedMark && (In(k, 182, 196) || In(k, 202, 206))) {  // ｶ…ﾄ, ﾊ…ﾎ
    code += 1;
    used = 2;
  } else if (mark == kSemiVoicedMark && In(k, 202, 206)) {  // ﾊ…ﾎ
    code += 2;
    used = 2;
  }
  position += used;
  return {static_cast<unsigned char>(code >> 8), static_cast<unsigned char>(code & 0xFF)};
}

std::string JisToShiftJis(std::string_view text) {
  const Bytes s(text, text.size());
  std::string out;
  out.reserve(text.size());
  bool doubleByte = false;
  size_t i = 0;
  while (i < s.size()) {
    unsigned c = s[i];
    if (c == kEsc) {
      // Three bytes; the byte after them is text even when it is another ESC.
      const unsigned kind = s[i + 1];
      if (kind == '$') doubleByte = true;
      else if (kind == '(') doubleByte = false;
      i += 3;
      if (i >= s.size()) break;
      c = s[i];
    }
    if (doubleByte) {
      Append(out, JisPairToShiftJis(static_cast<unsigned char>(c), static_cast<unsigned char>(s[i + 1])));
      i += 2;
    } else {
      out.push_back(static_cast<char>(c));
      ++i;
    }
  }
  return out;
}

std::string EucToShiftJis(std::string_view text) {
  const Bytes s(text, text.size());
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < s.size()) {
    const unsigned c = s[i];
    if (c <= 128 || c == 255) {
      out.push_back(static_cast<char>(c));
      ++i;
    } else if (c == 142) {  // half-width katakana stays half-width
      out.push_back(static_cast<char>(s[i + 1]));
      i += 2;
    } else {
      Append(out, JisPairToShiftJis(static_cast<unsigned char>(c & 127),
                                    static_cast<unsigned char>(s[i + 1] & 127)));
      i += 2;
    }
  }
  return out;
}

std::string ToShiftJis(std::string_view text) {
  switch (DetectTextCode(text)) {
    case tcJis83:
    case tcJis78: return JisToShiftJis(text);
    case tcEuc: return EucToShiftJis(text);
    default: return std::string(text);
  }
}

std::string ShiftJisToJis(std::string_view text) {
  const Bytes s(text, text.size());
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  bool doubleByte = false;
  auto toSingle = [&] {
    if (doubleByte) out += "\x1b(J";
    doubleByte = false;
  };
  size_t i = 0;
  while (i < s.size()) {
    const unsigned c = s[i];
    if (c >= 128) {
      if (!doubleByte) out += "\x1b$B";
      doubleByte = true;
      if (In(c, 161, 223)) {
        Append(out, HalfKanaToJis(text, i));
      } else {
        Append(out, ShiftJisPairToJis(static_cast<unsigned char>(c), static_cast<unsigned char>(s[i + 1])));
        i += 2;
      }
    } else {
      toSingle();  // line ends and every other 7-bit byte
      out.push_back(static_cast<char>(c));
      ++i;
    }
  }
  return out;
}

std::string ShiftJisToEuc(std::string_view text) {
  const Bytes s(text, text.size());
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  size_t i = 0;
  while (i < s.size()) {
    const unsigned c = s[i];
    if (c < 128) {
      out.push_back(static_cast<char>(c));
      ++i;
    } else if (In(c, 161, 223)) {
      out.push_back(static_cast<char>(142));
      out.push_back(static_cast<char>(c));
      ++i;
    } else {
      TBytePair pair = ShiftJisPairToJis(static_cast<unsigned char>(c), static_cast<unsigned char>(s[i + 1]));
      Append(out, {static_cast<unsigned char>(pair.First | 128), static_cast<unsigned char>(pair.Second | 128)});
      i += 2;
    }
  }
  return out;
}
