// Self-extracting archives and sending by mail.
#include "app/AddRules.h"
#include "app/MailSend.h"
#include "app/MainTexts.h"
#include "app/TavixMain.h"
#include "dialogs/SfxWizard.h"
#include "engine/Handles.h"
#include "engine/Archiver.h"
#include "engine/TextUtil.h"

namespace {

std::wstring NameOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/:");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// The name without its extension (a dot inside a folder name is no extension).
std::wstring WithoutExtension(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/:");
  size_t dot = path.rfind(L'.');
  if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return path;
  return path.substr(0, dot);
}

bool FileExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The picture memory of the button and what a variant item means.
struct TSfxVariant {
  UINT id;
  int button;   // the button's picture after the choice
  int variant;  // what SfxRun builds
};
constexpr TSfxVariant SfxVariants[] = {
    {CmdSfxDos16, 0, 4},
    {CmdSfxWin16, 0, 0},
    {CmdSfxWin32, 1, 1},
    {CmdSfxWin32M, 2, 2},
};

// Writes text lines in the ANSI code page, as the installer reads them.
bool WriteAnsiLines(const std::wstring& path, const std::vector<std::wstring>& lines) {
  std::string text;
  for (const std::wstring& line : lines) text += WideToAnsi(line) + "\r\n";
  TFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file && WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

std::wstring UpperExtension(const std::wstring& name) {
  size_t dot = name.rfind(L'.');
  std::wstring extension = dot == std::wstring::npos ? L"" : name.substr(dot);
  for (wchar_t& c : extension) c = towupper(c);
  return extension;
}

// The extension in upper case with one blank after it, looked up in a list of
// them: a name without extension matches any blank.
bool ExtensionIn(const std::wstring& name, const wchar_t* list) {
  return std::wstring(list).find(UpperExtension(name) + L" ") != std::wstring::npos;
}

}  // namespace

// The path of the self-extractor a variant writes for an archive.
std::wstring SfxResultPath(const std::wstring& archivePath, int variant) {
  if (variant != 4) return WithoutExtension(archivePath) + L".exe";
  // The 16-bit DOS module takes a short name: the first 8 characters.
  std::wstring base = NameOf(WithoutExtension(archivePath)).substr(0, 8);
  std::wstring folder = FolderOf(archivePath);
  return (folder.empty() ? L"" : folder + L"\\") + base + L".exe";
}

void TTavixMain::MakeSfxVariantClick(UINT id) {
  if (state_.busy) return;
  for (const TSfxVariant& choice : SfxVariants) {
    if (choice.id != id) continue;
    state_.sfxChecked = id;
    state_.sfxButton = choice.button;
    ApplyCommandStates();
    SfxRun(choice.variant);
    return;
  }
}

void TTavixMain::MakeSfxBtnClick() {
  // A ZIP archive's button runs Win32M while its menu offers Win32 only.
  TCommandStates states = ApplyCommandStates();
  switch (states.sfxButton) {
    case 0: return MakeSfxVariantClick(CmdSfxWin16);
    case 1: return MakeSfxVariantClick(CmdSfxWin32);
    case 2: return MakeSfxVariantClick(CmdSfxWin32M);
    case 3:
      if (CommandBuilt(CmdSfxWizard)) OnCommand(CmdSfxWizard);
      return;
  }
}

bool TTavixMain::SaveBeforeSfx() {
  if (!(state_.newArchiveMode && state_.modified)) return true;
  SaveAs_MnuClick();
  // Save As that did not save leaves the new archive unsaved.
  return !(state_.newArchiveMode && state_.modified);
}

bool TTavixMain::SfxRun(int variant, bool announce) {
  if (state_.entryCount == 0) return false;
  if (!SaveBeforeSfx()) return false;
  std::string archive = WideToAnsi(state_.archivePath);
  if (arc_->FileName() != archive) arc_->SetFileName(archive);

  TArchiverOptions& options = arc_->Options();
  options.gu = 1, options.jw = 1, options.gw = -1, options.n = 1;
  switch (variant) {
    case 0: options.jw = 1; break;
    case 1: options.gw = 1; break;
    case 2: options.gw = 3; break;
    case 3: options.gw = 4; break;
    case 4: options.gw = -1, options.jw = -1; break;
  }
  const TSwitch keptX = options.x, keptJf = options.jf;
  const std::string keptUserOptions = options.UserOptions;
  options.x = 1, options.jf = 1;
  if (arc_->ArchiverType() == atLha && !settings_.LhaCommand.empty())
    options.UserOptions += " " + WideToAnsi(settings_.LhaCommand);
  // Whatever the library does, the switches go back for the next command.
  TScopeExit restore([&] {
    options.jw = 0, options.gw = 0, options.gu = -1, options.n = -1;
    options.x = keptX, options.jf = keptJf;
    options.UserOptions = keptUserOptions;
  });

  state_.cancelRequested = false;
  int code = 0;
  {
    state_.busy = true;
    EnableWindow(window_, FALSE);
    TScopeExit ready([this] {
      state_.busy = false;
      EnableWindow(window_, TRUE);
    });
    code = arc_->MakeSfx(window_, nullptr, WideToAnsi(FolderOf(state_.archivePath)));
  }
  bool success = arc_->ArchiverType() == atZip ? code != 0 : code == 0;
  if (!success) {
    Message(texts::SfxFailed, MB_ICONWARNING | MB_OK);
    return false;
  }
  if (FileExists(SfxResultPath(state_.archivePath, variant))) {
    if (announce) Message(texts::SfxMade, MB_OK);
    return true;
  }
  Message(variant == 4 ? texts::SfxNotMadeDos16 : texts::SfxNotMade, MB_OK);
  return false;
}

void TTavixMain::Send1Click() {
  if (state_.busy) return;
  std::wstring path = AnsiToWide(arc_->FileName());
  // The full path, so the mail client finds the file whatever its current folder.
  wchar_t full[MAX_PATH * 2] = {};
  if (DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH * 2, full, nullptr); length > 0 && length < MAX_PATH * 2)
    path = full;
  TMailData mail;
  mail.recipientAddress = L"anyone";
  mail.subject = std::wstring(texts::MailSubject) + NameOf(path);
  std::vector<std::wstring> attachments{path};
  mail.attachments = &attachments;
  mail.showDialog = true;
  if (!SendMail(mail)) Message(texts::MailFailed, MB_ICONWARNING | MB_OK);
}

void TTavixMain::SFXWizard1Click() {
  if (state_.busy || state_.entryCount == 0) return;
  if (!SaveBeforeSfx()) return;
  state_.sfxChecked = CmdSfxWizard;
  state_.sfxButton = 3;
  ApplyCommandStates();

  const std::wstring original = state_.archivePath;
  TSFXWizard wizard(window_, original);
  for (const TListRecord& record : state_.records) {
    wizard.ComboBox1.push_back(record.name);
    if (ExtensionIn(record.name, L".EXE .COM .BAT .HLP .TXT .DOC ")) wizard.AutoExecuteItems.push_back(record.name);
    if (UpperExtension(record.name) == L".EXE") wizard.AttachedAppItems.push_back(record.name);
  }
  if (wizard.ShowModal() != IDOK) return;
  const TSfxWizardData& data = wizard.Data();

  // The definition and the message go into a copy of the archive in the work
  // folder; the copy becomes the self-extractor beside the original.
  EnsureWorkFolder();
  const std::wstring definition = state_.workFolder + L"\\$", message = state_.workFolder + L"\\!";
  std::vector<std::wstring> files{definition};
  bool written = WriteAnsiLines(definition, InstallerDefinitionLines(data));
  DeleteFileW(message.c_str());
  // The message is shown only when its box is checked: unchecked, its text is no message.
  std::vector<std::wstring> lines = data.showMsgBox ? MessageLines(data) : std::vector<std::wstring>{};
  if (written && !lines.empty()) {
    written = WriteAnsiLines(message, lines);
    files.push_back(message);
  }
  const std::wstring copy = state_.workFolder + L"\\" + NameOf(original);
  if (!written || !CopyFileW(original.c_str(), copy.c_str(), FALSE)) {
    Message(texts::SfxFailed, MB_ICONWARNING | MB_OK);
    return;
  }
  SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
  const std::wstring builtExe = SfxResultPath(copy, 3);
  DeleteFileW(builtExe.c_str());  // an old one must not pass for the new one

  const bool keptReadOnly = state_.readOnlyView, keptAdding = state_.addingSupported, keptModified = state_.modified;
  const int keptDirOption = settings_.PackDirOption;
  const bool keptAutoNaming = settings_.AutoNaming;
  const std::wstring keptBase = state_.baseFolder;
  state_.readOnlyView = false;
  state_.addingSupported = true;
  settings_.PackDirOption = 0;
  settings_.AutoNaming = false;
  state_.baseFolder.clear();
  state_.archivePath = copy;
  bool built = false;
  try {
    arc_->SetFileName(WideToAnsi(copy));
    if (AddStep(files)) {
      state_.modified = false;  // the copy is saved; no Save As for it
      built = SfxRun(3, false);
    }
  } catch (const EArchiver& error) {
    ShowError(error.Message());
  }
  settings_.AutoNaming = keptAutoNaming;
  state_.baseFolder = keptBase;

  // The result replaces an .exe of the same name beside the archive.
  const std::wstring target = SfxResultPath(original, 3);
  bool copied = built && CopyFileW(builtExe.c_str(), target.c_str(), FALSE);
  // Made is told only once the program is where the user will look for it.
  if (built) Message(copied ? texts::SfxMade : texts::SfxFailed, copied ? MB_OK : MB_ICONWARNING | MB_OK);
  DeleteFileW(builtExe.c_str());
  DeleteFileW(copy.c_str());
  state_.readOnlyView = keptReadOnly;
  state_.addingSupported = keptAdding;
  state_.modified = keptModified;
  settings_.PackDirOption = keptDirOption;
  // Without a new self-extractor the window goes back to the archive it showed.
  state_.archivePath = copied ? target : original;
  try {
    ReadEntries(state_.archivePath);
    SelectArchive(state_.archivePath);
  } catch (const EArchiver& error) {
    ShowError(error.Message());
  }
}
