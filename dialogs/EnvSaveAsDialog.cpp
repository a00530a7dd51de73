#include "EnvSaveAsDialog.h"

#include "DialogSupport.h"
#include "FileEnvDialogIds.h"

int TEnvSaveAs::ShowModal() { return ShowDialogBox(IDD_ENVSAVEAS, owner_, DialogProc, this); }

INT_PTR CALLBACK TEnvSaveAs::DialogProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  auto* self = DialogObject<TEnvSaveAs>(window, message, l);
  switch (message) {
    case WM_INITDIALOG: {
      SetDlgItemTextW(window, IDC_ES_EDIT1, self->Name.c_str());
      SetDlgItemTextW(window, IDC_ES_EDIT2, self->Masks.c_str());
      RECT over{};
      GetWindowRect(self->owner_, &over);
      CenterWindowOver(window, over);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(w) == IDC_ES_OK) {
        self->Name = WindowTextOf(GetDlgItem(window, IDC_ES_EDIT1));
        self->Masks = WindowTextOf(GetDlgItem(window, IDC_ES_EDIT2));
        EndDialog(window, IDOK);
        return TRUE;
      }
      if (LOWORD(w) == IDC_ES_CANCEL || LOWORD(w) == IDCANCEL) {
        EndDialog(window, IDCANCEL);
        return TRUE;
      }
      break;
  }
  return FALSE;
}
