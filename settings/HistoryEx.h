// A most-recently-used list of texts (archive paths, folders, search words),
// mirrored into a combo box or list box and kept in the settings file in a
// section named after the list.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class THistoryEx {
 public:
  // name: the list's name, which is its section in the settings file.
  explicit THistoryEx(std::wstring name);

  const std::wstring& Name() const { return name_; }
  // The settings file: the program's path with ".ini" unless set.
  const std::wstring& FileName() const { return fileName_; }
  void SetFileName(const std::wstring& path) { fileName_ = path; }

  int Max() const { return max_; }
  void SetMax(int value) { max_ = value; }
  // −1 until the first add or set.
  int Count() const { return counted_ ? static_cast<int>(lines_.size()) : -1; }
  const std::vector<std::wstring>& History() const { return lines_; }
  // Copies the lines as they are (no limit, no mirroring).
  void SetHistory(const std::vector<std::wstring>& lines) { lines_ = lines; }

  HWND ComboBox() const { return comboBox_; }
  void SetComboBox(HWND comboBox) { comboBox_ = comboBox; }
  HWND ListBox() const { return listBox_; }
  void SetListBox(HWND listBox) { listBox_ = listBox; }

  // Puts text on top; an equal line (case-sensitive) moves rather than repeats.
  void Add(const std::wstring& text);
  // Replaces the lines with the first Max of lines; an empty list changes nothing.
  void SetFromList(const std::vector<std::wstring>& lines);
  // Adds the stored lines, key "0" ending on top.
  void Load();
  void Reload() { Load(); }
  // Writes keys "0", "1", ...; a read-only file is left alone. False when a
  // write failed.
  bool Save() const;

 private:
  void Mirror() const;

  std::wstring name_;
  std::wstring fileName_;
  int max_ = 10;
  bool counted_ = false;
  std::vector<std::wstring> lines_;
  HWND comboBox_ = nullptr;
  HWND listBox_ = nullptr;
};
