// One harness source serves two builds: the host's libFuzzer build (clang,
// sanitizers, the windows.h shim) and the replay program of the test suite
// (mingw, real Windows, every corpus file once). TAVIX_FUZZ_TARGET(name)
// opens the function that takes one input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace fuzz {

using Entry = int (*)(const uint8_t*, size_t);
struct Register {
  Register(const char* name, Entry entry);
};

// Makes the input the archive file the readers open, and returns its path.
std::wstring StageInput(const uint8_t* data, size_t size);
// The same as a stdio stream, open for reading (closed by the caller).
std::FILE* StageStream(const uint8_t* data, size_t size);

}  // namespace fuzz

#ifdef TAVIX_FUZZ_HOST
#define TAVIX_FUZZ_TARGET(name) extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
#else
#define TAVIX_FUZZ_TARGET(name)                                          \
  static int FuzzOne_##name(const uint8_t* data, size_t size);           \
  static fuzz::Register register_##name(#name, FuzzOne_##name);          \
  static int FuzzOne_##name(const uint8_t* data, size_t size)
#endif

// A fault the harness found itself (a broken invariant): abort, so that both
// the fuzzer and the replay report it.
#define FUZZ_CHECK(condition)                                                              \
  do {                                                                                     \
    if (!(condition)) fuzz::Fail(#condition, __FILE__, __LINE__);                           \
  } while (0)
namespace fuzz {
[[noreturn]] void Fail(const char* what, const char* file, int line);
}
