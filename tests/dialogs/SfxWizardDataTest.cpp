// The wizard's data without a window: the defaults that follow the name, the
// installer's "$" and "!" files, and the definition file read back.
#include "dialogs/SfxWizardData.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::wstring ScratchFile(const wchar_t* name) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  std::wstring path = std::wstring(temp) + name;
  DeleteFileW(path.c_str());
  return path;
}

TEST(SfxWizardData, TheNameSetsTheEightDerivedFieldsOverWhatWasTyped) {
  TSfxWizardData data;
  data.dialogTitle = L"typed";
  data.DeriveFromAppTitle(L"tool");
  EXPECT_EQ(data.extractFolder, L"%ProgramFiles%\\tool");
  EXPECT_EQ(data.notes, L"tool のﾌｧｲﾙ");
  EXPECT_EQ(data.attachExt, L".???");
  EXPECT_EQ(data.dialogTitle, L"tool のインストール");
  EXPECT_EQ(data.folderTitle, L"tool のインストール先");
  EXPECT_EQ(data.message, L"tool のインストールを開始します。");
  EXPECT_EQ(data.appGroup, L"tool");
  EXPECT_EQ(data.regKeyName, L"tool");
}

TEST(SfxWizardData, InstallerDefinitionHasOnlyTheLinesWhoseConditionHolds) {
  TSfxWizardData data;
  data.DeriveFromAppTitle(L"tool");
  data.silentOW = true;
  EXPECT_EQ(InstallerDefinitionLines(data),
            (std::vector<std::wstring>{L"$WindowTitle=tool のインストール", L"$InstallTitle=tool のインストール先",
                                       L"$InstallDir=%ProgramFiles%\\tool", L"$Flag=" + std::to_wstring(0x1902)}));
  data.fileAttach = true;
  data.attachedApp = L"tool.exe";
  data.addStartMenu = true;
  data.menuTitles[0] = L"tool", data.menuFiles[0] = L"tool.exe";
  data.menuTitles[1] = L"half";  // a row without its file is left out
  data.menuTitles[9] = L"read\r\nme", data.menuFiles[9] = L"readme.txt";
  data.autoExecute = L"README";
  data.autoExec = data.forceOW = data.extArchive = true;
  EXPECT_EQ(InstallerDefinitionLines(data),
            (std::vector<std::wstring>{L"$WindowTitle=tool のインストール", L"$InstallTitle=tool のインストール先",
                                       L"$InstallDir=%ProgramFiles%\\tool", L"$ClassTitle=ﾌｧｲﾙの関連付け",
                                       L"Class=.???,tool のﾌｧｲﾙ,tool.exe,tool", L"$GroupTitle=ｽﾀｰﾄﾒﾆｭｰへの登録",
                                       L"$Group=tool,tool,tool.exe", L"$Group=tool,read  me,readme.txt",
                                       L"$Command=README", L"$Flag=27"}));
  data.message.clear();
  EXPECT_TRUE(MessageLines(data).empty());
  data.message = L"one\r\ntwo\r\n";
  EXPECT_EQ(MessageLines(data), (std::vector<std::wstring>{L"one", L"two"}));
}

TEST(SfxWizardData, DefinitionFileRoundTripKeepsEveryFieldAndFillsMissingKeys) {
  std::wstring path = ScratchFile(L"tavix-wizard.sfx");
  TSfxWizardData data;
  data.DeriveFromAppTitle(L"  blank ends  ");
  data.showMsgBox = false;
  data.message = L"line one\r\nline \\n two";
  data.autoExecute = L"setup.exe";
  data.fileAttach = data.addStartMenu = data.autoExec = data.silentOW = data.forceOW = data.extArchive = true;
  data.attachedApp = L"a=b,c.exe";
  data.regGuide = std::wstring(2000, L'x');
  for (size_t row = 0; row < 10; ++row)
    data.menuTitles[row] = L"title" + std::to_wstring(row), data.menuFiles[row] = L"file" + std::to_wstring(row);
  ASSERT_TRUE(SaveSfxDefinition(path, data));
  TSfxWizardData back = ReadSfxDefinition(path);
  EXPECT_EQ(back.appTitle, data.appTitle);
  EXPECT_EQ(back.message, data.message);
  EXPECT_EQ(back.dialogTitle, data.dialogTitle);
  EXPECT_EQ(back.folderTitle, data.folderTitle);
  EXPECT_EQ(back.extractFolder, data.extractFolder);
  EXPECT_EQ(back.autoExecute, data.autoExecute);
  EXPECT_EQ(back.regGuide, data.regGuide);
  EXPECT_EQ(back.attachExt, data.attachExt);
  EXPECT_EQ(back.notes, data.notes);
  EXPECT_EQ(back.attachedApp, data.attachedApp);
  EXPECT_EQ(back.regKeyName, data.regKeyName);
  EXPECT_EQ(back.groupGuide, data.groupGuide);
  EXPECT_EQ(back.appGroup, data.appGroup);
  EXPECT_EQ(back.showMsgBox, false);
  EXPECT_TRUE(back.fileAttach && back.addStartMenu && back.autoExec && back.silentOW && back.forceOW &&
              back.extArchive);
  EXPECT_EQ(back.menuTitles, data.menuTitles);
  EXPECT_EQ(back.menuFiles, data.menuFiles);
  // The file as another reader sees it: one section, quoted values.
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("[SFXWizard]"), std::string::npos);
  EXPECT_NE(text.str().find("AppTitle=\"  blank ends  \""), std::string::npos);

  // Garbage and missing keys: the read defaults.
  std::wstring garbage = ScratchFile(L"tavix-garbage.sfx");
  {
    std::ofstream out(std::filesystem::path(garbage), std::ios::binary);
    out << "\x01\x02 not a settings file\r\n[Other]\r\nAppTitle=\"x\"\r\n";
  }
  TSfxWizardData none = ReadSfxDefinition(garbage);
  EXPECT_TRUE(none.showMsgBox);
  EXPECT_EQ(none.appTitle, L"");
  EXPECT_EQ(none.dialogTitle, L"ｱﾌﾟﾘｹｰｼｮﾝのｲﾝｽﾄｰﾙ");
  EXPECT_EQ(none.folderTitle, L"ｱﾌﾟﾘｹｰｼｮﾝのｲﾝｽﾄｰﾙ先");
  EXPECT_EQ(none.regGuide, L"ﾌｧｲﾙの関連付け");
  EXPECT_EQ(none.attachExt, L".???");
  EXPECT_EQ(none.notes, L"???");
  EXPECT_EQ(none.groupGuide, L"ｽﾀｰﾄﾒﾆｭｰへの登録");
  EXPECT_FALSE(none.fileAttach || none.addStartMenu || none.silentOW);
  DeleteFileW(path.c_str());
  DeleteFileW(garbage.c_str());
}

}  // namespace
