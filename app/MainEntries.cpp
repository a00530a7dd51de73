// Viewing, opening, installing, the clipboard and dragging entries out.
#include "app/TavixMain.h"

void TTavixMain::Copy1Click() {}

void TTavixMain::Paste1Click() {}

void TTavixMain::Install_PopMnuClick() {}

void TTavixMain::FileOpen_PopClick() {}

bool TTavixMain::ClipboardHasFiles() const { return IsClipboardFormatAvailable(CF_HDROP) != FALSE; }
