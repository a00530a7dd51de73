// The command table and the command-state rules, without a window.
#include "app/Commands.h"
#include "app/TavixMain.h"
#include "settings/MainSettings.h"

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace {

struct RuleCase {
  const char* name;
  TCommandContext context;
  std::vector<UINT> enabled;
  std::vector<UINT> disabled;
};

// Window states an archive goes through, and what each offers.
const RuleCase RuleCases[] = {
    {"new empty LZH archive",
     {.kind = atLha, .listEmpty = true, .readOnlyView = false, .newArchiveMode = true},
     {CmdAdd, CmdOpenArchive, CmdHelpContents},
     {CmdSaveAs, CmdExtract, CmdView, CmdOpenEntry, CmdDelete, CmdMakeSfx, CmdSfxWin32, CmdCopy, CmdPaste,
      CmdInstall, CmdSelectAll}},
    {"new LZH archive with entries",
     {.kind = atLha, .listEmpty = false, .readOnlyView = false, .newArchiveMode = true},
     {CmdAdd, CmdSaveAs, CmdExtract, CmdMakeSfx, CmdSfxWizard, CmdSfxWin16, CmdSfxWin32, CmdSfxWin32M, CmdSelectAll},
     {CmdView, CmdOpenEntry, CmdDelete}},
    {"LZH listing, read-only, two entries selected",
     {.kind = atLha, .listEmpty = false, .readOnlyView = true, .selectedCount = 2},
     {CmdExtract, CmdView, CmdOpenEntry, CmdCopy, CmdMakeSfx},
     {CmdAdd, CmdSaveAs, CmdDelete, CmdPaste, CmdInstall}},
    {"LZH listing, writable, one entry selected, files on the clipboard",
     {.kind = atLha, .listEmpty = false, .readOnlyView = false, .selectedCount = 1, .clipboardHasFiles = true},
     {CmdAdd, CmdDelete, CmdView, CmdOpenEntry, CmdCopy, CmdPaste},
     {CmdInstall}},
    {"read-only view ignores the clipboard",
     {.kind = atZip, .listEmpty = false, .readOnlyView = true, .clipboardHasFiles = true},
     {CmdExtract},
     {CmdPaste, CmdAdd}},
    {"ZIP listing offers the ZIP self-extractor set",
     {.kind = atZip, .listEmpty = false, .readOnlyView = false},
     {CmdAdd, CmdMakeSfx, CmdSfxWin32},
     {CmdSfxWizard, CmdSfxWin16, CmdSfxWin32M}},
    {"a self-extractor offers no self-extractor",
     {.kind = atLha, .selfExtracting = true, .listEmpty = false},
     {CmdExtract},
     {CmdMakeSfx, CmdSfxWizard, CmdSfxWin32}},
    {"new CAB archive, not modified",
     {.kind = atCab, .listEmpty = false, .readOnlyView = false, .newArchiveMode = true, .selectedCount = 1},
     {CmdAdd, CmdSaveAs, CmdExtract, CmdMakeSfx, CmdSfxWin32},
     {CmdDelete, CmdSfxWizard}},
    {"new CAB archive, modified",
     {.kind = atCab, .listEmpty = false, .readOnlyView = false, .newArchiveMode = true, .modified = true},
     {CmdSaveAs},
     {CmdAdd}},
    {"CAB listing",
     {.kind = atCab, .listEmpty = false, .readOnlyView = false, .selectedCount = 1},
     {CmdExtract, CmdView},
     {CmdAdd, CmdDelete, CmdSaveAs}},
    {"ARJ listing, writable view, selection",
     {.kind = atArj, .listEmpty = false, .readOnlyView = false, .newArchiveMode = true, .selectedCount = 1},
     {CmdExtract, CmdView, CmdOpenEntry},
     {CmdAdd, CmdDelete, CmdSaveAs, CmdMakeSfx}},
    {"archive opened but not listed",
     {.kind = atTar, .listEmpty = true, .listingUnavailable = true},
     {CmdExtract},
     {CmdView, CmdOpenEntry, CmdAdd}},
    {"archive no library handles",
     {.kind = atNone, .listEmpty = false, .selectedCount = 1},
     {CmdView},
     {CmdExtract, CmdAdd, CmdDelete, CmdMakeSfx}},
    {"the one selected entry is an installer",
     {.kind = atLha, .listEmpty = false, .selectedCount = 1, .installerSelected = true},
     {CmdInstall},
     {}},
};

void PrintTo(const RuleCase& c, std::ostream* out) { *out << c.name; }

class CommandRulesCase : public ::testing::TestWithParam<RuleCase> {};

TEST_P(CommandRulesCase, EnableWhatTheStateAllows) {
  const RuleCase& c = GetParam();
  TCommandStates states = CommandRules(c.context);
  for (UINT id : c.enabled) EXPECT_TRUE(states[id].enabled) << FindCommand(id)->caption;
  for (UINT id : c.disabled) EXPECT_FALSE(states[id].enabled) << id;
}

INSTANTIATE_TEST_SUITE_P(States, CommandRulesCase, ::testing::ValuesIn(RuleCases),
                         [](const ::testing::TestParamInfo<RuleCase>& info) {
                           std::string name;
                           for (const char* p = info.param.name; *p; ++p)
                             name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           return name;
                         });

TEST(CommandRules, InstallShowsOnlyForOneSelectedInstaller) {
  TCommandContext context{.kind = atLha, .listEmpty = false, .selectedCount = 1, .installerSelected = true};
  EXPECT_TRUE(CommandRules(context)[CmdInstall].visible);
  context.selectedCount = 2;
  EXPECT_FALSE(CommandRules(context)[CmdInstall].visible);
  EXPECT_FALSE(CommandRules(context)[CmdInstall].enabled);
  context.selectedCount = 1;
  context.installerSelected = false;
  EXPECT_FALSE(CommandRules(context)[CmdInstall].visible);
  // Every other command always shows.
  for (const TCommand& command : TTavixMain::CommandTable) {
    if (command.id != CmdInstall) {
      EXPECT_TRUE(CommandRules(context)[command.id].visible) << command.id;
    }
  }
}

TEST(CommandRules, TheSelfExtractorButtonRunsWin32MForZipAndCab) {
  for (TArchiverType kind : {atZip, atCab}) {
    TCommandStates states = CommandRules({.kind = kind, .listEmpty = false});
    EXPECT_TRUE(states[CmdSfxWin32M].checked);
    EXPECT_FALSE(states[CmdSfxWin32].checked);
    EXPECT_EQ(states.sfxImage, 2);
  }
  TCommandStates lzh = CommandRules({.kind = atLha, .listEmpty = false});
  EXPECT_TRUE(lzh[CmdSfxWin32].checked);
  EXPECT_FALSE(lzh[CmdSfxWin32M].checked);
  EXPECT_EQ(lzh.sfxImage, 13);
  EXPECT_EQ(lzh.sfxButton, 1);
  for (TArchiverType kind : {atZip, atCab}) EXPECT_EQ(CommandRules({.kind = kind, .listEmpty = false}).sfxButton, 2);
}

TEST(CommandRules, TheLastSelfExtractorChosenIsCheckedAndSendNeedsEntries) {
  // Dos16 shows the Win16 picture: the button then runs Win16.
  TCommandStates dos = CommandRules({.kind = atLha, .listEmpty = false, .sfxChecked = CmdSfxDos16, .sfxButton = 0});
  for (UINT id : {CmdSfxWizard, CmdSfxDos16, CmdSfxWin16, CmdSfxWin32, CmdSfxWin32M})
    EXPECT_EQ(dos[id].checked, id == CmdSfxDos16) << id;
  EXPECT_EQ(dos.sfxButton, 0);
  EXPECT_TRUE(dos[CmdSfxDos16].enabled);
  EXPECT_TRUE(dos[CmdSend].enabled);
  EXPECT_FALSE(CommandRules({.kind = atZip, .listEmpty = false})[CmdSfxDos16].enabled);
  EXPECT_FALSE(CommandRules({.kind = atLha, .listEmpty = true})[CmdSend].enabled);
}

TEST(CommandRules, ChecksFollowTheViewStyleAndTheBars) {
  const UINT styles[] = {CmdLargeIcons, CmdSmallIcons, CmdListView, CmdReportView};
  for (int style = 0; style < 4; ++style) {
    TCommandStates states = CommandRules({.viewStyle = style, .commandBarShown = style != 1, .optionsBarShown = style != 2});
    for (int other = 0; other < 4; ++other) EXPECT_EQ(states[styles[other]].checked, other == style);
    EXPECT_EQ(states[CmdShowCommandBar].checked, style != 1);
    EXPECT_EQ(states[CmdShowOptionsBar].checked, style != 2);
  }
}

TEST(CommandRules, AddingIsSupportedForTheKindsTavixWrites) {
  EXPECT_TRUE(CommandRules({.kind = atLha}).addingSupported);
  EXPECT_TRUE(CommandRules({.kind = atZip, .readOnlyView = true}).addingSupported);
  EXPECT_TRUE(CommandRules({.kind = atCab, .newArchiveMode = true}).addingSupported);
  EXPECT_FALSE(CommandRules({.kind = atCab, .newArchiveMode = true, .modified = true}).addingSupported);
  EXPECT_FALSE(CommandRules({.kind = atTar}).addingSupported);
}

TEST(CommandStates, CommandsWithoutAHandlerStayDisabledWhateverTheRulesSay) {
  for (const RuleCase& c : RuleCases) {
    TCommandStates rules = CommandRules(c.context);
    TCommandStates states = CommandStates(c.context);
    for (const TCommand& command : TTavixMain::CommandTable) {
      bool built = static_cast<bool>(command.handler);
      EXPECT_EQ(CommandBuilt(command.id), built);
      EXPECT_EQ(states[command.id].enabled, built && rules[command.id].enabled) << c.name << " " << command.id;
      EXPECT_EQ(states[command.id].checked, rules[command.id].checked);
    }
  }
}

TEST(CommandTable, RowsAreInIdOrderAndShortcutSlotsMatchTheSettings) {
  // The settings read the ShortCut section with their own defaults; the rows must agree.
  TIniGT ini;
  ini.SetFileName(L"C:\\nonexistent-tavix-folder\\Tavix.ini");
  TMainSettings settings = ReadMainSettings(ini, L"C:\\windows");
  std::set<int> slots;
  for (size_t i = 0; i < TTavixMain::CommandTable.size(); ++i) {
    const TCommand& command = TTavixMain::CommandTable[i];
    EXPECT_EQ(command.id, CmdFirst + i);
    EXPECT_EQ(FindCommand(command.id), &command);
    EXPECT_TRUE(command.helpTopic > 0) << command.id;
    if (command.shortCutSlot < 0) continue;
    ASSERT_LT(command.shortCutSlot, kMenuShortCutCount);
    EXPECT_TRUE(slots.insert(command.shortCutSlot).second) << "slot " << command.shortCutSlot << " twice";
    EXPECT_EQ(std::wstring(command.shortCutDefault), settings.ShortCuts[command.shortCutSlot]) << command.id;
    EXPECT_EQ(TTavixMain::ShortCutCommand(command.shortCutSlot), command.id);
  }
  EXPECT_EQ(static_cast<int>(slots.size()), kMenuShortCutCount);
  EXPECT_EQ(FindCommand(CmdEnd), nullptr);
  EXPECT_EQ(FindCommand(CmdReopenFirst), nullptr);
}

}  // namespace
