// BGA entries: headers, the self-extractor search and the gzip/bzip2 data,
// with the output bounded by the declared size.
#include "FuzzTarget.h"
#include "../../archivers/bga/BgaFormat.h"

TAVIX_FUZZ_TARGET(bga) {
  std::FILE* file = fuzz::StageStream(data, size);
  FUZZ_CHECK(file != nullptr);
  uint64_t start = 0;
  if (!bga::FindArchiveStart(file, size, 65536, start)) start = 0;
  bga::AppendedDataOffset(file, size);
  uint64_t offset = start;
  for (int entries = 0; entries < 1000; ++entries) {
    bga::Entry entry;
    if (bga::ReadEntry(file, offset, size, entry) != bga::Status::Ok) break;
    FUZZ_CHECK(entry.End() <= size && entry.End() > offset);
    FUZZ_CHECK(entry.Path().size() <= bga::MaxPathBytes);
    uint64_t produced = 0;
    bga::Decode(file, entry, [&](const void*, size_t n) {
      produced += n;
      return true;
    });
    FUZZ_CHECK(produced <= entry.header.originalSize);
    bga::StoredCrc(file, entry);
    offset = entry.End();
  }
  std::fclose(file);
  return 0;
}
