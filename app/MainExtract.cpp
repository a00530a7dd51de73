// Extraction from the main window: the options toolbar, the extraction
// command with its destination dialog, the quick destinations of the
// extract button, and the extraction step the other commands share.
#include "app/MainTexts.h"
#include "app/TavixMain.h"
#include "app/res/resource.h"
#include "engine/TextUtil.h"

#include <shellapi.h>

#include <cwchar>
#include <span>

namespace {

const wchar_t OptionsPanelClass[] = L"TExtractOptionsPanel";

constexpr int OptionsPanelHeight = 22;

LRESULT CALLBACK OptionsPanelProc(HWND panel, UINT message, WPARAM w, LPARAM l) {
  // The panel lives in whichever dock holds the bar; its controls' clicks
  // belong to the main window.
  if (message == WM_COMMAND) {
    auto main = reinterpret_cast<HWND>(GetWindowLongPtrW(panel, GWLP_USERDATA));
    return SendMessageW(main, WM_COMMAND, w, l);
  }
  return DefWindowProcW(panel, message, w, l);
}

std::wstring WithoutTrailingBackslash(std::wstring path) {
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

// "C:\in\data.lzh" -> "data"; a name that is all extension keeps its name.
std::wstring NameWithoutExtension(const std::wstring& path) {
  std::wstring name = path.substr(path.find_last_of(L"\\/:") + 1);
  size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos && dot > 0) name.erase(dot);
  return name;
}

std::wstring FolderOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

}  // namespace

// The controls of the extraction options bar (MeltOpBar), left to right, and
// the handlers of their clicks.
struct TExtractOption {
  UINT id;
  const wchar_t* caption;
  DWORD style;
  void (TTavixMain::*handler)();
};

const TExtractOption* TTavixMain::ExtractOptions(size_t& count) {
  static const TExtractOption options[] = {
      {IDC_OPTIONS_LABEL, texts::OptionsBarLabel, SS_LEFT | SS_CENTERIMAGE, nullptr},
      {IDC_ALLFILE, texts::OptionExtractAll, BS_AUTOCHECKBOX | WS_TABSTOP, &TTavixMain::AllFileClick},
      {IDC_OVERWRITE, texts::OptionOverwrite, BS_AUTOCHECKBOX | WS_TABSTOP, &TTavixMain::OverWriteClick},
      {IDC_MKSUBDIR, texts::OptionMakeFolder, BS_AUTOCHECKBOX | WS_TABSTOP, &TTavixMain::MkSubdirClick},
      {IDC_NONDIR, texts::OptionNoFolders, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, &TTavixMain::NonDirClick},
      {IDC_ABSDIR, texts::OptionAbsolute, BS_AUTORADIOBUTTON, &TTavixMain::AbsDirClick},
      {IDC_RELDIR, texts::OptionRelative, BS_AUTORADIOBUTTON, &TTavixMain::RelDirClick},
  };
  count = std::size(options);
  return options;
}

void TTavixMain::OnExtractOptionClick(UINT id) {
  size_t count = 0;
  const TExtractOption* options = ExtractOptions(count);
  for (size_t i = 0; i < count; ++i)
    if (options[i].id == id && options[i].handler) (this->*options[i].handler)();
}

HWND TTavixMain::CreateExtractOptionsPanel() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW cls{sizeof cls};
  cls.lpfnWndProc = OptionsPanelProc;
  cls.hInstance = instance;
  cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  cls.lpszClassName = OptionsPanelClass;
  RegisterClassExW(&cls);

  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  // The dialogs' face, so the bar reads like them.
  extractOptionsFont_.reset(CreateFontW(-MulDiv(9, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                       SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                       DEFAULT_PITCH, L"MS UI Gothic"));
  HGDIOBJ previous = SelectObject(screen, extractOptionsFont_.get());
  int checkWidth = GetSystemMetrics(SM_CXMENUCHECK) + 6;
  int height = MulDiv(OptionsPanelHeight, dpi, 96);

  extractOptionsPanel_ = CreateWindowExW(WS_EX_CONTROLPARENT, OptionsPanelClass, L"", WS_CHILD | WS_VISIBLE, 0, 0,
                                         0, height, window_, nullptr, instance, nullptr);
  SetWindowLongPtrW(extractOptionsPanel_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window_));
  int x = 2;
  size_t count = 0;
  const TExtractOption* options = ExtractOptions(count);
  for (const TExtractOption& item : std::span(options, count)) {
    SIZE text{};
    GetTextExtentPoint32W(screen, item.caption, static_cast<int>(wcslen(item.caption)), &text);
    bool label = item.id == IDC_OPTIONS_LABEL;
    int width = text.cx + (label ? 0 : checkWidth);
    HWND control = CreateWindowExW(0, label ? L"STATIC" : L"BUTTON", item.caption,
                                   WS_CHILD | WS_VISIBLE | item.style, x, 0, width, height, extractOptionsPanel_,
                                   reinterpret_cast<HMENU>(static_cast<UINT_PTR>(item.id)), instance, nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(extractOptionsFont_.get()), FALSE);
    x += width + (label ? 0 : 8);
  }
  SelectObject(screen, previous);
  ReleaseDC(nullptr, screen);
  SetWindowPos(extractOptionsPanel_, nullptr, 0, 0, x, height, SWP_NOMOVE | SWP_NOZORDER);
  return extractOptionsPanel_;
}

void TTavixMain::SetExtractOptionsFromSettings() {
  auto check = [&](UINT id, bool on) { CheckDlgButton(extractOptionsPanel_, id, on ? BST_CHECKED : BST_UNCHECKED); };
  check(IDC_ALLFILE, settings_.ExtractFileOpt == 1);
  check(IDC_OVERWRITE, settings_.ExistFileMode == 1);
  check(IDC_MKSUBDIR, settings_.MakeArcDir);
  check(IDC_NONDIR, settings_.FolderOption == 0);
  check(IDC_RELDIR, settings_.FolderOption == 2);
  check(IDC_ABSDIR, settings_.FolderOption == 1);
}

void TTavixMain::AllFileClick() {
  settings_.ExtractFileOpt = IsDlgButtonChecked(extractOptionsPanel_, IDC_ALLFILE) == BST_CHECKED ? 1 : 0;
}

void TTavixMain::OverWriteClick() {
  settings_.ExistFileMode = IsDlgButtonChecked(extractOptionsPanel_, IDC_OVERWRITE) == BST_CHECKED ? 1 : 0;
}

void TTavixMain::MkSubdirClick() {
  settings_.MakeArcDir = IsDlgButtonChecked(extractOptionsPanel_, IDC_MKSUBDIR) == BST_CHECKED;
}

void TTavixMain::SetFolderOptionFromBar(int option) {
  const UINT ids[] = {IDC_NONDIR, IDC_ABSDIR, IDC_RELDIR};
  if (IsDlgButtonChecked(extractOptionsPanel_, ids[option]) == BST_CHECKED) settings_.FolderOption = option;
  // The bar decides how added files keep their folders, too.
  settings_.PackDirOption = settings_.FolderOption;
}

void TTavixMain::ArcListOKeyDown(WORD key) {
  if (key == VK_ESCAPE) state_.cancelRequested = true;
  else if (key == VK_DELETE) FileDelete_BtnClick();
}

void TTavixMain::CreateExtractDialog() {
  if (extract_) return;
  TExtract::TInitialOptions initial{settings_.ExtractFileOpt, settings_.ExistFileMode, settings_.ExtDirOption,
                                    settings_.FolderOption};
  extract_ = std::make_unique<TExtract>(window_, initial);
  extract_->ShowError = [this](HWND, const std::wstring& message) { ShowError(message); };
  extract_->ExtractHistory().SetFileName(ExeSettingsPath());
}

void TTavixMain::ReleaseExtractDialog() { extract_.reset(); }

bool TTavixMain::ShowExtractDialog() {
  CreateExtractDialog();
  TExtract& dialog = *extract_;
  dialog.SetPosition(settings_.ExtractLeft, settings_.ExtractTop);
  dialog.SetHistoryText(settings_.ExtractBoxText);
  dialog.ExtractHistory().Load();
  if (state_.modes.extractAndExit) {
    dialog.SetFileOptionEnabled(false);
    dialog.SetCaption(state_.archivePath + texts::ExtractCaptionEnd);
  }
  dialog.SetDirOption(settings_.ExtDirOption);
  dialog.SetExistFileMode(settings_.ExistFileMode);
  dialog.SetFileOption(settings_.ExtractFileOpt);
  dialog.SetFolderOption(settings_.FolderOption);
  dialog.SetMakeArcDir(settings_.MakeArcDir);
  // The options are on the toolbar already when it shows.
  if (docks_.BarVisible(meltOpBar_)) dialog.OpCloseBtnClick();
  else dialog.OpOpenBtnClick();
  dialog.SetArchivePath(state_.archivePath);
  dialog.SetDesktopFolder(state_.desktopFolder);

  bool ok = dialog.ShowModal() == IDOK;
  if (ok) {
    settings_.ExtDirOption = dialog.DirOption();
    settings_.ExistFileMode = dialog.ExistFileMode();
    settings_.ExtractFileOpt = dialog.FileOption();
    settings_.FolderOption = dialog.FolderOption();
    settings_.MakeArcDir = dialog.MakeArcDir();
    SetExtractOptionsFromSettings();
    state_.lastExtractFolder = dialog.Destination();
  }
  return ok;
}

void TTavixMain::FIleMelt_BtnClick() {
  if (state_.busy) return;
  if (state_.entryCount == 0 && !state_.modes.extractAndExit && !state_.listingUnavailable) return;
  bool ok = false;
  try {
    ok = ShowExtractDialog();
  } catch (...) {
    ShowError(texts::OutOfResources);
    return;
  }
  // The run reports its own failures; what the dialog chose is kept either way.
  if (ok) ExtractRun(extract_->Destination(), settings_.MakeArcDir);
  try {
    TExtract& dialog = *extract_;
    if (!dialog.ExtractHistory().Save()) throw EIniFileError(dialog.ExtractHistory().FileName());
    extractHistory_.SetFromList(dialog.ExtractHistory().History());
    if (!extractHistory_.Save()) throw EIniFileError(extractHistory_.FileName());
    settings_.ExtractLeft = dialog.Left();
    settings_.ExtractTop = dialog.Top();
    settings_.ExtractBoxText = dialog.HistoryText();
    WriteMainSettings(ini_, settings_, TSettingWrite::AfterExtractDialog);
  } catch (...) {
    ShowError(texts::OutOfResources);
  }
}

void TTavixMain::ToDtpMnuClick() { ExtractRun(state_.desktopFolder, true); }

void TTavixMain::ToArcMnuClick() {
  ExtractRun(FolderOf(AnsiToWide(arc_->FileName())), settings_.MakeArcDir);
}

void TTavixMain::MeltToPopPopup() {
  ClearExtractHistoryMenu();
  HMENU previous = GetSubMenu(DropDown(DropExtract), 2);
  const std::vector<std::wstring>& lines = extractHistory_.History();
  for (size_t i = 0; i < lines.size() && CmdExtractHistoryFirst + i < CmdExtractHistoryLast; ++i)
    AppendMenuW(previous, MF_STRING, CmdExtractHistoryFirst + i, MenuCaptionFor(lines[i]).c_str());
  EnableMenuItem(DropDown(DropExtract), 2, MF_BYPOSITION | (lines.empty() ? MF_GRAYED : MF_ENABLED));
}

void TTavixMain::ExtractToPreviousFolder(int index) {
  const std::vector<std::wstring>& lines = extractHistory_.History();
  if (index < 0 || index >= static_cast<int>(lines.size())) return;
  ExtractRun(lines[index], settings_.MakeArcDir);
}

void TTavixMain::ClearExtractHistoryMenu() {
  HMENU previous = GetSubMenu(DropDown(DropExtract), 2);
  while (previous && GetMenuItemCount(previous) > 0) DeleteMenu(previous, 0, MF_BYPOSITION);
}

void TTavixMain::ExtractRun(std::wstring destination, bool makeSubFolder) {
  if (state_.busy) return;
  bool extractAndExit = state_.modes.extractAndExit;
  if (state_.entryCount == 0 && !extractAndExit && !state_.listingUnavailable) return;
  // Without a folder the sub-folder would land in the root of the current drive.
  if (WithoutTrailingBackslash(destination).empty()) {
    ExtractStep({}, destination, TExtractMode::User);  // tells the user
    return;
  }
  state_.lastExtractFolder = destination;
  if (makeSubFolder)
    destination = WithoutTrailingBackslash(destination) + L"\\" + NameWithoutExtension(AnsiToWide(arc_->FileName()));

  std::vector<std::string> files;
  int expected = 0;
  if (settings_.ExtractFileOpt == 1 || extractAndExit || state_.listingUnavailable) {
    files.push_back("*.*");
    expected = extractAndExit ? 10 : state_.entryCount;
  } else {
    for (int item : arcList_.SelectedItems())
      if (item >= 0 && item < static_cast<int>(state_.records.size()))
        files.push_back(WideToAnsi(EntryPath(state_.records[item])));
    expected = static_cast<int>(files.size());
    if (files.empty()) {
      // Nothing chosen: nothing runs, and nothing may look as if it had.
      statusBar1_.SetText(0, L"0" + std::wstring(texts::ExtractedEnd));
      Message(texts::NothingSelected, MB_ICONWARNING | MB_OK);
      return;
    }
  }
  statusBar1_.SetText(0, texts::ExtractingFrom + std::to_wstring(files.size()) + texts::ExtractingEnd);
  state_.processedFiles = 0;
  bool failed = false;
  if (expected > 0 || state_.listingUnavailable) failed = ExtractStep(files, destination, TExtractMode::User);

  const std::wstring done = texts::ExtractDone;
  const std::wstring extracted = std::to_wstring(state_.processedFiles) + texts::ExtractedEnd;
  if (failed && state_.extractFailureShown) {
    // The step told of the failure already.
    statusBar1_.SetText(0, extracted);
  } else if (state_.listingUnavailable) {
    statusBar1_.SetText(0, done);
  } else if (extractAndExit) {
    // The program ends right after; nobody would read a report.
  } else if (arc_->ArchiverType() == atCab || state_.processedFiles >= expected) {
    statusBar1_.SetText(0, done);
  } else {
    Message(texts::SkippedFiles + std::to_wstring(expected) + L"\r" + texts::ExtractedCount +
                std::to_wstring(state_.processedFiles),
            MB_ICONINFORMATION | MB_OK);
    statusBar1_.SetText(0, extracted);
  }
}

bool TTavixMain::ExtractStep(const std::vector<std::string>& files, const std::wstring& destination,
                             TExtractMode mode) {
  // Every way out before the library answers has told the user already.
  state_.extractFailureShown = true;
  // The kind chosen when the archive was selected stays (a .JAR is a ZIP).
  std::string archive = WideToAnsi(state_.archivePath);
  if (arc_->FileName() != archive) {
    try {
      arc_->SetFileName(archive);
    } catch (const EArchiver& error) {
      ShowError(error.Message());
      return true;
    }
  }
  // A tree node without a folder behind it (such as the computer) gives no
  // destination; "\\" alone would be the root of the current drive.
  if (WithoutTrailingBackslash(destination).empty()) {
    Message(texts::NoDestination, MB_ICONWARNING | MB_OK);
    return true;
  }
  EnsureWorkFolder();
  std::wstring target = WithoutTrailingBackslash(destination) + L"\\";
  state_.archiveBaseFolder = target;

  TArchiverOptions& options = arc_->Options();
  switch (mode) {
    case TExtractMode::User:
      switch (settings_.FolderOption) {
        case 0: options.x = 0; break;
        case 1: options.x = 1, options.jf = 1; break;
        case 2: options.x = 1, options.jf = 0; break;
      }
      if (arc_->ArchiverType() == atLha && !settings_.LhaCommand.empty())
        options.UserOptions += " " + WideToAnsi(settings_.LhaCommand);
      break;
    case TExtractMode::Temporary:
      options.x = 0, options.jf = 0, options.y = 1;
      break;
    case TExtractMode::WithFolders:
      options.x = 1, options.jf = 0, options.y = 1;
      break;
  }
  // The work folder is ours: a file that an earlier entry of the same name
  // left there must not stand in for this one.
  bool overwrite = settings_.ExistFileMode != 0 || mode != TExtractMode::User;
  options.c = overwrite ? 1 : 0;
  options.m = overwrite ? 0 : 1;
  state_.cancelRequested = false;

  // A name that begins like a switch or a response file is marked as a name.
  std::vector<std::string> names;
  for (const std::string& file : files)
    names.push_back(!file.empty() && (file[0] == '-' || file[0] == '@') ? "-gb" + file : file);

  // Room for the library's own words, shown when it fails.
  if (arc_->OutputSize() == 0) arc_->SetOutputSize(4096);
  // The window takes no commands while the library works; progress reports
  // keep it painted and let Esc through.
  int code = RunLibrary([&] { return arc_->Extract(window_, nullptr, WideToAnsi(target), TNameList{names}); });
  // Libraries that report nothing themselves (ours among them) would leave a
  // failed extraction looking like a success. Codes below 0x8012 skip one
  // entry only; the count comparison tells of those, and of a cancel.
  state_.extractFailureShown = code == -1 || (code >= 0x8012 && code != 0x8020);
  if (code >= 0x8012 && code != 0x8020) {
    wchar_t hex[16];
    swprintf(hex, std::size(hex), L"0x%X", code);
    std::wstring text = texts::ExtractError + std::wstring(hex) + L").";
    std::wstring said = AnsiToWide(arc_->OutputText());
    if (said.size() > 1000) said = said.substr(0, 1000) + L"...";
    if (!said.empty()) text += L"\r\r" + said;
    Message(text, MB_ICONWARNING | MB_OK);
  }

  if (mode != TExtractMode::Temporary && settings_.IsFolderOpen) {
    if (start_.openFolder) start_.openFolder(target);
    else ShellExecuteW(window_, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    Sleep(500);
  }
  return code != 0;
}
