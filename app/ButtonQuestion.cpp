// The dialog is built in memory: it needs no resource of its own.
#include "app/ButtonQuestion.h"

#include <algorithm>

namespace {

void Align(std::vector<WORD>& data) {
  if (data.size() % 2) data.push_back(0);  // DWORD alignment of each item
}

void Text(std::vector<WORD>& data, const std::wstring& text) {
  for (wchar_t c : text) data.push_back(static_cast<WORD>(c));
  data.push_back(0);
}

void Item(std::vector<WORD>& data, DWORD style, short x, short y, short cx, short cy, WORD id, WORD kind,
          const std::wstring& text) {
  Align(data);
  DWORD words[2] = {style | WS_CHILD | WS_VISIBLE, 0};
  data.insert(data.end(), reinterpret_cast<WORD*>(words), reinterpret_cast<WORD*>(words) + 4);
  for (short value : {x, y, cx, cy}) data.push_back(static_cast<WORD>(value));
  data.push_back(id);
  data.push_back(0xFFFF);
  data.push_back(kind);
  Text(data, text);
  data.push_back(0);  // no creation data
}

INT_PTR CALLBACK QuestionProc(HWND dialog, UINT message, WPARAM w, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      // Centred over the owner, as a message box is.
      HWND owner = GetWindow(dialog, GW_OWNER);
      RECT o, d;
      if (owner && GetWindowRect(owner, &o) && GetWindowRect(dialog, &d)) {
        int x = o.left + ((o.right - o.left) - (d.right - d.left)) / 2;
        int y = o.top + ((o.bottom - o.top) - (d.bottom - d.top)) / 2;
        SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
      }
      return TRUE;
    }
    case WM_COMMAND:
      if (HIWORD(w) == BN_CLICKED) EndDialog(dialog, LOWORD(w));
      return TRUE;
    case WM_CLOSE:
      EndDialog(dialog, IDCANCEL);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

int AskWithButtons(HWND owner, const std::wstring& caption, const std::wstring& text,
                   const std::vector<TQuestionButton>& buttons) {
  // Sizes in dialog units: long lines wrap, so the height goes by characters.
  int lines = 1;
  int column = 0;
  for (wchar_t c : text) {
    if (c == L'\n' || c == L'\r') {
      if (c == L'\n' || column > 0) ++lines;
      column = 0;
    } else if (++column > 50) {
      ++lines;
      column = 0;
    }
  }
  const short buttonWidth = 50, gap = 6;
  const short count = static_cast<short>(buttons.size());
  short width = std::max<short>(240, static_cast<short>(count * (buttonWidth + gap) + gap));
  short textHeight = static_cast<short>(std::min(lines, 40) * 10 + 4);
  short height = static_cast<short>(textHeight + 40);

  std::vector<WORD> data;
  DWORD head[2] = {DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0};
  data.insert(data.end(), reinterpret_cast<WORD*>(head), reinterpret_cast<WORD*>(head) + 4);
  data.push_back(static_cast<WORD>(count + 1));
  for (short value : {short(0), short(0), width, height}) data.push_back(static_cast<WORD>(value));
  data.push_back(0);  // no menu
  data.push_back(0);  // the dialog class
  Text(data, caption);
  data.push_back(9);
  Text(data, L"MS Shell Dlg");
  Item(data, SS_LEFT, 10, 10, static_cast<short>(width - 20), textHeight, 0xFFFF, 0x0082, text);
  short x = static_cast<short>(width - count * (buttonWidth + gap));
  bool first = true;
  for (const TQuestionButton& button : buttons) {
    Item(data, WS_TABSTOP | (first ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), x, static_cast<short>(height - 22),
         buttonWidth, 14, static_cast<WORD>(button.id), 0x0080, button.caption);
    x = static_cast<short>(x + buttonWidth + gap);
    first = false;
  }
  INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<DLGTEMPLATE*>(data.data()),
                                           owner, QuestionProc, 0);
  return result <= 0 ? IDCANCEL : static_cast<int>(result);
}
