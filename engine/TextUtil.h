// Text conversions at the boundary between the engine (ANSI, the system code
// page the libraries take) and the windows (UTF-16), and message formatting.
#pragma once

#include <initializer_list>
#include <string>

std::wstring AnsiToWide(const std::string& text);
std::string WideToAnsi(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

// Formats a message with "%s" (next value) and "%N:s" (value N) placeholders;
// "%%" is a percent sign. Missing values format as empty text.
std::wstring FormatMessageText(const std::wstring& format, std::initializer_list<std::wstring> values);
