// Writes MAG and Pi seeds for the fuzzers (scripts/fuzz-pictures.sh) with the
// tests' encoders: small pictures, so a fuzzer mutates them quickly.
#include <cstdio>
#include <fstream>
#include <string>

#include "RetroEncoders.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-retro-seeds FOLDER\n");
    return 2;
  }
  const std::string out = std::string(argv[1]) + "/";
  const retro::Indexed a = retro::Pattern(24, 12, 16, 1), b = retro::Pattern(9, 17, 256, 2);
  const retro::Indexed c = retro::Pattern(33, 5, 16, 3);
  std::ofstream(out + "seed16.mag", std::ios::binary) << retro::EncodeMag(a, false);
  std::ofstream(out + "seed16-left.mag", std::ios::binary) << retro::EncodeMag(c, false, 3, 1);
  std::ofstream(out + "seed256.mag", std::ios::binary) << retro::EncodeMag(b, true, 1);
  std::ofstream(out + "seed.pi", std::ios::binary) << retro::EncodePi(a);
  std::ofstream(out + "seed-odd.pi", std::ios::binary) << retro::EncodePi(c, 1, 2);
  return 0;
}
