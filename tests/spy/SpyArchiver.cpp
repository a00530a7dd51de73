// A spy archiver library: built under several file names and prefixes, it
// records every call and command line, and answers listings from entries the
// test hands it. Leaving out an entry: define SPY_NO_<Suffix> (SPY_NO_Times
// drops the three time entries, SPY_NO_Command the prefix's own command
// entry). SPY_PREFIX2 adds a second command entry.
#include <windows.h>

#include "archivers/core/ArcApi.h"

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#define SPY_CAT2(a, b) a##b
#define SPY_CAT(a, b) SPY_CAT2(a, b)
#define SPY_STR2(a) #a
#define SPY_STR(a) SPY_STR2(a)
#define SPY_ENTRY(suffix) SPY_CAT(SPY_PREFIX, suffix)
#define SPY_EXPORT extern "C" __declspec(dllexport)

namespace {

constexpr size_t RecordSize = sizeof(INDIVIDUALINFO);  // what a library fills of the entry record

std::string log;
std::vector<std::string> entries;   // raw records
size_t nextEntry = 0;
bool endless = false;  // the listing starts over at its end, forever (a broken archive's loop)
int commandResult = 0;
std::string commandOutput;
HGLOBAL const TheHandle = reinterpret_cast<HGLOBAL>(0x5150);

// Listings of 100,000 entries log four calls per entry: appended in place,
// so the spy stays quick next to the caller it measures.
void Record(const char* entry, const std::string& arguments) {
  log.append(entry).append(1, '(').append(arguments).append(")\n");
}

std::string Hex(const void* p) {
  char text[32];
  std::snprintf(text, sizeof text, "%p", p);
  return text;
}

[[maybe_unused]] void RecordHandle(const char* entry, const void* handle) {
  char text[32];
  std::snprintf(text, sizeof text, "%p", handle);
  log.append(entry).append(1, '(').append(text).append(")\n");
}

int RunCommand(const char* entry, HWND window, LPCSTR command, LPSTR buffer, DWORD size) {
  Record(entry, Hex(window) + "|" + (command ? command : "<null>") + "|" + (buffer ? "buf" : "null") +
                    "|" + std::to_string(size));
  if (buffer != nullptr && size > 0) {
    std::strncpy(buffer, commandOutput.c_str(), size - 1);
    buffer[size - 1] = '\0';
  }
  return commandResult;
}

int Fill(void* record) {
  if (endless && !entries.empty()) nextEntry %= entries.size();
  if (nextEntry >= entries.size()) return -1;
  std::memcpy(record, entries[nextEntry++].data(), RecordSize);
  return 0;
}

}  // namespace

// Test control.
SPY_EXPORT void WINAPI SpyReset() {
  log.clear();
  entries.clear();
  nextEntry = 0;
  endless = false;
  commandResult = 0;
  commandOutput.clear();
}
SPY_EXPORT void WINAPI SpySetEndless(BOOL on) { endless = on != FALSE; }
SPY_EXPORT int WINAPI SpyGetLog(char* buffer, int size) {
  if (buffer != nullptr && size > 0) {
    std::strncpy(buffer, log.c_str(), size - 1);
    buffer[size - 1] = '\0';
  }
  return static_cast<int>(log.size());
}
SPY_EXPORT void WINAPI SpyAddEntry(const void* record) {
  entries.emplace_back(static_cast<const char*>(record), RecordSize);
}
SPY_EXPORT void WINAPI SpySetResult(int result, const char* output) {
  commandResult = result;
  commandOutput = output ? output : "";
}

#ifndef SPY_NO_Command
SPY_EXPORT int WINAPI SPY_PREFIX(HWND window, LPCSTR command, LPSTR buffer, DWORD size) {
  return RunCommand(SPY_STR(SPY_PREFIX), window, command, buffer, size);
}
#endif

#ifdef SPY_PREFIX2
SPY_EXPORT int WINAPI SPY_PREFIX2(HWND window, LPCSTR command, LPSTR buffer, DWORD size) {
  return RunCommand(SPY_STR(SPY_PREFIX2), window, command, buffer, size);
}
#endif

#ifndef SPY_NO_OpenArchive
SPY_EXPORT HGLOBAL WINAPI SPY_ENTRY(OpenArchive)(HWND window, LPCSTR path, DWORD mode) {
  Record(SPY_STR(SPY_ENTRY(OpenArchive)), Hex(window) + "|" + path + "|" + std::to_string(mode));
  nextEntry = 0;
  return commandResult == 0 ? TheHandle : nullptr;
}
#endif

#ifndef SPY_NO_CloseArchive
SPY_EXPORT int WINAPI SPY_ENTRY(CloseArchive)(HGLOBAL handle) {
  Record(SPY_STR(SPY_ENTRY(CloseArchive)), Hex(handle));
  return 0;
}
#endif

#ifndef SPY_NO_FindFirst
SPY_EXPORT int WINAPI SPY_ENTRY(FindFirst)(HGLOBAL handle, LPCSTR wildcard, void* record) {
  Record(SPY_STR(SPY_ENTRY(FindFirst)), Hex(handle) + "|" + wildcard);
  nextEntry = 0;
  return Fill(record);
}
#endif

#ifndef SPY_NO_FindNext
SPY_EXPORT int WINAPI SPY_ENTRY(FindNext)(HGLOBAL handle, void* record) {
  RecordHandle(SPY_STR(SPY_ENTRY(FindNext)), handle);
  return Fill(record);
}
#endif

#ifndef SPY_NO_CheckArchive
SPY_EXPORT BOOL WINAPI SPY_ENTRY(CheckArchive)(LPCSTR path, int mode) {
  Record(SPY_STR(SPY_ENTRY(CheckArchive)), std::string(path) + "|" + std::to_string(mode));
  return commandResult == 0;
}
#endif

#ifndef SPY_NO_ExtractMem
SPY_EXPORT int WINAPI SPY_ENTRY(ExtractMem)(HWND window, LPCSTR command, LPBYTE buffer, DWORD size,
                                            void* time, LPWORD attributes, LPDWORD written) {
  Record(SPY_STR(SPY_ENTRY(ExtractMem)),
         Hex(window) + "|" + command + "|" + std::to_string(size) + "|" + Hex(time) + "|" + Hex(attributes));
  DWORD count = static_cast<DWORD>(std::min<size_t>(size, commandOutput.size()));
  if (buffer != nullptr) std::memcpy(buffer, commandOutput.data(), count);
  if (written != nullptr) *written = count;
  return commandResult;
}
#endif

#ifndef SPY_NO_SetOwnerWindowEx
SPY_EXPORT BOOL WINAPI SPY_ENTRY(SetOwnerWindowEx)(HWND window, void* callback) {
  Record(SPY_STR(SPY_ENTRY(SetOwnerWindowEx)), Hex(window) + "|" + Hex(callback));
  return TRUE;
}
#endif

#ifndef SPY_NO_KillOwnerWindowEx
SPY_EXPORT BOOL WINAPI SPY_ENTRY(KillOwnerWindowEx)(HWND window) {
  Record(SPY_STR(SPY_ENTRY(KillOwnerWindowEx)), Hex(window));
  return TRUE;
}
#endif

#ifndef SPY_NO_GetArchiveType
SPY_EXPORT int WINAPI SPY_ENTRY(GetArchiveType)(LPCSTR path) {
  Record(SPY_STR(SPY_ENTRY(GetArchiveType)), path);
  return commandResult;
}
#endif

#ifndef SPY_NO_Times
// Distinct times so a test can see which entry filled which field.
static BOOL Time(const char* entry, HGLOBAL handle, FILETIME* time, DWORD value) {
  RecordHandle(entry, handle);
  time->dwLowDateTime = value;
  time->dwHighDateTime = 0x01D00000;
  return TRUE;
}
SPY_EXPORT BOOL WINAPI SPY_ENTRY(GetWriteTimeEx)(HGLOBAL handle, FILETIME* time) {
  return Time(SPY_STR(SPY_ENTRY(GetWriteTimeEx)), handle, time, 1);
}
SPY_EXPORT BOOL WINAPI SPY_ENTRY(GetAccessTimeEx)(HGLOBAL handle, FILETIME* time) {
  return Time(SPY_STR(SPY_ENTRY(GetAccessTimeEx)), handle, time, 2);
}
SPY_EXPORT BOOL WINAPI SPY_ENTRY(GetCreateTimeEx)(HGLOBAL handle, FILETIME* time) {
  return Time(SPY_STR(SPY_ENTRY(GetCreateTimeEx)), handle, time, 3);
}
#endif
