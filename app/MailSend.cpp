// Simple MAPI takes ANSI texts; the windows of the task are disabled while the
// mail client's dialog runs, as it is modal to the whole task.
#include "app/MailSend.h"
#include "engine/Handles.h"

#include "engine/TextUtil.h"

#include <windows.h>
#include <mapi.h>

#include <deque>
#include <vector>

namespace {

bool MapiInstalled() {
  // Every system since NT 4 keeps the switch in the registry.
  TRegKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows Messaging Subsystem", 0, KEY_READ, key.put()) !=
      ERROR_SUCCESS)
    return false;
  wchar_t value[16] = {};
  DWORD size = sizeof value - sizeof(wchar_t), type = 0;
  LONG result = RegQueryValueExW(key.get(), L"MAPI", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  return result == ERROR_SUCCESS && type == REG_SZ && std::wstring(value) == L"1";
}

// Looked up once; the library stays loaded until the process ends.
LPMAPISENDMAIL MapiSendMail() {
  static const LPMAPISENDMAIL entry = []() -> LPMAPISENDMAIL {
    if (!MapiInstalled()) return nullptr;
    HMODULE library = LoadLibraryW(L"MAPI32.DLL");
    if (!library) return nullptr;
    return reinterpret_cast<LPMAPISENDMAIL>(reinterpret_cast<void*>(GetProcAddress(library, "MAPISendMail")));
  }();
  return entry;
}

BOOL CALLBACK DisableTaskWindow(HWND window, LPARAM data) {
  auto* disabled = reinterpret_cast<std::vector<HWND>*>(data);
  if (IsWindowVisible(window) && IsWindowEnabled(window)) {
    EnableWindow(window, FALSE);
    disabled->push_back(window);
  }
  return TRUE;
}

}  // namespace

bool SendMail(const TMailData& mail) {
  if (mail.recipientAddress.empty()) return false;
  LPMAPISENDMAIL send = MapiSendMail();
  if (!send) return false;

  // The texts live here for the call; MAPI reads them through pointers.
  std::deque<std::string> texts;  // a deque keeps each text in place
  auto text = [&](const std::wstring& wide) -> LPSTR {
    texts.push_back(WideToAnsi(wide));
    return texts.back().data();
  };
  MapiRecipDesc sender{0, MAPI_ORIG, text(mail.senderName), text(mail.senderAddress), 0, nullptr};
  std::vector<MapiRecipDesc> recipients;
  recipients.push_back({0, MAPI_TO, text(mail.recipientName), text(mail.recipientAddress), 0, nullptr});
  if (!mail.copyAddress.empty())
    recipients.push_back({0, MAPI_CC, text(mail.copyName), text(mail.copyAddress), 0, nullptr});
  if (!mail.blindCopyAddress.empty())
    recipients.push_back({0, MAPI_BCC, text(mail.blindCopyName), text(mail.blindCopyAddress), 0, nullptr});
  std::vector<MapiFileDesc> files;
  if (mail.attachments) {
    for (size_t i = 0; i < mail.attachments->size() && i < 32; ++i)
      files.push_back({0, 1, static_cast<ULONG>(static_cast<LONG>(i) - 1), text((*mail.attachments)[i]), nullptr,
                       nullptr});
  }
  MapiMessage message{};
  message.lpszSubject = text(mail.subject);
  message.lpszNoteText = text(mail.body);
  message.flFlags = MAPI_RECEIPT_REQUESTED;
  message.lpOriginator = &sender;
  message.nRecipCount = static_cast<ULONG>(recipients.size());
  message.lpRecips = recipients.data();
  message.nFileCount = static_cast<ULONG>(files.size());
  message.lpFiles = files.empty() ? nullptr : files.data();

  std::vector<HWND> disabled;
  EnumThreadWindows(GetCurrentThreadId(), DisableTaskWindow, reinterpret_cast<LPARAM>(&disabled));
  ULONG result = send(0, 0, &message, mail.showDialog ? MAPI_DIALOG : 0, 0);
  for (HWND window : disabled) EnableWindow(window, TRUE);
  return result == SUCCESS_SUCCESS;
}
