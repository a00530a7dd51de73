// Stored names made safe: whatever an archive says, the destination path
// stays inside the destination, has no "." or ".." part, no drive, stream or
// device name. Input: a stored name in Shift-JIS (byte 0 = 0) or UTF-8.
#include "FuzzTarget.h"
#include "../../archivers/core/ArcCore.h"

#include <cwctype>

namespace {

bool Device(std::wstring part) {
  part = part.substr(0, part.find(L'.'));
  while (!part.empty() && part.back() == L' ') part.pop_back();
  for (auto& c : part) c = static_cast<wchar_t>(std::towlower(c));
  for (const wchar_t* d : {L"con", L"prn", L"aux", L"nul"}) {
    if (part == d) return true;
  }
  return part.size() == 4 && (part.rfind(L"com", 0) == 0 || part.rfind(L"lpt", 0) == 0) &&
         ((part[3] >= L'1' && part[3] <= L'9') || part[3] == L'\u00B9' || part[3] == L'\u00B2' || part[3] == L'\u00B3');
}

}  // namespace

TAVIX_FUZZ_TARGET(names) {
  if (size == 0) return 0;
  std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  std::wstring stored = data[0] & 1 ? arc::FromCodePage(bytes, CP_UTF8) : arc::FromCodePage(bytes, 932);
  std::wstring safe = arc::SanitizeEntryPath(stored);
  size_t start = 0;
  while (!safe.empty() && start <= safe.size()) {
    size_t end = safe.find(L'\\', start);
    if (end == std::wstring::npos) end = safe.size();
    std::wstring part = safe.substr(start, end - start);
    FUZZ_CHECK(!part.empty() && part != L"." && part != L"..");
    FUZZ_CHECK(part.find_first_of(L":*?\"<>|/") == std::wstring::npos);
    FUZZ_CHECK(part.back() != L'.' && part.back() != L' ');
    FUZZ_CHECK(!Device(part));
    start = end + 1;
  }
  static const arc::DestinationFolder destination(L"C:\\fuzz\\dest");
  for (bool keep : {true, false}) {
    try {
      std::wstring placed = destination.Place(stored, keep);
      FUZZ_CHECK(placed.rfind(L"C:\\fuzz\\dest\\", 0) == 0 || placed.rfind(L"c:\\fuzz\\dest\\", 0) == 0);
      FUZZ_CHECK(placed.size() > destination.Root().size() + 1);
    } catch (const arc::Error&) {
    }
  }
  arc::WildcardMatch(stored, safe);
  arc::ToAnsi(stored);
  return 0;
}
