#include "dialogs/ExtractDialog.h"

#include "DialogSupport.h"
#include "DialogTexts.h"
#include "dialogs/ExtractDialogIds.h"
#include "dialogs/InputBox.h"
#include "engine/Handles.h"
#include "help/HelpService.h"

#include <commctrl.h>

namespace {

constexpr UINT_PTR FollowTextTimer = 1;
constexpr UINT FollowTextDelay = 300;  // ms after the last key

// Pixel geometry: the options pane is 160 pixels wide (its group captions need
// it); collapsing moves the
// right-hand panel over it and narrows the window.
constexpr int ExpandedWidth = 472;
constexpr int CollapsedWidth = 312;
constexpr int ExpandedPanelX = 164;
constexpr int CollapsedPanelX = 4;
constexpr int WindowHeight = 346;

struct TPlace {
  int id, x, y, width, height;
};
constexpr TPlace OptionPlaces[] = {
    {IDC_EXTRACT_OPCLOSE, 140, 2, 20, 12},
    {IDC_EXTRACT_FILEOPTION, 2, 16, 160, 56},
    {IDC_EXTRACT_FILE_SELECTED, 12, 34, 144, 16},
    {IDC_EXTRACT_FILE_ALL, 12, 52, 144, 16},
    {IDC_EXTRACT_EXISTMODE, 2, 76, 160, 56},
    {IDC_EXTRACT_EXIST_SKIP, 12, 94, 144, 16},
    {IDC_EXTRACT_EXIST_OVERWRITE, 12, 112, 144, 16},
    {IDC_EXTRACT_DIROPTION, 2, 136, 160, 94},
    {IDC_EXTRACT_DIR_PREVIOUS, 12, 154, 144, 16},
    {IDC_EXTRACT_DIR_ARCHIVE, 12, 172, 144, 16},
    {IDC_EXTRACT_DIR_DESKTOP, 12, 190, 144, 16},
    {IDC_EXTRACT_MAKEARCDIR, 12, 209, 144, 16},
    {IDC_EXTRACT_FOLDEROPTION, 2, 234, 160, 74},
    {IDC_EXTRACT_FOLDER_IGNORE, 12, 252, 144, 16},
    {IDC_EXTRACT_FOLDER_ABSOLUTE, 12, 270, 144, 16},
    {IDC_EXTRACT_FOLDER_RELATIVE, 12, 288, 144, 16},
};

std::wstring WindowText(HWND window) {
  std::wstring text(GetWindowTextLengthW(window) + 1, L'\0');
  text.resize(GetWindowTextW(window, text.data(), static_cast<int>(text.size())));
  return text;
}

std::wstring WithoutTrailingBackslash(std::wstring path) {
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

std::wstring DirectoryPart(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

std::wstring RegistryDesktopFolder() {
  TRegKey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                    0, KEY_READ, key.put()) != ERROR_SUCCESS)
    return {};
  DWORD size = 0;
  DWORD type = 0;
  if (RegQueryValueExW(key.get(), L"Desktop", nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return {};
  // The stored text need not end in a terminator: one more is kept free.
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>((value.size() - 1) * sizeof(wchar_t));
  if (RegQueryValueExW(key.get(), L"Desktop", nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) !=
          ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return {};
  value.resize(wcsnlen(value.c_str(), value.size()));
  return value;
}

TExtract::TExtract(HWND owner, const TInitialOptions& initial) : owner_(owner) {
  ShowError = [](HWND window, const std::wstring& message) {
    MessageBoxW(window, message.c_str(), dialog_texts::MessageCaption, MB_OK | MB_ICONERROR);
  };
  HWND active = GetActiveWindow(), focus = GetFocus();
  dialog_ = CreateDialogParamW(DialogModule(), MAKEINTRESOURCEW(IDD_EXTRACT), owner, DialogProc,
                               reinterpret_cast<LPARAM>(this));
  // FormCreate
  shown_ = false;
  SetFileOption(initial.FileOption);
  SetExistFileMode(initial.ExistFileMode);
  SetDirOption(initial.DirOption);
  SetFolderOption(initial.FolderOption);
  // The dialog waits hidden; building it must not take the keyboard from
  // the window the user is in (keys would go to its invisible buttons).
  if (GetActiveWindow() == dialog_ && active != nullptr) SetActiveWindow(active);
  if (focus != nullptr && IsWindow(focus) && GetFocus() != focus) SetFocus(focus);
}

TExtract::~TExtract() {
  if (dialog_ != nullptr) DestroyWindow(dialog_);
}

void TExtract::LayOut() {
  SetWindowPos(dialog_, nullptr, 0, 0, ExpandedWidth, WindowHeight, SWP_NOMOVE | SWP_NOZORDER);
  for (const auto& place : OptionPlaces)
    MoveWindow(GetDlgItem(dialog_, place.id), place.x, place.y, place.width, place.height, FALSE);
  RECT client{};
  GetClientRect(dialog_, &client);
  int width = client.right - ExpandedPanelX - 4;
  int height = client.bottom;
  MoveWindow(panel_, ExpandedPanelX, 0, width, height, FALSE);
  const TPlace panelPlaces[] = {
      {IDC_EXTRACT_OPOPEN, 0, 4, 20, 12},
      {IDC_EXTRACT_HISTORY, 24, 0, width - 24, 240},
      {IDC_EXTRACT_TREE, 0, 26, width, height - 26 - 36},
      {IDC_EXTRACT_MAKEDIR, 0, height - 30, 100, 24},
      {IDC_EXTRACT_OK, width - 168, height - 30, 80, 24},
      {IDC_EXTRACT_CANCEL, width - 84, height - 30, 84, 24},
  };
  for (const auto& place : panelPlaces)
    MoveWindow(GetDlgItem(panel_, place.id), place.x, place.y, place.width, place.height, FALSE);
  SendDlgItemMessageW(panel_, IDC_EXTRACT_HISTORY, CB_SETMINVISIBLE, 10, 0);
  // Above the option groups, so that collapsing covers them.
  SetWindowPos(panel_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

INT_PTR CALLBACK TExtract::DialogProc(HWND dialog, UINT message, WPARAM w, LPARAM l) {
  auto self = DialogObject<TExtract>(dialog, message, l);
  switch (message) {
    case WM_INITDIALOG:
      self->dialog_ = dialog;
      self->panel_ = CreateDialogParamW(DialogModule(), MAKEINTRESOURCEW(IDD_EXTRACT_PANEL), dialog, PanelProc, l);
      self->tree_.Attach(GetDlgItem(self->panel_, IDC_EXTRACT_TREE));
      self->history_.SetComboBox(GetDlgItem(self->panel_, IDC_EXTRACT_HISTORY));
      self->LayOut();
      // Cancel is the default button: Enter in a field that does not use it cancels.
      SendMessageW(dialog, DM_SETDEFID, IDC_EXTRACT_CANCEL, 0);
      return FALSE;
    case WM_COMMAND:
      return self != nullptr && self->Guarded([&] { return self->Command(LOWORD(w), HIWORD(w)); });
    case WM_CLOSE:
      self->EndModal(IDCANCEL);
      return TRUE;
    case WM_HELP:
      ShowHelpTopic(dialog, 19);
      return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK TExtract::PanelProc(HWND panel, UINT message, WPARAM w, LPARAM l) {
  auto self = DialogObject<TExtract>(panel, message, l);
  switch (message) {
    case WM_INITDIALOG: return FALSE;
    case WM_COMMAND:
      return self != nullptr && self->Guarded([&] { return self->Command(LOWORD(w), HIWORD(w)); });
    case WM_TIMER:
      if (self != nullptr && w == FollowTextTimer) {
        KillTimer(panel, FollowTextTimer);
        self->Guarded([&] { self->FollowTypedText(); return true; });
      }
      return TRUE;
    case WM_NOTIFY: {
      auto header = reinterpret_cast<const NMHDR*>(l);
      if (self == nullptr) return FALSE;
      self->Guarded([&] {
        if (self->tree_.Notify(header)) return false;
        if (header->idFrom == IDC_EXTRACT_TREE && header->code == TVN_SELCHANGEDW) self->FolderView1Change();
        return false;
      });
      return FALSE;
    }
  }
  return FALSE;
}

bool TExtract::Command(WORD id, WORD code) {
  switch (id) {
    case IDC_EXTRACT_DIR_PREVIOUS:
    case IDC_EXTRACT_DIR_ARCHIVE:
    case IDC_EXTRACT_DIR_DESKTOP:
      if (code == BN_CLICKED) DirOptionClick();
      return true;
    case IDC_EXTRACT_MAKEARCDIR:
      if (code == BN_CLICKED) MakeArcDirClick();
      return true;
    case IDC_EXTRACT_HISTORY:
      if (code == CBN_EDITCHANGE) HistoryChange();
      if (code == CBN_SELCHANGE) {
        // The edit field takes the chosen line only after this notification.
        HWND combo = GetDlgItem(panel_, IDC_EXTRACT_HISTORY);
        int index = static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
        if (index >= 0) {
          std::wstring line(SendMessageW(combo, CB_GETLBTEXTLEN, index, 0) + 1, L'\0');
          line.resize(SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(line.data())));
          SetWindowTextW(combo, line.c_str());
          HistoryChange();
        }
      }
      return true;
    case IDC_EXTRACT_MAKEDIR:
      MakeDirBtnClick();
      return true;
    case IDC_EXTRACT_OK:
      OkBtnClick();
      return true;
    case IDC_EXTRACT_CANCEL:
    case IDCANCEL:
      EndModal(IDCANCEL);
      return true;
    case IDC_EXTRACT_OPCLOSE:
      OpCloseBtnClick();
      return true;
    case IDC_EXTRACT_OPOPEN:
      OpOpenBtnClick();
      return true;
  }
  return false;
}

int TExtract::Left() const {
  RECT r{};
  GetWindowRect(dialog_, &r);
  return r.left;
}

int TExtract::Top() const {
  RECT r{};
  GetWindowRect(dialog_, &r);
  return r.top;
}

void TExtract::SetPosition(int left, int top) {
  SetWindowPos(dialog_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::wstring TExtract::HistoryText() const { return WindowText(GetDlgItem(panel_, IDC_EXTRACT_HISTORY)); }

void TExtract::SetHistoryText(const std::wstring& text) {
  SetWindowTextW(GetDlgItem(panel_, IDC_EXTRACT_HISTORY), text.c_str());
}

void TExtract::SetCaption(const std::wstring& caption) { SetWindowTextW(dialog_, caption.c_str()); }

void TExtract::SetFileOptionEnabled(bool enabled) {
  for (int id : {IDC_EXTRACT_FILEOPTION, IDC_EXTRACT_FILE_SELECTED, IDC_EXTRACT_FILE_ALL})
    EnableWindow(GetDlgItem(dialog_, id), enabled);
}

int TExtract::RadioIndex(int firstId, int count) const {
  for (int i = 0; i < count; ++i)
    if (IsDlgButtonChecked(dialog_, firstId + i) == BST_CHECKED) return i;
  return 0;
}

void TExtract::SetRadioIndex(int firstId, int count, int index) {
  if (index < 0 || index >= count) index = 0;
  CheckRadioButton(dialog_, firstId, firstId + count - 1, firstId + index);
}

int TExtract::FileOption() const { return RadioIndex(IDC_EXTRACT_FILE_SELECTED, 2); }
void TExtract::SetFileOption(int index) { SetRadioIndex(IDC_EXTRACT_FILE_SELECTED, 2, index); }
int TExtract::ExistFileMode() const { return RadioIndex(IDC_EXTRACT_EXIST_SKIP, 2); }
void TExtract::SetExistFileMode(int index) { SetRadioIndex(IDC_EXTRACT_EXIST_SKIP, 2, index); }
int TExtract::DirOption() const { return RadioIndex(IDC_EXTRACT_DIR_PREVIOUS, 3); }
void TExtract::SetDirOption(int index) { SetRadioIndex(IDC_EXTRACT_DIR_PREVIOUS, 3, index); }
int TExtract::FolderOption() const { return RadioIndex(IDC_EXTRACT_FOLDER_IGNORE, 3); }
void TExtract::SetFolderOption(int index) { SetRadioIndex(IDC_EXTRACT_FOLDER_IGNORE, 3, index); }
bool TExtract::MakeArcDir() const { return IsDlgButtonChecked(dialog_, IDC_EXTRACT_MAKEARCDIR) == BST_CHECKED; }
void TExtract::SetMakeArcDir(bool checked) {
  CheckDlgButton(dialog_, IDC_EXTRACT_MAKEARCDIR, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool TExtract::Collapsed() const {
  RECT r{};
  GetWindowRect(dialog_, &r);
  return r.right - r.left == CollapsedWidth;
}

int TExtract::ShowModal() {
  return RunModal(
      dialog_, owner_, &modalResult_, [this] { FormShow(); }, [] {});
}

void TExtract::EndModal(int result) {
  KillTimer(panel_, FollowTextTimer);
  modalResult_ = result;
}

bool TExtract::Guarded(const std::function<bool()>& handler) {
  // Nothing raised by a handler may unwind through the dialog manager.
  try {
    return handler();
  } catch (const std::exception& error) {
    std::string text = error.what();
    std::wstring wide(MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    if (!wide.empty()) wide.pop_back();
    ShowError(dialog_, wide);
  } catch (...) {
    ShowError(dialog_, dialog_texts::ExtractUnexpectedError);
  }
  return true;
}

void TExtract::FocusTree() {
  if (shown_) SetFocus(tree_.Handle());
}

void TExtract::NavigateTo(const std::wstring& path) { tree_.SelectPath(path); }

void TExtract::FormShow() {
  if (!history_.History().empty()) previousFolder_ = history_.History().front();
  SetHistoryText(previousFolder_);
  archiveFolder_ = DirectoryPart(archivePath_);
  desktopFolderShown_ = WithoutTrailingBackslash(desktopFolder_);
  shown_ = true;
  DirOptionClick();
}

void TExtract::DirOptionClick() {
  const std::wstring* presets[] = {&previousFolder_, &archiveFolder_, &desktopFolderShown_};
  NavigateTo(*presets[DirOption()]);
  FocusTree();
}

void TExtract::HistoryChange() {
  std::wstring text = HistoryText();
  // The tree follows once the hand pauses: walking the shell's folders at
  // every key made typing lag behind the keys on slow or large folders.
  SetTimer(panel_, FollowTextTimer, FollowTextDelay, nullptr);
  int index = 0;
  if (StartsWith(text, archiveFolder_) && !archiveFolder_.empty())
    index = 1;
  else if (StartsWith(text, desktopFolderShown_) && !desktopFolderShown_.empty())
    index = 2;
  SetDirOption(index);
  // The typed text is the destination, whether or not the tree has such a
  // folder (the extraction creates it); the focus stays with the typing hand.
  destination_ = text;
}

void TExtract::FollowTypedText() {
  typing_ = true;
  NavigateTo(HistoryText());
  typing_ = false;
}

void TExtract::FolderView1Change() {
  std::wstring path = tree_.SelectedPath();
  if (path == TShellFolderTree::DesktopName) {
    std::wstring desktop = RegistryDesktopFolder();
    if (!desktop.empty()) path = desktop;
  }
  // While the user types, the tree follows the text, not the other way
  // round: rewriting the text would move the caret under the typing hand.
  if (!typing_) SetHistoryText(path);
  destination_ = path;
}

void TExtract::MakeDirBtnClick() {
  std::wstring parent = tree_.SelectedPath();
  // Without a folder the new one would land in the root of the current drive.
  if (parent.empty()) {
    MessageBoxW(dialog_, dialog_texts::ExtractChooseFolderPlace, dialog_texts::MessageCaption, MB_OK | MB_ICONWARNING);
    return;
  }
  auto name = InputBox(dialog_, dialog_texts::ExtractMakeFolderTitle, dialog_texts::ExtractMakeFolderPrompt, L"");
  if (!name) return;
  // The desktop node has a display name, not a path: create on the real desktop.
  if (parent == TShellFolderTree::DesktopName) {
    std::wstring desktop = RegistryDesktopFolder();
    if (!desktop.empty()) parent = desktop;
  }
  std::wstring path = WithoutTrailingBackslash(parent) + L"\\" + *name;
  if (!CreateDirectoryW(path.c_str(), nullptr)) {
    DWORD error = GetLastError();
    ShowError(dialog_,
              dialog_texts::ExtractFolderWord + path + dialog_texts::ExtractFolderNotMade + std::to_wstring(error));
    return;
  }
  tree_.Rebuild();
  NavigateTo(path);
}

void TExtract::OkBtnClick() {
  // What the box shows is what the user chose, typed or taken from the tree.
  destination_ = HistoryText();
  history_.Add(destination_);
  shown_ = false;
  EndModal(IDOK);
}

void TExtract::ShowOptions(bool show) {
  // Covered groups still paint over the panel under Wine: the collapsed pane
  // hides them (their values keep applying).
  for (const auto& place : OptionPlaces) ShowWindow(GetDlgItem(dialog_, place.id), show ? SW_SHOWNA : SW_HIDE);
}

void TExtract::OpCloseBtnClick() {
  if (GetFocus() && IsChild(dialog_, GetFocus()) && !IsChild(panel_, GetFocus())) SetFocus(tree_.Handle());
  ShowOptions(false);
  RECT r{};
  GetWindowRect(panel_, &r);
  MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&r), 2);
  SetWindowPos(panel_, HWND_TOP, CollapsedPanelX, r.top, 0, 0, SWP_NOSIZE);
  SetWindowPos(dialog_, nullptr, 0, 0, CollapsedWidth, WindowHeight, SWP_NOMOVE | SWP_NOZORDER);
  EnableWindow(GetDlgItem(panel_, IDC_EXTRACT_OPOPEN), TRUE);
}

void TExtract::OpOpenBtnClick() {
  EnableWindow(GetDlgItem(panel_, IDC_EXTRACT_OPOPEN), FALSE);
  RECT r{};
  GetWindowRect(panel_, &r);
  MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&r), 2);
  SetWindowPos(panel_, HWND_TOP, ExpandedPanelX, r.top, 0, 0, SWP_NOSIZE);
  SetWindowPos(dialog_, nullptr, 0, 0, ExpandedWidth, WindowHeight, SWP_NOMOVE | SWP_NOZORDER);
  ShowOptions(true);
}
