// Parts of the core that the host fuzzers do not reach: libarchive is not
// ours to fuzz, and nothing here may write.
#include "../../../archivers/core/ArcCore.h"

namespace arc {

std::unique_ptr<EntryReader> OpenLibarchive(const std::wstring&, ReadFormats, const char*, uint64_t) {
  throw Error{ERROR_NOT_ARC_FILE, L"libarchive is not part of the host build"};
}
std::unique_ptr<EntryReader> OpenLibarchiveStream(std::function<size_t(void*, size_t)>, ReadFormats, const char*) {
  throw Error{ERROR_NOT_ARC_FILE, L"libarchive is not part of the host build"};
}

}  // namespace arc
