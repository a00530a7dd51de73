// The display settings of the text view: what an environment file holds and
// the settings sheet edits. Plain data with load, save and assign, so the
// sheet, the environments and the viewer share one object.
#pragma once

#include <windows.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

// The colourable elements, in the order the settings sheet lists them.
enum TTextElement : unsigned char {
  teDefault, teSingleByte, teDoubleByte, teComment, teNumber, teString, teSymbol, teReserved,
  teMail, teUrl, teSelection, teReturnMark, teEofMark, teTabMark, teFullWidthSpace,
  teCaretUnderline, teBracket, teSearchHit,
  teElementCount
};

struct TTextColor {
  COLORREF foreground = RGB(0, 0, 0);
  COLORREF background = RGB(255, 255, 255);
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool operator==(const TTextColor&) const = default;
};

enum TScrollBars { sbNone = 0, sbVertical = 1, sbHorizontal = 2, sbBoth = 3 };

class TEditorSettings {
 public:
  TEditorSettings();  // the viewer's defaults

  // Editing (held for the settings sheet; the view is read-only).
  bool freeCaret = false;
  bool autoIndent = true;
  bool unindent = true;
  bool keepCaret = false;
  bool nextLine = true;
  bool softTab = false;
  bool lockScroll = false;
  bool rowSelect = false;
  bool selMove = false;
  bool inTab = false;
  bool tabIndent = false;

  // Display 1.
  int tabSize = 4;                   // 0–16
  TScrollBars scrollBars = sbBoth;
  bool editorCaret = false;          // block caret instead of a bar
  bool caretUnderline = true;
  bool markAddresses = true;         // mail addresses and URLs
  bool returnMark = true;
  bool eofMark = true;
  bool tabMark = false;
  bool fullWidthSpaceMark = false;
  int marginLeft = 4;                // pixels, 0–48
  int marginTop = 2;                 // 0–32
  int lineSpacing = 2;               // 0–32
  int charSpacing = 0;               // 0–32
  std::wstring fontName = L"ＭＳ ゴシック";
  int fontSize = 11;                 // points, 5–72 (15 pixels at 96 dpi)

  // Display 2.
  bool lineNumbers = false;
  int lineNumberDigits = 5;          // 0–8
  bool zeroLead = false;
  bool ruler = false;
  int rulerGauge = 10;               // 8 or 10
  COLORREF barForeground = RGB(0, 0, 128);
  COLORREF barBackground = RGB(224, 224, 224);
  std::vector<std::pair<std::wstring, std::wstring>> brackets;
  std::wstring hexPrefix = L"0x";
  std::wstring lineComment = L"//";
  std::wstring quotes = L"\"'";

  // Colours, one per element.
  std::array<TTextColor, teElementCount> colors;

  // Word wrap.
  bool wordWrap = true;
  int wrapColumn = 80;               // bytes, 0–256; 0 wraps at the window edge
  std::wstring followChars;          // may not begin a row
  std::wstring leadChars;            // may not end a row
  std::wstring punctuationChars;     // may hang past the edge
  bool hangPunctuation = true;
  bool pushOut = true;
  bool wordBreak = true;             // English words are not cut
  bool hangReturn = true;
  bool wrapLine = false;             // a line down the wrap column

  std::vector<std::wstring> reservedWords;

  static const wchar_t* DefaultFollowChars();
  static const wchar_t* DefaultLeadChars();
  static const wchar_t* DefaultPunctuationChars();

  // Keeps every value inside its range (a hand-edited file cannot break the view).
  void Clamp();

  // An environment file: an INI file with section "Editor" and friends; the
  // section "Environ" (name and masks) belongs to the environments and is
  // left alone. Load returns false (and changes nothing) when the file is
  // missing or holds no editor settings.
  bool Load(const std::wstring& path);
  // False when a write was refused.
  bool Save(const std::wstring& path) const;

  bool operator==(const TEditorSettings&) const = default;
};
