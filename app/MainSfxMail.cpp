// Self-extracting archives and sending by mail.
#include "app/TavixMain.h"

void TTavixMain::MakeSfx_Click(UINT) {}

void TTavixMain::Send_MnuClick() {}
