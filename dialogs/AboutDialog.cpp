#include "AboutDialog.h"

#include "AboutDialogIds.h"
#include "DialogSupport.h"
#include "engine/Handles.h"
#include "help/HelpService.h"

#include <shellapi.h>

#include <cwchar>
#include <vector>

namespace {

constexpr UINT HelpTopic = 28;
constexpr wchar_t HoverProperty[] = L"TavixHoverLink";

std::wstring ProgramPath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

BOOL CALLBACK TakeFirstName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR result) {
  *reinterpret_cast<const wchar_t**>(result) = IS_INTRESOURCE(name) ? name : nullptr;
  return FALSE;
}

// The program's first icon: the about box lives apart from the program's resources.
HICON FirstIcon() {
  HMODULE program = GetModuleHandleW(nullptr);
  const wchar_t* found = nullptr;
  EnumResourceNamesW(program, RT_GROUP_ICON, TakeFirstName, reinterpret_cast<LONG_PTR>(&found));
  return found != nullptr ? LoadIconW(program, found) : LoadIconW(nullptr, IDI_APPLICATION);
}

bool IsLink(HWND control) {
  int id = GetDlgCtrlID(control);
  return id == IDC_ABOUT_WEB || id == IDC_ABOUT_MAIL;
}

void SetHovered(HWND dialog, HWND link) {
  HWND old = static_cast<HWND>(GetPropW(dialog, HoverProperty));
  if (old == link) return;
  SetPropW(dialog, HoverProperty, link);
  if (old != nullptr) InvalidateRect(old, nullptr, TRUE);
  if (link != nullptr) InvalidateRect(link, nullptr, TRUE);
}

}  // namespace

std::wstring TAbout::FileVersionOf(const std::wstring& programPath) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(programPath.c_str(), &ignored);
  if (size == 0) return L"";
  std::vector<BYTE> data(size);
  if (!GetFileVersionInfoW(programPath.c_str(), 0, size, data.data())) return L"";
  void* translation = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &translation, &length) || length < 4)
    return L"";
  const WORD* pair = static_cast<const WORD*>(translation);
  wchar_t query[64];
  swprintf(query, 64, L"\\StringFileInfo\\%4.4x%4.4x\\FileVersion", pair[0], pair[1]);
  void* text = nullptr;
  if (!VerQueryValueW(data.data(), query, &text, &length) || text == nullptr) return L"UnKnown";
  return static_cast<const wchar_t*>(text);
}

void TAbout::ShowModal(HWND owner) {
  DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUT), owner, DialogProc, 0);
}

INT_PTR CALLBACK TAbout::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  static TFont underlined;
  switch (message) {
    case WM_INITDIALOG: {
      CenterOverOwner(dialog);
      SendDlgItemMessageW(dialog, IDC_ABOUT_LOGO, STM_SETICON, reinterpret_cast<WPARAM>(FirstIcon()), 0);
      SetDlgItemTextW(dialog, IDC_ABOUT_VER, FileVersionOf(ProgramPath()).c_str());
      LOGFONTW font{};
      GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof(font), &font);
      font.lfUnderline = TRUE;
      underlined.reset(CreateFontIndirectW(&font));
      for (int id : {IDC_ABOUT_WEB, IDC_ABOUT_MAIL})
        SendDlgItemMessageW(dialog, id, WM_SETFONT, reinterpret_cast<WPARAM>(underlined.get()), FALSE);
      return TRUE;
    }
    case WM_CTLCOLORSTATIC: {
      HWND control = reinterpret_cast<HWND>(lParam);
      if (GetDlgCtrlID(control) == IDC_ABOUT_PANEL) return FALSE;
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetBkMode(dc, TRANSPARENT);
      if (IsLink(control))
        SetTextColor(dc, GetPropW(dialog, HoverProperty) == control ? RGB(255, 0, 0) : RGB(0, 0, 255));
      // The labels sit on the white panel.
      return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
    }
    case WM_SETCURSOR: {
      HWND control = reinterpret_cast<HWND>(wParam);
      if (IsLink(control)) {
        SetHovered(dialog, control);
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, TRUE);
        return TRUE;
      }
      SetHovered(dialog, nullptr);
      return FALSE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      if (HIWORD(wParam) == STN_CLICKED && IsLink(reinterpret_cast<HWND>(lParam))) {
        wchar_t target[256];
        GetWindowTextW(reinterpret_cast<HWND>(lParam), target, 256);
        ShellExecuteW(dialog, L"open", target, nullptr, nullptr, SW_SHOWNORMAL);
        return TRUE;
      }
      return FALSE;
    case WM_HELP:
      ShowHelpTopic(dialog, HelpTopic);
      return TRUE;
    case WM_DESTROY:
      RemovePropW(dialog, HoverProperty);
      underlined.reset();
      return FALSE;
  }
  return FALSE;
}
