#include "dialogs/InputBox.h"

#include "dialogs/DialogSupport.h"
#include "dialogs/ExtractDialogIds.h"

namespace {

struct InputBoxState {
  const std::wstring* caption;
  const std::wstring* prompt;
  const std::wstring* initial;
  std::wstring result;
};

INT_PTR CALLBACK InputBoxProc(HWND dialog, UINT message, WPARAM w, LPARAM l) {
  auto state = DialogObject<InputBoxState>(dialog, message, l);
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowTextW(dialog, state->caption->c_str());
      SetDlgItemTextW(dialog, IDC_INPUTBOX_PROMPT, state->prompt->c_str());
      SetDlgItemTextW(dialog, IDC_INPUTBOX_EDIT, state->initial->c_str());
      RECT owner{}, own{};
      GetWindowRect(GetParent(dialog) ? GetParent(dialog) : GetDesktopWindow(), &owner);
      GetWindowRect(dialog, &own);
      SetWindowPos(dialog, nullptr, owner.left + ((owner.right - owner.left) - (own.right - own.left)) / 2,
                   owner.top + ((owner.bottom - owner.top) - (own.bottom - own.top)) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(w) == IDOK) {
        HWND edit = GetDlgItem(dialog, IDC_INPUTBOX_EDIT);
        std::wstring text(GetWindowTextLengthW(edit) + 1, L'\0');
        text.resize(GetWindowTextW(edit, text.data(), static_cast<int>(text.size())));
        state->result = text;
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(w) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

std::optional<std::wstring> InputBox(HWND owner, const std::wstring& caption, const std::wstring& prompt,
                                     const std::wstring& initial) {
  InputBoxState state{&caption, &prompt, &initial, {}};
  INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_INPUTBOX), owner,
                                   InputBoxProc, reinterpret_cast<LPARAM>(&state));
  if (result != IDOK) return std::nullopt;
  return state.result;
}
