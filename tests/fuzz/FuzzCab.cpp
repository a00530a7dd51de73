// The cabinet directory reader: header, folders, files and data blocks.
#include "FuzzTarget.h"
#include "../../archivers/cab/CabFormat.h"

#include <algorithm>
#include <cstring>

TAVIX_FUZZ_TARGET(cab) {
  cab::ReadAt read = [&](uint64_t offset, void* buffer, size_t want) -> size_t {
    if (offset >= size) return 0;
    size_t n = std::min<uint64_t>(want, size - offset);
    std::memcpy(buffer, data + offset, n);
    return n;
  };
  for (bool walk : {false, true}) {
    cab::Directory directory;
    if (cab::ReadDirectory(read, 0, size, walk, directory) != cab::DirectoryResult::Ok) continue;
    for (auto& folder : directory.folders) {
      cab::CompressionText(folder.compression);
      if (walk) FUZZ_CHECK(folder.packedBytes <= size);
    }
  }
  // As in a self-extractor: the header anywhere.
  for (uint64_t offset = 0; offset + 36 <= size && offset < 4096; ++offset) {
    if (!cab::LooksLikeHeader(read, offset, size)) continue;
    cab::Directory directory;
    cab::ReadDirectory(read, offset, size, true, directory);
  }
  return 0;
}
