// Self-extracting archives and sending by mail.
#include "app/TavixMain.h"

void TTavixMain::MakeSfxBtnClick() {}

void TTavixMain::Send1Click() {}
