#include "app/ShortCutText.h"

#include <cwctype>

namespace {

struct KeyName {
  WORD key;
  const wchar_t* name;
};

// Names of the keys that are not letters, digits or function keys.
constexpr KeyName SpecialKeys[] = {
    {VK_BACK, L"BkSp"},   {VK_TAB, L"Tab"},     {VK_RETURN, L"Enter"}, {VK_ESCAPE, L"Esc"},
    {VK_SPACE, L"Space"}, {VK_PRIOR, L"PgUp"},  {VK_NEXT, L"PgDn"},    {VK_END, L"End"},
    {VK_HOME, L"Home"},   {VK_LEFT, L"Left"},   {VK_UP, L"Up"},        {VK_RIGHT, L"Right"},
    {VK_DOWN, L"Down"},   {VK_INSERT, L"Ins"},  {VK_DELETE, L"Del"},
};

std::wstring KeyToText(WORD key) {
  if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return std::wstring(1, static_cast<wchar_t>(key));
  if (key >= VK_F1 && key <= VK_F24) return L"F" + std::to_wstring(key - VK_F1 + 1);
  for (const KeyName& special : SpecialKeys)
    if (special.key == key) return special.name;
  return L"";
}

bool SameText(const std::wstring& a, const wchar_t* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i)
    if (std::towupper(a[i]) != std::towupper(b[i])) return false;
  return i == a.size() && b[i] == 0;
}

WORD TextToKey(const std::wstring& text) {
  if (text.size() == 1) {
    wchar_t c = static_cast<wchar_t>(std::towupper(text[0]));
    if ((c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9')) return static_cast<WORD>(c);
  }
  if (text.size() >= 2 && (text[0] == L'F' || text[0] == L'f')) {
    int number = 0;
    for (size_t i = 1; i < text.size(); ++i) {
      if (!std::iswdigit(text[i]) || number > 24) return 0;
      number = number * 10 + (text[i] - L'0');
    }
    if (number >= 1 && number <= 24) return static_cast<WORD>(VK_F1 + number - 1);
    return 0;
  }
  for (const KeyName& special : SpecialKeys)
    if (SameText(text, special.name)) return special.key;
  return 0;
}

std::wstring Trimmed(const std::wstring& text) {
  size_t first = text.find_first_not_of(L' ');
  if (first == std::wstring::npos) return L"";
  return text.substr(first, text.find_last_not_of(L' ') - first + 1);
}

}  // namespace

std::wstring ShortCutToText(TShortCut shortCut) {
  std::wstring key = KeyToText(shortCut & 0xFF);
  if (key.empty()) return L"";
  std::wstring text;
  if (shortCut & scShift) text += L"Shift+";
  if (shortCut & scCtrl) text += L"Ctrl+";
  if (shortCut & scAlt) text += L"Alt+";
  return text + key;
}

TShortCut TextToShortCut(const std::wstring& text) {
  TShortCut modifiers = 0;
  std::wstring rest = Trimmed(text);
  // A lone "+" is not a key of ours, so every "+" separates a modifier.
  for (size_t plus; (plus = rest.find(L'+')) != std::wstring::npos;) {
    std::wstring modifier = Trimmed(rest.substr(0, plus));
    if (SameText(modifier, L"Shift")) modifiers |= scShift;
    else if (SameText(modifier, L"Ctrl")) modifiers |= scCtrl;
    else if (SameText(modifier, L"Alt")) modifiers |= scAlt;
    else return scNone;
    rest = Trimmed(rest.substr(plus + 1));
  }
  WORD key = TextToKey(rest);
  return key ? static_cast<TShortCut>(key | modifiers) : scNone;
}

ACCEL ShortCutToAccel(TShortCut shortCut, WORD command) {
  ACCEL accel{};
  accel.fVirt = FVIRTKEY;
  if (shortCut & scShift) accel.fVirt |= FSHIFT;
  if (shortCut & scCtrl) accel.fVirt |= FCONTROL;
  if (shortCut & scAlt) accel.fVirt |= FALT;
  accel.key = shortCut & 0xFF;
  accel.cmd = command;
  return accel;
}
