// A stand-in MAPI32.DLL: records the message it is handed instead of mailing
// it, so a test sees exactly what a mail client would get.
#include <windows.h>
#include <mapi.h>

#include <string>

namespace {
std::string record;
int calls = 0;

std::string Text(const char* text) { return text ? text : "(null)"; }

BOOL CALLBACK CountEnabled(HWND window, LPARAM data) {
  if (IsWindowVisible(window) && IsWindowEnabled(window)) ++*reinterpret_cast<int*>(data);
  return TRUE;
}
}  // namespace

extern "C" __declspec(dllexport) ULONG WINAPI MAPISendMail(LHANDLE, ULONG_PTR, lpMapiMessage message, FLAGS flags,
                                                           ULONG) {
  ++calls;
  int enabled = 0;
  EnumThreadWindows(GetCurrentThreadId(), CountEnabled, reinterpret_cast<LPARAM>(&enabled));
  record = "calls=" + std::to_string(calls) + " flags=" + std::to_string(flags) +
           " dialog-windows-disabled=" + (enabled == 0 ? "1" : "0") + "\n";
  record += "subject=" + Text(message->lpszSubject) + "\nbody=" + Text(message->lpszNoteText) +
            "\nmessage-flags=" + std::to_string(message->flFlags) + "\n";
  if (const MapiRecipDesc* from = message->lpOriginator)
    record += "originator=" + std::to_string(from->ulRecipClass) + " name=" + Text(from->lpszName) +
              " address=" + Text(from->lpszAddress) + "\n";
  for (ULONG i = 0; i < message->nRecipCount; ++i) {
    const MapiRecipDesc& to = message->lpRecips[i];
    record += "recipient=" + std::to_string(to.ulRecipClass) + " name=" + Text(to.lpszName) +
              " address=" + Text(to.lpszAddress) + "\n";
  }
  for (ULONG i = 0; i < message->nFileCount; ++i) {
    const MapiFileDesc& file = message->lpFiles[i];
    record += "file flags=" + std::to_string(file.flFlags) +
              " position=" + std::to_string(static_cast<LONG>(file.nPosition)) + " path=" + Text(file.lpszPathName) +
              " name=" + Text(file.lpszFileName) + " type=" + (file.lpFileType ? "set" : "(null)") + "\n";
  }
  return SUCCESS_SUCCESS;
}

extern "C" __declspec(dllexport) const char* WINAPI StandInRecord() { return record.c_str(); }
