#include "widgets/DockToolBar.h"

#include <algorithm>
#include <cwchar>

namespace {

HWND CreateRebar(HWND parent, DWORD sideStyle) {
  HWND rebar = CreateWindowExW(WS_EX_TOOLWINDOW, REBARCLASSNAMEW, L"",
                               WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | RBS_VARHEIGHT |
                                   RBS_BANDBORDERS | CCS_NODIVIDER | CCS_NOPARENTALIGN | sideStyle,
                               0, 0, 0, 0, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  REBARINFO info{sizeof info};
  SendMessageW(rebar, RB_SETBARINFO, 0, reinterpret_cast<LPARAM>(&info));
  return rebar;
}

int ReadNumber(const std::wstring& path, const std::wstring& section, const wchar_t* key, int fallback) {
  return static_cast<int>(GetPrivateProfileIntW(section.c_str(), key, fallback, path.c_str()));
}

void WriteNumber(const std::wstring& path, const std::wstring& section, const wchar_t* key, int value) {
  WritePrivateProfileStringW(section.c_str(), key, std::to_wstring(value).c_str(), path.c_str());
}

}  // namespace

void TDockToolBar::Create(HWND owner, const std::wstring& name, const std::wstring& caption, HIMAGELIST images,
                          HIMAGELIST disabled, const std::vector<TToolButton>& buttons) {
  owner_ = owner;
  name_ = name;
  caption_ = caption;
  buttons_ = buttons;
  window_ = CreateWindowExW(0, TOOLBARCLASSNAMEW, caption.c_str(),
                            WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS |
                                CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER,
                            0, 0, 0, 0, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(window_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SendMessageW(window_, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS | TBSTYLE_EX_HIDECLIPPEDBUTTONS);
  SendMessageW(window_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
  if (disabled) SendMessageW(window_, TB_SETDISABLEDIMAGELIST, 0, reinterpret_cast<LPARAM>(disabled));
  // Notifications (tooltips, drop-downs, hot items) go to the owner, not to the rebar.
  SendMessageW(window_, TB_SETPARENT, reinterpret_cast<WPARAM>(owner), 0);
  std::vector<TBBUTTON> items;
  for (const TToolButton& button : buttons_) {
    TBBUTTON item{};
    item.idCommand = static_cast<int>(button.id);
    if (button.image < 0) {
      item.fsStyle = BTNS_SEP;
      item.iBitmap = 6;
    } else {
      item.iBitmap = button.image;
      item.fsState = button.enabled ? TBSTATE_ENABLED : 0;
      item.fsStyle = BTNS_BUTTON;
      if (button.dropDown == TDropDown::Split) item.fsStyle |= BTNS_DROPDOWN;
      if (button.dropDown == TDropDown::Whole) item.fsStyle |= BTNS_WHOLEDROPDOWN;
    }
    item.iString = -1;
    items.push_back(item);
  }
  SendMessageW(window_, TB_ADDBUTTONSW, items.size(), reinterpret_cast<LPARAM>(items.data()));
  SendMessageW(window_, TB_AUTOSIZE, 0, 0);
}

void TDockToolBar::CreateForControl(HWND owner, const std::wstring& name, const std::wstring& caption,
                                    HWND control) {
  owner_ = owner;
  name_ = name;
  caption_ = caption;
  window_ = control;
  isControl_ = true;
}

const TToolButton* TDockToolBar::Find(UINT id) const {
  for (const TToolButton& button : buttons_)
    if (button.id == id) return &button;
  return nullptr;
}

void TDockToolBar::SetEnabled(UINT id, bool enabled) {
  if (!isControl_) SendMessageW(window_, TB_ENABLEBUTTON, id, MAKELONG(enabled ? TRUE : FALSE, 0));
}

bool TDockToolBar::Enabled(UINT id) const {
  return !isControl_ && SendMessageW(window_, TB_ISBUTTONENABLED, id, 0) != 0;
}

void TDockToolBar::SetImage(UINT id, int image) {
  if (!isControl_) SendMessageW(window_, TB_CHANGEBITMAP, id, image);
}

int TDockToolBar::Image(UINT id) const {
  return isControl_ ? -1 : static_cast<int>(SendMessageW(window_, TB_GETBITMAP, id, 0));
}

void TDockToolBar::SetItemVisible(int index, bool visible) {
  if (isControl_ || index < 0 || index >= ItemCount()) return;
  SendMessageW(window_, TB_HIDEBUTTON, buttons_[index].id, MAKELONG(visible ? FALSE : TRUE, 0));
  if (dock_) dock_->Refresh(*this);
}

bool TDockToolBar::ItemVisible(int index) const {
  if (isControl_ || index < 0 || index >= ItemCount()) return false;
  return SendMessageW(window_, TB_ISBUTTONHIDDEN, buttons_[index].id, 0) == 0;
}

SIZE TDockToolBar::IdealSize() const {
  SIZE size{};
  if (isControl_) {
    RECT rect{};
    GetWindowRect(window_, &rect);
    size = {rect.right - rect.left, rect.bottom - rect.top};
  } else {
    SendMessageW(window_, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&size));
  }
  return size;
}

RECT TDockToolBar::ButtonRect(UINT id) const {
  RECT rect{};
  SendMessageW(window_, TB_GETRECT, id, reinterpret_cast<LPARAM>(&rect));
  MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

std::wstring TDockToolBar::HintPart(const std::wstring& hint, int part) {
  size_t bar = hint.find(L'|');
  if (bar == std::wstring::npos) return hint;
  return part == 0 ? hint.substr(0, bar) : hint.substr(bar + 1);
}

bool TDockToolBar::HandleNotify(const NMHDR* header, LRESULT& result) {
  if (isControl_) return false;
  if (header->code == TTN_GETDISPINFOW) {
    auto* info = reinterpret_cast<NMTTDISPINFOW*>(const_cast<NMHDR*>(header));
    // The tooltip belongs to this bar when it asks about one of its buttons.
    if (HWND tips = reinterpret_cast<HWND>(SendMessageW(window_, TB_GETTOOLTIPS, 0, 0)); tips != header->hwndFrom)
      return false;
    const TToolButton* button = Find(static_cast<UINT>(header->idFrom));
    if (!button) return false;
    tipText_ = HintPart(button->hint, 0);
    info->lpszText = tipText_.data();
    info->hinst = nullptr;
    result = 0;
    return true;
  }
  if (header->hwndFrom != window_) return false;
  switch (header->code) {
    case TBN_DROPDOWN: {
      auto* info = reinterpret_cast<const NMTOOLBARW*>(header);
      const TToolButton* button = Find(static_cast<UINT>(info->iItem));
      if (!button || !button->menu) return false;
      RECT rect = ButtonRect(button->id);
      TrackPopupMenu(button->menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, rect.left, rect.bottom, 0,
                     owner_, nullptr);
      result = TBDDRET_DEFAULT;
      return true;
    }
    case TBN_HOTITEMCHANGE: {
      auto* info = reinterpret_cast<const NMTBHOTITEM*>(header);
      const TToolButton* button = (info->dwFlags & HICF_LEAVING) ? nullptr : Find(static_cast<UINT>(info->idNew));
      if (onHint) onHint(button ? HintPart(button->hint, 1) : std::wstring());
      result = 0;
      return true;
    }
  }
  return false;
}

void TToolDock::Create(HWND parent) {
  rebars_[0] = CreateRebar(parent, CCS_TOP);
  rebars_[1] = CreateRebar(parent, CCS_BOTTOM);
  rebars_[2] = CreateRebar(parent, CCS_LEFT | CCS_VERT);
  rebars_[3] = CreateRebar(parent, CCS_RIGHT | CCS_VERT);
}

void TToolDock::Insert(TDockToolBar& bar, TDockSide side, int position, bool newRow, bool visible) {
  HWND rebar = rebars_[static_cast<int>(side)];
  SetParent(bar.window_, rebar);
  if (!bar.isControl_) {
    DWORD style = GetWindowLongW(bar.window_, GWL_STYLE);
    bool vertical = side == TDockSide::Left || side == TDockSide::Right;
    style = vertical ? (style | CCS_VERT | TBSTYLE_WRAPABLE) : (style & ~(CCS_VERT | TBSTYLE_WRAPABLE));
    SetWindowLongW(bar.window_, GWL_STYLE, style);
    SendMessageW(bar.window_, TB_SETPARENT, reinterpret_cast<WPARAM>(bar.owner_), 0);
  }
  SIZE size = bar.IdealSize();
  REBARBANDINFOW band{};
  band.cbSize = sizeof band;
  band.fMask = RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_STYLE | RBBIM_SIZE | RBBIM_IDEALSIZE | RBBIM_LPARAM;
  band.fStyle = RBBS_CHILDEDGE | RBBS_GRIPPERALWAYS | (newRow ? RBBS_BREAK : 0) | (visible ? 0 : RBBS_HIDDEN);
  band.hwndChild = bar.window_;
  band.cxMinChild = 0;
  band.cyMinChild = size.cy;
  band.cx = size.cx + 16;
  band.cxIdeal = size.cx;
  band.lParam = reinterpret_cast<LPARAM>(&bar);
  int count = static_cast<int>(SendMessageW(rebar, RB_GETBANDCOUNT, 0, 0));
  if (position < 0 || position > count) position = count;
  SendMessageW(rebar, RB_INSERTBANDW, position, reinterpret_cast<LPARAM>(&band));
  if (!visible) ShowWindow(bar.window_, SW_HIDE);
}

void TToolDock::Add(TDockToolBar& bar, TDockSide side, bool newRow) {
  bar.dock_ = this;
  bars_.push_back({&bar, side, newRow});
  Insert(bar, side, -1, newRow, true);
}

int TToolDock::BandIndex(const TDockToolBar& bar, TDockSide* side) const {
  for (int s = 0; s < 4; ++s) {
    int count = static_cast<int>(SendMessageW(rebars_[s], RB_GETBANDCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      REBARBANDINFOW band{};
      band.cbSize = sizeof band;
      band.fMask = RBBIM_CHILD;
      SendMessageW(rebars_[s], RB_GETBANDINFOW, i, reinterpret_cast<LPARAM>(&band));
      if (band.hwndChild == bar.window_) {
        if (side) *side = static_cast<TDockSide>(s);
        return i;
      }
    }
  }
  return -1;
}

void TToolDock::ShowBar(TDockToolBar& bar, bool visible) {
  TDockSide side{};
  int index = BandIndex(bar, &side);
  if (index < 0) return;
  SendMessageW(rebars_[static_cast<int>(side)], RB_SHOWBAND, index, visible ? TRUE : FALSE);
  HWND parent = GetParent(rebars_[0]);
  RECT client{};
  GetClientRect(parent, &client);
  SendMessageW(parent, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
}

bool TToolDock::BarVisible(const TDockToolBar& bar) const {
  TDockSide side{};
  int index = BandIndex(bar, &side);
  if (index < 0) return false;
  REBARBANDINFOW band{};
  band.cbSize = sizeof band;
  band.fMask = RBBIM_STYLE;
  SendMessageW(rebars_[static_cast<int>(side)], RB_GETBANDINFOW, index, reinterpret_cast<LPARAM>(&band));
  return (band.fStyle & RBBS_HIDDEN) == 0;
}

void TToolDock::Refresh(TDockToolBar& bar) {
  TDockSide side{};
  int index = BandIndex(bar, &side);
  if (index < 0) return;
  if (!bar.isControl_) SendMessageW(bar.window_, TB_AUTOSIZE, 0, 0);
  SIZE size = bar.IdealSize();
  REBARBANDINFOW band{};
  band.cbSize = sizeof band;
  band.fMask = RBBIM_CHILDSIZE | RBBIM_IDEALSIZE | RBBIM_SIZE;
  band.cyMinChild = size.cy;
  band.cx = size.cx + 16;
  band.cxIdeal = size.cx;
  SendMessageW(rebars_[static_cast<int>(side)], RB_SETBANDINFOW, index, reinterpret_cast<LPARAM>(&band));
}

RECT TToolDock::Layout(RECT client) {
  auto extent = [](HWND rebar, bool vertical) {
    if (SendMessageW(rebar, RB_GETBANDCOUNT, 0, 0) == 0) return 0;
    int visible = 0;
    int count = static_cast<int>(SendMessageW(rebar, RB_GETBANDCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      REBARBANDINFOW band{};
      band.cbSize = sizeof band;
      band.fMask = RBBIM_STYLE;
      SendMessageW(rebar, RB_GETBANDINFOW, i, reinterpret_cast<LPARAM>(&band));
      if (!(band.fStyle & RBBS_HIDDEN)) ++visible;
    }
    if (visible == 0) return 0;
    (void)vertical;
    return static_cast<int>(SendMessageW(rebar, RB_GETBARHEIGHT, 0, 0));
  };
  int top = extent(rebars_[0], false);
  MoveWindow(rebars_[0], client.left, client.top, client.right - client.left, top, TRUE);
  client.top += top;
  int bottom = extent(rebars_[1], false);
  MoveWindow(rebars_[1], client.left, client.bottom - bottom, client.right - client.left, bottom, TRUE);
  client.bottom -= bottom;
  int left = extent(rebars_[2], true);
  MoveWindow(rebars_[2], client.left, client.top, left, client.bottom - client.top, TRUE);
  client.left += left;
  int right = extent(rebars_[3], true);
  MoveWindow(rebars_[3], client.right - right, client.top, right, client.bottom - client.top, TRUE);
  client.right -= right;
  for (HWND rebar : rebars_) ShowWindow(rebar, SendMessageW(rebar, RB_GETBANDCOUNT, 0, 0) ? SW_SHOW : SW_HIDE);
  return client;
}

void TToolDock::Save(const std::wstring& iniPath) const {
  for (const Placement& placement : bars_) {
    TDockSide side{};
    int index = BandIndex(*placement.bar, &side);
    if (index < 0) continue;
    REBARBANDINFOW band{};
    band.cbSize = sizeof band;
    band.fMask = RBBIM_STYLE;
    SendMessageW(rebars_[static_cast<int>(side)], RB_GETBANDINFOW, index, reinterpret_cast<LPARAM>(&band));
    std::wstring section = L"ToolBar." + placement.bar->Name();
    WriteNumber(iniPath, section, L"Dock", static_cast<int>(side));
    WriteNumber(iniPath, section, L"Row", placement.newRow ? 1 : 0);
    WriteNumber(iniPath, section, L"Position", index);
    WriteNumber(iniPath, section, L"Visible", (band.fStyle & RBBS_HIDDEN) ? 0 : 1);
  }
}

void TToolDock::Load(const std::wstring& iniPath) {
  struct Wanted {
    TDockToolBar* bar;
    int side, position;
    bool newRow, visible;
  };
  std::vector<Wanted> wanted;
  for (Placement& placement : bars_) {
    TDockSide side{};
    int index = BandIndex(*placement.bar, &side);
    if (index < 0) continue;
    std::wstring section = L"ToolBar." + placement.bar->Name();
    int dock = ReadNumber(iniPath, section, L"Dock", static_cast<int>(side));
    if (dock < 0 || dock > 3) dock = static_cast<int>(side);
    bool row = ReadNumber(iniPath, section, L"Row", placement.newRow ? 1 : 0) != 0;
    int position = ReadNumber(iniPath, section, L"Position", index);
    bool visible = ReadNumber(iniPath, section, L"Visible", 1) != 0;
    wanted.push_back({placement.bar, dock, position, row, visible});
    placement.side = static_cast<TDockSide>(dock);
    placement.newRow = row;
  }
  // Every band leaves before any comes back, so the positions read above hold.
  for (const Wanted& w : wanted) {
    TDockSide side{};
    int index = BandIndex(*w.bar, &side);
    if (index >= 0) SendMessageW(rebars_[static_cast<int>(side)], RB_DELETEBAND, index, 0);
  }
  std::stable_sort(wanted.begin(), wanted.end(),
                   [](const Wanted& a, const Wanted& b) { return a.position < b.position; });
  for (const Wanted& w : wanted) {
    ShowWindow(w.bar->window_, SW_SHOW);
    Insert(*w.bar, static_cast<TDockSide>(w.side), w.position, w.newRow, w.visible);
  }
}
