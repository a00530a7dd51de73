// The LZH encoder alone, built for the host (bench/lzh.sh compiles it with
// g++): encodes every file named in a list, one reused encoder as the library
// uses it, and writes all compressed streams one after another, so that perf
// can profile the hot path and cmp can tell that a change left the bytes alone.
// Usage: lzh_encode_host BITS LISTFILE OUTPUT   (BITS 13 lh5, 15 lh6, 16 lh7)
#include "archivers/lha/LhaEncoder.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: lzh_encode_host BITS LISTFILE OUTPUT\n");
    return 2;
  }
  int bits = std::stoi(argv[1]);
  std::ifstream list(argv[2]);
  std::vector<std::string> names;
  for (std::string line; std::getline(list, line);) {
    if (!line.empty()) names.push_back(line);
  }
  std::FILE* out = std::fopen(argv[3], "wb");
  if (out == nullptr) return 1;
  std::vector<uint8_t> data;
  uint64_t in = 0, written = 0;
  double seconds = 0;
  lha::Encoder encoder(bits, [&](const uint8_t* p, size_t n) {
    std::fwrite(p, 1, n, out);
    written += n;
  });
  for (const auto& name : names) {
    std::ifstream file(name, std::ios::binary);
    data.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    auto start = std::chrono::steady_clock::now();
    encoder.Reset();
    for (size_t at = 0; at < data.size(); at += 64 * 1024)
      encoder.Write(data.data() + at, std::min<size_t>(64 * 1024, data.size() - at));
    encoder.Finish();
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    in += data.size();
  }
  std::fclose(out);
  std::printf("lh%d: %zu files, %llu -> %llu bytes, encoding %.3f s\n", bits == 13 ? 5 : bits == 15 ? 6 : 7,
              names.size(), static_cast<unsigned long long>(in), static_cast<unsigned long long>(written), seconds);
  return 0;
}
