// Creating archives, adding, deleting and Save As.
#include "app/MainTexts.h"
#include "app/TavixMain.h"

#include <shellapi.h>

void TTavixMain::EnterNewArchiveMode() {
  state_.newArchivePath = state_.workFolder + L"\\Newfile.lzh";
  state_.archivePath = state_.newArchivePath;
  // The prefix still shows the kind selected before; selecting sets the new one.
  Caption(L"Newfile.lzh");
  state_.newArchiveMode = true;
  state_.modified = false;
  state_.readOnlyView = false;
  state_.listingUnavailable = false;
  ClearList();
  SelectArchive(state_.newArchivePath);
}

void TTavixMain::NewCreate_BtnClick() {}

void TTavixMain::SaveAs_MnuClick() {}

bool TTavixMain::AskToSave() {
  if (Message(texts::AskToSave, MB_ICONQUESTION | MB_YESNO) != IDYES) return false;
  SaveAs_MnuClick();
  return true;
}

void TTavixMain::FileDelete_BtnClick() {}

void TTavixMain::FileAdd_BtnClick() {}

void TTavixMain::InstallDropHandling() { DragAcceptFiles(window_, TRUE); }

void TTavixMain::RemoveDropHandling() { DragAcceptFiles(window_, FALSE); }
