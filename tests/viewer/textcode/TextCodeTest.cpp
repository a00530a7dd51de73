#include "TextCode.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

using namespace std::string_literals;

// Fixtures made by data/make-samples.sh with iconv: one text in each code.
std::string Fixture(const std::string& name) {
  std::string path = TAVIX_SOURCE_DIR "/tests/viewer/textcode/data/" + name;
#ifdef _WIN32
  if (path[0] == '/') path = "Z:" + path;
#endif
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << path;
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// iconv returns to ASCII (ESC ( B) where we return to JIS-Roman (ESC ( J).
std::string WithRomanReturn(std::string jis) {
  for (size_t at = 0; (at = jis.find("\x1b(B", at)) != std::string::npos; at += 3) jis[at + 2] = 'J';
  return jis;
}

TEST(DetectTextCode, EdgeCases) {
  struct Case {
    std::string bytes;
    int code;
    const char* why;
  } cases[] = {
      {""s, tcPlain, "empty"},
      {"\x01"s, tcPlain, "one byte is never examined"},
      {"\xff"s, tcPlain, "one byte is never examined"},
      {"\x82"s, tcPlain, "one lead byte"},
      {"abc\x82"s, tcPlain, "a lead byte at the end"},
      {"abc\x1b"s, tcPlain, "a lone ESC at the end"},
      {"abc\x1b$"s, tcPlain, "an escape cut off"},
      {"\xff\xfe\0\0a\0"s, tcUnicodeLE, "byte-order mark before NULs"},
      {"\xfe\xff\0a"s, tcUnicodeBE, "big-endian byte-order mark"},
      {"ab\0cd"s, tcBinary, "NUL inside the first 512"},
      {"abc\0"s, tcPlain, "NUL as the last byte"},
      {"a\x07z"s, tcBinary, "control byte"},
      {"plain ASCII text\r\n"s, tcPlain, "7-bit only"},
      {"a\x1b$B0!\x1b(Bz"s, tcJis83, "JIS83"},
      {"a\x1b$@0!\x1b(Jz"s, tcJis78, "JIS78"},
      {"a\x1b$B\xa4\xa2\x82\xa0"s, tcJis83, "the first evidence wins"},
      {"\x1b(Ja"s, tcPlain, "a return alone decides nothing"},
      {"\xb6\xde\xb1\xb2\xb3"s, tcEucOrSjis, "half-width katakana only"},
      {"\x82\xa0\n"s, tcShiftJis, "Shift-JIS lead"},
      {"\xa4\xa2\xa4\xf3\n"s, tcEuc, "EUC trail 240-254"},
      {"\xf0\xa1\n"s, tcEuc, "EUC-only lead"},
      {"\x8e\xb1\x8e\xb2\n"s, tcEucOrSjis, "EUC half-width kana, also Shift-JIS"},
      {"\x8e\x40\n"s, tcShiftJis, "142 with a Shift-JIS trail"},
      {"\xe0\x40\n"s, tcShiftJis, "224 with a low trail"},
      {"\xe0\xfd\n"s, tcEuc, "224 with 253"},
      {"\xe0\xe0\n"s, tcEucOrSjis, "224 with 224"},
      {"\xb1\xe0\xa1\x81\n"s, tcShiftJis, "a run decided by a Shift-JIS byte"},
      {"\xb1\xe0\xa1\xfe\n"s, tcEuc, "a run decided by 254"},
      {"\xb1\xe0\x9f\x20z"s, tcEucOrSjis, "159 does not decide a run"},
      {"\xb1\xe0\xa1\x20\x82\xa0\n"s, tcShiftJis, "scanning goes on after a run"},
      {"\xb1\x0d\n"s, tcShiftJis, "kana then a line end"},
      {"\xb1\xa0\n"s, tcPlain, "160 decides nothing"},
      {"\x80\xa0z"s, tcPlain, "128 and 160 decide nothing"},
  };
  for (const auto& c : cases) EXPECT_EQ(DetectTextCode(c.bytes), c.code) << c.why;
}

TEST(DetectTextCode, LimitsAndSamples) {
  EXPECT_EQ(DetectTextCode(Fixture("sample.sjis")), tcShiftJis);
  EXPECT_EQ(DetectTextCode(Fixture("sample.euc")), tcEuc);
  EXPECT_EQ(DetectTextCode(Fixture("sample.jis")), tcJis83);
  EXPECT_EQ(DetectTextCode(Fixture("sample.jis78")), tcJis78);
  // Half-width katakana followed by a blank is Shift-JIS evidence.
  EXPECT_EQ(DetectTextCode(Fixture("kana.sjis")), tcShiftJis);
  // Only the given length is examined.
  std::string text = "abc\x82\xa0";
  EXPECT_EQ(DetectTextCode(text, 3), tcPlain);
  EXPECT_EQ(DetectTextCode(text, 5), tcShiftJis);
  EXPECT_EQ(DetectTextCode(text, 1000), tcShiftJis);
  EXPECT_EQ(DetectTextCode("ab\0cd"s, 2), tcPlain);
  // A NUL beyond the first 512 bytes is found by the scan itself.
  EXPECT_EQ(DetectTextCode(std::string(600, 'a') + '\0' + "zz"), tcBinary);
  EXPECT_STREQ(TextCodeName(tcEucOrSjis), "EUCorSJIS");
  EXPECT_STREQ(TextCodeName(tcPlain), "SJIS");
  EXPECT_STREQ(TextCodeName(tcUnicodeLE), "UNI-LI");
  EXPECT_STREQ(TextCodeName(99), "");
}

TEST(PairArithmetic, InverseOverTheWholeTable) {
  EXPECT_EQ(JisPairToShiftJis(0x30, 0x21), (TBytePair{0x88, 0x9f}));  // 亜
  EXPECT_EQ(JisPairToShiftJis(0x24, 0x22), (TBytePair{0x82, 0xa0}));  // あ
  EXPECT_EQ(JisPairToShiftJis(0x49, 0x3d), (TBytePair{0x95, 0x5c}));  // 表: trail 0x5C
  EXPECT_EQ(JisPairToShiftJis(0x74, 0x26), (TBytePair{0xea, 0xa4}));  // last row
  for (int b1 = 33; b1 <= 126; ++b1) {
    for (int b2 = 33; b2 <= 126; ++b2) {
      TBytePair sjis = JisPairToShiftJis(b1, b2);
      ASSERT_EQ(ShiftJisPairToJis(sjis.First, sjis.Second), (TBytePair{(unsigned char)b1, (unsigned char)b2}))
          << b1 << "," << b2;
    }
  }
}

TEST(HalfKana, FullWidthAsIconvSpellsIt) {
  // iconv's ISO-2022-JP of the same sounds written in full-width katakana.
  EXPECT_EQ(ShiftJisToJis(Fixture("kana.sjis")), WithRomanReturn(Fixture("kana-full.jis")));
  EXPECT_EQ(ShiftJisToJis("\xb6\xde\r\n"), "\x1b$B%,\x1b(J\r\n");  // ｶﾞ → ガ
  EXPECT_EQ(ShiftJisToEuc("\xb1"), "\x8e\xb1");

  struct Case {
    std::string text;
    TBytePair pair;
    size_t next;
  } cases[] = {
      {"\xb3\xde", {0x25, 0x74}, 2},  // ｳﾞ → ヴ
      {"\xca\xdf", {0x25, 0x51}, 2},  // ﾊﾟ → パ
      {"\xca\xde", {0x25, 0x50}, 2},  // ﾊﾞ → バ
      {"\xb6\xdf", {0x25, 0x2b}, 1},  // ｶ does not take ﾟ
      {"\xb1\xde", {0x25, 0x22}, 1},  // ｱ does not take ﾞ
      {"\xca", {0x25, 0x4f}, 1},      // a kana at the very end
      {"\xdd", {0x25, 0x73}, 1},      // ﾝ
      {"\xa6", {0x25, 0x72}, 1},      // ｦ
      {"\xde", {0x21, 0x2b}, 1},      // a lone ﾞ
      {"A", {0x22, 0x2e}, 1},         // not a kana: the geta mark
      {"", {0, 0}, 0},                // nothing left
  };
  for (const auto& c : cases) {
    size_t position = 0;
    EXPECT_EQ(HalfKanaToJis(c.text, position), c.pair) << c.text;
    EXPECT_EQ(position, c.next) << c.text;
  }
}

TEST(Conversion, MatchesIconv) {
  const std::string sjis = Fixture("sample.sjis");
  const std::string euc = Fixture("sample.euc");
  const std::string jis = Fixture("sample.jis");
  EXPECT_EQ(ShiftJisToEuc(sjis), euc);
  EXPECT_EQ(ShiftJisToJis(sjis), WithRomanReturn(jis));
  EXPECT_EQ(EucToShiftJis(euc), sjis);
  EXPECT_EQ(JisToShiftJis(jis), sjis);
  EXPECT_EQ(JisToShiftJis(Fixture("sample.jis78")), sjis);
  EXPECT_EQ(ShiftJisToEuc(Fixture("kana.sjis")), Fixture("kana.euc"));
  EXPECT_EQ(EucToShiftJis(Fixture("kana.euc")), Fixture("kana.sjis"));
}

TEST(Conversion, ToShiftJisByDetectedCode) {
  const std::string sjis = Fixture("sample.sjis");
  EXPECT_EQ(ToShiftJis(Fixture("sample.jis")), sjis);
  EXPECT_EQ(ToShiftJis(Fixture("sample.jis78")), sjis);
  EXPECT_EQ(ToShiftJis(Fixture("sample.euc")), sjis);
  EXPECT_EQ(ToShiftJis(sjis), sjis);
  EXPECT_EQ(ToShiftJis(Fixture("kana.sjis")), Fixture("kana.sjis"));
  EXPECT_EQ(ToShiftJis("\xb6\xde\xb1\xb2"), "\xb6\xde\xb1\xb2");  // EUCorSJIS: untouched
  EXPECT_EQ(ToShiftJis("bin\0\x1b$B0!"s), "bin\0\x1b$B0!"s);
  // Round trips through the codes we save in.
  EXPECT_EQ(JisToShiftJis(ShiftJisToJis(sjis)), sjis);
  EXPECT_EQ(EucToShiftJis(ShiftJisToEuc(sjis)), sjis);
  EXPECT_EQ(ToShiftJis(ShiftJisToJis(sjis)), sjis);
  EXPECT_EQ(ToShiftJis(ShiftJisToEuc(sjis)), sjis);
}

TEST(Conversion, CutOffAndOddInput) {
  struct Case {
    std::string (*convert)(std::string_view);
    std::string in, out;
    const char* why;
  } cases[] = {
      {JisToShiftJis, "", "", "empty"},
      {JisToShiftJis, "\x1b", "", "a lone ESC"},
      {JisToShiftJis, "a\x1b$", "a", "an escape cut off"},
      {JisToShiftJis, "\x1b$B0", "\x88\x7e", "a pair cut off: the missing byte is zero"},
      {JisToShiftJis, "\x1b(J\x1bx", "\x1bx", "the byte after an escape is text"},
      {JisToShiftJis, "\x1b$B0!\x1b(Jz", "\x88\x9fz", "a complete pair"},
      {EucToShiftJis, "\x8e", "\0"s, "half-width kana prefix at the end"},
      {EucToShiftJis, "\xb0", "\x88\x7e", "a lead byte at the end"},
      {EucToShiftJis, "\xff\x80", "\xff\x80", "copied bytes"},
      {ShiftJisToEuc, "\x88", "\xaf\xe1", "a lead byte at the end: (0x88, 0)"},
      {ShiftJisToJis, "\x88", "\x1b$B\x2f\xe1", "a lead byte at the end: (0x88, 0)"},
      {ShiftJisToJis, "\x82\xa0", "\x1b$B\x24\x22", "no return added at the very end"},
      {ShiftJisToJis, "a\x82\xa0z", "a\x1b$B\x24\x22\x1b(Jz", "return before 7-bit text"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.convert(c.in), c.out) << c.why;
}

}  // namespace
