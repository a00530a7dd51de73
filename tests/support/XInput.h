// Real input and screenshots through the X server the Wine test runs on, as a
// user gives them: xdotool for the pointer and keys, ImageMagick's import for
// the screen. Windows-side helpers; the Linux programs run through /bin/sh.
#pragma once

#include <windows.h>

#include <string>

// Runs a Linux program with arguments (words of a shell command); its exit code, or -1.
int RunUnix(const std::wstring& program, const std::wstring& arguments);
// Runs xdotool with the arguments; its exit code (-1 when it could not start).
int Xdotool(const std::wstring& arguments);
// The Linux path of a Windows one (empty when Wine cannot tell).
std::wstring UnixPath(const std::wstring& windowsPath);
// Moves the pointer over a point of the window (its middle by default; Wine
// takes keys only while the pointer is over a window of the program) and
// clicks when asked.
void PointAt(HWND window, bool click = false);
void ClickAt(HWND window, int x, int y, const std::wstring& modifiers = L"");
// Saves the screen area of the window as a PNG file (a Windows path); true when written.
bool Screenshot(HWND window, const std::wstring& pngPath);
// The same for a screen rectangle.
bool ScreenshotArea(const RECT& area, const std::wstring& pngPath);
