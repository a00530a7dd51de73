// Viewing, opening, installing, the clipboard and dragging entries out.
#include "app/TavixMain.h"

void TTavixMain::Copy_MnuClick() {}

void TTavixMain::Paste_MnuClick() {}

void TTavixMain::Install_MnuClick() {}

void TTavixMain::OpenEntry_MnuClick() {}

void TTavixMain::View_MnuClick() {}

bool TTavixMain::ClipboardHasFiles() const { return IsClipboardFormatAvailable(CF_HDROP) != FALSE; }
