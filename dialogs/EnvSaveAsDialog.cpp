#include "EnvSaveAsDialog.h"

#include "DialogSupport.h"
#include "FileEnvDialogIds.h"

namespace {
HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}
}  // namespace

int TEnvSaveAs::ShowModal() {
  INT_PTR result = DialogBoxParamW(ThisModule(), MAKEINTRESOURCEW(IDD_ENVSAVEAS), owner_, DialogProc,
                                   reinterpret_cast<LPARAM>(this));
  return result == IDOK ? IDOK : IDCANCEL;
}

INT_PTR CALLBACK TEnvSaveAs::DialogProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  auto* self = reinterpret_cast<TEnvSaveAs*>(GetWindowLongPtrW(window, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      self = reinterpret_cast<TEnvSaveAs*>(l);
      SetWindowLongPtrW(window, DWLP_USER, l);
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
