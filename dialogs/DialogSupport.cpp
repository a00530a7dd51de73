#include "DialogSupport.h"

#include <commctrl.h>
#include <commdlg.h>

void SetListColumns(HWND list, std::initializer_list<TListColumn> columns) {
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  int index = 0;
  for (const TListColumn& each : columns) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = each.width;
    column.pszText = const_cast<wchar_t*>(each.caption);
    ListView_InsertColumn(list, index++, &column);
  }
}

std::optional<std::wstring> AskFileName(HWND owner, bool save, const TFileAsk& ask) {
  wchar_t buffer[MAX_PATH]{};
  ask.proposed.copy(buffer, MAX_PATH - 1);
  OPENFILENAMEW dialog{sizeof dialog};
  dialog.hwndOwner = owner;
  dialog.lpstrTitle = ask.title;
  dialog.lpstrFilter = ask.filter;
  dialog.lpstrDefExt = ask.defaultExtension;
  dialog.lpstrInitialDir = ask.folder.empty() ? nullptr : ask.folder.c_str();
  dialog.lpstrFile = buffer;
  dialog.nMaxFile = MAX_PATH;
  dialog.Flags = ask.flags;
  if (!(save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog))) return std::nullopt;
  return std::wstring(buffer);
}
