// Host side of FuzzTarget.h: the input lives in memory (see shim/windows.h).
#include "FuzzTarget.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace fuzz {

Register::Register(const char*, Entry) {}

std::wstring StageInput(const uint8_t* data, size_t size) {
  fuzzshim::SetFile(data, size);
  return L"C:\\fuzz\\input.bin";
}

std::FILE* StageStream(const uint8_t* data, size_t size) {
  if (size == 0) return std::fopen("/dev/null", "rb");
  return fmemopen(const_cast<uint8_t*>(data), size, "rb");
}

void Fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
  std::abort();
}

}  // namespace fuzz
