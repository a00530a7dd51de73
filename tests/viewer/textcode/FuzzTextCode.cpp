// libFuzzer targets for the text codes, built natively by
// scripts/fuzz-textcode.sh under AddressSanitizer. FUZZ_TARGET picks one.
// Every input is handed over in a buffer of exactly its size, so a read past
// the end of the text is a reported fault.
#include "TextCode.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Check(bool condition) {
  if (!condition) abort();
}

// The fuzzer's bytes become valid Shift-JIS without half-width katakana:
// 7-bit text bytes as they are,
// bytes with bit 7 set start a JIS X 0208 pair from the next byte.
std::string ValidShiftJis(const uint8_t* data, size_t size) {
  std::string text;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] < 128) {
      // No ESC, and no control byte that would make it binary.
      if (data[i] != 27 && data[i] >= 8) text.push_back(static_cast<char>(data[i]));
      continue;
    }
    unsigned row = 33 + data[i] % 94;
    unsigned cell = 33 + (i + 1 < size ? data[++i] : 0) % 94;
    TBytePair pair = JisPairToShiftJis(row, cell);
    text.push_back(static_cast<char>(pair.First));
    text.push_back(static_cast<char>(pair.Second));
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
#if FUZZ_TARGET == 1  // detection, whole text and a prefix
  int code = DetectTextCode(text);
  Check(code >= 0 && code <= 8);
  size_t n = size ? data[0] % (size + 2) : 0;
  code = DetectTextCode(text, n);
  Check(code >= 0 && code <= 8);
#elif FUZZ_TARGET == 2  // JIS and EUC in
  std::string a = JisToShiftJis(text);
  std::string b = EucToShiftJis(text);
  Check(a.size() <= size * 2 && b.size() <= size + 1);
#elif FUZZ_TARGET == 3  // Shift-JIS out
  std::string a = ShiftJisToJis(text);
  std::string b = ShiftJisToEuc(text);
  Check(b.size() <= size * 2 + 1);
  (void)a;
#elif FUZZ_TARGET == 4  // detect-and-convert, and the kana walk
  std::string a = ToShiftJis(text);
  size_t position = size ? data[0] % size : 0;
  while (position < size) {
    size_t before = position;
    HalfKanaToJis(text, position);
    Check(position > before && position <= size);
  }
  (void)a;
#elif FUZZ_TARGET == 5  // round trips of valid Shift-JIS through JIS and EUC
  std::string sjis = ValidShiftJis(data, size);
  Check(JisToShiftJis(ShiftJisToJis(sjis)) == sjis);
  Check(EucToShiftJis(ShiftJisToEuc(sjis)) == sjis);
  int code = DetectTextCode(ShiftJisToEuc(sjis));
  Check(code == tcPlain || code == tcEuc || code == tcEucOrSjis || code == tcShiftJis);
#else
#error "FUZZ_TARGET 1 to 5"
#endif
  return 0;
}
