// What Tavix keeps beside the library family's records: the entry record
// with its three times, the probes' open mode and the entry types the
// binding resolves.
#pragma once

#include "archivers/core/ArcApi.h"

#include <windows.h>

#include <cstddef>
#include <ctime>

#pragma pack(push, 1)
// One archive entry: the library fills the INDIVIDUALINFO part; the three
// times are ours.
struct TIndividualInfo : INDIVIDUALINFO {
  FILETIME ftLastWriteTime;
  FILETIME ftLastAccessTime;
  FILETIME ftCreationTime;
};
#pragma pack(pop)

// One progress report, sent with the registered message "wm_arcextract".
using TExtractingInfoEx = EXTRACTINGINFOEX;

// Bytes of the entry record that a library writes.
constexpr std::size_t LibraryEntrySize = sizeof(INDIVIDUALINFO);

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(offsetof(TIndividualInfo, ftLastWriteTime) == 558);
static_assert(offsetof(TIndividualInfo, ftLastAccessTime) == 566);
static_assert(offsetof(TIndividualInfo, ftCreationTime) == 574);
#pragma GCC diagnostic pop
static_assert(sizeof(TIndividualInfo) == 582);
static_assert(LibraryEntrySize == 558);

// Mode the probes open archives with: no dialogs, ignore the library's own settings file.
constexpr DWORD ProbeOpenMode = M_ERROR_MESSAGE_OFF | M_REGARDLESS_INIT_FILE;
static_assert(ProbeOpenMode == 0x00800002);

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
