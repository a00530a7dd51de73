// Menu shortcuts as the settings file stores them ("Ctrl+M", "F3",
// "Shift+F3"): a shortcut is a virtual key plus modifier bits.
#pragma once

#include <windows.h>

#include <string>

using TShortCut = WORD;
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;
constexpr TShortCut scNone = 0;

std::wstring ShortCutToText(TShortCut shortCut);
// Unknown texts give scNone (no shortcut). Case and blanks around "+" do not matter.
TShortCut TextToShortCut(const std::wstring& text);
// The accelerator-table form of a shortcut (FVIRTKEY and the modifier flags).
ACCEL ShortCutToAccel(TShortCut shortCut, WORD command);
