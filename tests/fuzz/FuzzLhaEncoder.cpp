// Our LZH encoder, round trip through lhasa's own decoders (liblhasa, the
// library behind the judge's lha command): every method must give back the
// input byte for byte. Input: byte 0 picks the method and whether the data is
// repeated past the window; the rest is the data. Host build only.
#include "FuzzTarget.h"
#include "../../archivers/lha/LhaEncoder.h"

#include <algorithm>
#include <cstring>
#include <vector>

// liblhasa's decoder interface (lha_decoder.h; Debian ships the library
// without its headers).
extern "C" {
typedef size_t (*LHADecoderCallback)(void* buffer, size_t size, void* user);
struct LHADecoderType;
struct LHADecoder;
LHADecoderType* lha_decoder_for_name(char* name);
LHADecoder* lha_decoder_new(LHADecoderType* type, LHADecoderCallback callback, void* user, size_t length);
void lha_decoder_free(LHADecoder* decoder);
size_t lha_decoder_read(LHADecoder* decoder, uint8_t* buffer, size_t size);
}

namespace {

struct Compressed {
  const std::vector<uint8_t>* bytes;
  size_t position = 0;
};

size_t Feed(void* buffer, size_t size, void* user) {
  auto* c = static_cast<Compressed*>(user);
  size_t n = std::min(size, c->bytes->size() - c->position);
  if (n) std::memcpy(buffer, c->bytes->data() + c->position, n);
  c->position += n;
  return n;
}

}  // namespace

TAVIX_FUZZ_TARGET(lha_encoder) {
  if (size == 0) return 0;
  static const struct {
    int bits;
    const char* method;
  } methods[] = {{12, "-lh1-"}, {13, "-lh5-"}, {15, "-lh6-"}, {16, "-lh7-"}};
  const auto& m = methods[data[0] & 3];
  std::vector<uint8_t> input(data + 1, data + size);
  if ((data[0] & 4) && !input.empty()) {
    // Past the window and the adaptive tree's rebuild point.
    size_t target = data[0] & 8 ? 300000 : 70000;
    while (input.size() < target) input.insert(input.end(), data + 1, data + size);
  }
  std::vector<uint8_t> packed;
  lha::Encoder encoder(m.bits, [&](const uint8_t* p, size_t n) { packed.insert(packed.end(), p, p + n); });
  // Written in uneven pieces, as files are read.
  for (size_t at = 0; at < input.size();) {
    size_t n = std::min<size_t>(input.size() - at, 1 + (at * 7919) % 40000);
    encoder.Write(input.data() + at, n);
    at += n;
  }
  encoder.Finish();
  FUZZ_CHECK(encoder.OutputSize() == packed.size());

  Compressed source{&packed};
  LHADecoder* decoder = lha_decoder_new(lha_decoder_for_name(const_cast<char*>(m.method)), Feed, &source,
                                        input.size());
  FUZZ_CHECK(decoder != nullptr);
  std::vector<uint8_t> output(input.size() + 1);
  size_t got = 0;
  while (got < output.size()) {
    size_t n = lha_decoder_read(decoder, output.data() + got, output.size() - got);
    if (n == 0) break;
    got += n;
  }
  lha_decoder_free(decoder);
  FUZZ_CHECK(got == input.size());
  FUZZ_CHECK(std::equal(input.begin(), input.end(), output.begin()));
  return 0;
}
