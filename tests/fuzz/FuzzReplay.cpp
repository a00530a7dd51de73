// The test suite's side of FuzzTarget.h: feeds every file of a corpus folder
// to one harness, under Wine with the real Windows API.
// Usage: fuzz_replay TARGET FOLDER...
#include "FuzzTarget.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <vector>

namespace fuzz {

namespace {
std::map<std::string, Entry>& Targets() {
  static std::map<std::string, Entry> targets;
  return targets;
}
std::string g_current;
}  // namespace

Register::Register(const char* name, Entry entry) { Targets()[name] = entry; }

std::wstring StageInput(const uint8_t* data, size_t size) {
  std::filesystem::path path = std::filesystem::absolute(L"fuzz-input.bin");
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) Fail("writing the staged input", __FILE__, __LINE__);
  return path.wstring();
}

std::FILE* StageStream(const uint8_t* data, size_t size) {
  return _wfopen(StageInput(data, size).c_str(), L"rb");
}

void Fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s: %s:%d: check failed: %s\n", g_current.c_str(), file, line, what);
  std::fflush(stderr);
  std::_Exit(3);
}

}  // namespace fuzz

int main(int argc, char** argv) {
  if (argc < 3 || !fuzz::Targets().count(argv[1])) {
    std::fprintf(stderr, "usage: fuzz_replay TARGET FOLDER...; targets:");
    for (auto& [name, entry] : fuzz::Targets()) std::fprintf(stderr, " %s", name.c_str());
    std::fprintf(stderr, "\n");
    return 2;
  }
  fuzz::Entry entry = fuzz::Targets()[argv[1]];
  size_t count = 0;
  for (int i = 2; i < argc; ++i) {
    std::vector<std::filesystem::path> files;
    for (auto& item : std::filesystem::directory_iterator(argv[i])) {
      if (item.is_regular_file()) files.push_back(item.path());
    }
    std::sort(files.begin(), files.end());
    for (auto& file : files) {
      std::ifstream in(file, std::ios::binary);
      std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      fuzz::g_current = file.filename().string();
      entry(data.data(), data.size());
      ++count;
    }
  }
  if (count == 0) {
    std::fprintf(stderr, "%s: no corpus files\n", argv[1]);
    return 1;
  }
  std::printf("%s: %zu inputs replayed\n", argv[1], count);
  return 0;
}
