// Records and entry types of the common archiver library family.
#pragma once

#include <windows.h>

#include <cstddef>
#include <ctime>

using HARC = HGLOBAL;

constexpr int FNAME_MAX32 = 512;

#pragma pack(push, 1)
// One archive entry. The library fills bytes 0-557; the three times are ours.
struct TIndividualInfo {
  DWORD dwOriginalSize;
  DWORD dwCompressedSize;
  DWORD dwCRC;
  UINT uFlag;
  UINT uOSType;
  WORD wRatio;  // tenths of a percent
  WORD wDate;   // DOS date
  WORD wTime;   // DOS time
  char szFileName[FNAME_MAX32 + 1];
  char dummy1[3];
  char szAttribute[8];
  char szMode[8];
  FILETIME ftLastWriteTime;
  FILETIME ftLastAccessTime;
  FILETIME ftCreationTime;
};

// One progress report, sent with the registered message "wm_arcextract".
struct TExtractingInfoEx {
  DWORD dwFileSize;
  DWORD dwWriteSize;
  char szSourceFileName[FNAME_MAX32 + 1];
  char dummy1[3];
  char szDestFileName[FNAME_MAX32 + 1];
  char dummy2[3];
  DWORD dwCompressedSize;
  DWORD dwCRC;
  UINT uOSType;
  WORD wRatio;
  WORD wDate;
  WORD wTime;
  char szAttribute[8];
  char szMode[8];
};
#pragma pack(pop)

using LPINDIVIDUALINFO = TIndividualInfo*;
using LPEXTRACTINGINFOEX = TExtractingInfoEx*;

// Bytes of the entry record that a library writes.
constexpr std::size_t LibraryEntrySize = offsetof(TIndividualInfo, ftLastWriteTime);

static_assert(offsetof(TIndividualInfo, dwOriginalSize) == 0);
static_assert(offsetof(TIndividualInfo, dwCompressedSize) == 4);
static_assert(offsetof(TIndividualInfo, dwCRC) == 8);
static_assert(offsetof(TIndividualInfo, uFlag) == 12);
static_assert(offsetof(TIndividualInfo, uOSType) == 16);
static_assert(offsetof(TIndividualInfo, wRatio) == 20);
static_assert(offsetof(TIndividualInfo, wDate) == 22);
static_assert(offsetof(TIndividualInfo, wTime) == 24);
static_assert(offsetof(TIndividualInfo, szFileName) == 26);
static_assert(offsetof(TIndividualInfo, dummy1) == 539);
static_assert(offsetof(TIndividualInfo, szAttribute) == 542);
static_assert(offsetof(TIndividualInfo, szMode) == 550);
static_assert(offsetof(TIndividualInfo, ftLastWriteTime) == 558);
static_assert(offsetof(TIndividualInfo, ftLastAccessTime) == 566);
static_assert(offsetof(TIndividualInfo, ftCreationTime) == 574);
static_assert(sizeof(TIndividualInfo) == 582);
static_assert(LibraryEntrySize == 558);

static_assert(offsetof(TExtractingInfoEx, dwFileSize) == 0);
static_assert(offsetof(TExtractingInfoEx, dwWriteSize) == 4);
static_assert(offsetof(TExtractingInfoEx, szSourceFileName) == 8);
static_assert(offsetof(TExtractingInfoEx, dummy1) == 521);
static_assert(offsetof(TExtractingInfoEx, szDestFileName) == 524);
static_assert(offsetof(TExtractingInfoEx, dummy2) == 1037);
static_assert(offsetof(TExtractingInfoEx, dwCompressedSize) == 1040);
static_assert(offsetof(TExtractingInfoEx, dwCRC) == 1044);
static_assert(offsetof(TExtractingInfoEx, uOSType) == 1048);
static_assert(offsetof(TExtractingInfoEx, wRatio) == 1052);
static_assert(offsetof(TExtractingInfoEx, wDate) == 1054);
static_assert(offsetof(TExtractingInfoEx, wTime) == 1056);
static_assert(offsetof(TExtractingInfoEx, szAttribute) == 1058);
static_assert(offsetof(TExtractingInfoEx, szMode) == 1066);
static_assert(sizeof(TExtractingInfoEx) == 1074);

// Progress states (first message parameter of "wm_arcextract").
enum : int {
  ARCEXTRACT_BEGIN = 0,
  ARCEXTRACT_INPROCESS = 1,
  ARCEXTRACT_END = 2,
  ARCEXTRACT_OPEN = 3,
  ARCEXTRACT_COPY = 4,
};

// Result the libraries return when the owner window asked them to stop.
constexpr int ERROR_USER_CANCEL = 0x8020;

// Mode the probes open archives with: no dialogs, ignore the library's own settings file.
constexpr DWORD ProbeOpenMode = 0x00800002;
// CheckArchive mode that searches the whole file (finds archives inside self-extractors).
constexpr int CHECKARCHIVE_ALL = 16;

// Entry types, in the order the binding keeps them.
using TArcCommand = int(WINAPI*)(HWND, LPCSTR, LPSTR, DWORD);
using TArcOpenArchive = HARC(WINAPI*)(HWND, LPCSTR, DWORD);
using TArcCloseArchive = int(WINAPI*)(HARC);
using TArcFindFirst = int(WINAPI*)(HARC, LPCSTR, TIndividualInfo*);
using TArcFindNext = int(WINAPI*)(HARC, TIndividualInfo*);
using TArcExtractMem = int(WINAPI*)(HWND, LPCSTR, LPBYTE, DWORD, time_t*, LPWORD, LPDWORD);
using TArcCheckArchive = BOOL(WINAPI*)(LPCSTR, int);
using TArcSetOwnerWindowEx = BOOL(WINAPI*)(HWND, void*);
using TArcKillOwnerWindowEx = BOOL(WINAPI*)(HWND);
using TArcGetFileTime = BOOL(WINAPI*)(HARC, FILETIME*);
using TArcGetArchiveType = int(WINAPI*)(LPCSTR);
