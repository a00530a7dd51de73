// ARJ headers and the decoders of methods 0-4: every header and every
// entry's data, with the output bounded by the declared size.
#include "FuzzTarget.h"
#include "../../archivers/arj/ArjFormat.h"

#include <algorithm>
#include <cstring>

TAVIX_FUZZ_TARGET(arj) {
  arj::ReadAt read = [&](uint64_t offset, void* buffer, size_t want) -> size_t {
    if (offset >= size) return 0;
    size_t n = std::min<uint64_t>(want, size - offset);
    std::memcpy(buffer, data + offset, n);
    return n;
  };
  for (bool searchAll : {false, true}) {
    uint64_t offset = 0;
    if (!arj::FindMainHeader(read, size, searchAll, offset)) continue;
    FUZZ_CHECK(offset < size);
    arj::Header header;
    uint64_t next = 0;
    if (arj::ParseHeader(read, offset, header, next) != arj::ParseResult::Ok) continue;
    FUZZ_CHECK(next > offset);
    for (int entries = 0; entries < 1000; ++entries) {
      offset = next;
      if (arj::ParseHeader(read, offset, header, next) != arj::ParseResult::Ok) break;
      FUZZ_CHECK(next > offset && next <= size);
      uint64_t position = next;
      uint64_t end = std::min<uint64_t>(size, next + header.compressedSize);
      arj::Source source = [&](void* buffer, size_t want) -> size_t {
        size_t n = static_cast<size_t>(std::min<uint64_t>(want, end - position));
        std::memcpy(buffer, data + position, n);
        position += n;
        return n;
      };
      uint64_t produced = 0;
      arj::Sink sink = [&](const void*, size_t n) {
        produced += n;
        return true;
      };
      arj::Decode(header.method, header.compressedSize, header.originalSize, header.crc, source, sink);
      FUZZ_CHECK(produced <= header.originalSize);
      arj::MethodText(header.method);
      next += header.compressedSize;
    }
  }
  return 0;
}
