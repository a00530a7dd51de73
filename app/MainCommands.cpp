// Where the commands show (menus, the command tool bar) and how the window
// applies the command table: building menus and buttons, the shortcuts, the
// states, the dispatch of WM_COMMAND and the help topic of F1.
#include "app/MainTexts.h"
#include "app/TavixMain.h"

#include <commctrl.h>

#include <cwctype>

namespace {

enum TMenuFlag : unsigned {
  ShowsCheck = 1,    // the place shows the command's check mark
  IsDefault = 2,     // the place is its menu's default item
  FollowsItems = 4,  // a pop-up that is grayed while none of its items is enabled
};

}  // namespace

struct TMenuDef {
  enum TKind { Command, Separator, Popup, Placeholder } kind;
  UINT id = 0;
  const wchar_t* caption = nullptr;  // a command's: null for its own caption
  unsigned flags = 0;
  std::vector<TMenuDef> items;
};

namespace {

TMenuDef Item(UINT id, unsigned flags = 0, const wchar_t* caption = nullptr) {
  return {TMenuDef::Command, id, caption, flags, {}};
}
TMenuDef Item(UINT id, const wchar_t* caption) { return Item(id, 0, caption); }
TMenuDef Separator() { return {TMenuDef::Separator}; }
TMenuDef Popup(const wchar_t* caption, std::vector<TMenuDef> items, unsigned flags = 0) {
  return {TMenuDef::Popup, 0, caption, flags, std::move(items)};
}
// A grayed blank item holding the place of items built at run time.
TMenuDef Placeholder(UINT id) { return {TMenuDef::Placeholder, id}; }

const std::vector<TMenuDef>& MainMenuDef() {
  static const std::vector<TMenuDef> menu = {
      Popup(texts::MenuFile, {Item(CmdNewArchive), Item(CmdOpenArchive),
                              Popup(texts::MenuReopen, {Placeholder(CmdReopenLast)}), Item(CmdSaveAs), Separator(),
                              Item(CmdSend), Separator(), Item(CmdArchiveProperties), Separator(), Item(CmdExit)}),
      Popup(texts::MenuEdit,
            {Item(CmdCopy), Item(CmdPaste), Item(CmdSelectAll), Separator(), Item(CmdInstall, IsDefault),
             Item(CmdOpenEntry), Separator(), Item(CmdExtract), Item(CmdDelete), Item(CmdAdd), Item(CmdView),
             Separator(),
             Popup(texts::MenuSfx,
                   {Item(CmdSfxWizard), Separator(), Item(CmdSfxDos16), Item(CmdSfxWin16), Item(CmdSfxWin32),
                    Item(CmdSfxWin32M)},
                   FollowsItems)}),
      Popup(texts::MenuView, {Item(CmdOptions),
                              Popup(texts::MenuToolBars, {Item(CmdShowCommandBar, ShowsCheck),
                                                          Item(CmdShowOptionsBar, ShowsCheck), Separator(),
                                                          Item(CmdCustomize)}),
                              Separator(), Item(CmdLargeIcons, ShowsCheck), Item(CmdSmallIcons, ShowsCheck),
                              Item(CmdListView, ShowsCheck), Item(CmdReportView, ShowsCheck)}),
      Popup(texts::MenuHelp, {Item(CmdHelpContents), Item(CmdHelpSearch), Separator(), Item(CmdAbout)}),
  };
  return menu;
}

const std::vector<TMenuDef>& ListPopupDef() {
  static const std::vector<TMenuDef> menu = {
      Popup(L"ArcList", {Item(CmdInstall, IsDefault), Item(CmdOpenEntry), Separator(), Item(CmdCopy), Item(CmdPaste),
                         Separator(), Item(CmdExtract), Item(CmdDelete), Item(CmdView), Separator(),
                         Item(CmdArchiveProperties, texts::MenuProperties)}),
  };
  return menu;
}

// One pop-up per TDropMenu, in its order.
const std::vector<TMenuDef>& DropDownsDef() {
  static const std::vector<TMenuDef> menu = {
      Popup(L"FileOopenBtn", {Placeholder(CmdReopenLast)}),
      Popup(L"FileMeltBtn", {Item(CmdExtractToDesktop), Item(CmdExtractToArchiveFolder),
                             Popup(texts::MenuPreviousFolder, {Placeholder(CmdExtractHistoryLast)})}),
      Popup(L"FileAddBtn", {Item(CmdAddStandard), Item(CmdAddExtended)}),
      Popup(L"MakeSfxBtn", {Item(CmdSfxWizard, ShowsCheck, L"SFX Wizard..."), Separator(),
                            Item(CmdSfxDos16, ShowsCheck, L"Dos16 SFX"), Item(CmdSfxWin16, ShowsCheck, L"Win16 SFX"), Item(CmdSfxWin32, ShowsCheck, L"Win32 SFX"),
                            Item(CmdSfxWin32M, ShowsCheck, L"Win32M SFX")}),
      Popup(L"IconBtn", {Item(CmdLargeIcons, ShowsCheck, texts::MenuLargeIcons),
                         Item(CmdSmallIcons, ShowsCheck, texts::MenuSmallIcons),
                         Item(CmdListView, ShowsCheck, texts::MenuList),
                         Item(CmdReportView, ShowsCheck, texts::MenuReport)}),
  };
  return menu;
}

// The command tool bar, left to right, as the settings (ToolBtn) count its
// items; 0 is a separator. Separators have ids too, so that they can be hidden.
constexpr UINT CommandBarLayout[] = {
    CmdNewArchive, CmdOpenArchive, CmdSaveAs,   CmdArchiveProperties, 0,
    CmdCopy,       CmdPaste,       0,           CmdExtract,           CmdAdd,
    CmdDelete,     0,              CmdView,     CmdOpenEntry,         CmdInstall,
    CmdMakeSfx,    0,              CmdOptions,  0,                    CmdNextViewStyle,
    CmdHelpContents, CmdHelpSearch, 0,          CmdExit,
};
static_assert(std::size(CommandBarLayout) == kToolButtonCount);
constexpr UINT SeparatorIdFirst = 1900;

}  // namespace

std::array<int, kToolButtonCount> TTavixMain::ToolImagesOfLines() const {
  std::array<int, kToolButtonCount> images{};
  for (int i = 0; i < kToolButtonCount; ++i) {
    const TCommand* command = CommandBarLayout[i] != 0 ? FindCommand(CommandBarLayout[i]) : nullptr;
    images[i] = command != nullptr ? command->image : -1;
  }
  return images;
}

namespace {

void SetMenuText(HMENU menu, UINT id, const std::wstring& text) {
  MENUITEMINFOW item{sizeof item};
  item.fMask = MIIM_STRING;
  item.dwTypeData = const_cast<wchar_t*>(text.c_str());
  SetMenuItemInfoW(menu, id, FALSE, &item);
}

bool MenuHas(HMENU menu, UINT id) { return GetMenuState(menu, id, MF_BYCOMMAND) != static_cast<UINT>(-1); }

}  // namespace

UINT TTavixMain::ShortCutCommand(int slot) {
  for (const TCommand& command : CommandTable)
    if (command.shortCutSlot == slot) return command.id;
  return 0;
}

std::wstring TTavixMain::PlaceCaption(const TMenuPlace& place) const {
  const TCommand* command = FindCommand(place.id);
  std::wstring caption = place.caption ? place.caption : command->caption;
  if (place.showsShortCut && command->shortCutSlot >= 0) {
    std::wstring shortCut = ShortCutToText(shortCuts_[command->shortCutSlot]);
    if (!shortCut.empty()) caption += L"\t" + shortCut;
  }
  return caption;
}

void TTavixMain::BuildMenu(HMENU menu, const std::vector<TMenuDef>& items, bool showsShortCuts) {
  for (size_t i = 0; i < items.size(); ++i) {
    const TMenuDef& item = items[i];
    switch (item.kind) {
      case TMenuDef::Separator:
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        break;
      case TMenuDef::Placeholder:
        AppendMenuW(menu, MF_STRING | MF_GRAYED, item.id, L"");
        break;
      case TMenuDef::Popup: {
        HMENU popup = CreatePopupMenu();
        BuildMenu(popup, item.items, showsShortCuts);
        AppendMenuW(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), item.caption);
        if (item.flags & FollowsItems) followingPopups_.push_back({menu, popup});
        break;
      }
      case TMenuDef::Command: {
        // A hidden item comes back before the next command of its menu.
        UINT before = 0;
        for (size_t next = i + 1; next < items.size() && !before; ++next)
          if (items[next].kind == TMenuDef::Command) before = items[next].id;
        TMenuPlace place{menu, item.id, before, item.flags, item.caption, showsShortCuts};
        AppendMenuW(menu, MF_STRING, item.id, PlaceCaption(place).c_str());
        if (item.flags & IsDefault) SetMenuDefaultItem(menu, item.id, FALSE);
        menuPlaces_.push_back(place);
        break;
      }
    }
  }
}

void TTavixMain::BuildMenus() {
  // The menu bar belongs to the window once it is created; the others stay ours.
  mainMenu_ = CreateMenu();
  BuildMenu(mainMenu_, MainMenuDef(), true);
  listPopup_.reset(CreateMenu());
  BuildMenu(listPopup_.get(), ListPopupDef(), false);
  dropDowns_.reset(CreateMenu());
  BuildMenu(dropDowns_.get(), DropDownsDef(), false);
}

std::vector<TToolButton> TTavixMain::CommandBarButtons() const {
  std::vector<TToolButton> buttons;
  UINT separator = SeparatorIdFirst;
  for (UINT id : CommandBarLayout) {
    if (id == 0) {
      buttons.push_back({separator++, -1, L""});
      continue;
    }
    const TCommand& command = *FindCommand(id);
    bool drops = command.dropDown != DropNone;
    buttons.push_back({id, command.image, command.hint, drops ? TDropDown::Split : TDropDown::None,
                       drops ? DropDown(command.dropDown) : nullptr, true});
  }
  return buttons;
}

TCommandContext TTavixMain::CommandContext() {
  TCommandContext context;
  context.kind = state_.commandKind;
  context.selfExtracting = state_.selfExtracting;
  context.listEmpty = arcList_.ItemCount() < 1;
  context.listingUnavailable = state_.listingUnavailable;
  context.readOnlyView = state_.readOnlyView;
  context.newArchiveMode = state_.newArchiveMode;
  context.modified = state_.modified;
  context.selectedCount = arcList_.SelectedCount();
  if (context.selectedCount == 1) {
    std::vector<int> selected = arcList_.SelectedItems();
    if (!selected.empty() && selected[0] >= 0 && selected[0] < static_cast<int>(state_.records.size())) {
      std::wstring name = state_.records[selected[0]].name;
      for (wchar_t& c : name) c = static_cast<wchar_t>(std::towupper(c));
      context.installerSelected = name == L"SETUP.EXE" || name == L"INSTALL.EXE";
    }
  }
  context.clipboardHasFiles = ClipboardHasFiles();
  context.viewStyle = arcList_.ViewStyle();
  context.commandBarShown = docks_.BarVisible(fileBar_);
  context.optionsBarShown = docks_.BarVisible(meltOpBar_);
  context.sfxChecked = state_.sfxChecked;
  context.sfxButton = state_.sfxButton;
  return context;
}

TCommandStates TTavixMain::ApplyCommandStates() {
  TCommandStates states = CommandStates(CommandContext());
  // The idle call asks every time; only a change reaches the menus and buttons.
  if (appliedStates_ && *appliedStates_ == states) return states;
  appliedStates_ = states;
  for (const TMenuPlace& place : menuPlaces_) {
    const TCommandState& state = states[place.id];
    bool present = MenuHas(place.menu, place.id);
    if (!state.visible) {
      if (present) DeleteMenu(place.menu, place.id, MF_BYCOMMAND);
      continue;
    }
    if (!present) {
      std::wstring caption = PlaceCaption(place);
      if (place.before && MenuHas(place.menu, place.before))
        InsertMenuW(place.menu, place.before, MF_BYCOMMAND | MF_STRING, place.id, caption.c_str());
      else
        AppendMenuW(place.menu, MF_STRING, place.id, caption.c_str());
      if (place.flags & IsDefault) SetMenuDefaultItem(place.menu, place.id, FALSE);
    }
    EnableMenuItem(place.menu, place.id, MF_BYCOMMAND | (state.enabled ? MF_ENABLED : MF_GRAYED));
    if (place.flags & ShowsCheck)
      CheckMenuItem(place.menu, place.id, MF_BYCOMMAND | (state.checked ? MF_CHECKED : MF_UNCHECKED));
  }
  for (const TFollowingPopup& popup : followingPopups_) {
    bool any = false;
    for (const TMenuPlace& place : menuPlaces_)
      if (place.menu == popup.popup && states[place.id].enabled && states[place.id].visible) any = true;
    for (int i = 0; i < GetMenuItemCount(popup.parent); ++i)
      if (GetSubMenu(popup.parent, i) == popup.popup)
        EnableMenuItem(popup.parent, i, MF_BYPOSITION | (any ? MF_ENABLED : MF_GRAYED));
  }
  for (int i = 0; i < fileBar_.ItemCount(); ++i) {
    UINT id = fileBar_.ItemId(i);
    if (FindCommand(id)) fileBar_.SetEnabled(id, states[id].enabled);
  }
  fileBar_.SetImage(CmdMakeSfx, states.sfxImage);
  return states;
}

void TTavixMain::ReadShortCuts() {
  for (int i = 0; i < kMenuShortCutCount; ++i) shortCuts_[i] = TextToShortCut(settings_.ShortCuts[i]);
}

void TTavixMain::ApplyShortCuts() {
  std::vector<ACCEL> table;
  for (const TCommand& command : CommandTable) {
    if (command.shortCutSlot < 0 || command.shortCutSlot >= kMenuShortCutCount) continue;
    TShortCut shortCut = shortCuts_[command.shortCutSlot];
    if (!ShortCutToText(shortCut).empty()) table.push_back(ShortCutToAccel(shortCut, static_cast<WORD>(command.id)));
  }
  for (const TMenuPlace& place : menuPlaces_)
    if (place.showsShortCut && MenuHas(place.menu, place.id)) SetMenuText(place.menu, place.id, PlaceCaption(place));
  accelerators_.reset(table.empty() ? nullptr : CreateAcceleratorTableW(table.data(), static_cast<int>(table.size())));
  DrawMenuBar(window_);
}

void TTavixMain::OnCommand(UINT id) {
  if (id >= CmdReopenFirst && id < CmdReopenLast) return OpenRecentArchive(static_cast<int>(id - CmdReopenFirst));
  if (id >= CmdExtractHistoryFirst && id < CmdExtractHistoryLast)
    return ExtractToPreviousFolder(static_cast<int>(id - CmdExtractHistoryFirst));
  if (const TCommand* command = FindCommand(id)) {
    // Shortcuts arrive even for commands whose menu items are disabled; one
    // not built yet runs nothing.
    if (command->handler.plain) (this->*command->handler.plain)();
    else if (command->handler.withId) (this->*command->handler.withId)(id);
    return;
  }
  OnExtractOptionClick(id);
}

DWORD TTavixMain::HelpTopic(const HELPINFO* info) const {
  UINT id = 0;
  if (info && info->iContextType == HELPINFO_MENUITEM) {
    id = static_cast<UINT>(info->iCtrlId);
  } else if (HWND bar = fileBar_.Handle()) {
    // F1 with the mouse on a button of the command bar: that command's topic.
    POINT point{};
    GetCursorPos(&point);
    if (WindowFromPoint(point) == bar) {
      ScreenToClient(bar, &point);
      int index = static_cast<int>(SendMessageW(bar, TB_HITTEST, 0, reinterpret_cast<LPARAM>(&point)));
      TBBUTTON button{};
      if (index >= 0 && SendMessageW(bar, TB_GETBUTTON, index, reinterpret_cast<LPARAM>(&button)))
        id = static_cast<UINT>(button.idCommand);
    }
  }
  const TCommand* command = FindCommand(id);
  return command ? command->helpTopic : kMainHelpTopic;
}
