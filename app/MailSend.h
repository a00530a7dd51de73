// Handing a file to the system's mail client through Simple MAPI.
#pragma once

#include <string>
#include <vector>

struct TMailData {
  std::wstring recipientName, recipientAddress;
  std::wstring copyName, copyAddress;
  std::wstring blindCopyName, blindCopyAddress;
  std::wstring senderName, senderAddress;
  std::wstring subject;
  std::wstring body;
  const std::vector<std::wstring>* attachments = nullptr;
  bool showDialog = false;
};

// True when the mail client took the message. MAPI32.DLL is loaded on the
// first call, when the system says MAPI is there, and kept until the end.
bool SendMail(const TMailData& mail);
