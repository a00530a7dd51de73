// Throughput of detection and conversion, built natively by
// bench/textcode.sh. Arguments: the same text as Shift-JIS, EUC-JP
// and ISO-2022-JP files. Prints MB/s for the whole text and for its first
// tenth (near figures mean linear time).
#include "TextCode.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

namespace {

std::string ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

size_t sink = 0;  // keeps the optimiser from dropping the work

double MegabytesPerSecond(const std::string& input, const std::function<size_t(std::string_view)>& work) {
  double best = 1e30;
  for (int round = 0; round < 3; ++round) {
    auto start = std::chrono::steady_clock::now();
    sink += work(input);
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return input.size() / 1e6 / best;
}

void Row(const char* name, const std::string& input, const std::function<size_t(std::string_view)>& work) {
  std::string tenth = input.substr(0, input.size() / 10);
  std::printf("%-34s %9.0f MB/s   (first tenth: %6.0f MB/s)\n", name, MegabytesPerSecond(input, work),
              MegabytesPerSecond(tenth, work));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s text.sjis text.euc text.jis\n", argv[0]);
    return 2;
  }
  const std::string sjis = ReadFile(argv[1]), euc = ReadFile(argv[2]), jis = ReadFile(argv[3]);
  // Detection reads the whole text only while it has no evidence: 7-bit text
  // and half-width katakana are its slowest inputs.
  std::string plain(sjis.size(), 'a');
  for (size_t i = 79; i < plain.size(); i += 80) plain[i] = '\n';
  std::string kana;
  kana.reserve(sjis.size());
  while (kana.size() < sjis.size()) kana += "\xb6\xde\xb2\xc4\xde\xcc\xde\xaf\xb8";
  std::printf("input: %.1f MB Shift-JIS, %.1f MB EUC-JP, %.1f MB ISO-2022-JP\n", sjis.size() / 1e6,
              euc.size() / 1e6, jis.size() / 1e6);
  auto detect = [](std::string_view s) { return static_cast<size_t>(DetectTextCode(s)); };
  Row("DetectTextCode, 7-bit (full scan)", plain, detect);
  Row("DetectTextCode, kana (full scan)", kana, detect);
  std::printf("%-34s decided at the first 8-bit bytes: time independent of size\n",
              "DetectTextCode, Shift-JIS/EUC-JP");
  Row("JisToShiftJis", jis, [](std::string_view s) { return JisToShiftJis(s).size(); });
  Row("EucToShiftJis", euc, [](std::string_view s) { return EucToShiftJis(s).size(); });
  Row("ShiftJisToJis", sjis, [](std::string_view s) { return ShiftJisToJis(s).size(); });
  Row("ShiftJisToEuc", sjis, [](std::string_view s) { return ShiftJisToEuc(s).size(); });
  Row("ToShiftJis (JIS in)", jis, [](std::string_view s) { return ToShiftJis(s).size(); });
  Row("ToShiftJis (EUC in)", euc, [](std::string_view s) { return ToShiftJis(s).size(); });
  return sink == 42 ? 1 : 0;
}
