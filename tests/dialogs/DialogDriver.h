// Answers modal windows from a second thread, as a user would: waits for a
// window with a caption, then acts on it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <thread>

// Finds a visible top-level window of this process with the caption; waits up to timeoutMs.
HWND WaitForWindow(const std::wstring& caption, int timeoutMs = 30000);
// Presses the button of a dialog until the dialog goes away (a busy machine can lose a click).
void PressUntilGone(HWND dialog, int id);
// The text of a message box (its static text control).
std::wstring MessageBoxText(HWND box);
// The window's text (of any length).
std::wstring Text(HWND window);
// Types text into an edit control character by character.
void TypeText(HWND edit, const std::wstring& text);

// Runs action on a thread; join() waits for it.
class TUserThread {
 public:
  explicit TUserThread(std::function<void()> action) : thread_(std::move(action)) {}
  ~TUserThread() {
    if (thread_.joinable()) thread_.join();
  }
  void Join() { thread_.join(); }

 private:
  std::thread thread_;
};

// Polls condition until it holds or the time is up; its last value.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 30000);
// The Windows path of a Linux one ("Z:\...").
std::wstring WinPath(const std::string& unixPath);
// A visible top-level dialog (#32770) of this process other than except; waits up to timeoutMs.
HWND WaitForOtherDialog(HWND except, int timeoutMs = 30000);
// A child window (at any depth) whose text is text, or null.
HWND FindChildByText(HWND parent, const std::wstring& text);
// The folder screenshots of the dialogs go to (created), as a Windows path.
std::wstring ScreenshotFolder();

// Shows a modal dialog with show() on this thread while user plays the user
// on another, once the window with the caption is up and the pointer is over
// it; a dialog the user leaves open is cancelled. What show() returned.
int ShowWithUser(const std::wstring& caption, const std::function<int()>& show,
                 const std::function<void(HWND)>& user);
