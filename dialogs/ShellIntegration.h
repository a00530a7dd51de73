// The program's place in the Windows shell, as the options dialog switches it:
// file associations, the extract verb, the context-menu extension's
// registration and the Send To shortcuts. Plain registry and file work.
#pragma once

#include "DialogTexts.h"

#include <windows.h>

#include <stdexcept>
#include <string>

// A registry write that failed: "Regstry を操作出来ませんでした." and the system code.
class ERegistry : public std::runtime_error {
 public:
  explicit ERegistry(LONG code);
  const std::wstring& Message() const { return message_; }

 private:
  std::wstring message_;
};

// What the shell holds for the program when the dialog opens.
struct TShellState {
  bool LzhAssociated = false;
  bool ZipAssociated = false;
  bool ExtractVerb = false;
  bool ExtensionRegistered = false;
  bool PackShortcut = false;
  bool OpenShortcut = false;
};

struct TAssociation {
  const wchar_t* Extension;    // ".lzh"
  const wchar_t* ClassName;    // "LHA Archive File"
  const wchar_t* Description;  // "LHA書庫ﾌｧｲﾙ"
  int IconIndex;               // inside the program
};
extern const TAssociation LzhAssociation;
extern const TAssociation ZipAssociation;

using dialog_texts::OpenShortcutName;
using dialog_texts::PackShortcutName;

class TShellIntegration {
 public:
  // programPath: the full path of Tavix.exe; the extension and TavixA.exe sit beside it.
  explicit TShellIntegration(std::wstring programPath);

  TShellState Read() const;

  void Associate(const TAssociation& association) const;
  void RemoveAssociation(const TAssociation& association) const;
  void AddExtractVerb(const TAssociation& association) const;
  void RemoveExtractVerb(const TAssociation& association) const;
  void RegisterExtension() const;
  void UnregisterExtension() const;
  // Shortcuts that cannot be made are silently left out.
  void CreatePackShortcut() const;
  void CreateOpenShortcut() const;
  static void DeleteShortcut(const wchar_t* name);

  // The Send To folder as the user's Shell Folders key names it.
  static std::wstring SendToFolder();

 private:
  bool IsAssociated(const TAssociation& association) const;
  bool HasExtractVerb(const TAssociation& association) const;
  void CreateShortcut(const wchar_t* name, const std::wstring& target) const;

  std::wstring program_;
  std::wstring folder_;
};
