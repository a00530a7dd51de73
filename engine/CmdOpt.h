// Builds the command line one operation sends to an archiver library.
#pragma once

#include <oaidl.h>
#include <windows.h>

#include <string>
#include <type_traits>
#include <vector>

// One source of file names; other kinds of values (numbers, flags, wide
// characters) are accepted and yield nothing.
class TNameSource {
 public:
  enum class Kind { Skipped, Text, CString, CStringArray, StringList, Variant };

  TNameSource(std::string text) : kind_(Kind::Text), text_(std::move(text)) {}
  TNameSource(const char* text) : kind_(Kind::CString), cstring_(text) {}
  TNameSource(char* text) : TNameSource(static_cast<const char*>(text)) {}
  TNameSource(const char* const* array) : kind_(Kind::CStringArray), array_(array) {}
  TNameSource(char** array) : TNameSource(const_cast<const char* const*>(array)) {}
  TNameSource(const char** array) : TNameSource(const_cast<const char* const*>(array)) {}
  TNameSource(const std::vector<std::string>& list) : kind_(Kind::StringList), list_(&list) {}
  TNameSource(const std::vector<std::string>* list) : kind_(Kind::StringList), list_(list) {}
  TNameSource(const VARIANT& variant) : kind_(Kind::Variant), variant_(&variant) {}
  TNameSource(const VARIANT* variant) : kind_(Kind::Variant), variant_(variant) {}
  TNameSource(std::nullptr_t) : kind_(Kind::CString) {}
  template <typename T>
    requires std::is_arithmetic_v<T>
  TNameSource(T) : kind_(Kind::Skipped) {}

  // Appends this source's names in order, dropping empty ones unless keepEmpty.
  void AppendTo(std::vector<std::string>& names, bool keepEmpty = false) const;

 private:
  Kind kind_;
  std::string text_;
  const char* cstring_ = nullptr;
  const char* const* array_ = nullptr;
  const std::vector<std::string>* list_ = nullptr;
  const VARIANT* variant_ = nullptr;
};

using TNameList = std::vector<TNameSource>;

std::vector<std::string> FlattenNames(const TNameList& list, bool keepEmpty = false);

using TNameFilter = std::string (*)(const std::string& name);

class TCmdOpt {
 public:
  bool SeparateValue = false;
  TNameFilter NameFilter = nullptr;

  const std::string& Text() const { return text_; }

  void AddRaw(const std::string& item);
  void AddValue(const std::string& switchName, const std::string& value);
  void AddNumber(const std::string& switchName, int number);
  void AddFlag(const std::string& switchName, bool flag);
  void AddDir(const std::string& switchName, const std::string& directory);
  void AddFileName(const std::string& switchName, const std::string& name);
  int AddFiles(const std::string& switchName, const TNameList& files);
  // Writes the names to a response file and adds "@path"; raises EArchiver
  // naming the path when the file cannot be written.
  int WriteResponseFile(const TNameList& files, const std::string& path);

 private:
  std::string Filtered(const std::string& name) const;
  std::string text_;
};

// True for a name the caller marked "-gb<name>": the rest is the file name,
// whatever it begins with.
bool IsLiteralNameMark(const std::string& name);

// True when the text's last character (a double-byte character counts as one)
// is a backslash.
bool EndsWithBackslash(const std::string& text);
