// The main window's commands, declared once. Each row gives, in order:
//   id        sent with WM_COMMAND by the command's menu items, its tool-bar
//             button and its shortcut alike
//   handler   the TTavixMain member that runs it; nullptr while the command's
//             area is not built, which keeps it disabled everywhere
//   caption   its menu caption (a menu place may show a shorter one)
//   image     its tool-bar picture, -1 without a button
//   hint      "tooltip|status text" of its button
//   drop-down the menu its button drops down
//   slot      its place in the settings' ShortCut section, -1 none
//   shortcut  that slot's default
//   topic     the help topic F1 opens on its button or menu item
// Where a command shows (menus, tool bar) is laid out in MainCommands.cpp; when
// it is enabled, shown or checked is decided by CommandStates.
#pragma once

#include "engine/Archiver.h"

#include <windows.h>

#include <array>
#include <cstddef>

// clang-format off
#define TAVIX_MAIN_COMMANDS(X) \
  /* ﾌｧｲﾙ(&F) */ \
  X(CmdNewArchive, &TTavixMain::NewCreate_BtnClick, L"新規作成(&N)...", 0, L"書庫ﾌｧｲﾙ作成|新しい書庫ﾌｧｲﾙを作成します", DropNone, 1, L"F2", 17) \
  X(CmdOpenArchive, &TTavixMain::LzhOpen_BtnClick, L"開く(&O)...", 1, L"書庫ﾌｧｲﾙを開く|書庫ﾌｧｲﾙを開きます", DropReopen, 0, L"F3", 5) \
  X(CmdSaveAs, &TTavixMain::SaveAs_MnuClick, L"名前を付けて保存(&A)...", 3, L"名前を付けて保存|新しい書庫に名前を付けて保存します.", DropNone, 14, L"", 5) \
  X(CmdSend, &TTavixMain::Send1Click, L"送信(&D)...", -1, nullptr, DropNone, -1, nullptr, 5) \
  X(CmdArchiveProperties, &TTavixMain::Property1Click, L"書庫のﾌﾟﾛﾊﾟﾃｨ(&P)...", 4, L"書庫のﾌﾟﾛﾊﾟﾃｨ|書庫の情報を表示します.", DropNone, 16, L"", 58) \
  X(CmdExit, &TTavixMain::Quit_BtnClick, L"終了(&X)", 18, L"Tavixの終了|Tavixを終了します", DropNone, 11, L"Ctrl+Q", 5) \
  /* 編集(&E) and the list's pop-up menu */ \
  X(CmdCopy, &TTavixMain::Copy1Click, L"ｺﾋﾟｰ(&C)", 5, L"ｺﾋﾟｰ|選択中のﾌｧｲﾙをｺﾋﾟｰします", DropNone, 12, L"Ctrl+C", 5) \
  X(CmdPaste, &TTavixMain::Paste1Click, L"貼付け(&P)", 6, L"貼付け|ｸﾘｯﾌﾟﾎﾞｰﾄﾞからﾌｧｲﾙを貼付けます.", DropNone, 13, L"Ctrl+V", 5) \
  X(CmdSelectAll, &TTavixMain::SelAll1Click, L"全て選択(&L)", -1, nullptr, DropNone, 15, L"", 5) \
  X(CmdInstall, &TTavixMain::Install_PopMnuClick, L"ｲﾝｽﾄｰﾙ(&I)", 12, L"ｲﾝｽﾄｰﾙ|作業ﾌｫﾙﾀﾞを使用してｲﾝｽﾄｰﾙを実行します.", DropNone, 8, L"Ctrl+I", 5) \
  X(CmdOpenEntry, &TTavixMain::FileOpen_PopClick, L"開く(&O)", 11, L"ﾌｧｲﾙを開く|選択中のﾌｧｲﾙを開く.", DropNone, 4, L"Ctrl+X", 5) \
  X(CmdExtract, &TTavixMain::FIleMelt_BtnClick, L"解凍(&M)", 7, L"ﾌｧｲﾙを解凍する|書庫内のﾌｧｲﾙを解凍します", DropExtract, 2, L"Ctrl+M", 19) \
  X(CmdDelete, &TTavixMain::FileDelete_BtnClick, L"削除(&D)", 9, L"ﾌｧｲﾙを削除する|選択中のﾌｧｲﾙを削除します", DropNone, 6, L"Ctrl+D", 5) \
  X(CmdAdd, &TTavixMain::FileAdd_BtnClick, L"追加(&A)...", 8, L"ﾌｧｲﾙを追加する|書庫にﾌｧｲﾙを追加します", DropAdd, 5, L"Ctrl+A", 22) \
  X(CmdView, &TTavixMain::FileView_PopClick, L"閲覧(&V)", 10, L"ﾌｧｲﾙを閲覧する|選択中のﾌｧｲﾙを閲覧します", DropNone, 3, L"Ctrl+W", 14) \
  X(CmdMakeSfx, &TTavixMain::MakeSfxBtnClick, nullptr, 13, L"SFX作成|自己解凍書庫を作成します.", DropSfx, -1, nullptr, 60) \
  X(CmdSfxWizard, &TTavixMain::SFXWizard1Click, L"&SFX Wizard...", -1, nullptr, DropNone, 9, L"Ctrl+S", 60) \
  X(CmdSfxDos16, &TTavixMain::MakeSfxVariantClick, L"&Dos16 SFX...", -1, nullptr, DropNone, -1, nullptr, 60) \
  X(CmdSfxWin16, &TTavixMain::MakeSfxVariantClick, L"Win&16 SFX...", -1, nullptr, DropNone, -1, nullptr, 60) \
  X(CmdSfxWin32, &TTavixMain::MakeSfxVariantClick, L"Win&32 SFX...", -1, nullptr, DropNone, -1, nullptr, 60) \
  X(CmdSfxWin32M, &TTavixMain::MakeSfxVariantClick, L"&Win32M SFX...", -1, nullptr, DropNone, -1, nullptr, 60) \
  /* 表示(&V) */ \
  X(CmdOptions, &TTavixMain::Option_MnuClick, L"設定...(&T)", 14, L"Tavixの設定|Tavixのオプションを設定します.", DropNone, 7, L"Ctrl+P", 25) \
  X(CmdShowCommandBar, &TTavixMain::VFileBMnuClick, L"ｺﾏﾝﾄﾞﾊﾞｰ", -1, nullptr, DropNone, -1, nullptr, 5) \
  X(CmdShowOptionsBar, &TTavixMain::VMeltOpClick, L"解凍ｵﾌﾟｼｮﾝ", -1, nullptr, DropNone, -1, nullptr, 5) \
  X(CmdCustomize, &TTavixMain::N12Click, L"ｶｽﾀﾏｲｽﾞ...", -1, nullptr, DropNone, -1, nullptr, 25) \
  X(CmdLargeIcons, &TTavixMain::MnuIconClick, L"大きなｱｲｺﾝ(&G)", -1, nullptr, DropNone, -1, nullptr, 5) \
  X(CmdSmallIcons, &TTavixMain::MnuSmallIconClick, L"小さなｱｲｺﾝ(&M)", -1, nullptr, DropNone, -1, nullptr, 5) \
  X(CmdListView, &TTavixMain::MnuListIconClick, L"一覧(&L)", -1, nullptr, DropNone, -1, nullptr, 5) \
  X(CmdReportView, &TTavixMain::MnuReportIconClick, L"詳細(&D)", -1, nullptr, DropNone, -1, nullptr, 5) \
  X(CmdNextViewStyle, &TTavixMain::IconBtnClick, nullptr, 15, L"ｱｲｺﾝのｻｲｽﾞ|ｱｲｺﾝのｻｲｽﾞを変更します.", DropViewStyle, -1, nullptr, 5) \
  /* ﾍﾙﾌﾟ(&H) */ \
  X(CmdHelpContents, &TTavixMain::Contents1Click, L"ﾍﾙﾌﾟの表示...", 16, L"ﾍﾙﾌﾟ表示|ﾍﾙﾌﾟﾌｧｲﾙを表示します", DropNone, 10, L"Ctrl+H", 5) \
  X(CmdHelpSearch, &TTavixMain::SearchforHelpOn1Click, L"ﾄﾋﾟｯｸの検索(&S)...", 17, L"ﾍﾙﾌﾟ検索|ﾍﾙﾌﾟのﾄﾋﾟｯｸ検索を表示します", DropNone, -1, nullptr, 5) \
  X(CmdAbout, &TTavixMain::About1Click, L"ﾊﾞｰｼﾞｮﾝ情報(&A)...", -1, nullptr, DropNone, -1, nullptr, 28) \
  /* Drop-downs of the tool-bar buttons */ \
  X(CmdExtractToDesktop, &TTavixMain::ToDtpMnuClick, L"ﾃﾞｽｸﾄｯﾌﾟへ", -1, nullptr, DropNone, -1, nullptr, 19) \
  X(CmdExtractToArchiveFolder, &TTavixMain::ToArcMnuClick, L"書庫のﾌｫﾙﾀﾞへ", -1, nullptr, DropNone, -1, nullptr, 19) \
  X(CmdAddStandard, &TTavixMain::CommonDlgMnuClick, L"標準ﾀﾞｲｱﾛｸﾞ", -1, nullptr, DropNone, -1, nullptr, 22) \
  X(CmdAddExtended, &TTavixMain::ExtDlgMnuClick, L"拡張ﾀﾞｲｱﾛｸﾞ", -1, nullptr, DropNone, -1, nullptr, 22)
// clang-format on

enum TCommandId : UINT {
  CmdFirst = 1001,
  CmdBeforeFirst = CmdFirst - 1,
#define TAVIX_COMMAND_ID(id, ...) id,
  TAVIX_MAIN_COMMANDS(TAVIX_COMMAND_ID)
#undef TAVIX_COMMAND_ID
  CmdEnd,
  // Items built at run time: recent archives and previous extraction folders.
  CmdReopenFirst = 1500,
  CmdReopenLast = 1599,
  CmdExtractHistoryFirst = 1600,
  CmdExtractHistoryLast = 1699,
};
constexpr int kCommandCount = CmdEnd - CmdFirst;

// The menus a tool-bar button drops down, in the order of TTavixMain::DropDown.
enum TDropMenu { DropNone = -1, DropReopen, DropExtract, DropAdd, DropSfx, DropViewStyle };

// What the commands' states depend on: the window state, read by the caller.
struct TCommandContext {
  TArchiverType kind = atLha;  // the kind the last archive selection went by
  bool selfExtracting = false;  // that archive's extension is .EXE
  bool listEmpty = true;
  bool listingUnavailable = false;
  bool readOnlyView = true;
  bool newArchiveMode = false;
  bool modified = false;
  int selectedCount = 0;
  bool installerSelected = false;  // the one selected entry is SETUP.EXE or INSTALL.EXE
  bool clipboardHasFiles = false;
  int viewStyle = 3;
  bool commandBarShown = true;
  bool optionsBarShown = true;
  // The self-extractor the user chose last: its checked item and button picture memory.
  UINT sfxChecked = 0;  // 0: none chosen yet (Win32)
  int sfxButton = 1;
};

struct TCommandState {
  bool enabled = false;
  bool visible = true;
  bool checked = false;
  bool operator==(const TCommandState&) const = default;
};

struct TCommandStates {
  std::array<TCommandState, kCommandCount> commands{};
  bool addingSupported = false;
  int sfxImage = 13;  // the self-extractor button's picture
  int sfxButton = 1;  // what the button runs: 0 Win16, 1 Win32, 2 Win32M, 3 wizard
  const TCommandState& operator[](UINT id) const { return commands[id - CmdFirst]; }
  TCommandState& operator[](UINT id) { return commands[id - CmdFirst]; }
  bool operator==(const TCommandStates&) const = default;
};

// The states of every command for a window state, as the rules give them;
// CommandStates also disables every command not built yet. Pure: tests call
// them without a window.
TCommandStates CommandRules(const TCommandContext& context);
TCommandStates CommandStates(const TCommandContext& context);

class TTavixMain;

// A command's handler: most take nothing; one serving several commands takes the id.
struct TCommandHandler {
  using Plain = void (TTavixMain::*)();
  using WithId = void (TTavixMain::*)(UINT id);
  constexpr TCommandHandler(std::nullptr_t = nullptr) {}
  constexpr TCommandHandler(Plain handler) : plain(handler) {}
  constexpr TCommandHandler(WithId handler) : withId(handler) {}
  explicit operator bool() const { return plain != nullptr || withId != nullptr; }
  Plain plain = nullptr;
  WithId withId = nullptr;
};

// One row of TAVIX_MAIN_COMMANDS.
struct TCommand {
  UINT id;
  TCommandHandler handler;
  const wchar_t* caption;
  int image;
  const wchar_t* hint;
  TDropMenu dropDown;
  int shortCutSlot;
  const wchar_t* shortCutDefault;
  DWORD helpTopic;
};

// The row of a command id; null for ids that are no command.
const TCommand* FindCommand(UINT id);
// Whether a command has a handler (is built).
bool CommandBuilt(UINT id);
// The help topic of the main window, and of each command by default.
constexpr DWORD kMainHelpTopic = 5;
