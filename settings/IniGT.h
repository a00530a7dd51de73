// The settings component: one INI file per window, typed values, optional
// fence characters around texts, and no writes to a read-only file.
#pragma once

#include <windows.h>

#include <exception>
#include <string>

enum TIniGTDefaultDir { ddApplication = 0, ddWindows = 1, ddNone = 2 };
enum TIniGTFence { fnDoubleQuote = 0, fnParenthesis = 1, fnVer11Mode = 2, fnNone = 3 };

// A write the profile service refused ("%s に書き込めません").
class EIniFileError : public std::exception {
 public:
  explicit EIniFileError(std::wstring message);
  const std::wstring& Message() const { return message_; }
  const char* what() const noexcept override { return utf8_.c_str(); }

 private:
  std::wstring message_;
  std::string utf8_;
};

// Shows a warning to the user. The program uses a message box; tests install
// their own to read the text without a modal window.
using TSettingsWarningHook = void (*)(const std::wstring& text);
// Installs hook (nullptr: the message box again); returns the previous one.
TSettingsWarningHook SetSettingsWarningHook(TSettingsWarningHook hook);
void ShowSettingsWarning(const std::wstring& text);

// The program's own path and folder (with its trailing backslash).
std::wstring ProgramPath();
std::wstring ProgramFolder();

class TIniGT {
 public:
  TIniGT() = default;

  // Called once the owner has set the properties: without a file name the
  // program's name with ".ini" is used (capital first letter, rest lower case).
  void Loaded();

  TIniGTDefaultDir DefaultDir() const { return defaultDir_; }
  void SetDefaultDir(TIniGTDefaultDir value);
  const std::wstring& FileName() const { return fileName_; }
  void SetFileName(const std::wstring& value);
  TIniGTFence Fence() const { return fence_; }
  void SetFence(TIniGTFence value) { fence_ = value; }

  const std::wstring& FullPath() const { return fullPath_; }
  bool WriteDisabled() const { return writeDisabled_; }

  std::wstring ReadString(const std::wstring& section, const std::wstring& key,
                          const std::wstring& defaultValue) const;
  void WriteString(const std::wstring& section, const std::wstring& key, const std::wstring& value);
  int ReadInteger(const std::wstring& section, const std::wstring& key, int defaultValue) const;
  void WriteInteger(const std::wstring& section, const std::wstring& key, int value);
  bool ReadBool(const std::wstring& section, const std::wstring& key, bool defaultValue) const;
  void WriteBool(const std::wstring& section, const std::wstring& key, bool value);

  // Eight numbers entry + ".Flags", ".Show", ".MaxX", ".MaxY", ".X", ".Y",
  // ".XSize", ".YSize" (the last two are the right and bottom edges).
  void LoadWindowPlacement(const std::wstring& section, const std::wstring& entry, HWND window) const;
  void SaveWindowPlacement(const std::wstring& section, const std::wstring& entry, HWND window);

  // The profile service's text reader: room for 1023 characters.
  static std::wstring ReadProfileText(const std::wstring& path, const std::wstring& section,
                                      const std::wstring& key, const std::wstring& defaultValue);

 private:
  std::wstring Fenced(const std::wstring& text) const;
  std::wstring Unfenced(const std::wstring& text) const;
  void WriteRaw(const std::wstring& section, const std::wstring& key, const std::wstring& value);

  TIniGTDefaultDir defaultDir_ = ddApplication;
  TIniGTFence fence_ = fnNone;
  std::wstring fileName_;
  std::wstring fullPath_;
  bool writeDisabled_ = false;
};

// Text to integer as the settings file stores it: "0x"/"0X" + hex digits
// (more than two characters) or a decimal number; anything else is the default.
int ParseSettingsNumber(const std::wstring& text, int defaultValue);
// True when the file exists and carries the read-only attribute.
bool IsReadOnlyFile(const std::wstring& path);
