// Our -lh1- decoder: any stream ends within its declared size or as Corrupt,
// and what our encoder writes comes back byte for byte. Input: byte 0 picks
// round trip (odd) or hostile stream (even); the rest is the data.
#include "FuzzTarget.h"
#include "../../archivers/lha/LhaEncoder.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

std::vector<uint8_t> Decode(const std::vector<uint8_t>& packed, uint64_t originalSize, bool& corrupt) {
  size_t position = 0;
  lha::Lh1Decoder decoder(
      [&](uint8_t* buffer, size_t size) {
        size_t n = std::min(size, packed.size() - position);
        if (n) std::memcpy(buffer, packed.data() + position, n);
        position += n;
        return n;
      },
      originalSize);
  std::vector<uint8_t> out;
  corrupt = false;
  try {
    uint8_t buffer[3000];
    while (size_t n = decoder.Read(buffer, sizeof buffer)) out.insert(out.end(), buffer, buffer + n);
  } catch (const lha::Lh1Decoder::Corrupt&) {
    corrupt = true;
  }
  return out;
}

}  // namespace

TAVIX_FUZZ_TARGET(lh1_decoder) {
  if (size == 0) return 0;
  std::vector<uint8_t> input(data + 1, data + size);
  bool corrupt = false;
  if (data[0] & 1) {
    std::vector<uint8_t> packed;
    lha::Encoder encoder(12, [&](const uint8_t* p, size_t n) { packed.insert(packed.end(), p, p + n); });
    encoder.Write(input.data(), input.size());
    encoder.Finish();
    FUZZ_CHECK(Decode(packed, input.size(), corrupt) == input && !corrupt);
  } else {
    // A hostile stream: bounded by its declared size, however it decodes.
    uint64_t declared = (static_cast<uint64_t>(data[0]) << 8) + size * 8;
    FUZZ_CHECK(Decode(input, declared, corrupt).size() <= declared);
  }
  return 0;
}
