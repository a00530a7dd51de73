// A one-line text prompt. True and the text when the user pressed OK.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

std::optional<std::wstring> InputBox(HWND owner, const std::wstring& caption, const std::wstring& prompt,
                                     const std::wstring& initial);
