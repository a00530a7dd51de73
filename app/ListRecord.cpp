#include "ListRecord.h"

#include "TextUtil.h"

#include <algorithm>
#include <cwchar>

namespace {

template <size_t N>
void CopyField(wchar_t (&field)[N], const std::wstring& text) {
  size_t count = std::min(text.size(), N - 1);
  std::wmemcpy(field, text.data(), count);
  field[count] = 0;
}

std::wstring Grouped(uint64_t value, wchar_t separator) {
  std::wstring digits = std::to_wstring(value);
  std::wstring text;
  text.reserve(digits.size() + digits.size() / 3);
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0 && separator) text += separator;
    text += digits[i];
  }
  return text;
}

std::wstring PadLeft(std::wstring text, size_t width) {
  if (text.size() < width) text.insert(0, width - text.size(), L' ');
  return text;
}

std::wstring TwoDigits(unsigned value) {
  wchar_t text[8];
  std::swprintf(text, 8, L"%02u", value);
  return text;
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
  return PadLeft(Grouped(value, style.thousands), 8);
}

std::wstring FormatRatio(unsigned tenths, const TNumberStyle& style) {
  std::wstring text = Grouped(tenths / 10, style.thousands) + style.decimal + std::to_wstring(tenths % 10);
  return PadLeft(text, 3) + L"%";
}

std::wstring FormatDosDate(WORD date) {
  wchar_t text[16];
  std::swprintf(text, 16, L"%04u/%02u/%02u", (date >> 9) + 1980u, (date >> 5) & 0x0Fu, date & 0x1Fu);
  return text;
}

std::wstring FormatDosTime(WORD time) {
  return TwoDigits(time >> 11) + L":" + TwoDigits((time >> 5) & 0x3F) + L":" + TwoDigits((time & 0x1F) * 2);
}

void SplitEntryName(const std::wstring& stored, std::wstring& folder, std::wstring& name) {
  std::wstring path = stored;
  std::replace(path.begin(), path.end(), L'/', L'\\');
  size_t last = path.rfind(L'\\');
  if (last == std::wstring::npos) {
    folder.clear();
    name = path;
  } else {
    folder = path.substr(0, last);
    name = path.substr(last + 1);
  }
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
  size_t length = strnlen(stored, sizeof info.szFileName);
  std::wstring folder, name;
  SplitEntryName(AnsiToWide(std::string(stored, length)), folder, name);
  record.name = name.substr(0, 255);
  record.folder = folder.substr(0, 255);
  CopyField(record.date, FormatDosDate(info.wDate));
  CopyField(record.time, FormatDosTime(info.wTime));
  CopyField(record.size, FormatSize(info.dwOriginalSize, style));
  CopyField(record.ratio, FormatRatio(info.wRatio, style));
  CopyField(record.compressed, FormatSize(info.dwCompressedSize, style));
}

void SortListRecords(std::vector<TListRecord>& records, int column, bool descending) {
  if (column < 0 || column >= ListColumnCount) return;
  // Not stable on purpose: equal texts may change places, as users know it.
  std::sort(records.begin(), records.end(), [column, descending](const TListRecord& a, const TListRecord& b) {
    int order = CompareStringW(LOCALE_USER_DEFAULT, 0, a.ColumnText(column), -1, b.ColumnText(column), -1) - CSTR_EQUAL;
    return descending ? order > 0 : order < 0;
  });
}
