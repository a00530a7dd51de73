// The MSZIP cabinet writer, round trip: any files written must come back,
// byte for byte, through our directory reader and a plain zlib MSZIP decoder
// (each block a raw deflate stream over the previous block as dictionary),
// with valid block checksums. Input: byte 0 level and file count, then the
// bytes shared out among the files.
#include "FuzzTarget.h"
#include "../../archivers/cab/CabFormat.h"
#include "../../archivers/cab/CabWriter.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

struct Memory : cab::Output {
  std::vector<uint8_t> bytes;
  bool Write(const void* data, size_t size) override {
    auto* p = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + size);
    return true;
  }
  bool WriteAt(uint64_t offset, const void* data, size_t size) override {
    if (offset + size > bytes.size()) return false;
    std::memcpy(bytes.data() + offset, data, size);
    return true;
  }
};

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) { return Le16(p) | static_cast<uint32_t>(Le16(p + 2)) << 16; }

}  // namespace

TAVIX_FUZZ_TARGET(mszip) {
  if (size == 0) return 0;
  int level = data[0] % 10;
  size_t count = 1 + (data[0] >> 4);
  const uint8_t* content = data + 1;
  size_t contentSize = size - 1;
  // Repeat the input to cross block boundaries now and then.
  std::vector<uint8_t> all(content, content + contentSize);
  if (data[0] & 8) {
    while (all.size() < 3 * cab::BlockSize && contentSize) all.insert(all.end(), content, content + contentSize);
  }
  std::vector<cab::FileToWrite> files(count);
  std::vector<size_t> positions(count);
  size_t share = all.size() / count;
  for (size_t i = 0; i < count; ++i) {
    size_t from = i * share, to = i + 1 == count ? all.size() : from + share;
    files[i].name = "dir\\file" + std::to_string(i) + ".bin";
    files[i].size = static_cast<uint32_t>(to - from);
    files[i].read = [&all, &positions, i, from, to](void* buffer, size_t want) -> size_t {
      size_t n = std::min(want, to - from - positions[i]);
      if (n) std::memcpy(buffer, all.data() + from + positions[i], n);
      positions[i] += n;
      return n;
    };
  }
  Memory out;
  size_t failed = 0;
  auto result = cab::WriteCabinet(files, out, level, [](size_t, uint64_t) { return true; }, failed);
  FUZZ_CHECK(result == cab::WriteResult::Ok);

  const auto& cabinet = out.bytes;
  cab::ReadAt read = [&](uint64_t offset, void* buffer, size_t want) -> size_t {
    if (offset >= cabinet.size()) return 0;
    size_t n = std::min<uint64_t>(want, cabinet.size() - offset);
    std::memcpy(buffer, cabinet.data() + offset, n);
    return n;
  };
  cab::Directory directory;
  FUZZ_CHECK(cab::ReadDirectory(read, 0, cabinet.size(), true, directory) == cab::DirectoryResult::Ok);
  FUZZ_CHECK(directory.cabinetSize == cabinet.size());
  FUZZ_CHECK(directory.folders.size() == 1 && directory.files.size() == count);
  const auto& folder = directory.folders[0];
  FUZZ_CHECK((folder.compression & 0xF) == cab::Mszip);

  std::vector<uint8_t> decoded;
  uint64_t at = folder.dataOffset;
  for (unsigned block = 0; block < folder.blocks; ++block) {
    FUZZ_CHECK(at + 8 <= cabinet.size());
    const uint8_t* h = cabinet.data() + at;
    uint32_t sum = Le32(h);
    uint16_t packed = Le16(h + 4), unpacked = Le16(h + 6);
    FUZZ_CHECK(at + 8 + packed <= cabinet.size() && packed >= 2 && unpacked <= cab::BlockSize);
    const uint8_t* payload = h + 8;
    FUZZ_CHECK(sum == 0 || sum == cab::Checksum(h + 4, 4, cab::Checksum(payload, packed, 0)));
    FUZZ_CHECK(payload[0] == 'C' && payload[1] == 'K');
    z_stream z{};
    FUZZ_CHECK(inflateInit2(&z, -15) == Z_OK);
    size_t dictionary = std::min<size_t>(decoded.size(), cab::BlockSize);
    if (dictionary) inflateSetDictionary(&z, decoded.data() + decoded.size() - dictionary, static_cast<uInt>(dictionary));
    std::vector<uint8_t> piece(unpacked + 1);
    z.next_in = const_cast<Bytef*>(payload + 2);
    z.avail_in = packed - 2;
    z.next_out = piece.data();
    z.avail_out = static_cast<uInt>(piece.size());
    int rc = inflate(&z, Z_FINISH);
    size_t got = piece.size() - z.avail_out;
    inflateEnd(&z);
    FUZZ_CHECK(rc == Z_STREAM_END && got == unpacked);
    decoded.insert(decoded.end(), piece.begin(), piece.begin() + got);
    at += 8 + packed;
  }
  FUZZ_CHECK(decoded == all);
  for (size_t i = 0; i < count; ++i) {
    const auto& file = directory.files[i];
    FUZZ_CHECK(file.name == files[i].name && file.size == files[i].size);
    FUZZ_CHECK(file.folderOffset == i * share);
  }
  return 0;
}
