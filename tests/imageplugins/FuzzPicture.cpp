// One decoder of our image plug-ins under libFuzzer (scripts/fuzz-pictures.sh
// builds it natively, FUZZ_FORMAT naming the decoder): any input gives a
// code, and a picture that is whole when the code is 0.
#include <cstdio>
#include <cstdlib>

#include "Picture.h"

namespace {
void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "check failed: %s\n", what);
    std::abort();
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace imageplugin;
  const Format& format = FUZZ_FORMAT;
  PictureInfo info;
  const int info_code = format.info(data, size, info);
  Check(info_code >= kNotImplemented && info_code <= kInternal, "info code in range");
  for (bool preview : {false, true}) {
    if (preview && !format.hasPreview) break;
    Picture picture;
    const int code = format.decode(data, size, preview, picture);
    Check(code >= kNotImplemented && code <= kInternal, "decode code in range");
    if (code != kOk) continue;
    Check(SizeAcceptable(picture.width, picture.height), "size within limits");
    Check(picture.bits.size() == picture.Stride() * picture.height, "bits fill the rows");
    Check(picture.bitCount == 24 || picture.palette.size() == (size_t{1} << picture.bitCount),
          "a full colour table for palette pictures");
    volatile uint8_t sink = 0;
    for (size_t i = 0; i < picture.bits.size(); i += 4096) sink = sink ^ picture.bits[i];
  }
  return 0;
}
