#include "app/ListRecord.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <iterator>

namespace {

// The texts are written straight into fixed buffers: a listing formats five
// of them per entry, and temporary strings would cost several heap blocks each.
constexpr size_t NumberRoom = 32;  // the longest text of a 64-bit number with separators, and more

template <size_t N>
void CopyField(wchar_t (&field)[N], const wchar_t* text, size_t length) {
  size_t count = std::min(length, N - 1);
  std::wmemcpy(field, text, count);
  field[count] = 0;
}

size_t WriteGrouped(wchar_t* out, uint64_t value, wchar_t separator) {
  wchar_t digits[24];
  size_t count = 0;
  do {
    digits[count++] = static_cast<wchar_t>(L'0' + value % 10);
    value /= 10;
  } while (value != 0);
  size_t length = 0;
  // digits[i] is the digit of 10^i; a separator follows every third from the right.
  for (size_t i = count; i-- > 0;) {
    out[length++] = digits[i];
    if (i > 0 && i % 3 == 0 && separator) out[length++] = separator;
  }
  return length;
}

size_t WritePadded(wchar_t* out, const wchar_t* text, size_t length, size_t width) {
  size_t pad = length < width ? width - length : 0;
  std::wmemset(out, L' ', pad);
  std::wmemcpy(out + pad, text, length);
  return pad + length;
}

size_t WriteSize(wchar_t* out, uint64_t value, const TNumberStyle& style) {
  wchar_t grouped[NumberRoom];
  return WritePadded(out, grouped, WriteGrouped(grouped, value, style.thousands), 8);
}

size_t WriteRatio(wchar_t* out, unsigned tenths, const TNumberStyle& style) {
  wchar_t number[NumberRoom];
  size_t length = WriteGrouped(number, tenths / 10, style.thousands);
  number[length++] = style.decimal;
  number[length++] = static_cast<wchar_t>(L'0' + tenths % 10);
  length = WritePadded(out, number, length, 3);
  out[length++] = L'%';
  return length;
}

void WriteTwoDigits(wchar_t* out, unsigned value) {
  out[0] = static_cast<wchar_t>(L'0' + value / 10 % 10);
  out[1] = static_cast<wchar_t>(L'0' + value % 10);
}

size_t WriteDosDate(wchar_t* out, WORD date) {
  unsigned year = (date >> 9) + 1980u;  // four digits: 1980 to 2107
  WriteTwoDigits(out, year / 100);
  WriteTwoDigits(out + 2, year % 100);
  out[4] = L'/';
  WriteTwoDigits(out + 5, (date >> 5) & 0x0Fu);
  out[7] = L'/';
  WriteTwoDigits(out + 8, date & 0x1Fu);
  return 10;
}

size_t WriteDosTime(wchar_t* out, WORD time) {
  WriteTwoDigits(out, time >> 11);
  out[2] = L':';
  WriteTwoDigits(out + 3, (time >> 5) & 0x3Fu);
  out[5] = L':';
  WriteTwoDigits(out + 6, (time & 0x1Fu) * 2);
  return 8;
}

// Each part is cut to limit characters.
void SplitEntryName(const wchar_t* begin, const wchar_t* end, std::wstring& folder, std::wstring& name,
                    size_t limit) {
  const wchar_t* last = end;
  for (const wchar_t* p = begin; p != end; ++p)
    if (*p == L'/' || *p == L'\\') last = p;
  // Made afresh rather than assigned, so each string takes just the room it needs.
  if (last == end) {
    folder.clear();
    name = std::wstring(begin, std::min<size_t>(end - begin, limit));
  } else {
    folder = std::wstring(begin, std::min<size_t>(last - begin, limit));
    std::replace(folder.begin(), folder.end(), L'/', L'\\');
    name = std::wstring(last + 1, std::min<size_t>(end - last - 1, limit));
  }
}

}  // namespace

const wchar_t* TListRecord::ColumnText(int column) const {
  switch (column) {
    case 0: return name.c_str();
    case 1: return date;
    case 2: return time;
    case 3: return size;
    case 4: return ratio;
    case 5: return compressed;
    case 6: return folder.c_str();
    default: return L"";
  }
}

TNumberStyle TNumberStyle::FromLocale() {
  TNumberStyle style;
  wchar_t text[8] = {};
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, text, 8) > 0) style.thousands = text[0];
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, text, 8) > 0 && text[0]) style.decimal = text[0];
  return style;
}

std::wstring FormatSize(uint64_t value, const TNumberStyle& style) {
  wchar_t text[NumberRoom];
  return std::wstring(text, WriteSize(text, value, style));
}

std::wstring FormatRatio(unsigned tenths, const TNumberStyle& style) {
  wchar_t text[NumberRoom];
  return std::wstring(text, WriteRatio(text, tenths, style));
}

std::wstring FormatDosDate(WORD date) {
  wchar_t text[16];
  return std::wstring(text, WriteDosDate(text, date));
}

std::wstring FormatDosTime(WORD time) {
  wchar_t text[16];
  return std::wstring(text, WriteDosTime(text, time));
}

void SplitEntryName(const std::wstring& stored, std::wstring& folder, std::wstring& name) {
  SplitEntryName(stored.data(), stored.data() + stored.size(), folder, name, std::wstring::npos);
}

std::wstring EntryPath(const TListRecord& record) {
  if (record.folder.empty()) return record.name;
  std::wstring folder = record.folder;
  std::replace(folder.begin(), folder.end(), L'\\', L'/');
  return folder + L"/" + record.name;
}

void FillListRecord(TListRecord& record, const TIndividualInfo& info, const TNumberStyle& style) {
  // The library's name field has no guaranteed terminator within its 513 bytes.
  const char* stored = info.szFileName;
  int length = static_cast<int>(strnlen(stored, sizeof info.szFileName));
  wchar_t path[sizeof info.szFileName];  // a character takes at least one byte
  int wide = length ? MultiByteToWideChar(CP_ACP, 0, stored, length, path, static_cast<int>(std::size(path))) : 0;
  SplitEntryName(path, path + wide, record.folder, record.name, 255);
  wchar_t text[NumberRoom];
  CopyField(record.date, text, WriteDosDate(text, info.wDate));
  CopyField(record.time, text, WriteDosTime(text, info.wTime));
  CopyField(record.size, text, WriteSize(text, info.dwOriginalSize, style));
  CopyField(record.ratio, text, WriteRatio(text, info.wRatio, style));
  CopyField(record.compressed, text, WriteSize(text, info.dwCompressedSize, style));
}

void SortListRecords(std::vector<TListRecord>& records, int column, bool descending) {
  if (column < 0 || column >= ListColumnCount || records.size() < 2) return;
  // Each text's sort key is made once: comparing keys gives CompareStringW's
  // order without its cost on every one of the n log n comparisons.
  std::vector<BYTE> keys;
  std::vector<size_t> starts(records.size() + 1);
  std::vector<BYTE> key(1024);
  for (size_t i = 0; i < records.size(); ++i) {
    const wchar_t* text = records[i].ColumnText(column);
    int length = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY, text, -1, reinterpret_cast<LPWSTR>(key.data()),
                              static_cast<int>(key.size()));
    if (length == 0) {
      length = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY, text, -1, nullptr, 0);
      key.resize(std::max<size_t>(length, 1));
      length = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY, text, -1, reinterpret_cast<LPWSTR>(key.data()),
                            static_cast<int>(key.size()));
    }
    starts[i] = keys.size();
    keys.insert(keys.end(), key.data(), key.data() + std::max(length, 0));
  }
  starts[records.size()] = keys.size();
  auto compare = [&](uint32_t a, uint32_t b) {
    size_t lengthA = starts[a + 1] - starts[a], lengthB = starts[b + 1] - starts[b];
    int order = std::memcmp(keys.data() + starts[a], keys.data() + starts[b], std::min(lengthA, lengthB));
    if (order == 0) order = lengthA < lengthB ? -1 : lengthA > lengthB ? 1 : 0;
    return descending ? order > 0 : order < 0;
  };
  // The same algorithm over indexes makes the same moves as over the records.
  std::vector<uint32_t> order(records.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<uint32_t>(i);
  // Not stable on purpose: equal texts may change places, as users know it.
  std::sort(order.begin(), order.end(), compare);
  // Moved along the permutation's cycles: no second copy of 100,000 records.
  std::vector<bool> placed(records.size(), false);
  for (size_t i = 0; i < records.size(); ++i) {
    if (placed[i]) continue;
    TListRecord first = std::move(records[i]);
    size_t at = i;
    for (;;) {
      placed[at] = true;
      size_t from = order[at];
      if (from == i) break;
      records[at] = std::move(records[from]);
      at = from;
    }
    records[at] = std::move(first);
  }
}
