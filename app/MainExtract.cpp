// Extraction from the main window. The commands come with the extraction
// dialog; the window's frame calls these points.
#include "TavixMain.h"

#include "res/resource.h"

void TTavixMain::Melt_BtnClick(UINT) {}

void TTavixMain::MeltHistoryClick(int) {}

void TTavixMain::RebuildMeltHistoryMenu() {}

void TTavixMain::ClearMeltHistoryMenu() {
  HMENU previous = GetSubMenu(DropDown(1), 2);
  while (previous && GetMenuItemCount(previous) > 0) DeleteMenu(previous, 0, MF_BYPOSITION);
}

void TTavixMain::CreateExtractDialog() {}

void TTavixMain::ReleaseExtractDialog() {}

void TTavixMain::SetMeltOptionsFromSettings() {}
