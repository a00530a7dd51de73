// Host implementations behind windows.h (see there).
#include <windows.h>
#include <bcrypt.h>

#include <iconv.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <string>
#include <vector>

namespace {

const uint8_t* g_data = nullptr;
size_t g_size = 0;
thread_local DWORD g_error = 0;

struct MemoryFile {
  uint64_t position = 0;
};

bool Fail(DWORD code) {
  g_error = code;
  return false;
}

// iconv converters, made once; the state is reset for every call.
iconv_t Converter(const char* to, const char* from) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) std::abort();
  return cd;
}
iconv_t ToWide(UINT codePage) {
  static iconv_t sjis = Converter("WCHAR_T", "CP932"), utf8 = Converter("WCHAR_T", "UTF-8");
  return codePage == CP_UTF8 ? utf8 : sjis;
}
iconv_t FromWide(UINT codePage) {
  static iconv_t sjis = Converter("CP932", "WCHAR_T"), utf8 = Converter("UTF-8", "WCHAR_T");
  return codePage == CP_UTF8 ? utf8 : sjis;
}

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}
void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}
constexpr int64_t EpochDays1601 = -134774;  // days from 1970-01-01 back to 1601-01-01

}  // namespace

namespace fuzzshim {
void SetFile(const uint8_t* data, size_t size) {
  g_data = data;
  g_size = size;
}
}  // namespace fuzzshim

DWORD GetLastError() { return g_error; }
void SetLastError(DWORD code) { g_error = code; }

HANDLE CreateFileW(LPCWSTR, DWORD access, DWORD, void*, DWORD disposition, DWORD, HANDLE) {
  if ((access & GENERIC_WRITE) || disposition != OPEN_EXISTING || !g_data) {
    g_error = ERROR_ACCESS_DENIED;
    return INVALID_HANDLE_VALUE;
  }
  return new MemoryFile;
}
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED overlapped) {
  auto* f = static_cast<MemoryFile*>(file);
  if (!f || file == INVALID_HANDLE_VALUE) return Fail(ERROR_INVALID_HANDLE);
  uint64_t at = overlapped ? (static_cast<uint64_t>(overlapped->OffsetHigh) << 32 | overlapped->Offset) : f->position;
  size_t n = at < g_size ? static_cast<size_t>(std::min<uint64_t>(size, g_size - at)) : 0;
  if (n) std::memcpy(buffer, g_data + at, n);
  if (read) *read = static_cast<DWORD>(n);
  f->position = at + n;
  if (overlapped && n == 0 && size > 0) return Fail(ERROR_HANDLE_EOF);
  return TRUE;
}
BOOL WriteFile(HANDLE, LPCVOID, DWORD, LPDWORD written, LPOVERLAPPED) {
  if (written) *written = 0;
  return Fail(ERROR_ACCESS_DENIED);
}
BOOL CloseHandle(HANDLE handle) {
  delete static_cast<MemoryFile*>(handle);
  return TRUE;
}
BOOL GetFileSizeEx(HANDLE, PLARGE_INTEGER size) {
  size->QuadPart = static_cast<LONGLONG>(g_size);
  return TRUE;
}
BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, PLARGE_INTEGER position, DWORD method) {
  auto* f = static_cast<MemoryFile*>(file);
  int64_t base = method == FILE_BEGIN ? 0 : method == FILE_CURRENT ? static_cast<int64_t>(f->position)
                                                                     : static_cast<int64_t>(g_size);
  int64_t to = base + distance.QuadPart;
  if (to < 0) return Fail(ERROR_INVALID_PARAMETER);
  f->position = static_cast<uint64_t>(to);
  if (position) position->QuadPart = to;
  return TRUE;
}
BOOL SetFileTime(HANDLE, const FILETIME*, const FILETIME*, const FILETIME*) { return Fail(ERROR_ACCESS_DENIED); }
BOOL SetEndOfFile(HANDLE) { return Fail(ERROR_ACCESS_DENIED); }
DWORD GetFileAttributesW(LPCWSTR) {
  g_error = ERROR_FILE_NOT_FOUND;
  return INVALID_FILE_ATTRIBUTES;
}
// No folders on the host: nothing is found.
HANDLE FindFirstFileW(LPCWSTR, LPWIN32_FIND_DATAW) {
  g_error = ERROR_FILE_NOT_FOUND;
  return INVALID_HANDLE_VALUE;
}
BOOL FindNextFileW(HANDLE, LPWIN32_FIND_DATAW) { return Fail(ERROR_NO_MORE_FILES); }
BOOL FindClose(HANDLE) { return TRUE; }
BOOL SetFileAttributesW(LPCWSTR, DWORD) { return Fail(ERROR_ACCESS_DENIED); }
BOOL CreateDirectoryW(LPCWSTR, void*) { return Fail(ERROR_ACCESS_DENIED); }
BOOL RemoveDirectoryW(LPCWSTR) { return Fail(ERROR_ACCESS_DENIED); }
BOOL DeleteFileW(LPCWSTR) { return Fail(ERROR_ACCESS_DENIED); }
BOOL MoveFileExW(LPCWSTR, LPCWSTR, DWORD) { return Fail(ERROR_ACCESS_DENIED); }
BOOL CopyFileW(LPCWSTR, LPCWSTR, BOOL) { return Fail(ERROR_ACCESS_DENIED); }
UINT GetTempFileNameW(LPCWSTR, LPCWSTR, UINT, LPWSTR) { return Fail(ERROR_ACCESS_DENIED); }

// Windows rules: '/' is '\', "." and ".." are resolved lexically, a relative
// path is taken from C:\fuzz.
DWORD GetFullPathNameW(LPCWSTR name, DWORD size, LPWSTR buffer, LPWSTR* filePart) {
  std::wstring path = name;
  for (auto& c : path) {
    if (c == L'/') c = L'\\';
  }
  std::wstring root;
  if (path.size() >= 2 && path[1] == L':') {
    root = path.substr(0, 2) + L"\\";
    path = path.substr(2);
  } else if (path.rfind(L"\\\\", 0) == 0) {
    root = L"\\\\";
    path = path.substr(2);
  } else if (!path.empty() && path[0] == L'\\') {
    root = L"C:\\";
  } else {
    root = L"C:\\";
    path = L"fuzz\\" + path;
  }
  std::vector<std::wstring> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(L'\\', start);
    if (end == std::wstring::npos) end = path.size();
    std::wstring part = path.substr(start, end - start);
    if (part == L"..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != L".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::wstring full = root;
  for (size_t i = 0; i < parts.size(); ++i) full += (i ? L"\\" : L"") + parts[i];
  if (!path.empty() && path.back() == L'\\' && full.back() != L'\\') full += L'\\';
  if (full.size() + 1 > size) return static_cast<DWORD>(full.size() + 1);
  std::wmemcpy(buffer, full.c_str(), full.size() + 1);
  if (filePart) {
    size_t slash = full.rfind(L'\\');
    *filePart = slash + 1 < full.size() ? buffer + slash + 1 : nullptr;
  }
  return static_cast<DWORD>(full.size());
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int size, LPWSTR out, int outSize) {
  size_t length = size < 0 ? std::strlen(text) + 1 : static_cast<size_t>(size);
  iconv_t cd = ToWide(codePage);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  std::wstring result;
  char* in = const_cast<char*>(text);
  size_t left = length;
  while (left > 0) {
    wchar_t chunk[256];
    char* to = reinterpret_cast<char*>(chunk);
    size_t room = sizeof(chunk);
    size_t r = iconv(cd, &in, &left, &to, &room);
    result.append(chunk, (sizeof(chunk) - room) / sizeof(wchar_t));
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      if (flags & MB_ERR_INVALID_CHARS) return Fail(ERROR_NO_UNICODE_TRANSLATION);
      result += codePage == CP_UTF8 ? L'\xFFFD' : L'\x30FB';
      ++in;
      --left;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  if (outSize == 0) return static_cast<int>(result.size());
  if (result.size() > static_cast<size_t>(outSize)) return Fail(ERROR_INSUFFICIENT_BUFFER);
  std::wmemcpy(out, result.data(), result.size());
  return static_cast<int>(result.size());
}

int WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR text, int size, LPSTR out, int outSize, LPCSTR defaultChar,
                        LPBOOL usedDefault) {
  size_t length = size < 0 ? std::wcslen(text) + 1 : static_cast<size_t>(size);
  iconv_t cd = FromWide(codePage);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  std::string result;
  if (usedDefault) *usedDefault = FALSE;
  for (size_t i = 0; i < length; ++i) {
    char chunk[8];
    char* in = reinterpret_cast<char*>(const_cast<wchar_t*>(text + i));
    size_t left = sizeof(wchar_t);
    char* to = chunk;
    size_t room = sizeof(chunk);
    if (iconv(cd, &in, &left, &to, &room) == static_cast<size_t>(-1)) {
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      result += defaultChar ? defaultChar : "?";
      if (usedDefault) *usedDefault = TRUE;
    } else {
      result.append(chunk, sizeof(chunk) - room);
    }
  }
  if (outSize == 0) return static_cast<int>(result.size());
  if (result.size() > static_cast<size_t>(outSize)) return Fail(ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(out, result.data(), result.size());
  return static_cast<int>(result.size());
}

BOOL IsDBCSLeadByte(BYTE c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
BOOL IsDBCSLeadByteEx(UINT, BYTE c) { return IsDBCSLeadByte(c); }
LPSTR CharNextA(LPCSTR p) {
  if (!*p) return const_cast<LPSTR>(p);
  if (IsDBCSLeadByte(static_cast<BYTE>(*p)) && p[1]) return const_cast<LPSTR>(p + 2);
  return const_cast<LPSTR>(p + 1);
}
LPSTR CharNextExA(WORD, LPCSTR p, DWORD) { return CharNextA(p); }
DWORD CharLowerBuffW(LPWSTR text, DWORD size) {
  for (DWORD i = 0; i < size; ++i) text[i] = static_cast<wchar_t>(std::towlower(text[i]));
  return size;
}
LPWSTR CharLowerW(LPWSTR text) {
  // A character passed in place of the pointer (MAKEINTRESOURCE style); the
  // host's wchar_t holds 32 bits, no pointer of this process is that low.
  if (reinterpret_cast<uintptr_t>(text) <= 0xFFFFFFFFu) {
    return reinterpret_cast<LPWSTR>(std::towlower(static_cast<wint_t>(reinterpret_cast<uintptr_t>(text))));
  }
  CharLowerBuffW(text, static_cast<DWORD>(std::wcslen(text)));
  return text;
}
UINT GetACP() { return 932; }
int CompareStringOrdinal(LPCWSTR a, int aSize, LPCWSTR b, int bSize, BOOL ignoreCase) {
  std::wstring x(a, aSize < 0 ? std::wcslen(a) : static_cast<size_t>(aSize));
  std::wstring y(b, bSize < 0 ? std::wcslen(b) : static_cast<size_t>(bSize));
  if (ignoreCase) {
    for (auto& c : x) c = static_cast<wchar_t>(std::towupper(c));
    for (auto& c : y) c = static_cast<wchar_t>(std::towupper(c));
  }
  int r = x.compare(y);
  return r < 0 ? CSTR_LESS_THAN : r > 0 ? CSTR_GREATER_THAN : CSTR_EQUAL;
}
int wsprintfW(LPWSTR buffer, LPCWSTR format, ...) {
  va_list args;
  va_start(args, format);
  int n = std::vswprintf(buffer, 1024, format, args);
  va_end(args);
  return n;
}
int _wtoi(const wchar_t* text) { return static_cast<int>(std::wcstol(text, nullptr, 10)); }

// Local time is UTC on the host.
BOOL FileTimeToLocalFileTime(const FILETIME* utc, LPFILETIME local) {
  *local = *utc;
  return TRUE;
}
BOOL LocalFileTimeToFileTime(const FILETIME* local, LPFILETIME utc) {
  *utc = *local;
  return TRUE;
}
BOOL FileTimeToSystemTime(const FILETIME* time, LPSYSTEMTIME system) {
  uint64_t ticks = static_cast<uint64_t>(time->dwHighDateTime) << 32 | time->dwLowDateTime;
  if (ticks >> 63) return Fail(ERROR_INVALID_PARAMETER);
  uint64_t seconds = ticks / 10000000;
  int64_t days = static_cast<int64_t>(seconds / 86400) + EpochDays1601;
  int64_t y;
  unsigned m, d;
  CivilFromDays(days, y, m, d);
  uint64_t rest = seconds % 86400;
  *system = SYSTEMTIME{static_cast<WORD>(y), static_cast<WORD>(m), static_cast<WORD>((days + 4) % 7 < 0 ? 0 : (days + 4) % 7),
                       static_cast<WORD>(d), static_cast<WORD>(rest / 3600), static_cast<WORD>(rest / 60 % 60),
                       static_cast<WORD>(rest % 60), static_cast<WORD>(ticks / 10000 % 1000)};
  return TRUE;
}
BOOL SystemTimeToFileTime(const SYSTEMTIME* s, LPFILETIME time) {
  if (s->wYear < 1601 || s->wYear > 30827 || s->wMonth < 1 || s->wMonth > 12 || s->wDay < 1 || s->wDay > 31 ||
      s->wHour > 23 || s->wMinute > 59 || s->wSecond > 59 || s->wMilliseconds > 999)
    return Fail(ERROR_INVALID_PARAMETER);
  int64_t days = DaysFromCivil(s->wYear, s->wMonth, s->wDay) - EpochDays1601;
  uint64_t ticks = ((static_cast<uint64_t>(days) * 86400 + s->wHour * 3600u + s->wMinute * 60u + s->wSecond) * 1000 +
                    s->wMilliseconds) * 10000;
  time->dwLowDateTime = static_cast<DWORD>(ticks);
  time->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return TRUE;
}
BOOL FileTimeToDosDateTime(const FILETIME* time, LPWORD date, LPWORD dosTime) {
  SYSTEMTIME s;
  if (!FileTimeToSystemTime(time, &s) || s.wYear < 1980 || s.wYear > 2107) return Fail(ERROR_INVALID_PARAMETER);
  *date = static_cast<WORD>((s.wYear - 1980) << 9 | s.wMonth << 5 | s.wDay);
  *dosTime = static_cast<WORD>(s.wHour << 11 | s.wMinute << 5 | s.wSecond / 2);
  return TRUE;
}
BOOL DosDateTimeToFileTime(WORD date, WORD dosTime, LPFILETIME time) {
  SYSTEMTIME s{static_cast<WORD>(1980 + (date >> 9)), static_cast<WORD>(date >> 5 & 15), 0,
               static_cast<WORD>(date & 31), static_cast<WORD>(dosTime >> 11), static_cast<WORD>(dosTime >> 5 & 63),
               static_cast<WORD>((dosTime & 31) * 2), 0};
  return SystemTimeToFileTime(&s, time);
}
void GetSystemTimeAsFileTime(LPFILETIME time) {
  time->dwLowDateTime = 0;
  time->dwHighDateTime = 0x01D00000;  // fixed: runs must repeat
}

NTSTATUS BCryptGenRandom(void*, unsigned char* buffer, unsigned long size, unsigned long) {
  for (unsigned long i = 0; i < size; ++i) buffer[i] = static_cast<unsigned char>(i * 131 + 7);
  return 0;
}
