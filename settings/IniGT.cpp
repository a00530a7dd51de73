#include "settings/IniGT.h"

#include "engine/SystemText.h"

#include <algorithm>
#include <cstdint>

namespace {

// Half-width corner brackets: bytes 0xA2 and 0xA3 of code page 932.
constexpr wchar_t kOpenBracket = L'\uFF62';
constexpr wchar_t kCloseBracket = L'\uFF63';

// The profile service hands back at most this many characters of a value.
constexpr DWORD kValueRoom = 1024;

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string result(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                      nullptr, nullptr);
  return result;
}

void MessageBoxWarning(const std::wstring& text) {
  MessageBoxW(GetActiveWindow(), text.c_str(), L"Tavix", MB_OK | MB_ICONWARNING);
}

TSettingsWarningHook warningHook = MessageBoxWarning;

bool HasFolderPart(const std::wstring& name) {
  return name.find_first_of(L"\\/:") != std::wstring::npos;
}

std::wstring WindowsFolder() {
  return ReadSystemText(GetWindowsDirectoryW);
}

}  // namespace

EIniFileError::EIniFileError(std::wstring message)
    : message_(std::move(message)), utf8_(ToUtf8(message_)) {}

TSettingsWarningHook SetSettingsWarningHook(TSettingsWarningHook hook) {
  TSettingsWarningHook previous = warningHook;
  warningHook = hook ? hook : MessageBoxWarning;
  return previous;
}

void ShowSettingsWarning(const std::wstring& text) { warningHook(text); }

std::wstring ProgramPath() { return ModulePath(nullptr); }

std::wstring ProgramFolder() {
  std::wstring path = ProgramPath();
  return path.substr(0, path.find_last_of(L"\\/:") + 1);
}

bool IsReadOnlyFile(const std::wstring& path) {
  if (path.empty()) return false;
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         (attributes & FILE_ATTRIBUTE_READONLY);
}

int ParseSettingsNumber(const std::wstring& text, int defaultValue) {
  if (text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
    uint64_t value = 0;
    for (size_t i = 2; i < text.size(); ++i) {
      wchar_t c = text[i];
      int digit;
      if (c >= L'0' && c <= L'9') digit = c - L'0';
      else if (c >= L'a' && c <= L'f') digit = c - L'a' + 10;
      else if (c >= L'A' && c <= L'F') digit = c - L'A' + 10;
      else return defaultValue;
      value = value * 16 + digit;
      if (value > 0xFFFFFFFFu) return defaultValue;
    }
    // Eight hex digits cover the whole 32-bit pattern, as negative numbers too.
    return static_cast<int>(static_cast<uint32_t>(value));
  }
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
  if (i == text.size()) return defaultValue;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < L'0' || text[i] > L'9') return defaultValue;
    value = value * 10 + (text[i] - L'0');
    if (value > int64_t{INT32_MAX} + 1) return defaultValue;
  }
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return defaultValue;
  return static_cast<int>(value);
}

void TIniGT::Loaded() {
  if (!fileName_.empty()) return;
  std::wstring path = ProgramPath();
  std::wstring name = path.substr(path.find_last_of(L"\\/:") + 1);
  size_t dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos) name.erase(dot);
  name += L".INI";
  for (auto& c : name) {
    if (c >= L'A' && c <= L'Z') c = c - L'A' + L'a';
  }
  if (name[0] >= L'a' && name[0] <= L'z') name[0] = name[0] - L'a' + L'A';
  SetFileName(name);
}

void TIniGT::SetDefaultDir(TIniGTDefaultDir value) {
  defaultDir_ = value;
  SetFileName(fileName_);
}

void TIniGT::SetFileName(const std::wstring& value) {
  fileName_ = value;
  fullPath_.clear();
  writeDisabled_ = false;
  if (fileName_.empty()) return;
  if (HasFolderPart(fileName_)) {
    fullPath_ = fileName_;
  } else {
    switch (defaultDir_) {
      case ddApplication: fullPath_ = ProgramFolder() + fileName_; break;
      case ddWindows: fullPath_ = WindowsFolder() + L"\\" + fileName_; break;
      case ddNone: fullPath_ = fileName_; break;
    }
  }
  if (IsReadOnlyFile(fullPath_)) {
    writeDisabled_ = true;
    ShowSettingsWarning(fullPath_ + L"は書込み禁止です.データの保存は出来ません.");
  }
}

std::wstring TIniGT::Fenced(const std::wstring& text) const {
  switch (fence_) {
    case fnDoubleQuote: return L"\"" + text + L"\"";
    case fnParenthesis:
    case fnVer11Mode: return kOpenBracket + text + kCloseBracket;
    case fnNone: break;
  }
  return text;
}

std::wstring TIniGT::Unfenced(const std::wstring& text) const {
  if (text.size() <= 1) return text;
  bool quotes = fence_ == fnDoubleQuote || fence_ == fnVer11Mode;
  bool brackets = fence_ == fnParenthesis || fence_ == fnVer11Mode;
  if ((quotes && text.front() == L'"' && text.back() == L'"') ||
      (brackets && text.front() == kOpenBracket && text.back() == kCloseBracket)) {
    return text.substr(1, text.size() - 2);
  }
  return text;
}

std::wstring TIniGT::ReadProfileText(const std::wstring& path, const std::wstring& section,
                                     const std::wstring& key, const std::wstring& defaultValue) {
  if (path.empty()) return defaultValue;
  wchar_t buffer[kValueRoom];
  DWORD length = GetPrivateProfileStringW(section.c_str(), key.c_str(), defaultValue.c_str(), buffer,
                                          kValueRoom, path.c_str());
  return std::wstring(buffer, length);
}

std::wstring TIniGT::ReadString(const std::wstring& section, const std::wstring& key,
                                const std::wstring& defaultValue) const {
  return Unfenced(ReadProfileText(fullPath_, section, key, Fenced(defaultValue)));
}

void TIniGT::WriteRaw(const std::wstring& section, const std::wstring& key,
                      const std::wstring& value) {
  if (writeDisabled_) return;
  if (fullPath_.empty() ||
      !WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), fullPath_.c_str())) {
    throw EIniFileError(fullPath_ + L" に書き込めません");
  }
}

void TIniGT::WriteString(const std::wstring& section, const std::wstring& key,
                         const std::wstring& value) {
  WriteRaw(section, key, Fenced(value));
}

int TIniGT::ReadInteger(const std::wstring& section, const std::wstring& key,
                        int defaultValue) const {
  return ParseSettingsNumber(ReadProfileText(fullPath_, section, key, L""), defaultValue);
}

void TIniGT::WriteInteger(const std::wstring& section, const std::wstring& key, int value) {
  WriteRaw(section, key, std::to_wstring(value));
}

bool TIniGT::ReadBool(const std::wstring& section, const std::wstring& key,
                      bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TIniGT::WriteBool(const std::wstring& section, const std::wstring& key, bool value) {
  WriteRaw(section, key, value ? L"1" : L"0");
}

namespace {

const wchar_t* const kPlacementSuffixes[8] = {L".Flags", L".Show", L".MaxX",  L".MaxY",
                                              L".X",     L".Y",    L".XSize", L".YSize"};

// The eight numbers of a window placement, in the order of their keys.
void PlacementToNumbers(const WINDOWPLACEMENT& p, int numbers[8]) {
  const int values[8] = {static_cast<int>(p.flags), static_cast<int>(p.showCmd),
                         p.ptMaxPosition.x,         p.ptMaxPosition.y,
                         p.rcNormalPosition.left,   p.rcNormalPosition.top,
                         p.rcNormalPosition.right,  p.rcNormalPosition.bottom};
  std::copy(values, values + 8, numbers);
}

void NumbersToPlacement(const int numbers[8], WINDOWPLACEMENT& p) {
  p.flags = static_cast<UINT>(numbers[0]);
  p.showCmd = static_cast<UINT>(numbers[1]);
  p.ptMaxPosition = {numbers[2], numbers[3]};
  p.rcNormalPosition = {numbers[4], numbers[5], numbers[6], numbers[7]};
}

}  // namespace

void TIniGT::LoadWindowPlacement(const std::wstring& section, const std::wstring& entry,
                                 HWND window) const {
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  if (!GetWindowPlacement(window, &placement)) return;
  int numbers[8];
  PlacementToNumbers(placement, numbers);
  for (int i = 0; i < 8; ++i) numbers[i] = ReadInteger(section, entry + kPlacementSuffixes[i], numbers[i]);
  NumbersToPlacement(numbers, placement);
  SetWindowPlacement(window, &placement);
}

void TIniGT::SaveWindowPlacement(const std::wstring& section, const std::wstring& entry,
                                 HWND window) {
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  if (!GetWindowPlacement(window, &placement)) return;
  int numbers[8];
  PlacementToNumbers(placement, numbers);
  for (int i = 0; i < 8; ++i) WriteInteger(section, entry + kPlacementSuffixes[i], numbers[i]);
}
