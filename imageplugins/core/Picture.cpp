#include "Picture.h"

#include <new>

namespace imageplugin {

int Picture::Allocate(uint32_t w, uint32_t h, uint16_t bits_per_pixel) {
  if (!SizeAcceptable(w, h)) return kNoMemory;
  width = w;
  height = h;
  bitCount = bits_per_pixel;
  try {
    bits.assign(Stride() * h, 0);
  } catch (const std::bad_alloc&) {
    bits.clear();
    width = height = 0;
    return kNoMemory;
  }
  return kOk;
}

}  // namespace imageplugin
