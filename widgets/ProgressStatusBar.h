// Status bar with fixed-width panels, a progress bar living in one panel and
// owner-drawn panels (the owner gets WM_DRAWITEM with the panel's index).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class TProgressStatusBar {
 public:
  // widths: panel widths in pixels; progressPanel: index of the panel holding
  // the progress bar (-1: none); ownerDrawn: panels the owner draws.
  void Create(HWND parent, UINT id, const std::vector<int>& widths, int progressPanel,
              const std::vector<int>& ownerDrawn);
  HWND Handle() const { return window_; }
  HWND ProgressHandle() const { return progress_; }

  void SetText(int panel, const std::wstring& text);
  std::wstring Text(int panel) const;
  void SetProgress(int percent);
  int Progress() const;
  // Follows the parent's size; call from the parent's WM_SIZE.
  void Resize();
  int Height() const;
  void Show(bool visible);
  void RepaintPanel(int panel);
  // While held, texts and the progress position are kept here and reach the
  // controls at Flush (or when the hold ends); Text and Progress still answer
  // the latest ones. Wine's status bar
  // repaints itself inside every SB_SETTEXT, several trips to the window
  // server, so a loop changing a text many times a second holds the texts and
  // flushes them before it lets window messages run.
  void HoldTexts(bool hold);
  void Flush();

 private:
  void PlaceProgress();
  HWND window_ = nullptr;
  HWND progress_ = nullptr;
  int progressPanel_ = -1;
  std::vector<int> widths_;
  std::vector<int> ownerDrawn_;
  bool holding_ = false;
  std::vector<std::wstring> heldTexts_;  // per panel
  std::vector<bool> held_;
  int heldProgress_ = -1;  // -1: none held
};
