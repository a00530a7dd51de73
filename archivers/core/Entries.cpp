// Entry records: times, attributes, ratio and the 558-byte record.
#include "archivers/core/ArcCore.h"

#include <cstring>

namespace arc {

namespace {
constexpr int64_t UnixEpochAsFileTime = 116444736000000000LL;
}

FILETIME FileTimeFromUnix(int64_t seconds, long nanoseconds) {
  int64_t ticks = seconds * 10000000LL + nanoseconds / 100 + UnixEpochAsFileTime;
  if (ticks < 0) ticks = 0;
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(ticks);
  time.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
  return time;
}

int64_t UnixFromFileTime(const FILETIME& time) {
  int64_t ticks = (static_cast<int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return (ticks - UnixEpochAsFileTime) / 10000000LL;
}

bool IsZero(const FILETIME& time) { return time.dwLowDateTime == 0 && time.dwHighDateTime == 0; }

void DosDateTime(const FILETIME& utc, WORD& date, WORD& time) {
  date = 0;
  time = 0;
  if (IsZero(utc)) return;
  FILETIME local;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToDosDateTime(&local, &date, &time)) {
    date = 0;
    time = 0;
  }
}

FILETIME FileTimeFromDos(WORD date, WORD time) {
  FILETIME local{}, utc{};
  if (!DosDateTimeToFileTime(date, time, &local) || !LocalFileTimeToFileTime(&local, &utc)) return FILETIME{};
  return utc;
}

std::string AttributeText(DWORD attributes) {
  std::string text = "-----";
  if (attributes & FILE_ATTRIBUTE_SYSTEM) text[0] = 'S';
  if (attributes & FILE_ATTRIBUTE_HIDDEN) text[1] = 'H';
  if (attributes & FILE_ATTRIBUTE_ARCHIVE) text[2] = 'A';
  if (attributes & FILE_ATTRIBUTE_READONLY) text[3] = 'R';
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) text[4] = 'D';
  return text;
}

WORD Ratio(uint64_t original, uint64_t compressed) {
  if (original == 0) return 0;
  uint64_t ratio = compressed * 1000 / original;
  return static_cast<WORD>(ratio > 0xFFFF ? 0xFFFF : ratio);
}

void FillRecord(const EntryInfo& entry, INDIVIDUALINFO& record, bool backslashes) {
  std::memset(&record, 0, sizeof record);
  record.dwOriginalSize = static_cast<DWORD>(entry.originalSize > 0xFFFFFFFFull ? 0xFFFFFFFFull : entry.originalSize);
  record.dwCompressedSize =
      static_cast<DWORD>(entry.compressedSize > 0xFFFFFFFFull ? 0xFFFFFFFFull : entry.compressedSize);
  record.dwCRC = entry.crc;
  record.uOSType = entry.osType;
  record.wRatio = Ratio(entry.originalSize, entry.compressedSize);
  DosDateTime(entry.writeTime, record.wDate, record.wTime);
  std::wstring name = entry.name;
  if (backslashes) {
    for (auto& c : name) {
      if (c == L'/') c = L'\\';
    }
  }
  CopyAnsiField(record.szFileName, sizeof record.szFileName, ToAnsi(name));
  CopyAnsiField(record.szAttribute, sizeof record.szAttribute, AttributeText(entry.attributes));
  CopyAnsiField(record.szMode, sizeof record.szMode, entry.method);
}

}  // namespace arc
