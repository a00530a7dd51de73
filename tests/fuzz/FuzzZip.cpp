// The ZIP reader: central directory (or the salvage walk over local
// headers), stored and deflated data, traditional encryption.
#include "FuzzTarget.h"
#include "../../archivers/zip/ZipReader.h"

TAVIX_FUZZ_TARGET(zip) {
  std::wstring path = fuzz::StageInput(data, size);
  for (bool salvage : {false, true}) {
    try {
      zip::ZipReader reader(path, "secret", salvage);
      reader.Supported();
      reader.HeadersPresent();
      if (!reader.Supported()) continue;
      arc::EntryInfo entry;
      while (reader.Next(entry)) {
        char buffer[65536];
        uint64_t produced = 0;
        // Stop at a bound that no honest entry of this input needs.
        while (size_t n = reader.Read(buffer, sizeof(buffer))) {
          produced += n;
          if (produced > entry.originalSize + sizeof(buffer) || produced > (64u << 20)) break;
        }
      }
    } catch (const arc::Error&) {
    }
  }
  return 0;
}
