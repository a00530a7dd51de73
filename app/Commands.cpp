// The command table and the rules that decide the commands' states.
#include "app/Commands.h"

#include "app/TavixMain.h"

// Rows are in id order: the macro gives both.
const std::array<TCommand, kCommandCount> TTavixMain::CommandTable = {{
#define TAVIX_COMMAND_ROW(id, handler, caption, image, hint, dropDown, slot, shortCut, topic) \
  TCommand{id, handler, caption, image, hint, dropDown, slot, shortCut, topic},
    TAVIX_MAIN_COMMANDS(TAVIX_COMMAND_ROW)
#undef TAVIX_COMMAND_ROW
}};

const TCommand* FindCommand(UINT id) {
  if (id < CmdFirst || id >= CmdEnd) return nullptr;
  return &TTavixMain::CommandTable[id - CmdFirst];
}

bool CommandBuilt(UINT id) {
  const TCommand* command = FindCommand(id);
  return command && command->handler;
}

TCommandStates CommandRules(const TCommandContext& c) {
  TCommandStates states;
  for (TCommandState& state : states.commands) state.enabled = true;
  auto set = [&](UINT id, bool enabled) { states[id].enabled = enabled; };

  const bool lhaOrZip = c.kind == atLha || c.kind == atZip;
  const bool cab = c.kind == atCab;
  // Archives of the kinds Tavix writes to.
  const bool writable = lhaOrZip || cab;
  states.addingSupported = lhaOrZip || (cab && c.newArchiveMode && !c.modified);
  set(CmdAdd, lhaOrZip ? !c.readOnlyView : states.addingSupported);
  set(CmdSaveAs, writable && c.newArchiveMode && !c.listEmpty);
  // An archive opened but not listed can still be extracted as a whole.
  set(CmdExtract, c.listEmpty ? c.listingUnavailable : c.kind != atNone);
  set(CmdView, !c.listEmpty && c.selectedCount > 0);
  set(CmdOpenEntry, !c.listEmpty && c.selectedCount > 0);
  set(CmdDelete, lhaOrZip && !c.listEmpty && !c.readOnlyView && c.selectedCount > 0);
  set(CmdCopy, c.selectedCount > 0);
  set(CmdSelectAll, !c.listEmpty);
  set(CmdPaste, !c.readOnlyView && c.clipboardHasFiles);
  const bool install = c.selectedCount == 1 && c.installerSelected;
  set(CmdInstall, install);
  states[CmdInstall].visible = install;

  // Self-extractors are made from LZH archives (every kind) and from ZIP and
  // CAB archives (Win32 only, Win32M through the button).
  enum { SfxOff, SfxAll, SfxZipSet } sfx = SfxOff;
  if (!c.listEmpty && !c.selfExtracting) sfx = c.kind == atLha ? SfxAll : (c.kind == atZip || cab) ? SfxZipSet : SfxOff;
  set(CmdMakeSfx, sfx != SfxOff);
  for (UINT id : {CmdSfxWizard, CmdSfxDos16, CmdSfxWin16, CmdSfxWin32M}) set(id, sfx == SfxAll);
  set(CmdSfxWin32, sfx != SfxOff);
  UINT checked = c.sfxChecked ? c.sfxChecked : static_cast<UINT>(CmdSfxWin32);
  states.sfxButton = c.sfxButton;
  if (sfx == SfxZipSet) checked = CmdSfxWin32M, states.sfxButton = 2, states.sfxImage = 2;
  for (UINT id : {CmdSfxWizard, CmdSfxDos16, CmdSfxWin16, CmdSfxWin32, CmdSfxWin32M})
    states[id].checked = id == checked;
  set(CmdSend, !c.listEmpty);

  const UINT styles[] = {CmdLargeIcons, CmdSmallIcons, CmdListView, CmdReportView};
  for (int style = 0; style < 4; ++style) states[styles[style]].checked = style == c.viewStyle;
  states[CmdShowCommandBar].checked = c.commandBarShown;
  states[CmdShowOptionsBar].checked = c.optionsBarShown;

  return states;
}

TCommandStates CommandStates(const TCommandContext& context) {
  TCommandStates states = CommandRules(context);
  // An enabled command that does nothing would look broken.
  for (const TCommand& command : TTavixMain::CommandTable)
    if (!command.handler) states[command.id].enabled = false;
  return states;
}
