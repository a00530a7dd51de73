// LZH headers (levels 0-3, self-extractor search): listing any input ends,
// within the input, with entries or an error.
#include "FuzzTarget.h"
#include "../../archivers/lha/LhaFormat.h"

TAVIX_FUZZ_TARGET(lzh) {
  std::wstring path = fuzz::StageInput(data, size);
  for (bool searchAll : {false, true}) {
    try {
      auto cursor = lha::OpenCursor(path, searchAll);
      arc::EntryInfo entry;
      // Headers are at least 21 bytes: more entries than that means a loop.
      size_t count = 0;
      while (cursor->Next(entry)) {
        INDIVIDUALINFO record{};
        arc::FillRecord(entry, record, true);
        FUZZ_CHECK(record.szFileName[FNAME_MAX32] == '\0');
        FUZZ_CHECK(++count <= size / 21 + 1);
      }
    } catch (const arc::Error&) {
    }
  }
  try {
    uint64_t start = 0;
    lha::ReadAllHeaders(path, &start);
    FUZZ_CHECK(start <= size);
  } catch (const arc::Error&) {
  }
  return 0;
}
