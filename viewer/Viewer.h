// TViewer: the modal viewer for one file. Text (after detecting its Japanese
// code and converting it to Shift-JIS) goes to the text view, pictures to the
// picture control; anything else shows as a printable dump.
//
// Use: TViewer viewer(owner, ini, options); viewer.Open(path); viewer.ShowModal();
// Open throws EViewerError with a message for the user when the file cannot
// be read or is too large; the caller reports it.
#pragma once

#include "All.h"
#include "IniGT.h"
#include "TextView.h"
#include "ViewerCommands.h"

#include <windows.h>

#include <array>
#include <memory>
#include <stdexcept>
#include <string>

class EViewerError : public std::runtime_error {
 public:
  explicit EViewerError(std::wstring message) : std::runtime_error("viewer error"), message_(std::move(message)) {}
  const std::wstring& Message() const { return message_; }

 private:
  std::wstring message_;
};

// What the viewer takes from the main window's settings.
struct TViewerOptions {
  bool useSpis = false;      // UseSpis: plug-in pictures
  bool grpAutoSize = false;  // GrpAutoSize: shrink pictures to the window
  std::wstring spisDir;      // SpisDir: the user's image plug-ins
};

enum TViewerKind { vkPicture = 1, vkJpeg = 2, vkPluginPicture = 3, vkText = 4, vkOther = 5 };

class TViewer {
 public:
  static constexpr const wchar_t* kClassName = L"TavixViewer";
  // Larger files are refused: the text is held in memory whole.
  static constexpr unsigned long long kMaxFileSize = 0x7FFFFFFFull;

  TViewer(HWND owner, TIniGT& ini, const TViewerOptions& options);
  ~TViewer();
  TViewer(const TViewer&) = delete;
  TViewer& operator=(const TViewer&) = delete;

  static TViewerKind KindOf(const std::wstring& path, bool useSpis);

  void Open(const std::wstring& path);
  // Shows the window until it is closed; the owner is disabled meanwhile.
  void ShowModal();

  HWND Handle() const { return window_; }
  TViewerKind Kind() const { return kind_; }
  int TextCode() const { return textCode_; }
  const std::wstring& FileName() const { return fileName_; }
  TTextView& Editor() { return editor_; }
  TAll* Picture() { return all_.get(); }
  std::wstring StatusText(int panel) const;
  int Mark(int number) const { return marks_[number - 1]; }

  // Handlers, named after their controls and events.
  void FormCreate();
  void FormShow();
  void FormCloseQuery();
  void SaveAs1Click();
  void ExitBtnClick();
  void Copy2Click();
  void SelectAll1Click();
  void Find1Click();
  void FindNextBtnClick();
  void FindPrevBtnClick();
  void K1Click();
  void ToolBar1Click();
  void Jump1Click(int number);
  void Mark1Click(int number);
  void Editor1CaretMoved();
  void Editor1SelectionChange();
  // The print dialog and its loop (ViewerPrint.cpp).
  void PrintBtnClick();
  void P1Click();
  void FileEnvMnuClick();
  // The environment file in use (chosen by the file's name when text opens).
  const std::wstring& EnvironmentFile() const { return envFile_; }
  const std::wstring& ShortCutText(UINT id) const { return shortCuts_[id - VwFirst]; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM w, LPARAM l);
  LRESULT Handle(UINT message, WPARAM w, LPARAM l);
  void BuildMenus();
  void BuildToolBar();
  void BuildAccelerators();
  void Command(UINT id);
  void Layout();
  void SetStatus(int panel, const std::wstring& text);
  void SetCaption();
  void ApplyKind();
  void LoadText(const std::wstring& path);
  void SetMarkCaptions(int number, const std::wstring& caption);
  void Search(bool backward);
  void RefreshHighlight();
  void FitPicture();
  bool CommandBuilt(UINT id) const;
  void ApplyEnvironment();
  void RefreshShortCuts();
  std::wstring CaptionOf(UINT id) const;

  HWND owner_;
  TIniGT& ini_;
  TViewerOptions options_;
  HWND window_ = nullptr;
  HWND toolBar_ = nullptr;
  HWND statusBar_ = nullptr;
  HMENU menu_ = nullptr;
  HMENU editMenu_ = nullptr;
  HMENU textPopup_ = nullptr;
  HMENU jumpPopup_ = nullptr;
  HMENU markPopup_ = nullptr;
  HACCEL accelerators_ = nullptr;
  TTextView editor_;
  std::unique_ptr<TAll> all_;
  bool closed_ = false;

  TViewerKind kind_ = vkOther;
  int textCode_ = 0;
  std::wstring fileName_;
  std::string findWord_;
  TSearchOptions findOptions_;
  bool highlight_ = true;
  bool toolBarShown_ = true;
  std::array<int, 5> marks_{-1, -1, -1, -1, -1};
  std::array<std::wstring, VwEnd - VwFirst> shortCuts_;
  std::wstring envFile_;
  FILETIME envTime_{};  // of envFile_ when it was last applied
};
