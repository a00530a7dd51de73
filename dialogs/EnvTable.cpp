#include "EnvTable.h"

#include <cwctype>

namespace {

const wchar_t kSection[] = L"Environ";

wchar_t Fold(wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); }

bool SameText(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

std::wstring Trim(const std::wstring& text) {
  size_t first = text.find_first_not_of(L" \t");
  if (first == std::wstring::npos) return {};
  size_t last = text.find_last_not_of(L" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

bool MatchesMask(const std::wstring& fileName, const std::wstring& mask) {
  // Iterative matching with one back-track point: linear enough for long masks.
  size_t n = 0, m = 0, starM = std::wstring::npos, starN = 0;
  while (n < fileName.size()) {
    if (m < mask.size() && (mask[m] == L'?' || Fold(mask[m]) == Fold(fileName[n]))) {
      ++n;
      ++m;
    } else if (m < mask.size() && mask[m] == L'*') {
      starM = m++;
      starN = n;
    } else if (starM != std::wstring::npos) {
      m = starM + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == L'*') ++m;
  if (m == mask.size()) return true;
  // "*.*" also takes names without a dot, as the file system's masks do.
  return mask.compare(m, std::wstring::npos, L".*") == 0;
}

bool MatchesMasks(const std::wstring& fileName, const std::wstring& masks) {
  size_t start = 0;
  while (start <= masks.size()) {
    size_t comma = masks.find(L',', start);
    if (comma == std::wstring::npos) comma = masks.size();
    std::wstring mask = Trim(masks.substr(start, comma - start));
    if (!mask.empty() && MatchesMask(fileName, mask)) return true;
    start = comma + 1;
  }
  return false;
}

std::wstring TEnvTable::DefaultFile() { return ProgramFolder() + L"default.env"; }

TEnvTable::TEnvTable() { rows_[0] = {kDefaultName, DefaultFile(), L"*.*"}; }

namespace {

// Masks may run past the settings reader's 1023 characters, and a list cut
// there can end in "*" and take every file: long lists are read whole.
std::wstring ReadMasks(const TIniGT& ini, const std::wstring& key, const std::wstring& fallback) {
  std::wstring value = ini.ReadString(kSection, key, fallback);
  if (value.size() < 1000 || ini.FullPath().empty() || ini.Fence() != fnNone) return value;
  for (DWORD room = 4096; room <= (1u << 20); room *= 4) {
    std::wstring buffer(room, L'\0');
    DWORD length = GetPrivateProfileStringW(kSection, key.c_str(), fallback.c_str(), buffer.data(), room,
                                            ini.FullPath().c_str());
    if (length + 2 < room) return buffer.substr(0, length);
  }
  // Longer than any list a user types: only its whole masks count.
  return value.substr(0, value.rfind(L','));
}

}  // namespace

void TEnvTable::Read(const TIniGT& ini) {
  for (int i = 0; i < kRows; ++i) {
    std::wstring n = std::to_wstring(i + 1);
    rows_[i].name = ini.ReadString(kSection, L"EnvName" + n, i == 0 ? kDefaultName : L"");
    rows_[i].file = ini.ReadString(kSection, L"EnvFile" + n, i == 0 ? DefaultFile() : L"");
    rows_[i].masks = ReadMasks(ini, L"FileExt" + n, i == 0 ? L"*.*" : L"");
  }
}

void TEnvTable::Write(TIniGT& ini) const {
  for (int i = 0; i < kRows; ++i) {
    std::wstring n = std::to_wstring(i + 1);
    ini.WriteString(kSection, L"EnvName" + n, rows_[i].name);
    ini.WriteString(kSection, L"EnvFile" + n, rows_[i].file);
    ini.WriteString(kSection, L"FileExt" + n, rows_[i].masks);
  }
}

int TEnvTable::Choose(const std::wstring& fileName) const {
  // Masks are matched against the name without its folder.
  size_t slash = fileName.find_last_of(L"\\/:");
  std::wstring name = slash == std::wstring::npos ? fileName : fileName.substr(slash + 1);
  for (int i = 1; i < kRows; ++i)
    if (!rows_[i].name.empty() && MatchesMasks(name, rows_[i].masks)) return i;
  return 0;
}

int TEnvTable::Find(const std::wstring& name) const {
  for (int i = 0; i < kRows; ++i)
    if (!rows_[i].name.empty() && SameText(rows_[i].name, name)) return i;
  return -1;
}

int TEnvTable::TargetForSave(const std::wstring& name) const {
  for (int i = 1; i < kRows; ++i)
    if (rows_[i].name.empty() || SameText(rows_[i].name, name)) return i;
  return -1;
}

void TEnvTable::Delete(int index) {
  if (index <= 0 || index >= kRows) return;  // row 1 stays
  for (int i = index; i + 1 < kRows; ++i) rows_[i] = rows_[i + 1];
  rows_[kRows - 1] = {};
}

int TEnvTable::Merge(const std::wstring& name, const std::wstring& masks, const std::wstring& file) {
  int same = Find(name);
  if (same >= 0) {
    // Row 1's masks are not the user's to change.
    if (same > 0) rows_[same].masks = masks;
    return same;
  }
  for (int i = 0; i < kRows; ++i) {
    if (rows_[i].name.empty()) {
      rows_[i] = {name, file, masks};
      return i;
    }
  }
  return -1;
}
