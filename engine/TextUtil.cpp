#include "engine/TextUtil.h"

#include <windows.h>

#include <vector>

namespace {

std::wstring ToWide(UINT codePage, const std::string& text) {
  if (text.empty()) return {};
  int length = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring result(length, L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), result.data(), length);
  return result;
}

std::string FromWide(UINT codePage, const std::wstring& text) {
  if (text.empty()) return {};
  int length = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
  std::string result(length, '\0');
  WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), result.data(),
                      length, nullptr, nullptr);
  return result;
}

}  // namespace

std::wstring AnsiToWide(const std::string& text) { return ToWide(CP_ACP, text); }
std::string WideToAnsi(const std::wstring& text) { return FromWide(CP_ACP, text); }
std::wstring Utf8ToWide(const std::string& text) { return ToWide(CP_UTF8, text); }
std::string WideToUtf8(const std::wstring& text) { return FromWide(CP_UTF8, text); }

std::wstring FormatMessageText(const std::wstring& format,
                               std::initializer_list<std::wstring> values) {
  std::vector<std::wstring> args(values);
  std::wstring result;
  size_t next = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != L'%' || i + 1 >= format.size()) {
      result += format[i];
      continue;
    }
    if (format[i + 1] == L'%') {
      result += L'%';
      ++i;
      continue;
    }
    size_t j = i + 1;
    size_t index = next;
    if (iswdigit(format[j])) {
      size_t number = 0;
      while (j < format.size() && iswdigit(format[j])) number = number * 10 + (format[j++] - L'0');
      if (j < format.size() && format[j] == L':') {
        index = number;
        ++j;
      }
    }
    if (j < format.size() && (format[j] == L's' || format[j] == L'd')) {
      if (index < args.size()) result += args[index];
      next = index + 1;
      i = j;
    } else {
      result += format[i];
    }
  }
  return result;
}
