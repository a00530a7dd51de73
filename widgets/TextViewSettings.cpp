#include "TextViewSettings.h"

#include <algorithm>
#include <cwchar>

namespace {

const wchar_t* const kElementKeys[teElementCount] = {
    L"Default", L"SingleByte", L"DoubleByte", L"Comment", L"Number", L"String", L"Symbol",
    L"Reserved", L"Mail", L"Url", L"Selection", L"ReturnMark", L"EofMark", L"TabMark",
    L"FullWidthSpace", L"CaretUnderline", L"Bracket", L"SearchHit"};

// The profile service strips one pair of enclosing quotes and blanks: every
// text is written inside quotes so that leading blanks and quote characters survive.
std::wstring ReadText(const std::wstring& path, const wchar_t* section, const wchar_t* key,
                      const std::wstring& fallback) {
  std::wstring buffer(32768, L'\0');
  const wchar_t* missing = L"\x01missing";
  DWORD n = GetPrivateProfileStringW(section, key, missing, buffer.data(), static_cast<DWORD>(buffer.size()),
                                     path.c_str());
  buffer.resize(n);
  return buffer == missing ? fallback : buffer;
}

bool WriteText(const std::wstring& path, const wchar_t* section, const wchar_t* key, const std::wstring& value) {
  std::wstring quoted = L"\"" + value + L"\"";
  return WritePrivateProfileStringW(section, key, quoted.c_str(), path.c_str()) != FALSE;
}

int ReadNumber(const std::wstring& path, const wchar_t* section, const wchar_t* key, int fallback) {
  std::wstring text = ReadText(path, section, key, L"");
  if (text.empty()) return fallback;
  wchar_t* end = nullptr;
  long value = std::wcstol(text.c_str(), &end, 0);
  return end && *end == 0 ? static_cast<int>(value) : fallback;
}

bool WriteNumber(const std::wstring& path, const wchar_t* section, const wchar_t* key, long long value) {
  return WriteText(path, section, key, std::to_wstring(value));
}

struct TBoolField {
  const wchar_t* section;
  const wchar_t* key;
  bool TEditorSettings::*field;
};
struct TIntField {
  const wchar_t* section;
  const wchar_t* key;
  int TEditorSettings::*field;
};
struct TTextField {
  const wchar_t* section;
  const wchar_t* key;
  std::wstring TEditorSettings::*field;
};

const TBoolField kBools[] = {
    {L"Edit", L"FreeCaret", &TEditorSettings::freeCaret},
    {L"Edit", L"AutoIndent", &TEditorSettings::autoIndent},
    {L"Edit", L"Unindent", &TEditorSettings::unindent},
    {L"Edit", L"KeepCaret", &TEditorSettings::keepCaret},
    {L"Edit", L"NextLine", &TEditorSettings::nextLine},
    {L"Edit", L"SoftTab", &TEditorSettings::softTab},
    {L"Edit", L"LockScroll", &TEditorSettings::lockScroll},
    {L"Edit", L"RowSelect", &TEditorSettings::rowSelect},
    {L"Edit", L"SelMove", &TEditorSettings::selMove},
    {L"Edit", L"InTab", &TEditorSettings::inTab},
    {L"Edit", L"TabIndent", &TEditorSettings::tabIndent},
    {L"View", L"EditorCaret", &TEditorSettings::editorCaret},
    {L"View", L"CaretUnderline", &TEditorSettings::caretUnderline},
    {L"View", L"Addresses", &TEditorSettings::markAddresses},
    {L"View", L"ReturnMark", &TEditorSettings::returnMark},
    {L"View", L"EofMark", &TEditorSettings::eofMark},
    {L"View", L"TabMark", &TEditorSettings::tabMark},
    {L"View", L"FullWidthSpaceMark", &TEditorSettings::fullWidthSpaceMark},
    {L"View", L"LineNumbers", &TEditorSettings::lineNumbers},
    {L"View", L"ZeroLead", &TEditorSettings::zeroLead},
    {L"View", L"Ruler", &TEditorSettings::ruler},
    {L"WordWrap", L"Enabled", &TEditorSettings::wordWrap},
    {L"WordWrap", L"HangPunctuation", &TEditorSettings::hangPunctuation},
    {L"WordWrap", L"PushOut", &TEditorSettings::pushOut},
    {L"WordWrap", L"WordBreak", &TEditorSettings::wordBreak},
    {L"WordWrap", L"HangReturn", &TEditorSettings::hangReturn},
    {L"WordWrap", L"RightBar", &TEditorSettings::wrapLine},
};

const TIntField kInts[] = {
    {L"View", L"TabSize", &TEditorSettings::tabSize},
    {L"View", L"MarginLeft", &TEditorSettings::marginLeft},
    {L"View", L"MarginTop", &TEditorSettings::marginTop},
    {L"View", L"LineSpacing", &TEditorSettings::lineSpacing},
    {L"View", L"CharSpacing", &TEditorSettings::charSpacing},
    {L"View", L"FontSize", &TEditorSettings::fontSize},
    {L"View", L"LineNumberDigits", &TEditorSettings::lineNumberDigits},
    {L"View", L"RulerGauge", &TEditorSettings::rulerGauge},
    {L"WordWrap", L"Column", &TEditorSettings::wrapColumn},
};

const TTextField kTexts[] = {
    {L"View", L"FontName", &TEditorSettings::fontName},
    {L"View", L"HexPrefix", &TEditorSettings::hexPrefix},
    {L"View", L"LineComment", &TEditorSettings::lineComment},
    {L"View", L"Quotes", &TEditorSettings::quotes},
    {L"WordWrap", L"FollowChars", &TEditorSettings::followChars},
    {L"WordWrap", L"LeadChars", &TEditorSettings::leadChars},
    {L"WordWrap", L"PunctuationChars", &TEditorSettings::punctuationChars},
};

std::wstring ColorText(const TTextColor& c) {
  wchar_t text[64];
  std::swprintf(text, 64, L"%06lX,%06lX,%d", static_cast<unsigned long>(c.foreground),
                static_cast<unsigned long>(c.background),
                (c.bold ? 1 : 0) | (c.italic ? 2 : 0) | (c.underline ? 4 : 0));
  return text;
}

bool ParseColor(const std::wstring& text, TTextColor& c) {
  unsigned long fg = 0, bg = 0;
  int flags = 0;
  if (std::swscanf(text.c_str(), L"%lx,%lx,%d", &fg, &bg, &flags) != 3) return false;
  c.foreground = static_cast<COLORREF>(fg & 0xFFFFFF);
  c.background = static_cast<COLORREF>(bg & 0xFFFFFF);
  c.bold = flags & 1;
  c.italic = flags & 2;
  c.underline = flags & 4;
  return true;
}

}  // namespace

const wchar_t* TEditorSettings::DefaultFollowChars() {
  return L"、。，．・？！゛゜ヽヾゝゞ々ー）］｝」』!),.:;?]}｡｣､･ｰﾞﾟ";
}
const wchar_t* TEditorSettings::DefaultLeadChars() { return L"（［｛「『([{｢"; }
const wchar_t* TEditorSettings::DefaultPunctuationChars() { return L"、。，．,.｡､"; }

TEditorSettings::TEditorSettings()
    : followChars(DefaultFollowChars()), leadChars(DefaultLeadChars()),
      punctuationChars(DefaultPunctuationChars()) {
  brackets = {{L"(", L")"}, {L"[", L"]"}, {L"{", L"}"}, {L"「", L"」"}, {L"（", L"）"}};
  const COLORREF white = RGB(255, 255, 255);
  colors[teDefault] = {RGB(0, 0, 0), white};
  colors[teSingleByte] = {RGB(0, 0, 0), white};
  colors[teDoubleByte] = {RGB(0, 0, 0), white};
  colors[teComment] = {RGB(0, 128, 0), white};
  colors[teNumber] = {RGB(128, 0, 128), white};
  colors[teString] = {RGB(160, 64, 0), white};
  colors[teSymbol] = {RGB(0, 0, 160), white};
  colors[teReserved] = {RGB(0, 0, 255), white, true};
  colors[teMail] = {RGB(0, 0, 255), white, false, false, true};
  colors[teUrl] = {RGB(0, 0, 255), white, false, false, true};
  colors[teSelection] = {RGB(255, 255, 255), RGB(0, 0, 128)};
  colors[teReturnMark] = {RGB(0, 128, 128), white};
  colors[teEofMark] = {RGB(128, 128, 128), white};
  colors[teTabMark] = {RGB(160, 160, 160), white};
  colors[teFullWidthSpace] = {RGB(160, 160, 160), white};
  colors[teCaretUnderline] = {RGB(0, 0, 255), white};
  colors[teBracket] = {RGB(0, 0, 0), RGB(160, 255, 255)};
  colors[teSearchHit] = {RGB(0, 0, 0), RGB(255, 255, 0)};
}

void TEditorSettings::Clamp() {
  tabSize = std::clamp(tabSize, 0, 16);
  marginLeft = std::clamp(marginLeft, 0, 48);
  marginTop = std::clamp(marginTop, 0, 32);
  lineSpacing = std::clamp(lineSpacing, 0, 32);
  charSpacing = std::clamp(charSpacing, 0, 32);
  fontSize = std::clamp(fontSize, 5, 72);
  lineNumberDigits = std::clamp(lineNumberDigits, 0, 8);
  if (rulerGauge != 8) rulerGauge = 10;
  wrapColumn = std::clamp(wrapColumn, 0, 256);
  if (scrollBars < sbNone || scrollBars > sbBoth) scrollBars = sbBoth;
}

bool TEditorSettings::Load(const std::wstring& path) {
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  if (ReadText(path, L"Editor", L"Version", L"").empty()) return false;
  TEditorSettings loaded = *this;
  for (const auto& f : kBools) loaded.*f.field = ReadNumber(path, f.section, f.key, loaded.*f.field) != 0;
  for (const auto& f : kInts) loaded.*f.field = ReadNumber(path, f.section, f.key, loaded.*f.field);
  for (const auto& f : kTexts) loaded.*f.field = ReadText(path, f.section, f.key, loaded.*f.field);
  loaded.scrollBars = static_cast<TScrollBars>(ReadNumber(path, L"View", L"ScrollBars", scrollBars));
  loaded.barForeground = static_cast<COLORREF>(ReadNumber(path, L"View", L"BarForeground", barForeground));
  loaded.barBackground = static_cast<COLORREF>(ReadNumber(path, L"View", L"BarBackground", barBackground));
  for (int i = 0; i < teElementCount; ++i) {
    TTextColor color = loaded.colors[i];
    if (ParseColor(ReadText(path, L"Colors", kElementKeys[i], L""), color)) loaded.colors[i] = color;
  }
  int brackets = ReadNumber(path, L"Brackets", L"Count", -1);
  if (brackets >= 0) {
    loaded.brackets.clear();
    for (int i = 0; i < brackets && i < 1000; ++i) {
      std::wstring pair = ReadText(path, L"Brackets", std::to_wstring(i).c_str(), L"");
      size_t blank = pair.find(L' ');
      if (blank == std::wstring::npos || blank == 0 || blank + 1 >= pair.size()) continue;
      loaded.brackets.emplace_back(pair.substr(0, blank), pair.substr(blank + 1));
    }
  }
  int words = ReadNumber(path, L"Reserved", L"Count", -1);
  if (words >= 0) {
    loaded.reservedWords.clear();
    for (int i = 0; i < words && i < 100000; ++i) {
      std::wstring word = ReadText(path, L"Reserved", std::to_wstring(i).c_str(), L"");
      if (!word.empty()) loaded.reservedWords.push_back(word);
    }
  }
  loaded.Clamp();
  *this = std::move(loaded);
  return true;
}

bool TEditorSettings::Save(const std::wstring& path) const {
  bool ok = WriteText(path, L"Editor", L"Version", L"1");
  for (const auto& f : kBools) ok &= WriteNumber(path, f.section, f.key, this->*f.field ? 1 : 0);
  for (const auto& f : kInts) ok &= WriteNumber(path, f.section, f.key, this->*f.field);
  for (const auto& f : kTexts) ok &= WriteText(path, f.section, f.key, this->*f.field);
  ok &= WriteNumber(path, L"View", L"ScrollBars", scrollBars);
  ok &= WriteNumber(path, L"View", L"BarForeground", barForeground);
  ok &= WriteNumber(path, L"View", L"BarBackground", barBackground);
  for (int i = 0; i < teElementCount; ++i) ok &= WriteText(path, L"Colors", kElementKeys[i], ColorText(colors[i]));
  // Lists are rewritten whole: stale keys of a longer old list would come back.
  WritePrivateProfileStringW(L"Brackets", nullptr, nullptr, path.c_str());
  ok &= WriteNumber(path, L"Brackets", L"Count", static_cast<long long>(brackets.size()));
  for (size_t i = 0; i < brackets.size(); ++i)
    ok &= WriteText(path, L"Brackets", std::to_wstring(i).c_str(), brackets[i].first + L" " + brackets[i].second);
  WritePrivateProfileStringW(L"Reserved", nullptr, nullptr, path.c_str());
  ok &= WriteNumber(path, L"Reserved", L"Count", static_cast<long long>(reservedWords.size()));
  for (size_t i = 0; i < reservedWords.size(); ++i)
    ok &= WriteText(path, L"Reserved", std::to_wstring(i).c_str(), reservedWords[i]);
  return ok;
}
